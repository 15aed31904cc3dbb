#pragma once
// The names of race record folders: the race's start in UTC,
// "2026-12-10_16-40-05Z", with "-2", "-3" ... for later races of the same
// second. Names sort in the order the races started.
#include <cstdint>
#include <string>

namespace volantis {

// The name for a race started at seconds since 1970; n > 1 adds "-n".
std::string RaceRecordName(int64_t started_utc, int n = 1);
// Whether name is a record folder's name; if so, its start in seconds since 1970.
bool ParseRaceRecordName(const std::string& name, int64_t* started_utc);

}  // namespace volantis
