#include "race/gate_check.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "race_fakes.h"

namespace volantis {
namespace {

using testing::JudgeBench;
using Lines = std::vector<std::string>;

constexpr int64_t kFrequency = 10000000;

// Sets the counter to a time in seconds.
void At(JudgeBench& b, double seconds) { b.clock.counter = static_cast<int64_t>(seconds * kFrequency); }

// One westward passage through gate i of the line of gates, as a pair of samples.
void Pass(JudgeBench& b, int i) {
  const double lon = JudgeBench::GateLongitude(i);
  b.state.prev_lat = 0.005;
  b.state.prev_lon = lon + 0.0001;
  b.state.prev_alt = 500;
  GateCheck(b.state, b.services, 0.005, lon - 0.0001, 500);
}

void PassAll(JudgeBench& b, std::initializer_list<int> gates, double first_second = 100, double step = 30) {
  double t = first_second;
  for (int i : gates) {
    At(b, t);
    Pass(b, i);
    t += step;
  }
}

TEST(GateCheckTest, FirstPassageThroughGateThreeOfTen) {
  JudgeBench b;
  b.AddLineOfGates(10);
  At(b, 12.5);
  Pass(b, 2);
  EXPECT_EQ(b.journal.entries(),
            (Lines{"SOUND WAVE_GATE_SKIPPED_CHORD", "LOG Gate 1 SKIPPED.\n", "LOG Gate 2 SKIPPED.\n",
                   "LOG Gate 3 crossed.\n"}));
  EXPECT_TRUE(b.state.race_running);
  EXPECT_EQ(b.state.total_skip_count, 2);
  EXPECT_EQ(b.state.lap_skip_count, 0);
  EXPECT_EQ(b.state.last_gate, 2);
  EXPECT_EQ(b.state.race_start_count, 125000000);
  EXPECT_EQ(b.state.lap_start_count, 125000000);
  EXPECT_TRUE(b.state.lap_times.empty());
}

TEST(GateCheckTest, LastGatesCannotStartTheRace) {
  struct Case {
    int gates;
    int first;
    bool ignored;
  };
  const Case cases[] = {{10, 7, true}, {10, 8, true}, {10, 9, true}, {10, 6, false}, {10, 0, false},
                        {4, 3, true},  {4, 2, false}, {4, 1, false}, {3, 2, false}, {2, 1, false}};
  for (const Case& c : cases) {
    JudgeBench b;
    b.AddLineOfGates(c.gates);
    Pass(b, c.first);
    const std::string name = std::to_string(c.gates) + " gates, first gate " + std::to_string(c.first + 1);
    EXPECT_EQ(b.state.last_gate, c.ignored ? -1 : c.first) << name;
    EXPECT_EQ(b.state.race_running, !c.ignored) << name;
    EXPECT_EQ(b.journal.entries().empty(), c.ignored) << name;
  }
}

TEST(GateCheckTest, TwoGatesOneTwoOneMakeOneLap) {
  JudgeBench b;
  b.AddLineOfGates(2);
  b.settings.race_definition.laps = 3;
  PassAll(b, {0, 1, 0}, 100, 30);
  EXPECT_EQ(b.journal.entries(),
            (Lines{"LOG Gate 1 crossed.\n", "SOUND WAVE_GATE_CROSSED_DING", "LOG Gate 2 crossed.\n",
                   "SOUND WAVE_GATE_CROSSED_DING", "LOG Gate 1 crossed.\n", "LOG Lap 1: 1min 0.000sec.\n",
                   "SOUND WAVE_GATE_CROSSED_DING"}));
  EXPECT_EQ(b.state.lap_times, std::vector<double>{60.0});
  EXPECT_EQ(b.state.lap_skips, std::vector<int32_t>{0});
  EXPECT_TRUE(b.state.race_running);
}

TEST(GateCheckTest, SingleGateNeverCompletesALap) {
  JudgeBench b;
  b.AddLineOfGates(1);
  PassAll(b, {0, 0, 0});
  EXPECT_EQ(b.journal.entries(), (Lines{"LOG Gate 1 crossed.\n", "SOUND WAVE_GATE_CROSSED_DING"}));
  EXPECT_EQ(b.state.laps_done, 0);
}

TEST(GateCheckTest, SameGateTwiceIsIgnoredSilently) {
  JudgeBench b;
  b.AddLineOfGates(5);
  PassAll(b, {0, 1});
  b.journal.Clear();
  Pass(b, 1);
  EXPECT_TRUE(b.journal.entries().empty());
  EXPECT_EQ(b.state.last_gate, 1);
}

// Going back to an earlier gate of the lap counts the rest of the course,
// the start gate among them, as skipped: the lap is complete.
TEST(GateCheckTest, GoingBackSkipsTheRestOfTheCourse) {
  JudgeBench b;
  b.AddLineOfGates(5);
  b.settings.race_definition.laps = 3;
  PassAll(b, {0, 1, 2, 3}, 100, 10);
  b.journal.Clear();
  At(b, 225.5);
  Pass(b, 1);
  EXPECT_EQ(b.journal.entries(),
            (Lines{"SOUND WAVE_GATE_SKIPPED_CHORD", "LOG Gate 5 SKIPPED.\n", "LOG Gate 1 SKIPPED.\n",
                   "LOG Gate 2 crossed.\n", "LOG Lap 1: 2min 5.500sec (skipped 2 gates).\n"}));
  EXPECT_EQ(b.state.lap_skips, std::vector<int32_t>{2});
  EXPECT_EQ(b.state.lap_times, std::vector<double>{125.5});
  EXPECT_EQ(b.state.lap_skip_count, 0);
  EXPECT_EQ(b.state.total_skip_count, 2);
  EXPECT_EQ(b.state.lap_start_count, 2255000000);
}

// Two laps of a four-gate course: one gate skipped in lap 1, two in lap 2 (one
// of them in the finishing call), gates skipped before the start in the total only.
TEST(GateCheckTest, LapsRaceTimeAndFinish) {
  JudgeBench b;
  b.AddLineOfGates(4);
  b.settings.race_definition.laps = 2;
  b.settings.race_definition.clock_offset = 1000.25;
  b.state.BeginOn(b.settings.race_definition);  // the race starts with this time sync
  At(b, 5000);
  Pass(b, 1);  // skips the start gate: timing starts here
  PassAll(b, {3}, 5040);  // skips gate 3
  At(b, 5065.5);
  Pass(b, 0);  // lap 1: 65.5 s, one skip
  PassAll(b, {1}, 5080);
  b.journal.Clear();
  At(b, 5131.125);
  Pass(b, 0);  // skips gates 3 and 4 and finishes
  EXPECT_EQ(b.journal.entries(),
            (Lines{"SOUND WAVE_GATE_SKIPPED_CHORD", "LOG Gate 3 SKIPPED.\n", "LOG Gate 4 SKIPPED.\n",
                   "LOG Gate 1 crossed.\n", "LOG Lap 2: 1min 5.625sec (skipped 2 gates).\n",
                   "LOG Race time: 2min 11.125sec (skipped 4 gates total).\n", testing::kRaceFinishedPost}));
  EXPECT_EQ(b.state.lap_times, (std::vector<double>{65.5, 65.625}));
  EXPECT_EQ(b.state.lap_skips, (std::vector<int32_t>{1, 2}));
  EXPECT_EQ(b.state.race_time, 131.125);
  EXPECT_EQ(b.state.finish_secs, 5131.125 - 1000.25);
  EXPECT_FALSE(b.state.race_running);
  EXPECT_EQ(b.state.laps_done, 2);
}

// The finish is noted for its race, and judging ends there: flying on through the
// course before the monitor is stopped records no further lap and no second finish.
TEST(GateCheckTest, JudgingEndsAtTheFinish) {
  JudgeBench b;
  b.AddLineOfGates(2);
  b.state.race_serial = 41;
  PassAll(b, {0, 1, 0}, 100, 30);
  ASSERT_EQ(b.journal.entries().back(), testing::kRaceFinishedPost);
  EXPECT_EQ(b.state.finished_serial.load(), 41u);
  const std::vector<double> laps = b.state.lap_times;
  b.journal.Clear();
  PassAll(b, {1, 0, 1, 0}, 200, 30);
  EXPECT_TRUE(b.journal.entries().empty()) << "no gate, lap, sound or finish after the finish";
  EXPECT_EQ(b.state.lap_times, laps);
  EXPECT_EQ(b.state.laps_done, 1);
  EXPECT_EQ(b.state.last_gate, 0);

  // Nor the speed check: the finished race keeps its flags as they were.
  b.state.race_running = true;  // even were timing still marked
  b.state.moved_too_fast = false;
  const double reference_time = b.state.speed_ref_time;
  At(b, 400);
  GateCheck(b.state, b.services, 5.0, 5.0, 500);  // hundreds of miles away
  EXPECT_EQ(b.state.speed_ref_time, reference_time);
  EXPECT_FALSE(b.state.moved_too_fast);

  b.state.Reset();  // the next race judges again
  PassAll(b, {0}, 500);
  EXPECT_EQ(b.journal.entries().front(), "LOG Gate 1 crossed.\n");
}

// The first accepted crossing marks the course as in use by a race under way;
// a passage the judge ignores does not.
TEST(GateCheckTest, TheFirstCrossingPutsTheRaceUnderWay) {
  JudgeBench b;
  b.AddLineOfGates(10);
  Pass(b, 8);  // one of the last gates cannot start the race
  EXPECT_FALSE(b.settings.race_definition.race_under_way.load());
  Pass(b, 0);
  EXPECT_TRUE(b.settings.race_definition.race_under_way.load());
}

// A course loaded while a race is flown replaces that race's course: the race
// is judged no further (the laps of the new course would finish it at once),
// until a race starts on the new course.
TEST(GateCheckTest, ARaceWhoseCourseWasReplacedIsJudgedNoFurther) {
  JudgeBench b;
  b.AddLineOfGates(3);
  b.settings.race_definition.laps = 2;
  PassAll(b, {0, 1}, 100);
  b.journal.Clear();
  b.settings.race_definition.laps = 0;  // what a course with no laps loads
  b.settings.race_definition.course_serial = b.settings.race_definition.course_serial.load() + 1;
  PassAll(b, {2, 0, 1, 2, 0}, 200);
  EXPECT_TRUE(b.journal.entries().empty()) << "no crossing, lap or finish";
  EXPECT_EQ(b.state.laps_done, 0);
  EXPECT_TRUE(b.state.lap_times.empty());

  b.settings.race_definition.laps = 1;
  b.state.Reset();  // the race started on the new course
  b.state.BeginOn(b.settings.race_definition);
  PassAll(b, {0, 1, 2, 0}, 300);
  EXPECT_EQ(b.journal.entries().back(), testing::kRaceFinishedPost);
}

TEST(GateCheckTest, SkipTextsSingularAndPlural) {
  struct Case {
    std::initializer_list<int> passes;
    const char* lap_line;
  };
  const Case cases[] = {
      {{0, 2, 3, 4, 5, 0}, "LOG Lap 1: 0min 50.000sec (skipped 1 gate).\n"},
      {{0, 1, 5, 0}, "LOG Lap 1: 0min 30.000sec (skipped 3 gates).\n"},
      {{0, 1, 2, 3, 4, 5, 0}, "LOG Lap 1: 1min 0.000sec.\n"},
  };
  for (const Case& c : cases) {
    JudgeBench b;
    b.AddLineOfGates(6);
    b.settings.race_definition.laps = 5;
    PassAll(b, c.passes, 100, 10);
    const Lines lines = b.journal.entries();
    EXPECT_NE(std::find(lines.begin(), lines.end(), c.lap_line), lines.end()) << c.lap_line;
  }
}

TEST(GateCheckTest, DurationTexts) {
  EXPECT_EQ(DurationText(125.5), "2min 5.500sec");
  EXPECT_EQ(DurationText(0), "0min 0.000sec");
  EXPECT_EQ(DurationText(120), "2min 0.000sec");
  EXPECT_EQ(DurationText(3725.0625), "62min 5.062sec");
  EXPECT_EQ(DurationText(59.9996), "0min 60.000sec");  // minutes are cut before the seconds are rounded
}

// Which sounds one call plays: the chord at most once, the ding only when neither
// the chord nor the finish sound played.
TEST(GateCheckTest, SoundRules) {
  struct Case {
    const char* name;
    bool cross, skip, end;
    std::initializer_list<int> setup;  // passes before the judged one (two gates, one lap)
    int judged;
    Lines sounds;
  };
  const Case cases[] = {
      {"plain crossing", true, true, true, {0}, 1, {"SOUND WAVE_GATE_CROSSED_DING"}},
      {"crossing switched off", false, true, true, {0}, 1, {}},
      {"finish", true, true, true, {0, 1}, 0, {"SOUND WAVE_RACE_FINISHED"}},
      {"finish with the end sound off", true, true, false, {0, 1}, 0, {"SOUND WAVE_GATE_CROSSED_DING"}},
  };
  for (const Case& c : cases) {
    JudgeBench b;
    b.AddLineOfGates(2);
    b.settings.sound_cross = c.cross;
    b.settings.sound_skip = c.skip;
    b.settings.sound_end = c.end;
    PassAll(b, c.setup);
    b.journal.Clear();
    Pass(b, c.judged);
    Lines sounds;
    for (const std::string& line : b.journal.entries())
      if (line.rfind("SOUND ", 0) == 0) sounds.push_back(line);
    EXPECT_EQ(sounds, c.sounds) << c.name;
  }

  // Several skips and the finish in one call: the chord once, nothing else.
  JudgeBench b;
  b.AddLineOfGates(5);
  PassAll(b, {0, 1});
  b.journal.Clear();
  Pass(b, 0);
  EXPECT_EQ(b.journal.entries(),
            (Lines{"SOUND WAVE_GATE_SKIPPED_CHORD", "LOG Gate 3 SKIPPED.\n", "LOG Gate 4 SKIPPED.\n",
                   "LOG Gate 5 SKIPPED.\n", "LOG Gate 1 crossed.\n", "LOG Lap 1: 0min 30.000sec (skipped 3 gates).\n",
                   "LOG Race time: 0min 30.000sec (skipped 3 gates total).\n", testing::kRaceFinishedPost}));

  // The skip sound off: no chord, so the ding plays.
  JudgeBench quiet;
  quiet.AddLineOfGates(5);
  quiet.settings.sound_skip = false;
  Pass(quiet, 2);
  EXPECT_EQ(quiet.journal.entries(), (Lines{"LOG Gate 1 SKIPPED.\n", "LOG Gate 2 SKIPPED.\n", "LOG Gate 3 crossed.\n",
                                            "SOUND WAVE_GATE_CROSSED_DING"}));
}

// Speed: 0.1 degree of longitude on the equator is about 6 nm.
TEST(GateCheckTest, SpeedWindowMustExceedOneSecond) {
  JudgeBench b;
  b.state.race_running = true;
  At(b, 100);
  GateCheck(b.state, b.services, 0.5, 0.5, 500);  // no reference yet: taken
  EXPECT_EQ(b.state.speed_ref_time, 100);
  At(b, 101);
  GateCheck(b.state, b.services, 0.5, 0.6, 500);  // 6 nm in exactly 1.0 s: not judged
  EXPECT_FALSE(b.state.moved_too_fast);
  EXPECT_EQ(b.state.speed_ref_lon, 0.5);  // the reference stays
  At(b, 101.5);
  GateCheck(b.state, b.services, 0.5, 0.6, 500);  // 6 nm in 1.5 s: far too fast
  EXPECT_TRUE(b.state.moved_too_fast);
  EXPECT_EQ(b.state.speed_ref_time, 101.5);
  EXPECT_TRUE(b.journal.entries().empty());  // the speed line is a detail line
  // Once set, the check rests: the reference no longer moves.
  At(b, 200);
  GateCheck(b.state, b.services, 1.0, 1.0, 500);
  EXPECT_EQ(b.state.speed_ref_time, 101.5);
}

TEST(GateCheckTest, SpeedCheckCases) {
  struct Case {
    const char* name;
    bool running;
    double from_lon, to_lon, seconds;
    bool too_fast;
  };
  const Case cases[] = {
      {"400 knots under a 500 knot limit", true, 0, 400.0 / 3600 * 10 / 60.004419683559064, 10, false},
      {"600 knots", true, 0, 600.0 / 3600 * 10 / 60.004419683559064, 10, true},
      {"600 knots before the start", false, 0, 600.0 / 3600 * 10 / 60.004419683559064, 10, false},
      {"a distance that is not a number", true, 20, 20.000000001, 10, false},
      // max_knots=0 from the server: no speed limit, not a limit of 0 knots.
      {"6000 knots with no limit", true, 0, 6000.0 / 3600 * 10 / 60.004419683559064, 10, false},
  };
  for (const Case& c : cases) {
    JudgeBench b;
    if (std::string(c.name).find("no limit") != std::string::npos) b.settings.race_definition.max_speed = 0;
    b.state.race_running = c.running;
    b.state.speed_ref_lat = c.running ? 8 : 0;
    b.state.speed_ref_lon = c.from_lon;
    b.state.speed_ref_time = c.running ? 100 : 0;
    At(b, 100 + c.seconds);
    GateCheck(b.state, b.services, 8, c.to_lon, 0);
    EXPECT_EQ(b.state.moved_too_fast, c.too_fast) << c.name;
  }
}

TEST(GateCheckTest, GatesLockTimeOutIsReportedAndNothingJudged) {
  JudgeBench b;
  b.AddLineOfGates(3);
  b.services.gates_lock_timeout_ms = 20;
  ASSERT_EQ(b.settings.race_definition.gates_lock.Wait(0), WaitResult::kSignaled);  // held elsewhere
  Pass(b, 0);
  EXPECT_EQ(b.journal.entries(), (Lines{"LOG ERROR: Timed out waiting for gates lock in GateCheck.\n"}));
  EXPECT_EQ(b.state.last_gate, -1);
  b.settings.race_definition.gates_lock.Set();
  Pass(b, 0);
  EXPECT_EQ(b.state.last_gate, 0);
}

TEST(GateCheckTest, CounterFailureIsReportedAndJudgingGoesOn) {
  JudgeBench b;
  b.AddLineOfGates(3);
  b.clock.counter_works = false;
  Pass(b, 0);
  EXPECT_EQ(b.journal.entries(), (Lines{"LOG Gate 1 crossed.\n",
                                        "LOG ERROR: QueryPerformanceCounter not supported on this hardware.\n",
                                        "SOUND WAVE_GATE_CROSSED_DING"}));
  EXPECT_TRUE(b.state.race_running);
}

TEST(GateCheckTest, ZeroFrequencyCountsAsOne) {
  JudgeBench b;
  b.AddLineOfGates(2);
  b.settings.race_definition.laps = 1;
  b.clock.frequency = 0;
  b.clock.counter = 40;
  Pass(b, 0);
  b.clock.counter = 45;
  Pass(b, 1);
  b.clock.counter = 160;
  Pass(b, 0);
  EXPECT_EQ(b.state.lap_times, std::vector<double>{120});
  EXPECT_EQ(b.state.finish_secs, 160);
}

TEST(GateCheckTest, EmptyCourseLeavesTheStateAlone) {
  JudgeBench b;
  Pass(b, 0);
  EXPECT_TRUE(b.journal.entries().empty());
  EXPECT_EQ(b.state.last_gate, -1);
}

}  // namespace
}  // namespace volantis
