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
  auto number = [&name](std::size_t at, std::size_t digits) {
    int value = 0;
    for (std::size_t i = 0; i < digits; ++i) value = value * 10 + (name[at + i] - '0');
    return value;
  };
  UtcDateTime t;
  t.year = number(0, 4);
  t.month = number(5, 2);
  t.day = number(8, 2);
  t.hour = number(11, 2);
  t.minute = number(14, 2);
  t.second = number(17, 2);
  if (t.month < 1 || t.month > 12 || t.day < 1 || t.day > 31 || t.hour > 23 || t.minute > 59 || t.second > 60) {
    return false;
  }
  if (started_utc != nullptr) *started_utc = SecondsOf(t);
  return true;
}

}  // namespace volantis
