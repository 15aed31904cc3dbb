#include "platform/utc_time.h"

#include <ctime>

#include "platform/text_format.h"

namespace volantis {
namespace {

// Days since 1970-01-01 of a date of the proleptic Gregorian calendar, and
// back (H. Hinnant's civil calendar algorithms).
int64_t DaysFromCivil(int64_t year, int month, int day) {
  year -= month <= 2 ? 1 : 0;
  const int64_t era = (year >= 0 ? year : year - 399) / 400;
  const int64_t year_of_era = year - era * 400;
  const int64_t day_of_year = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const int64_t day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
  return era * 146097 + day_of_era - 719468;
}

void CivilFromDays(int64_t days, UtcDateTime& time) {
  days += 719468;
  const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const int64_t day_of_era = days - era * 146097;
  const int64_t year_of_era = (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
  const int64_t day_of_year = day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
  const int64_t month_index = (5 * day_of_year + 2) / 153;
  time.day = static_cast<int>(day_of_year - (153 * month_index + 2) / 5 + 1);
  time.month = static_cast<int>(month_index < 10 ? month_index + 3 : month_index - 9);
  time.year = static_cast<int>(year_of_era + era * 400 + (time.month <= 2 ? 1 : 0));
}

}  // namespace

UtcDateTime UtcDateTimeOf(int64_t seconds) {
  int64_t days = seconds / 86400;
  int64_t rest = seconds % 86400;
  if (rest < 0) {
    rest += 86400;
    --days;
  }
  UtcDateTime time;
  CivilFromDays(days, time);
  time.hour = static_cast<int>(rest / 3600);
  time.minute = static_cast<int>(rest / 60 % 60);
  time.second = static_cast<int>(rest % 60);
  return time;
}

std::string UtcText(int64_t seconds) {
  const UtcDateTime t = UtcDateTimeOf(seconds);
  return FormatText("%04d-%02d-%02d %02d:%02d:%02d UTC", t.year, t.month, t.day, t.hour, t.minute, t.second);
}

bool ParseUtcText(const std::string& text, int64_t* seconds) {
  // Exactly "dddd-dd-dd dd:dd:dd UTC".
  static const char kPattern[] = "dddd-dd-dd dd:dd:dd UTC";
  if (text.size() != sizeof(kPattern) - 1) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (kPattern[i] == 'd' ? (c < '0' || c > '9') : c != kPattern[i]) return false;
  }
  return SecondsOfDateDigits(text, seconds);
}

bool SecondsOfDateDigits(const std::string& text, int64_t* seconds) {
  if (text.size() < 19) return false;
  auto number = [&text](std::size_t at, std::size_t digits) {
    int value = 0;
    for (std::size_t i = 0; i < digits; ++i) value = value * 10 + (text[at + i] - '0');
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
  if (seconds != nullptr) *seconds = SecondsOf(t);
  return true;
}

int64_t SecondsOf(const UtcDateTime& t) {
  return DaysFromCivil(t.year, t.month, t.day) * 86400 + t.hour * 3600 + t.minute * 60 + t.second;
}

int64_t UtcNowSeconds() { return static_cast<int64_t>(std::time(nullptr)); }

}  // namespace volantis
