#include "race/race_record_names.h"

#include <cstdio>

#include "platform/text_format.h"
#include "platform/utc_time.h"

namespace volantis {

std::string RaceRecordName(int64_t started_utc, int n) {
  const UtcDateTime t = UtcDateTimeOf(started_utc);
  std::string name =
      FormatText("%04d-%02d-%02d_%02d-%02d-%02dZ", t.year, t.month, t.day, t.hour, t.minute, t.second);
  if (n > 1) name += FormatText("-%d", n);
  return name;
}

bool ParseRaceRecordName(const std::string& name, int64_t* started_utc) {
  // Exactly the digits and marks of the pattern, then nothing or "-n".
  static const char kPattern[] = "dddd-dd-dd_dd-dd-ddZ";
  const std::size_t length = sizeof(kPattern) - 1;
  if (name.size() < length) return false;
  for (std::size_t i = 0; i < length; ++i) {
    const char c = name[i];
    if (kPattern[i] == 'd' ? (c < '0' || c > '9') : c != kPattern[i]) return false;
  }
  if (name.size() > length) {
    if (name[length] != '-' || name.size() == length + 1 || name.size() > length + 4) return false;
    for (std::size_t i = length + 1; i < name.size(); ++i) {
      if (name[i] < '0' || name[i] > '9') return false;
    }
  }
  return SecondsOfDateDigits(name, started_utc);
}

}  // namespace volantis
