#pragma once
// The values of the replay's options, as written on the command line and in a
// race record's race.txt.
#include <cstdint>
#include <string>

#include "replay.h"

namespace volantis::replay {

// Seconds, finite: "-3.25", "12.345678901".
bool ParseClockOffset(const std::string& text, double& value);
// A positive whole number of counts per second.
bool ParseFrequency(const std::string& text, int64_t& value);
// The three 0/1 switches cross, skip, end: "1,0,1". Changes nothing on failure.
bool ParseSounds(const std::string& text, ReplayOptions& options);

}  // namespace volantis::replay
