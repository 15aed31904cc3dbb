#include "replay_args.h"

#include "option_values.h"

namespace volantis::replay {

bool ParseReplayArgs(const std::vector<std::string>& args, ReplayArgs& parsed, std::string& error) {
  std::vector<std::string> positional;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "-h" || arg == "--help") {
      parsed.help = true;
      return true;
    }
    if (arg == "--splits") {
      parsed.splits = true;
      continue;
    }
    if (arg == "--explain") {
      parsed.explain = true;
      continue;
    }
    if (arg == "--clock-offset" || arg == "--frequency" || arg == "--sounds" || arg == "--map" || arg == "--csv" ||
        arg == "--json" || arg == "--compare") {
      if (i + 1 >= args.size()) {
        error = arg + " needs a value";
        return false;
      }
      const std::string& value = args[++i];
      if (arg == "--clock-offset") {
        if (!ParseClockOffset(value, parsed.options.clock_offset)) {
          error = "--clock-offset: \"" + value + "\" is not a number of seconds";
          return false;
        }
        parsed.given.clock_offset = true;
      }
      if (arg == "--frequency") {
        if (!ParseFrequency(value, parsed.options.frequency)) {
          error = "--frequency: \"" + value + "\" is not a positive whole number of counts per second";
          return false;
        }
        parsed.given.frequency = true;
      }
      if (arg == "--map" || arg == "--csv" || arg == "--json" || arg == "--compare") {
        if (value.empty()) {
          error = arg + (arg == "--compare" ? " needs a folder" : " needs a file name");
          return false;
        }
        if (arg == "--map") parsed.map_path = value;
        if (arg == "--csv") parsed.csv_path = value;
        if (arg == "--json") parsed.json_path = value;
        if (arg == "--compare") parsed.compare_folder = value;
      }
      if (arg == "--sounds") {
        if (!ParseSounds(value, parsed.options)) {
          error = "--sounds: \"" + value + "\" is not three 0/1 switches such as 1,0,1";
          return false;
        }
        parsed.given.sounds = true;
      }
      continue;
    }
    if (arg.size() > 1 && arg[0] == '-' && arg[1] == '-') {
      error = "unknown option " + arg;
      return false;
    }
    positional.push_back(arg);
  }
  if (!parsed.compare_folder.empty()) {
    if (parsed.explain || parsed.splits || !parsed.map_path.empty() || !parsed.csv_path.empty() ||
        !parsed.json_path.empty()) {
      error = "--compare writes its own page, map and tables: --explain, --splits, --map, --csv and --json do not "
              "go with it";
      return false;
    }
    if (positional.empty()) {
      error = "--compare needs one or more RECORD_FOLDERs";
      return false;
    }
    parsed.compare_records = positional;
    return true;
  }
  if (positional.empty() || positional.size() > 2) {
    error = positional.empty() ? "COURSE and TRACK, or a RECORD_FOLDER, are needed" : "too many arguments";
    return false;
  }
  if (positional.size() == 1) {
    parsed.record_path = positional[0];
    return true;
  }
  parsed.course_path = positional[0];
  parsed.track_path = positional[1];
  return true;
}

ReplayOptions WithGivenOptions(ReplayOptions base, const ReplayArgs& args) {
  if (args.given.clock_offset) base.clock_offset = args.options.clock_offset;
  if (args.given.frequency) base.frequency = args.options.frequency;
  if (args.given.sounds) {
    base.sound_cross = args.options.sound_cross;
    base.sound_skip = args.options.sound_skip;
    base.sound_end = args.options.sound_end;
  }
  return base;
}

}  // namespace volantis::replay
