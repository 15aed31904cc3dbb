#pragma once
// The built-in reference data of the five race aircraft: where their files lie,
// the digest of the flight-model file, the race title, the flight-model name and
// the ordered configuration values that must be present unchanged. The value
// rows are compiled in from data files (one per aircraft) and never read at run
// time.
#include <cstddef>
#include <cstdint>

#include "server/digest.h"

namespace volantis {

struct ConfigCheck {
  const char* section;   // written as the row spells it; looked up ignoring case
  const char* key;
  const char* expected;  // compared as text, case-sensitive; nullptr: not known to this build, not checked
};

struct ReferenceAircraft {
  int32_t number;
  const char* folder;
  const char* air_path;  // relative to the simulator's folder, starting with '\'
  Digest air_digest;
  const char* cfg_path;  // relative to the simulator's folder, starting with '\'
  const char* title;
  const char* sim_name;
  const ConfigCheck* value_checks;
  std::size_t value_check_count;
};

inline constexpr int32_t kReferenceAircraftCount = 5;

// The record selected by aircraft_type, or nullptr for a number outside 0 to 4.
const ReferenceAircraft* FindReferenceAircraft(int32_t number);

// How many of the aircraft's value rows this build knows the value of.
std::size_t KnownValueCount(const ReferenceAircraft& aircraft);

// Which reference set this build carries: "standin" (our stand-in installations)
// or "shipped" (the race aircraft's published flight-model digests and the
// values the race rules publish; the other rows are unknown until the data is
// regenerated from the real reference aircraft).
const char* ReferenceSetName();

// The generated data (reference_data.cpp, built from src/validation/data/<set>/).
extern const ConfigCheck* const kReferenceValueChecks[kReferenceAircraftCount];
extern const std::size_t kReferenceValueCheckCounts[kReferenceAircraftCount];
extern const Digest kReferenceAirDigests[kReferenceAircraftCount];
extern const char* const kReferenceSetName;

}  // namespace volantis
