#pragma once
// What the race rules publish about the race aircraft, and where new reference
// data would differ from it. A published value row must come out of a reference
// installation exactly as published; a published flight-model digest must not be
// replaced where a data set already holds it.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "reference_rows.h"

namespace volantis::refdata {

// One published value or digest that new data would replace.
struct PublishedDifference {
  std::string aircraft;  // e.g. aircraft 3 ("P-38L_Racer")
  std::string item;      // "[section] key", or the flight-model file
  std::string published;
  std::string replacement;
};

// "aircraft: item: published "old", new "new"".
std::string DifferenceLine(const PublishedDifference& difference);

// Appends every published row whose filled-in value is not the published one.
void CompareWithPublished(const std::string& aircraft, const std::vector<Row>& rows,
                          std::vector<PublishedDifference>* differences);

// Reads "number<TAB>h0 h1 h2 h3 h4" lines (hexadecimal words; '#' lines and empty
// lines skipped) into aircraft number -> the words as DigestWords writes them.
// False with `error` set for a malformed line.
bool ReadDigestList(const std::string& text, std::map<int32_t, std::string>* digests, std::string* error);

// The five words as the data files hold them: "%08X %08X %08X %08X %08X".
std::string DigestWords(uint32_t h0, uint32_t h1, uint32_t h2, uint32_t h3, uint32_t h4);

}  // namespace volantis::refdata
