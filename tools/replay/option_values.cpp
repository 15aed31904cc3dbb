#include "option_values.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>

namespace volantis::replay {

bool ParseClockOffset(const std::string& text, double& value) {
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
  bool values[3] = {};
  for (int i = 0; i < 3; ++i) {
    const char c = text[static_cast<std::size_t>(i) * 2];
    if (c != '0' && c != '1') return false;
    values[i] = c == '1';
  }
  options.sound_cross = values[0];
  options.sound_skip = values[1];
  options.sound_end = values[2];
  return true;
}

}  // namespace volantis::replay
