#pragma once
// The texts of the UDP time synchronisation: the request, and the reading of an
// answer that arrives as untrusted bytes.
#include <cstddef>
#include <cstdint>
#include <string>

namespace volantis {

inline constexpr std::size_t kTimeSyncAnswerMax = 100;
inline constexpr std::size_t kTimeSyncPlayerMax = 30;

// "Time sync request %d version %s player %s" with the first 30 characters of the
// player name, spaces as "_".
std::string TimeSyncRequestText(int32_t id, const std::string& version, const std::string& player_name);

// The answer as text: the received bytes up to the first zero byte, never past
// what was received.
std::string TimeSyncAnswerText(const char* bytes, std::size_t received);

struct TimeSyncAnswer {
  enum class Kind {
    kResponse,  // "Time sync response %d time %lf aircraft %d", all three fields
    kError,     // "Time sync error: %s", the first word
    kOther,
  };
  Kind kind = Kind::kOther;
  int32_t id = 0;
  double server_time = 0;
  int32_t aircraft = 0;
  std::string error_word;
};

// Reads the answer as the formats above would be scanned: blanks in a format
// match any run of white space, numbers may follow white space, and text after
// the last field is ignored. A server time that is not a finite number does not
// count as a response.
TimeSyncAnswer ParseTimeSyncAnswer(const std::string& text);

// The name logged for a race aircraft number, "UNKNOWN" for any other.
const char* AircraftName(int32_t aircraft_type);

}  // namespace volantis
