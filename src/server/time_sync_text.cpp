#include "server/time_sync_text.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "platform/text_format.h"

namespace volantis {

namespace {

bool IsBlank(char ch) { return ch == ' ' || ch == '\t' || ch == '\n' || ch == '\v' || ch == '\f' || ch == '\r'; }
bool IsDigit(char ch) { return ch >= '0' && ch <= '9'; }

// A cursor over the answer that reads it the way its printf-style format would
// be scanned, never past its end.
class Scanner {
 public:
  explicit Scanner(const std::string& text) : text_(text) {}

  // Matches a piece of the format: a blank skips any white space, any other
  // character must be next.
  bool Literal(const char* piece) {
    for (; *piece != '\0'; ++piece) {
      if (IsBlank(*piece)) {
        SkipBlanks();
      } else if (pos_ < text_.size() && text_[pos_] == *piece) {
        ++pos_;
      } else {
        return false;
      }
    }
    return true;
  }

  bool Int(int32_t& value) {
    SkipBlanks();
    std::size_t at = pos_;
    bool negative = false;
    if (at < text_.size() && (text_[at] == '+' || text_[at] == '-')) negative = text_[at++] == '-';
    if (at >= text_.size() || !IsDigit(text_[at])) return false;
    int64_t magnitude = 0;
    for (; at < text_.size() && IsDigit(text_[at]); ++at) {
      if (magnitude <= std::numeric_limits<int32_t>::max()) magnitude = magnitude * 10 + (text_[at] - '0');
    }
    magnitude = negative ? -magnitude : magnitude;
    if (magnitude > std::numeric_limits<int32_t>::max()) magnitude = std::numeric_limits<int32_t>::max();
    if (magnitude < std::numeric_limits<int32_t>::min()) magnitude = std::numeric_limits<int32_t>::min();
    value = static_cast<int32_t>(magnitude);
    pos_ = at;
    return true;
  }

  bool Double(double& value) {
    SkipBlanks();
    // The text holds no zero byte before its end (it was cut at the first one),
    // so strtod stops inside it.
    const char* start = text_.c_str() + pos_;
    char* end = nullptr;
    value = std::strtod(start, &end);
    if (end == start) return false;
    pos_ += static_cast<std::size_t>(end - start);
    return true;
  }

  bool Word(std::string& word) {
    SkipBlanks();
    std::size_t at = pos_;
    while (at < text_.size() && !IsBlank(text_[at]) && text_[at] != '\0') ++at;
    if (at == pos_) return false;
    word = text_.substr(pos_, at - pos_);
    pos_ = at;
    return true;
  }

 private:
  void SkipBlanks() {
    while (pos_ < text_.size() && IsBlank(text_[pos_])) ++pos_;
  }
  const std::string& text_;
  std::size_t pos_ = 0;
};

}  // namespace

std::string TimeSyncRequestText(int32_t id, const std::string& version, const std::string& player_name) {
  std::string player = player_name.substr(0, std::min(player_name.size(), std::strlen(player_name.c_str())));
  if (player.size() > kTimeSyncPlayerMax) player.resize(kTimeSyncPlayerMax);
  for (char& ch : player) {
    if (ch == ' ') ch = '_';
  }
  return FormatText("Time sync request %d version %s player %s", static_cast<int>(id), version.c_str(),
                    player.c_str());
}

std::string TimeSyncAnswerText(const char* bytes, std::size_t received) {
  const void* zero = std::memchr(bytes, '\0', received);
  std::size_t length = zero != nullptr ? static_cast<std::size_t>(static_cast<const char*>(zero) - bytes) : received;
  return std::string(bytes, length);
}

TimeSyncAnswer ParseTimeSyncAnswer(const std::string& whole) {
  TimeSyncAnswer answer;
  // Scanning a C text ends at its first zero byte.
  const std::string text = TimeSyncAnswerText(whole.data(), whole.size());
  {
    Scanner scan(text);
    int32_t id = 0;
    double server_time = 0;
    int32_t aircraft = 0;
    if (scan.Literal("Time sync response ") && scan.Int(id) && scan.Literal(" time ") && scan.Double(server_time) &&
        scan.Literal(" aircraft ") && scan.Int(aircraft) && std::isfinite(server_time)) {
      answer.kind = TimeSyncAnswer::Kind::kResponse;
      answer.id = id;
      answer.server_time = server_time;
      answer.aircraft = aircraft;
      return answer;
    }
  }
  Scanner scan(text);
  std::string word;
  if (scan.Literal("Time sync error: ") && scan.Word(word)) {
    answer.kind = TimeSyncAnswer::Kind::kError;
    answer.error_word = word;
  }
  return answer;
}

const char* AircraftName(int32_t aircraft_type) {
  static const char* const kNames[] = {"RD_P-51D_Mustang", "Pitts S-2S Bulldog 2K2", "Legacy2000", "P-38L_Racer",
                                       "T6-Texan_Racer"};
  if (aircraft_type < 0 || aircraft_type >= static_cast<int32_t>(sizeof(kNames) / sizeof(kNames[0])))
    return "UNKNOWN";
  return kNames[aircraft_type];
}

}  // namespace volantis
