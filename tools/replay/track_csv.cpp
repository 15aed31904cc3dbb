#include "track_csv.h"

#include <charconv>
#include <limits>
#include <string_view>

namespace volantis::replay {
namespace {

constexpr const char* kFieldNames[] = {"counter", "lat_raw", "lon_raw", "alt_raw", "rate_raw", "crash", "slew", "paused"};
constexpr std::size_t kFieldCount = sizeof(kFieldNames) / sizeof(kFieldNames[0]);

// Spaces and tabs around, and a carriage return at the end, are not part of a value.
std::string_view Trim(std::string_view text) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && (text[begin] == ' ' || text[begin] == '\t')) ++begin;
  while (end > begin && (text[end - 1] == ' ' || text[end - 1] == '\t' || text[end - 1] == '\r')) --end;
  return text.substr(begin, end - begin);
}

// Up to kFieldCount values into `fields`; returns how many the line holds.
std::size_t SplitFields(std::string_view line, std::string_view (&fields)[kFieldCount]) {
  std::size_t count = 0;
  std::size_t start = 0;
  for (;;) {
    const std::size_t comma = line.find(',', start);
    if (count < kFieldCount) {
      fields[count] = Trim(line.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start));
    }
    ++count;
    if (comma == std::string_view::npos) break;
    start = comma + 1;
  }
  return count;
}

bool ParseInteger(std::string_view text, int64_t low, int64_t high, int64_t& value) {
  if (text.empty()) return false;
  const char* begin = text.data();
  const char* end = text.data() + text.size();
  if (*begin == '+') ++begin;  // from_chars takes no plus sign
  int64_t parsed = 0;
  const auto [stop, status] = std::from_chars(begin, end, parsed);
  if (status != std::errc() || stop != end) return false;
  if (parsed < low || parsed > high) return false;
  value = parsed;
  return true;
}

}  // namespace

TrackReader::TrackReader(std::istream& in, bool leave_out_torn_row) : in_(in), leave_out_torn_row_(leave_out_torn_row) {}

bool TrackReader::Fail(std::string message) {
  // A torn last row: the line ended the input without a line feed.
  if (leave_out_torn_row_ && have_header_ && in_.eof()) {
    note_ = "a torn last row (cut off while it was written) is ignored: " + message;
  } else {
    error_ = std::move(message);
  }
  done_ = true;
  return false;
}

bool TrackReader::Next(TrackRow& row) {
  if (done_) return false;
  while (std::getline(in_, line_)) {
    ++line_number_;
    const std::string_view trimmed = Trim(line_);
    if (!have_header_) {
      // A byte-order mark some editors write is not part of the header.
      std::string_view header = trimmed;
      if (header.substr(0, 3) == "\xEF\xBB\xBF") header.remove_prefix(3);
      if (header != kTrackHeader) {
        return Fail("line " + std::to_string(line_number_) + ": the header must be \"" + kTrackHeader + "\"");
      }
      have_header_ = true;
      continue;
    }
    if (trimmed.empty()) continue;
    std::string_view fields[kFieldCount];
    const std::size_t count = SplitFields(trimmed, fields);
    if (count != kFieldCount) {
      return Fail("line " + std::to_string(line_number_) + ": " + std::to_string(count) +
                  " values, expected " + std::to_string(kFieldCount));
    }
    struct Limits {
      int64_t low;
      int64_t high;
    };
    static constexpr Limits limits[kFieldCount] = {
        {std::numeric_limits<int64_t>::min(), std::numeric_limits<int64_t>::max()},
        {std::numeric_limits<int64_t>::min(), std::numeric_limits<int64_t>::max()},
        {std::numeric_limits<int64_t>::min(), std::numeric_limits<int64_t>::max()},
        {std::numeric_limits<int64_t>::min(), std::numeric_limits<int64_t>::max()},
        {std::numeric_limits<int16_t>::min(), std::numeric_limits<int16_t>::max()},
        {std::numeric_limits<int8_t>::min(), std::numeric_limits<int8_t>::max()},
        {0, std::numeric_limits<uint16_t>::max()},
        {0, 1},
    };
    int64_t values[kFieldCount] = {};
    for (std::size_t i = 0; i < kFieldCount; ++i) {
      if (!ParseInteger(fields[i], limits[i].low, limits[i].high, values[i])) {
        return Fail("line " + std::to_string(line_number_) + ": bad " + kFieldNames[i] + " value \"" +
                    std::string(fields[i]) +
                    "\" (an integer from " + std::to_string(limits[i].low) + " to " +
                    std::to_string(limits[i].high) + ")");
      }
    }
    row.counter = values[0];
    row.lat_raw = values[1];
    row.lon_raw = values[2];
    row.alt_raw = values[3];
    row.rate_raw = static_cast<int16_t>(values[4]);
    row.crash = static_cast<int8_t>(values[5]);
    row.slew = static_cast<uint16_t>(values[6]);
    row.paused = values[7] == 1;
    row.line = line_number_;
    return true;
  }
  done_ = true;
  if (!have_header_) {
    error_ = "the track is empty; the first line must be \"" + std::string(kTrackHeader) + "\"";
  }
  return false;
}

bool ParseTrack(std::istream& in, std::vector<TrackRow>& rows, std::string& error, std::string* note) {
  TrackReader reader(in, note != nullptr);
  TrackRow row;
  while (reader.Next(row)) rows.push_back(row);
  if (reader.failed()) {
    error = reader.error();
    return false;
  }
  if (note != nullptr) *note = reader.note();
  return true;
}

}  // namespace volantis::replay
