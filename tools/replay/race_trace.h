#pragma once
// What the judge saw and did in a replay, sample by sample: the course it judged
// against, every sample the monitor took, and each accepted crossing, skip, lap
// and fairness flag with the sample it happened at. Recorded by watching the
// race state around every cycle, so it follows the judge rather than guessing.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <vector>

#include "core/race_definition.h"
#include "race/gate_crossing.h"
#include "replay.h"

namespace volantis::replay {

// The race definition as judged: a copy taken under gates_lock.
struct JudgedCourse {
  std::vector<std::unique_ptr<Gate>> gates;  // in race order, never null
  int32_t laps = 0;
  double max_speed = 0;  // nautical miles per second
};
JudgedCourse CopyCourse(RaceDefinition& definition);

// One sample the monitor took (a paused cycle takes none).
struct TracedSample {
  std::size_t row = 0;   // index of its row in the track
  std::size_t line = 0;  // line of the CSV, 0 when not read from one
  int64_t counter = 0;
  Sample position;      // degrees, degrees, feet, as the monitor converted them
  bool judged = false;  // handed to the judge with the sample before it
};

// An accepted crossing: the judge found `gate` between samples[sample - 1] and
// samples[sample] and did not ignore it.
struct TracedCrossing {
  int32_t gate = 0;
  std::size_t sample = 0;
  int32_t previous_gate = -1;         // last_gate before it: -1 before the start
  // The judge's chances at the gates in between: the pairs ending at samples
  // window_begin..sample (from the accepted crossing before, or the start).
  std::size_t window_begin = 0;
  std::vector<int32_t> skipped;       // gates counted skipped here, in the order they were logged
  int32_t lap = 0;                    // the lap the skips count in; 0 before the start
  bool starts_timing = false;
  std::optional<int32_t> completes_lap;  // the lap's number
  bool finishes = false;
};

struct TracedLap {
  int32_t number = 0;
  std::size_t crossing = 0;  // index into crossings of the one that completed it
  double seconds = 0;        // as the judge recorded it
  int32_t skips = 0;
};

enum class FairnessFlag { kMovedTooFast, kCheatedCrashDetect, kSlewed, kCheatedSimRate };
// The result field's name, e.g. "moved_too_fast".
const char* FlagName(FairnessFlag flag);

struct TracedFlag {
  FairnessFlag flag = FairnessFlag::kMovedTooFast;
  std::size_t sample = 0;  // the first sample that set it
  int16_t rate_raw = 256;
  int8_t crash = 1;
  uint16_t slew = 0;
  // moved_too_fast: the judge's speed window that exceeded the limit.
  double speed = 0;     // nautical miles per second
  double distance = 0;  // nautical miles
  double window = 0;    // seconds
  Sample window_start;  // the speed reference
};

struct RaceTrace {
  JudgedCourse course;
  int64_t frequency = 1;  // counts per second, as the judge reads it
  // A deque: a six-hour track grows by blocks, never copied whole into a buffer twice its size.
  std::deque<TracedSample> samples;
  std::vector<TracedCrossing> crossings;
  std::vector<TracedLap> laps;
  std::vector<TracedFlag> flags;  // in the order they were set
  std::optional<std::size_t> start_crossing;  // index into crossings
  double race_time = 0;                       // as the judge recorded it, when finished
  bool finished = false;

  // The counter value the race clock counts from: the sample that started the
  // timing, else the first sample.
  int64_t ClockOrigin() const;
  // Seconds on the race clock of a (possibly fractional) counter value.
  double RaceSeconds(double counter) const;
};

class TraceRecorder : public CycleObserver {
 public:
  // Copies the course; frequency as the replay's clock reports it.
  TraceRecorder(RaceDefinition& definition, int64_t frequency);

  void BeforeCycle(std::size_t row_index, const TrackRow& row, const RaceState& state) override;
  void AfterCycle(std::size_t row_index, const TrackRow& row, const RaceState& state) override;

  const RaceTrace& trace() const { return trace_; }
  RaceTrace TakeTrace() { return std::move(trace_); }

 private:
  struct Marks {
    int32_t last_gate = -1;
    int32_t laps_done = 0;
    int32_t total_skip_count = 0;
    bool race_running = false;
    bool first_sample = true;
    Sample previous;
    double speed_ref_lat = 0;
    double speed_ref_lon = 0;
    double speed_ref_time = 0;
    bool flags[4] = {false, false, false, false};
  };
  static Marks Read(const RaceState& state);

  RaceTrace trace_;
  Marks before_;
  std::size_t last_crossing_sample_ = 0;
};

}  // namespace volantis::replay
