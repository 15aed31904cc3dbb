#include "core/race_definition.h"
#include "race/race_state.h"

#include <gtest/gtest.h>

namespace volantis {
namespace {

TEST(RaceStateTest, Construction) {
  RaceState state;
  ASSERT_NE(state.log, nullptr);
  EXPECT_TRUE(state.lap_times.empty());
  EXPECT_TRUE(state.lap_skips.empty());
  EXPECT_EQ(state.command_tick.load(), 0u);
  EXPECT_FALSE(state.sampling_paused.load());
  EXPECT_EQ(state.speed_ref_time, 0);
  EXPECT_FALSE(state.race_running || state.cheated_sim_rate || state.cheated_crash_detect || state.slewed ||
               state.moved_too_fast);
  EXPECT_EQ(state.stop_event.Wait(0), WaitResult::kSignaled);  // manual-reset: stays signalled
  EXPECT_EQ(state.stop_event.Wait(0), WaitResult::kSignaled);
  EXPECT_EQ(state.done_event.Wait(0), WaitResult::kSignaled);
  EXPECT_EQ(state.done_event.Wait(0), WaitResult::kSignaled);
}

// The reset clears exactly the race's own measurements and keeps the rest.
TEST(RaceStateTest, ResetClearsTheRaceAndKeepsTheRest) {
  RaceState state;
  state.prev_lat = 1;
  state.prev_lon = 2;
  state.prev_alt = 3;
  state.last_gate = 4;
  state.lap_skip_count = 5;
  state.total_skip_count = 6;
  state.laps_done = 7;
  state.first_sample = false;
  state.lap_times = {61.5, 60.25};
  state.lap_skips = {0, 1};
  state.finish_secs = 8;
  state.race_time = 9;
  state.speed_ref_time = 10;
  state.race_running = true;
  state.cheated_sim_rate = true;
  state.cheated_crash_detect = true;
  state.slewed = true;
  state.moved_too_fast = true;
  state.speed_ref_lat = 11;
  state.speed_ref_lon = 12;
  state.lap_start_count = 13;
  state.race_start_count = 14;
  state.command_tick = 15;
  state.sampling_paused = true;

  state.Reset();

  EXPECT_EQ(state.prev_lat, 0);
  EXPECT_EQ(state.prev_lon, 0);
  EXPECT_EQ(state.prev_alt, 0);
  EXPECT_EQ(state.last_gate, -1);
  EXPECT_EQ(state.lap_skip_count, 0);
  EXPECT_EQ(state.total_skip_count, 0);
  EXPECT_EQ(state.laps_done, 0);
  EXPECT_TRUE(state.first_sample);
  EXPECT_TRUE(state.lap_times.empty());
  EXPECT_TRUE(state.lap_skips.empty());
  EXPECT_EQ(state.lap_times.capacity(), 0u);  // storage released
  EXPECT_EQ(state.lap_skips.capacity(), 0u);
  EXPECT_EQ(state.finish_secs, 0);
  EXPECT_EQ(state.race_time, 0);
  EXPECT_EQ(state.speed_ref_time, 0);
  EXPECT_FALSE(state.race_running || state.cheated_sim_rate || state.cheated_crash_detect || state.slewed ||
               state.moved_too_fast);
  // Kept.
  EXPECT_EQ(state.speed_ref_lat, 11);
  EXPECT_EQ(state.speed_ref_lon, 12);
  EXPECT_EQ(state.lap_start_count, 13);
  EXPECT_EQ(state.race_start_count, 14);
  EXPECT_EQ(state.command_tick.load(), 15u);
  EXPECT_TRUE(state.sampling_paused.load());
}

TEST(RaceStateTest, ResultsAreACopy) {
  RaceState state;
  state.lap_times = {61.5, 60.25, 59.125};
  state.lap_skips = {0, 1, 0};
  state.race_time = 180.875;
  state.finish_secs = 4321.5;
  state.slewed = true;
  const RaceResults results = state.Results();
  state.Reset();
  EXPECT_EQ(results.lap_times, (std::vector<double>{61.5, 60.25, 59.125}));
  EXPECT_EQ(FormatLapTimes(results), "61.500000,60.250000,59.125000");
  EXPECT_EQ(FormatLapSkips(results), "0,1,0");
  EXPECT_EQ(results.race_time, 180.875);
  EXPECT_EQ(results.finish_secs, 4321.5);
  EXPECT_TRUE(results.slewed);
  EXPECT_FALSE(results.moved_too_fast);
}

}  // namespace
}  // namespace volantis

namespace volantis {
namespace {

TEST(RaceDefinitionTest, InitialValues) {
  RaceDefinition definition;
  EXPECT_EQ(definition.laps.load(), 0);
  EXPECT_EQ(definition.max_speed.load(), 0.1388888888888889);
  EXPECT_EQ(definition.max_speed.load(), 500 * kKnotsToNmPerSecond);  // 500 knots
  EXPECT_EQ(definition.aircraft_type.load(), 0);
  EXPECT_TRUE(definition.gates.empty());
  EXPECT_EQ(definition.clock_offset.load(), 0);
  EXPECT_EQ(definition.best_round_trip.load(), 0);
}

// gates_lock is an auto-reset event created free: one holder at a time, and a
// guard that timed out must not free a lock someone else holds.
TEST(RaceDefinitionTest, GatesLockGuard) {
  RaceDefinition definition;
  {
    GatesLockGuard first(definition, 0);
    EXPECT_TRUE(first.acquired());
    GatesLockGuard second(definition, 10);
    EXPECT_FALSE(second.acquired());
  }  // the second leaves the lock alone, the first frees it
  GatesLockGuard again(definition, 0);
  EXPECT_TRUE(again.acquired());
  GatesLockGuard once_more(definition, 0);
  EXPECT_FALSE(once_more.acquired());
}

}  // namespace
}  // namespace volantis
