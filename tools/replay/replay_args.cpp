#include "replay_args.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>

namespace volantis::replay {
namespace {

bool ParseSeconds(const std::string& text, double& value) {
  if (text.empty()) return false;
  errno = 0;
  char* end = nullptr;
  const double parsed = std::strtod(text.c_str(), &end);
  if (errno != 0 || end != text.c_str() + text.size() || !std::isfinite(parsed)) return false;
  value = parsed;
  return true;
}

bool ParseFrequency(const std::string& text, int64_t& value) {
  int64_t parsed = 0;
  const auto [stop, status] = std::from_chars(text.data(), text.data() + text.size(), parsed);
  if (text.empty() || status != std::errc() || stop != text.data() + text.size() || parsed <= 0) return false;
  value = parsed;
  return true;
}

bool ParseSounds(const std::string& text, ReplayOptions& options) {
  if (text.size() != 5 || text[1] != ',' || text[3] != ',') return false;
  bool* switches[3] = {&options.sound_cross, &options.sound_skip, &options.sound_end};
  for (int i = 0; i < 3; ++i) {
    const char c = text[static_cast<std::size_t>(i) * 2];
    if (c != '0' && c != '1') return false;
    *switches[i] = c == '1';
  }
  return true;
}

}  // namespace

bool ParseReplayArgs(const std::vector<std::string>& args, ReplayArgs& parsed, std::string& error) {
  std::vector<std::string> positional;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "-h" || arg == "--help") {
      parsed.help = true;
      return true;
    }
    if (arg == "--explain") {
      parsed.explain = true;
      continue;
    }
    if (arg == "--clock-offset" || arg == "--frequency" || arg == "--sounds" || arg == "--map") {
      if (i + 1 >= args.size()) {
        error = arg + " needs a value";
        return false;
      }
      const std::string& value = args[++i];
      if (arg == "--clock-offset" && !ParseSeconds(value, parsed.options.clock_offset)) {
        error = "--clock-offset: \"" + value + "\" is not a number of seconds";
        return false;
      }
      if (arg == "--frequency" && !ParseFrequency(value, parsed.options.frequency)) {
        error = "--frequency: \"" + value + "\" is not a positive whole number of counts per second";
        return false;
      }
      if (arg == "--map") {
        if (value.empty()) {
          error = "--map needs a file name";
          return false;
        }
        parsed.map_path = value;
      }
      if (arg == "--sounds" && !ParseSounds(value, parsed.options)) {
        error = "--sounds: \"" + value + "\" is not three 0/1 switches such as 1,0,1";
        return false;
      }
      continue;
    }
    if (arg.size() > 1 && arg[0] == '-' && arg[1] == '-') {
      error = "unknown option " + arg;
      return false;
    }
    positional.push_back(arg);
  }
  if (positional.size() != 2) {
    error = positional.size() < 2 ? "COURSE and TRACK are both needed" : "too many arguments";
    return false;
  }
  parsed.course_path = positional[0];
  parsed.track_path = positional[1];
  return true;
}

}  // namespace volantis::replay
