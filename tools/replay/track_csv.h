#pragma once
// A recorded flight: one monitor cycle per row, with the raw host-memory values
// the monitor reads in that cycle.
#include <cstddef>
#include <cstdint>
#include <istream>
#include <string>
#include <vector>

namespace volantis::replay {

inline constexpr const char* kTrackHeader = "counter,lat_raw,lon_raw,alt_raw,rate_raw,crash,slew,paused";

struct TrackRow {
  int64_t counter = 0;  // every counter read of the cycle returns it
  int64_t lat_raw = 0;
  int64_t lon_raw = 0;
  int64_t alt_raw = 0;  // metres * 2^32
  int16_t rate_raw = 256;
  int8_t crash = 1;
  uint16_t slew = 0;
  bool paused = false;  // the cycle takes no sample
  std::size_t line = 0;  // line of the CSV it was read from (the header is line 1); 0 when not read from one
};

// Reads the header line and every row. Blank lines are skipped; a line may end
// in a carriage return. On failure returns false with a message naming the line
// and the field.
//
// A last row that does not parse and has no line feed after it is a row the
// recorder was stopped while writing: it is left out, and when `note` is given
// it says so ("line N: ..."), else it is an error like any other.
bool ParseTrack(std::istream& in, std::vector<TrackRow>& rows, std::string& error, std::string* note = nullptr);

// Where a replay takes its rows from, one at a time.
class RowSource {
 public:
  virtual ~RowSource() = default;
  // The next row; false at the end (or when the rows cannot be read further).
  virtual bool Next(TrackRow& row) = 0;
};

// The rows of a CSV read as they are needed, so a long track is never held
// whole; the same rules as ParseTrack.
class TrackReader : public RowSource {
 public:
  // With leave_out_torn_row, a torn last row ends the rows with a note.
  TrackReader(std::istream& in, bool leave_out_torn_row);
  bool Next(TrackRow& row) override;
  bool failed() const { return !error_.empty(); }
  const std::string& error() const { return error_; }  // naming the line and the field
  const std::string& note() const { return note_; }    // about a torn last row, else empty

 private:
  bool Fail(std::string message);
  std::istream& in_;
  bool leave_out_torn_row_;
  bool have_header_ = false;
  bool done_ = false;
  std::size_t line_number_ = 0;
  std::string line_;
  std::string error_;
  std::string note_;
};

// The rows of a vector, in order.
class RowList : public RowSource {
 public:
  explicit RowList(const std::vector<TrackRow>& rows) : rows_(rows) {}
  bool Next(TrackRow& row) override {
    if (next_ >= rows_.size()) return false;
    row = rows_[next_++];
    return true;
  }

 private:
  const std::vector<TrackRow>& rows_;
  std::size_t next_ = 0;
};

}  // namespace volantis::replay
