#pragma once
// Calendar dates in UTC from seconds since 1970, worked out without the C
// library's time zone state, so any thread may use them.
#include <cstdint>
#include <string>

namespace volantis {

struct UtcDateTime {
  int year = 1970;
  int month = 1;  // 1-12
  int day = 1;    // 1-31
  int hour = 0;
  int minute = 0;
  int second = 0;
};

UtcDateTime UtcDateTimeOf(int64_t seconds_since_1970);
// "2026-12-10 16:40:05 UTC"
std::string UtcText(int64_t seconds_since_1970);
// The seconds of a text UtcText wrote; false when text is not one.
bool ParseUtcText(const std::string& text, int64_t* seconds_since_1970);
// The date and time of text whose first 19 characters hold its digits at the
// places of "yyyy-mm-dd hh:mm:ss" (the caller has checked they are digits);
// false when the text is shorter or a field is out of range.
bool SecondsOfDateDigits(const std::string& text, int64_t* seconds);
// Seconds since 1970 of a UTC date and time (the inverse of UtcDateTimeOf).
int64_t SecondsOf(const UtcDateTime& time);
// Now, in seconds since 1970.
int64_t UtcNowSeconds();

}  // namespace volantis
