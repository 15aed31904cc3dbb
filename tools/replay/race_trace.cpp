#include "race_trace.h"

#include <stdexcept>

#include "host/host_values.h"
#include "race/distance_bearing.h"

namespace volantis::replay {
namespace {

constexpr int kFlagCount = 4;

// The gates the judge counts skipped when it accepts idx after last, in its order.
std::vector<int32_t> SkippedGates(int32_t last, int32_t idx, int32_t n) {
  std::vector<int32_t> skipped;
  if (idx == last + 1 || (last == n - 1 && idx == 0)) return skipped;
  if (idx > last + 1) {
    for (int32_t j = last + 1; j < idx; ++j) skipped.push_back(j);
  } else {
    for (int32_t j = last + 1; j < n; ++j) skipped.push_back(j);
    for (int32_t j = 0; j < idx; ++j) skipped.push_back(j);
  }
  return skipped;
}

}  // namespace

JudgedCourse CopyCourse(RaceDefinition& definition) {
  JudgedCourse course;
  GatesLockGuard guard(definition);
  if (!guard.acquired()) throw std::runtime_error("timed out waiting for the gates lock");
  for (const auto& gate : definition.gates) {
    if (gate != nullptr) course.gates.push_back(std::make_unique<Gate>(*gate));
  }
  course.laps = definition.laps.load();
  course.max_speed = definition.max_speed.load();
  return course;
}

const char* FlagName(FairnessFlag flag) {
  switch (flag) {
    case FairnessFlag::kMovedTooFast:
      return "moved_too_fast";
    case FairnessFlag::kCheatedCrashDetect:
      return "cheated_crash_detect";
    case FairnessFlag::kSlewed:
      return "slewed";
    case FairnessFlag::kCheatedSimRate:
      return "cheated_sim_rate";
  }
  return "?";
}

int64_t RaceTrace::ClockOrigin() const {
  if (start_crossing) return samples[crossings[*start_crossing].sample].counter;
  return samples.empty() ? 0 : samples.front().counter;
}

double RaceTrace::RaceSeconds(double counter) const {
  return (counter - static_cast<double>(ClockOrigin())) / static_cast<double>(frequency);
}

TraceRecorder::TraceRecorder(RaceDefinition& definition, int64_t frequency) {
  trace_.course = CopyCourse(definition);
  trace_.frequency = frequency > 0 ? frequency : 1;  // as the judge takes a rate of 0
}

TraceRecorder::Marks TraceRecorder::Read(const RaceState& state) {
  Marks marks;
  marks.last_gate = state.last_gate;
  marks.laps_done = state.laps_done;
  marks.total_skip_count = state.total_skip_count;
  marks.race_running = state.race_running;
  marks.first_sample = state.first_sample;
  marks.previous = Sample{state.prev_lat, state.prev_lon, state.prev_alt};
  marks.speed_ref_lat = state.speed_ref_lat;
  marks.speed_ref_lon = state.speed_ref_lon;
  marks.speed_ref_time = state.speed_ref_time;
  marks.flags[static_cast<int>(FairnessFlag::kMovedTooFast)] = state.moved_too_fast;
  marks.flags[static_cast<int>(FairnessFlag::kCheatedCrashDetect)] = state.cheated_crash_detect;
  marks.flags[static_cast<int>(FairnessFlag::kSlewed)] = state.slewed;
  marks.flags[static_cast<int>(FairnessFlag::kCheatedSimRate)] = state.cheated_sim_rate;
  return marks;
}

void TraceRecorder::BeforeCycle(std::size_t, const TrackRow&, const RaceState& state) { before_ = Read(state); }

void TraceRecorder::AfterCycle(std::size_t row_index, const TrackRow& row, const RaceState& state) {
  if (row.paused) return;  // the cycle took no sample and judged nothing
  const Marks after = Read(state);

  TracedSample sample;
  sample.row = row_index;
  sample.line = row.line;
  sample.counter = row.counter;
  sample.position = Sample{LatitudeDegrees(row.lat_raw), LongitudeDegrees(row.lon_raw), AltitudeFeet(row.alt_raw)};
  sample.judged = !before_.first_sample && (sample.position.lat != before_.previous.lat ||
                                            sample.position.lon != before_.previous.lon ||
                                            sample.position.alt != before_.previous.alt);
  trace_.samples.push_back(sample);
  const std::size_t k = trace_.samples.size() - 1;

  if (after.last_gate != before_.last_gate) {
    TracedCrossing crossing;
    crossing.gate = after.last_gate;
    crossing.sample = k;
    crossing.previous_gate = before_.last_gate;
    crossing.window_begin = before_.last_gate == -1 ? 1 : last_crossing_sample_;
    crossing.skipped =
        SkippedGates(before_.last_gate, after.last_gate, static_cast<int32_t>(trace_.course.gates.size()));
    if (static_cast<int32_t>(crossing.skipped.size()) != after.total_skip_count - before_.total_skip_count) {
      throw std::logic_error("the skipped gates do not add up to the judge's count");
    }
    crossing.lap = before_.last_gate == -1 ? 0 : before_.laps_done + 1;
    crossing.starts_timing = before_.last_gate == -1 && after.race_running;
    if (crossing.starts_timing) trace_.start_crossing = trace_.crossings.size();
    if (after.laps_done > before_.laps_done && !state.lap_times.empty()) {
      crossing.completes_lap = after.laps_done;
      trace_.laps.push_back(TracedLap{after.laps_done, trace_.crossings.size(), state.lap_times.back(),
                                      state.lap_skips.empty() ? 0 : state.lap_skips.back()});
      if (before_.race_running && !after.race_running) {
        crossing.finishes = true;
        trace_.finished = true;
        trace_.race_time = state.race_time;
      }
    }
    trace_.crossings.push_back(std::move(crossing));
    last_crossing_sample_ = k;
  }

  for (int f = 0; f < kFlagCount; ++f) {
    if (before_.flags[f] || !after.flags[f]) continue;
    TracedFlag flag;
    flag.flag = static_cast<FairnessFlag>(f);
    flag.sample = k;
    flag.rate_raw = row.rate_raw;
    flag.crash = row.crash;
    flag.slew = row.slew;
    if (flag.flag == FairnessFlag::kMovedTooFast) {
      // The judge's own arithmetic on the reference it held before this sample.
      const double now = static_cast<double>(row.counter) / static_cast<double>(trace_.frequency);
      flag.window = now - before_.speed_ref_time;
      flag.distance =
          DistanceBearing(before_.speed_ref_lat, before_.speed_ref_lon, sample.position.lat, sample.position.lon)
              .distance;
      flag.speed = flag.distance / flag.window;
      flag.window_start = Sample{before_.speed_ref_lat, before_.speed_ref_lon, 0};
    }
    trace_.flags.push_back(flag);
  }
}

}  // namespace volantis::replay
