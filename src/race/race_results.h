#pragma once
// What a finished race reports: a copy taken from the RaceState, so a new race
// cannot change what a running submission sends.
#include <cstdint>
#include <string>
#include <vector>

namespace volantis {

struct RaceResults {
  bool moved_too_fast = false;
  bool cheated_crash_detect = false;
  bool slewed = false;
  bool cheated_sim_rate = false;
  std::vector<double> lap_times;   // seconds per completed lap
  std::vector<int32_t> lap_skips;  // skipped gates per completed lap, parallel to lap_times
  double race_time = 0;
  double finish_secs = 0;  // on the server's clock
  std::string record_name;  // the race's record, empty when it has none
  double best_round_trip = 0;  // seconds: the time sync the race was timed with
};

// "%f" per lap joined by ","; the number of lap_times governs both lists.
std::string FormatLapTimes(const RaceResults& results);
// "%d" per lap joined by ",".
std::string FormatLapSkips(const RaceResults& results);

}  // namespace volantis
