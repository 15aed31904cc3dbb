#pragma once
// The command line: volantis-replay COURSE TRACK [--clock-offset S] [--frequency F] [--sounds CROSS,SKIP,END]
//                   [--explain] [--map OUT.svg]
#include <string>
#include <vector>

#include "replay.h"

namespace volantis::replay {

struct ReplayArgs {
  std::string course_path;
  std::string track_path;
  ReplayOptions options;
  bool explain = false;  // the explanation after the usual output
  std::string map_path;  // where to write the map, empty for none
  bool help = false;
};

inline constexpr const char* kUsage =
    "usage: volantis-replay COURSE TRACK [--clock-offset SECONDS] [--frequency F] [--sounds CROSS,SKIP,END]\n"
    "                       [--explain] [--map OUT.svg]\n"
    "  COURSE  race start info text as the server sends it (\"laps=..;max_knots=..;gate=..\")\n"
    "  TRACK   CSV with the header counter,lat_raw,lon_raw,alt_raw,rate_raw,crash,slew,paused\n"
    "  --clock-offset SECONDS  local clock minus the server's clock (default 0)\n"
    "  --frequency F           counts per second of the recorded counter (default 10000000)\n"
    "  --sounds CROSS,SKIP,END three 0/1 sound switches (default 1,1,1)\n"
    "  --explain               after the usual output, explain every crossing, lap, skipped gate and flag\n"
    "  --map OUT.svg           draw the course and the flight into OUT.svg\n";

// False with a message for a missing or malformed argument.
bool ParseReplayArgs(const std::vector<std::string>& args, ReplayArgs& parsed, std::string& error);

}  // namespace volantis::replay
