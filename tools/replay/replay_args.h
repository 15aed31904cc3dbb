#pragma once
// The command line: volantis-replay COURSE TRACK [options], or
//                   volantis-replay RECORD_FOLDER [options]
//                   volantis-replay --compare OUT_FOLDER RECORD_FOLDER...
// with the options [--clock-offset S] [--frequency F] [--sounds CROSS,SKIP,END] [--explain] [--map OUT.svg]
// [--splits] [--csv OUT.csv] [--json OUT.json].
#include <string>
#include <vector>

#include "replay.h"

namespace volantis::replay {

// Which of the replay's options the command line set.
struct GivenOptions {
  bool clock_offset = false;
  bool frequency = false;
  bool sounds = false;
};

struct ReplayArgs {
  std::string course_path;
  std::string track_path;
  std::string record_path;  // the one positional argument, when there is one: a race record's folder
  ReplayOptions options;    // the defaults, with what the command line set
  GivenOptions given;
  bool explain = false;  // the explanation after the usual output
  std::string map_path;  // where to write the map, empty for none
  bool splits = false;   // the splits and bests after the usual output (always for a record)
  std::string csv_path;   // one row per lap, empty for none
  std::string json_path;  // everything about the race, empty for none
  std::string compare_folder;              // --compare: where the comparison goes
  std::vector<std::string> compare_records;  // --compare: the records, in the order given
  bool help = false;
};

inline constexpr const char* kUsage =
    "usage: volantis-replay COURSE TRACK [--clock-offset SECONDS] [--frequency F] [--sounds CROSS,SKIP,END]\n"
    "                       [--explain] [--map OUT.svg] [--splits] [--csv OUT.csv] [--json OUT.json]\n"
    "       volantis-replay RECORD_FOLDER [the same options]\n"
    "       volantis-replay --compare OUT_FOLDER RECORD_FOLDER... [--clock-offset S] [--frequency F] [--sounds C,S,E]\n"
    "  COURSE  race start info text as the server sends it (\"laps=..;max_knots=..;gate=..\")\n"
    "  TRACK   CSV with the header counter,lat_raw,lon_raw,alt_raw,rate_raw,crash,slew,paused\n"
    "  RECORD_FOLDER  a race record: course.txt, track.csv, race.txt (clock offset, frequency, sounds),\n"
    "                 log.txt and results.txt; the replay is then compared with what the record says\n"
    "                 happened (exit 0 when it agrees, 1 when it differs)\n"
    "  --clock-offset SECONDS  local clock minus the server's clock (default 0, or the record's)\n"
    "  --frequency F           counts per second of the recorded counter (default 10000000, or the record's)\n"
    "  --sounds CROSS,SKIP,END three 0/1 sound switches (default 1,1,1, or the record's)\n"
    "  --explain               after the usual output, explain every crossing, lap, skipped gate and flag\n"
    "  --map OUT.svg           draw the course and the flight into OUT.svg\n"
    "  --splits                the split of every gate of every lap, the best lap, the best splits and the\n"
    "                          theoretical best (always given for a RECORD_FOLDER)\n"
    "  --csv OUT.csv           one row per lap: pilot,race_start_utc,lap,lap_time,skips,split_1..split_N,flags\n"
    "  --json OUT.json         the race, the course, laps, splits, crossings, flags and results as JSON\n"
    "  --compare OUT_FOLDER    compare records of one course: OUT_FOLDER/index.html, ranking.csv, laps.csv,\n"
    "                          map.svg and gaps.svg\n";

// False with a message for a missing or malformed argument.
bool ParseReplayArgs(const std::vector<std::string>& args, ReplayArgs& parsed, std::string& error);

// base with the options the command line set put over it.
ReplayOptions WithGivenOptions(ReplayOptions base, const ReplayArgs& args);

}  // namespace volantis::replay
