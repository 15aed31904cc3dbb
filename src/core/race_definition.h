#pragma once
// The race definition the server sends (laps, speed limit, gates) and the time
// sync's results. One program-wide instance lives in AppSettings.
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/sync.h"

namespace volantis {

// One gate: a directed segment flown with the left end on the pilot's left,
// with an optional altitude band (0 = no floor / no ceiling), in feet.
struct Gate {
  double left_lat = 0;
  double left_lon = 0;
  double right_lat = 0;
  double right_lon = 0;
  int32_t min_alt = 0;
  int32_t max_alt = 0;
};

inline constexpr uint32_t kGatesLockTimeoutMs = 10000;

// What the Validate window says when a validation would disturb a race under way.
inline constexpr const char* kRaceUnderWayText =
    "A race is under way: stop the race first (Stop Race in the Volantis menu), then validate.\n";
inline constexpr double kKnotsToNmPerSecond = 0.0002777777777777778;

struct RaceDefinition {
  RaceDefinition();
  ~RaceDefinition();
  RaceDefinition(const RaceDefinition&) = delete;
  RaceDefinition& operator=(const RaceDefinition&) = delete;

  // Single values written by one thread and read by another without a lock.
  std::atomic<int32_t> laps{0};
  // Nautical miles per second; 500 knots until the server sends a limit. 0 or
  // less (max_knots=0) means no speed limit.
  std::atomic<double> max_speed{0.1388888888888889};
  std::atomic<int32_t> aircraft_type{0};
  std::vector<std::unique_ptr<Gate>> gates;  // only under gates_lock
  std::string course_text;                   // the race start info the gates came from; under gates_lock
  Event gates_lock{false, true};             // auto-reset, created signalled: free
  std::atomic<double> clock_offset{0};       // local clock minus server clock, seconds
  std::atomic<double> best_round_trip{0};    // seconds
  // A race on these gates is under way: the judge sets it at the first accepted
  // crossing (holding gates_lock), the monitor clears it when it resets or stops
  // the race. While it is set no validation starts.
  std::atomic<bool> race_under_way{false};
  // Every course loaded takes the next number (under gates_lock). A race is
  // judged only on the course it was started on: once another course replaces
  // it, nothing more is judged until the race is stopped.
  std::atomic<uint32_t> course_serial{0};
  // The last course loaded has no gate or no lap to fly: a Start Race then only
  // stops the race that is running and starts none.
  std::atomic<bool> course_without_race{false};
};

// Holds gates_lock for a scope: waits at most 10,000 ms, and sets the event again
// on leaving only if it got it. The holder reports a time-out in its own words.
class GatesLockGuard {
 public:
  explicit GatesLockGuard(RaceDefinition& definition, uint32_t timeout_ms = kGatesLockTimeoutMs)
      : definition_(definition), acquired_(definition.gates_lock.Wait(timeout_ms) == WaitResult::kSignaled) {}
  ~GatesLockGuard() {
    if (acquired_) definition_.gates_lock.Set();
  }
  GatesLockGuard(const GatesLockGuard&) = delete;
  GatesLockGuard& operator=(const GatesLockGuard&) = delete;
  bool acquired() const { return acquired_; }

 private:
  RaceDefinition& definition_;
  bool acquired_;
};

}  // namespace volantis
