#include "server/race_start_info.h"

#include <gtest/gtest.h>

#include "recording_log.h"

namespace volantis {
namespace {

using testing::RecordingLog;

class RaceStartInfoTest : public ::testing::Test {
 protected:
  RaceStartInfoResult Load(const std::string& text, uint32_t timeout_ms = kGatesLockTimeoutMs) {
    return LoadRaceStartInfo(text, definition_, log_, timeout_ms);
  }
  void AddOldGate() {
    auto gate = std::make_unique<Gate>();
    gate->min_alt = 12345;
    definition_.gates.push_back(std::move(gate));
  }
  RaceDefinition definition_;
  RecordingLog log_;
};

TEST_F(RaceStartInfoTest, LoadsLapsSpeedAndGatesInOrder) {
  AddOldGate();
  ASSERT_EQ(Load("Race start info: laps=3;max_knots=360;gate=47.5,-122.25,47.6,-122.3,0,1500;"
                 "gate=1.5,2.5,3.5,4.5,100,200"),
            RaceStartInfoResult::kLoaded);
  EXPECT_EQ(definition_.laps.load(), 3);
  EXPECT_DOUBLE_EQ(definition_.max_speed.load(), 0.1);
  ASSERT_EQ(definition_.gates.size(), 2u);  // the old gate is gone
  const Gate& first = *definition_.gates[0];
  EXPECT_DOUBLE_EQ(first.left_lat, 47.5);
  EXPECT_DOUBLE_EQ(first.left_lon, -122.25);
  EXPECT_DOUBLE_EQ(first.right_lat, 47.6);
  EXPECT_DOUBLE_EQ(first.right_lon, -122.3);
  EXPECT_EQ(first.min_alt, 0);
  EXPECT_EQ(first.max_alt, 1500);
  EXPECT_EQ(definition_.gates[1]->max_alt, 200);
  EXPECT_TRUE(log_.lines.empty()) << log_.All();  // detail lines only
}

TEST_F(RaceStartInfoTest, GateLinesNeedExactlySixValues) {
  struct Case {
    const char* name;
    const char* entry;
    bool loaded;
  };
  const Case cases[] = {
      {"six", "gate=1,2,3,4,500,900", true},
      {"six with a trailing comma", "gate=1,2,3,4,500,900,", true},
      {"six with empty fields between", "gate=1,,2,3,4,500,900", true},
      {"five", "gate=1,2,3,4,500", false},
      {"seven would glue a ceiling of 9001", "gate=1,2,3,4,500,900,1", false},
      {"eight", "gate=1,2,3,4,5,6,7,8", false},
      {"key only", "gate=", false},
      {"commas only", "gate=,,,,,,", false},
  };
  for (const auto& c : cases) {
    definition_.gates.clear();
    ASSERT_EQ(Load(std::string("laps=1;") + c.entry), RaceStartInfoResult::kLoaded) << c.name;
    ASSERT_EQ(definition_.gates.size(), c.loaded ? 1u : 0u) << c.name;
    if (c.loaded) {
      EXPECT_EQ(definition_.gates[0]->max_alt, 900) << c.name;
    }
  }
}

TEST_F(RaceStartInfoTest, ValuesReadLikeAtoiAndAtof) {
  definition_.laps = 7;
  ASSERT_EQ(Load("laps=;max_knots=abc;gate=1.5x,junk,-0.5,2e1,-30ft,12.9"), RaceStartInfoResult::kLoaded);
  EXPECT_EQ(definition_.laps.load(), 7);  // "laps=" alone is ignored
  // A limit that is no positive number is stored as 0: no speed limit (the
  // judge's speed check then never fires; see the gate check tests).
  EXPECT_EQ(definition_.max_speed.load(), 0.0);
  ASSERT_EQ(definition_.gates.size(), 1u);
  const Gate& gate = *definition_.gates[0];
  EXPECT_DOUBLE_EQ(gate.left_lat, 1.5);
  EXPECT_DOUBLE_EQ(gate.left_lon, 0.0);
  EXPECT_DOUBLE_EQ(gate.right_lat, -0.5);
  EXPECT_DOUBLE_EQ(gate.right_lon, 20.0);
  EXPECT_EQ(gate.min_alt, -30);
  EXPECT_EQ(gate.max_alt, 12);

  ASSERT_EQ(Load("laps=x"), RaceStartInfoResult::kLoaded);
  EXPECT_EQ(definition_.laps.load(), 0);
  // Numbers beyond the int range are held at its ends.
  ASSERT_EQ(Load("laps=-99999999999999999999;gate=1,2,3,4,-99999999999,+7"), RaceStartInfoResult::kLoaded);
  EXPECT_EQ(definition_.laps.load(), -2147483647 - 1);
  EXPECT_EQ(definition_.gates.at(0)->min_alt, -2147483647 - 1);
  EXPECT_EQ(definition_.gates.at(0)->max_alt, 7);
}

// Every value of a gate within its range, and no more laps or gates than a
// race can have: otherwise the whole answer is bad data and nothing of it loads.
TEST_F(RaceStartInfoTest, ValuesOutOfRangeAreBadDataAndLoadNothing) {
  struct Case {
    const char* name;
    std::string text;
    bool bad;
  };
  std::string gates_200 = "laps=1";
  for (int i = 0; i < 200; ++i) gates_200 += ";gate=1,2,3,4,0,0";
  const Case cases[] = {
      {"not a number", "laps=2;gate=nan,0,1,1,0,0", true},
      {"not a number, upper case, last value", "laps=2;gate=0,0,1,NAN,0,0", true},
      {"infinite", "laps=2;gate=0,inf,1,1,0,0", true},
      {"a number too large for a double", "laps=2;gate=0,0,1e999,1,0,0", true},
      {"latitude beyond 90", "laps=2;gate=90.0001,0,1,1,0,0", true},
      {"latitude beyond -90", "laps=2;gate=0,0,-95,1,0,0", true},
      {"longitude beyond 180", "laps=2;gate=0,180.5,1,1,0,0", true},
      {"longitude beyond -180", "laps=2;gate=0,0,1,-181,0,0", true},
      {"floor above the ceiling", "laps=2;gate=0,0,1,1,900,500", true},
      {"floor above a negative ceiling", "laps=2;gate=0,0,1,1,-10,-20", true},
      {"too many laps", "laps=101;gate=0,0,1,1,0,0", true},
      {"the second gate is bad", "laps=2;gate=0,0,1,1,0,0;gate=0,0,1,200,0,0", true},
      {"too many gates", gates_200 + ";gate=1,2,3,4,0,0", true},
      {"the ends of the ranges", "laps=100;gate=90,-180,-90,180,0,0", false},
      {"a floor above no ceiling", "laps=2;gate=0,0,1,1,900,0", false},
      {"no floor under a ceiling below sea level", "laps=2;gate=0,0,1,1,0,-100", false},
      {"floor equal to the ceiling", "laps=2;gate=0,0,1,1,500,500", false},
      {"as many gates as a race can have", gates_200, false},
      {"a bad line that is skipped anyway (five values)", "laps=2;gate=nan,0,1,1,0;gate=0,0,1,1,0,0", false},
  };
  for (const auto& c : cases) {
    definition_.gates.clear();
    AddOldGate();
    definition_.laps = 4;
    definition_.max_speed = 0.05;
    std::string problem;
    const RaceStartInfoResult result = LoadRaceStartInfo(c.text + ";max_knots=360", definition_, log_,
                                                         kGatesLockTimeoutMs, &problem);
    if (c.bad) {
      EXPECT_EQ(result, RaceStartInfoResult::kBadData) << c.name;
      EXPECT_FALSE(problem.empty()) << c.name;
      ASSERT_EQ(definition_.gates.size(), 1u) << c.name;
      EXPECT_EQ(definition_.gates[0]->min_alt, 12345) << c.name << ": the old gates stay";
      EXPECT_EQ(definition_.laps.load(), 4) << c.name;
      EXPECT_DOUBLE_EQ(definition_.max_speed.load(), 0.05) << c.name;
    } else {
      EXPECT_EQ(result, RaceStartInfoResult::kLoaded) << c.name << ": " << problem;
      EXPECT_NE(definition_.laps.load(), 4) << c.name;
      EXPECT_DOUBLE_EQ(definition_.max_speed.load(), 0.1) << c.name;
    }
    EXPECT_EQ(definition_.gates_lock.Wait(0), WaitResult::kSignaled) << c.name << ": the lock is free";
    definition_.gates_lock.Set();
  }
  EXPECT_TRUE(log_.lines.empty()) << log_.All();
}

// Every course loaded is a new course, also while a race is flown on the old
// one (its judge then stops judging); whether it has a race to start is noted
// with it. Bad data leaves both alone.
TEST_F(RaceStartInfoTest, EveryLoadIsANewCourseThatSaysWhetherItHasARace) {
  struct Case {
    const char* name;
    const char* text;
    RaceStartInfoResult result;
    bool without_race;
  };
  const Case cases[] = {
      {"laps and a gate", "laps=2;gate=1,2,3,4,0,0", RaceStartInfoResult::kLoaded, false},
      {"no laps entry: the earlier laps stay", "gate=1,2,3,4,0,0", RaceStartInfoResult::kLoaded, false},
      {"laps 0", "laps=0;gate=1,2,3,4,0,0", RaceStartInfoResult::kLoaded, true},
      {"laps -1", "laps=-1;gate=1,2,3,4,0,0", RaceStartInfoResult::kLoaded, true},
      {"laps but no gate", "laps=2", RaceStartInfoResult::kLoaded, true},
      {"bad data", "laps=101;gate=1,2,3,4,0,0", RaceStartInfoResult::kBadData, true},
  };
  for (const auto& c : cases) {
    definition_.laps = 3;
    definition_.race_under_way = true;  // a race is flown on the course loaded before
    definition_.course_without_race = true;
    const uint32_t serial_before = definition_.course_serial.load();
    ASSERT_EQ(Load(c.text), c.result) << c.name;
    const bool loaded = c.result == RaceStartInfoResult::kLoaded;
    EXPECT_EQ(definition_.course_serial.load(), serial_before + (loaded ? 1 : 0)) << c.name;
    EXPECT_EQ(definition_.course_without_race.load(), c.without_race) << c.name;
  }
}

TEST_F(RaceStartInfoTest, UnknownEntriesAndMissingValuesKeepEarlierOnes) {
  definition_.laps = 4;
  definition_.max_speed = 0.05;
  ASSERT_EQ(Load("weather=fine;LAPS=9; laps=8;gate=1,2,3,4,5,6"), RaceStartInfoResult::kLoaded);
  EXPECT_EQ(definition_.laps.load(), 4);
  EXPECT_DOUBLE_EQ(definition_.max_speed.load(), 0.05);
  EXPECT_EQ(definition_.gates.size(), 1u);
}

TEST_F(RaceStartInfoTest, NothingToLoadChangesNothing) {
  AddOldGate();
  for (const char* text : {"", ";;;", "Race start info: ", "Race start info: ;"}) {
    EXPECT_EQ(Load(text), RaceStartInfoResult::kNoEntries) << text;
    EXPECT_EQ(definition_.gates.size(), 1u) << text;
  }
}

TEST_F(RaceStartInfoTest, LockTimeOutLeavesTheDefinitionAlone) {
  AddOldGate();
  definition_.laps = 2;
  ASSERT_EQ(definition_.gates_lock.Wait(0), WaitResult::kSignaled);  // the monitor holds the gates
  EXPECT_EQ(Load("laps=5;gate=1,2,3,4,5,6", 20), RaceStartInfoResult::kLockTimeout);
  EXPECT_EQ(log_.All(), "ERROR: Timed out waiting for gates lock in SendResults.\n");
  EXPECT_EQ(definition_.laps.load(), 2);
  ASSERT_EQ(definition_.gates.size(), 1u);
  EXPECT_EQ(definition_.gates[0]->min_alt, 12345);
  definition_.gates_lock.Set();
}

TEST_F(RaceStartInfoTest, ReleasesTheLockAfterLoading) {
  ASSERT_EQ(Load("laps=1;gate=1,2,3,4,5,6"), RaceStartInfoResult::kLoaded);
  EXPECT_EQ(definition_.gates_lock.Wait(0), WaitResult::kSignaled);
  definition_.gates_lock.Set();
}

}  // namespace
}  // namespace volantis
