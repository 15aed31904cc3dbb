#include "race/race_state.h"

#include <utility>

namespace volantis {

RaceState::RaceState(std::unique_ptr<LogWindow> log_window)
    : log(log_window ? std::move(log_window) : std::make_unique<LogWindow>()) {}

RaceState::~RaceState() = default;

void RaceState::Reset() {
  prev_lat = 0;
  prev_lon = 0;
  prev_alt = 0;
  last_gate = -1;
  lap_skip_count = 0;
  total_skip_count = 0;
  laps_done = 0;
  first_sample = true;
  std::vector<double>().swap(lap_times);  // emptied and the storage released
  std::vector<int32_t>().swap(lap_skips);
  finish_secs = 0;
  race_time = 0;
  speed_ref_time = 0;
  race_running = false;
  cheated_sim_rate = false;
  cheated_crash_detect = false;
  slewed = false;
  moved_too_fast = false;
  finished = false;
}

void RaceState::BeginOn(const RaceDefinition& definition) {
  course_serial = definition.course_serial.load();
  clock_offset = definition.clock_offset.load();
  best_round_trip = definition.best_round_trip.load();
  aircraft_type = definition.aircraft_type.load();
}

RaceResults RaceState::Results() const {
  RaceResults results;
  results.moved_too_fast = moved_too_fast;
  results.cheated_crash_detect = cheated_crash_detect;
  results.slewed = slewed;
  results.cheated_sim_rate = cheated_sim_rate;
  results.lap_times = lap_times;
  results.lap_skips = lap_skips;
  results.race_time = race_time;
  results.finish_secs = finish_secs;
  results.record_name = record_name;
  results.best_round_trip = best_round_trip;
  return results;
}

}  // namespace volantis
