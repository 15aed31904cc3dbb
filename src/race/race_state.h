#pragma once
// The race as the monitor measures it: progress through the gates, the lap
// lists, the timing marks, the previous sample and the four fairness flags. One
// instance lives from the hook on the host window to unload; it owns the Log
// window model every race line goes to.
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/log_window.h"
#include "core/race_definition.h"
#include "platform/sync.h"
#include "race/gate_crossing.h"
#include "race/race_results.h"

namespace volantis {

struct RaceState {
  // log_window: the Log window model; a test or a tool may pass one that also
  // records what is logged. A null pointer is replaced by a plain LogWindow.
  explicit RaceState(std::unique_ptr<LogWindow> log_window = nullptr);
  ~RaceState();
  RaceState(const RaceState&) = delete;
  RaceState& operator=(const RaceState&) = delete;

  // The reset of every race start. It leaves speed_ref_lat, speed_ref_lon,
  // lap_start_count, race_start_count, command_tick, sampling_paused and
  // race_serial and finished_serial alone.
  void Reset();

  // What a race keeps from its start: the course it is judged on and the time
  // sync it is timed and reported with. A course loaded later is not this
  // race's (the judge then judges nothing more); a time sync that ends later
  // applies from the next race, so the finish, the record and the submission
  // all use one offset. Called by every race start after Reset, before the
  // first cycle.
  void BeginOn(const RaceDefinition& definition);

  // A copy of what a finished race reports, for the results submission: a new
  // race started meanwhile cannot change what a running submission sends.
  RaceResults Results() const;

  // The Log window operations the menu reaches through the race state.
  void OpenLog() { log->Open(); }
  void ClearLog() { log->Clear(); }
  void BlankPosition() { log->BlankPosition(); }

  std::unique_ptr<LogWindow> log;
  int32_t last_gate = -1;  // -1: none since the race was started
  int32_t lap_skip_count = 0;
  int32_t total_skip_count = 0;
  int32_t laps_done = 0;
  std::vector<double> lap_times;
  std::vector<int32_t> lap_skips;  // parallel to lap_times
  double finish_secs = 0;          // on the server's clock
  double race_time = 0;
  double prev_lat = 0;
  double prev_lon = 0;
  double prev_alt = 0;
  double speed_ref_lat = 0;
  double speed_ref_lon = 0;
  Event stop_event{true, true};  // manual-reset; set to make the monitor end
  Event done_event{true, true};  // manual-reset; signalled whenever no monitor runs
  bool first_sample = true;
  std::atomic<uint32_t> command_tick{0};      // written by the user-interface thread
  std::atomic<bool> sampling_paused{false};  // written by the user-interface thread
  int64_t lap_start_count = 0;
  int64_t race_start_count = 0;
  bool race_running = false;
  bool cheated_sim_rate = false;
  bool cheated_crash_detect = false;
  bool slewed = false;
  bool moved_too_fast = false;
  double speed_ref_time = 0;  // 0: no speed reference yet

  // The number of the race this state belongs to: every race start takes the
  // next (never 0), so the finish of an earlier race is told apart.
  // Written on the user-interface thread before the monitor starts.
  std::atomic<uint32_t> race_serial{0};
  // The race whose finish is waiting for its Race Finished command (0: none).
  // Set by the judge before the command is posted; taken by the command.
  std::atomic<uint32_t> finished_serial{0};
  // The last lap is done: nothing more is judged until the next reset (monitor thread).
  bool finished = false;
  // The record of the race, named at its start (user-interface thread).
  std::string record_name;
  // Taken by BeginOn (user-interface thread, before the monitor starts).
  uint32_t course_serial = 0;
  double clock_offset = 0;     // local clock minus the server's, seconds
  double best_round_trip = 0;  // seconds
  int32_t aircraft_type = 0;
  // The gate search with what it keeps of the course between cycles (monitor thread).
  GateCrossingJudge crossing_judge;
};

// The race number that follows serial, skipping 0.
inline uint32_t NextRaceSerial(uint32_t serial) { return serial + 1 == 0 ? 1 : serial + 1; }

}  // namespace volantis
