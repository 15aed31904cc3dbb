#pragma once
// A race record at the six-hour limit: a ten-gate course of 100 laps flown
// plainly in 540,000 rows (the finish near the end, the last rows after it),
// its log as the module would have written it, for the benchmarks.
#include <string>

namespace volantis::fixtures {

inline constexpr std::size_t kLongRecordRows = 540000;

// Writes race.txt, course.txt, track.csv and log.txt into `folder` (which must
// exist). False with a message when a file cannot be written.
bool WriteLongRecord(const std::string& folder, std::string& error);

}  // namespace volantis::fixtures
