#pragma once
// Building one aircraft's reference data file: every row of the row list with the
// value the installation's aircraft.cfg holds, read and cleaned exactly as the
// validation check reads it.
#include <string>
#include <vector>

#include "platform/profile_reader.h"

namespace volantis::refdata {

struct Row {
  std::string section;
  std::string key;
  std::string value;
  bool published = false;       // the race rules publish this row's value
  std::string published_value;  // as published, when `published`
};

// Reads "section<TAB>key" lines, and "section<TAB>key<TAB>published<TAB>value" for
// a row whose value the race rules publish; '#' lines and empty lines are
// skipped. False with `error` set for any other shape of line.
bool ReadRowList(const std::string& text, std::vector<Row>* rows, std::string* error);

// Fills every row's value from the configuration file. A row whose value cannot
// be stored in a data file (a tab, '[', ']', ';' or '\') makes it fail with `error`.
bool FillValues(ProfileReader& reader, const std::string& cfg_path, std::vector<Row>* rows, std::string* error);

// The data file text: a comment header, then "section<TAB>key<TAB>value" lines.
std::string FormatDataFile(const std::vector<Row>& rows, const std::string& header);

}  // namespace volantis::refdata
