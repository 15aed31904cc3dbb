#pragma once
// The race monitor: starts and stops the worker that samples the aircraft every
// 40 ms from the host's memory, keeps the fairness flags and hands every changed
// position to the judge. StartRace and StopRace run on the user-interface thread.
#include <cstdint>

#include "platform/host_memory.h"
#include "race/cycle_clock.h"
#include "race/race_services.h"
#include "race/race_state.h"

namespace volantis {

inline constexpr uint32_t kMonitorPeriodMs = 40;
inline constexpr uint32_t kStopWaitMs = 3000;
inline constexpr uint32_t kCommandQuietMs = 500;

class RaceMonitor {
 public:
  RaceMonitor(RaceState& state, RaceServices services, HostMemory& memory);
  // Stops a monitor that still runs, so it never outlives the objects it uses.
  ~RaceMonitor();
  RaceMonitor(const RaceMonitor&) = delete;
  RaceMonitor& operator=(const RaceMonitor&) = delete;

  // Gives the race the next number, resets the race state and starts the
  // monitor thread; logs the outcome. Starts nothing when the course loaded
  // last has no race (course_without_race).
  void StartRace();
  // Stops the monitor (waiting at most 3000 ms, while still serving the window
  // messages the monitor may be sending), blanks the position and logs the stop.
  // The race is no longer under way afterwards (a validation may start again).
  void StopRace();
  bool IsMonitorRunning();
  // False while sampling_paused, and for 500 ms after command_tick (tick arithmetic
  // in unsigned 32 bits, so a wrap of the tick count is harmless).
  bool SamplingAllowed();

  // One sampling cycle, exactly as the thread runs it every 40 ms. Every read
  // of the counter within a cycle gives the same count, the one the cycle's
  // record holds, so a recorded race is judged again exactly.
  void MonitorCycle();

 private:
  void MonitorThread();
  void BeginRecord();
  void Record(bool paused);

  RaceState& state_;
  RaceServices services_;
  CycleClock cycle_clock_;       // services_.clock, held still for a cycle
  RaceServices judge_services_;  // services_ with cycle_clock_
  HostMemory& memory_;
  TrackSample last_sample_;       // monitor thread only
  bool memory_attached_ = false;  // monitor thread only
  bool attach_reported_ = false;  // monitor thread only
};

}  // namespace volantis
