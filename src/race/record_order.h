#pragma once
// The order in which the race records were started: by the start written in
// each record's race.txt, and by the folder's name where race.txt says none
// (or between records of the same second).
#include <cstdint>
#include <string>
#include <vector>

#include "platform/record_files.h"

namespace volantis {

// The start of the record called name in races: race.txt's "started=" line,
// else the time its name says; false when neither says one.
bool RecordStart(RecordFiles& files, const std::string& races, const std::string& name, int64_t* started_utc);

// Keeps the names of race records only, oldest first.
void SortRecordsOldestFirst(RecordFiles& files, const std::string& races, std::vector<std::string>& names);

}  // namespace volantis
