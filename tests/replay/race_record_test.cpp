// Reading a race record's race.txt and comparing a replay with the record's log
// and results.
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "race_record.h"
#include "record_check.h"
#include "replay_args.h"

namespace volantis::replay {
namespace {

TEST(RaceTextTest, ReadsTheReplayOptionsAndKeepsDefaultsForMissingKeys) {
  struct Case {
    const char* text;
    double clock_offset;
    int64_t frequency;
    const char* sounds;
  };
  const Case cases[] = {
      {"started=2026-12-10 16:40:05 UTC\nplayer=A=B\nclock_offset=12.345678901\nfrequency=3579545\nsounds=1,0,1\n",
       12.345678901, 3579545, "101"},
      {"clock_offset=-3.250000000\r\nfrequency=1000\r\n\r\n", -3.25, 1000, "111"},
      {"sounds=0,0,0", 0, 10000000, "000"},
      {"", 0, 10000000, "111"},
  };
  for (const Case& c : cases) {
    ReplayOptions options;
    std::string error;
    ASSERT_TRUE(ReadRaceText(c.text, options, error)) << c.text << " -> " << error;
    EXPECT_EQ(options.clock_offset, c.clock_offset) << c.text;
    EXPECT_EQ(options.frequency, c.frequency) << c.text;
    const std::string sounds = {options.sound_cross ? '1' : '0', options.sound_skip ? '1' : '0',
                                options.sound_end ? '1' : '0'};
    EXPECT_EQ(sounds, c.sounds) << c.text;
  }
}

TEST(RaceTextTest, RefusesMalformedValuesNamingTheLine) {
  struct Case {
    const char* text;
    const char* message;
  };
  const Case cases[] = {
      {"started=x\nclock_offset=soon\n", "race.txt line 2: clock_offset \"soon\" is not a number of seconds"},
      {"clock_offset=\n", "line 1: clock_offset \"\" is not"},
      {"clock_offset=inf\n", "line 1: clock_offset \"inf\""},
      {"frequency=0\n", "line 1: frequency \"0\" is not a positive whole number"},
      {"frequency=1e7\n", "frequency \"1e7\""},
      {"sounds=1,1\n", "line 1: sounds \"1,1\" is not three 0/1 switches"},
      {"sounds=1,2,1\n", "sounds \"1,2,1\""},
      {"\nplayer\n", "race.txt line 2: \"player\" is not key=value"},
  };
  for (const Case& c : cases) {
    ReplayOptions options;
    std::string error;
    EXPECT_FALSE(ReadRaceText(c.text, options, error)) << c.text;
    EXPECT_NE(error.find(c.message), std::string::npos) << c.text << " -> " << error;
  }
}

TEST(RecordArgsTest, OneArgumentIsARecordAndGivenOptionsOverrideItsValues) {
  ReplayArgs args;
  std::string error;
  ASSERT_TRUE(ParseReplayArgs({"--sounds", "0,1,0", "races/2026-12-10_16-40-05Z", "--explain"}, args, error)) << error;
  EXPECT_EQ(args.record_path, "races/2026-12-10_16-40-05Z");
  EXPECT_TRUE(args.course_path.empty());
  EXPECT_TRUE(args.explain);

  ReplayOptions recorded;
  recorded.clock_offset = 7.5;
  recorded.frequency = 3579545;
  const ReplayOptions used = WithGivenOptions(recorded, args);
  EXPECT_EQ(used.clock_offset, 7.5);
  EXPECT_EQ(used.frequency, 3579545);
  EXPECT_FALSE(used.sound_cross);
  EXPECT_TRUE(used.sound_skip);
  EXPECT_FALSE(used.sound_end);

  ReplayArgs both;
  ASSERT_TRUE(ParseReplayArgs({"r", "--clock-offset", "-1", "--frequency", "1000"}, both, error)) << error;
  const ReplayOptions overridden = WithGivenOptions(recorded, both);
  EXPECT_EQ(overridden.clock_offset, -1);
  EXPECT_EQ(overridden.frequency, 1000);
  EXPECT_TRUE(overridden.sound_cross && overridden.sound_skip && overridden.sound_end);
}

std::vector<std::string> Texts(const RaceLines& race) {
  std::vector<std::string> texts;
  for (const RecordedLine& line : race.lines) texts.push_back(std::to_string(line.number) + ":" + line.text);
  return texts;
}

TEST(RaceLinesTest, TheStretchFromTheStartToTheFinish) {
  struct Case {
    const char* name;
    const char* log;
    std::size_t started;
    std::vector<std::string> lines;
  };
  const Case cases[] = {
      {"finished, then the submission",
       "Race started.\nGate 1 crossed.\nRace time: 0min 2.000sec.\nSending race results...\nRace stopped.\n", 1,
       {"2:Gate 1 crossed.", "3:Race time: 0min 2.000sec."}},
      {"lines before the start are not the race's", "Old line.\nRace started.\nGate 1 crossed.\n", 2,
       {"3:Gate 1 crossed."}},
      {"stopped before the finish", "Race started.\nGate 1 crossed.\nRace stopped.\nGate 2 crossed.\n", 1,
       {"2:Gate 1 crossed."}},
      {"the record's own lines are left out, other lines kept",
       "Race started.\r\nGate 1 crossed.\r\nThe race record keeps 6 hours of the track; the rest is not recorded.\r\n"
       "ERROR: Timed out waiting for gates lock in GateCheck.\r\n",
       1, {"2:Gate 1 crossed.", "4:ERROR: Timed out waiting for gates lock in GateCheck."}},
      {"a last line without a line feed", "Race started.\nGate 1 crossed.", 1, {"2:Gate 1 crossed."}},
      {"only the first start counts", "Race started.\nRace started.\n", 1, {"2:Race started."}},
      {"never started", "Gate 1 crossed.\n", 0, {}},
      {"empty", "", 0, {}},
  };
  for (const Case& c : cases) {
    const RaceLines race = RaceLinesOfLog(c.log);
    EXPECT_EQ(race.started, c.started) << c.name;
    EXPECT_EQ(Texts(race), c.lines) << c.name;
  }
}

TEST(ReplayedLogLinesTest, OnlyTheLogLinesOfTheOutput) {
  EXPECT_EQ(ReplayedLogLines("LOG Gate 1 crossed.\nSOUND WAVE\nPOST 45003\nLOG \nRESULT x\nEXPLAIN LOG y\n"),
            (std::vector<std::string>{"Gate 1 crossed.", ""}));
}

constexpr const char* kReplayOutput =
    "LOG Gate 1 crossed.\nSOUND WAVE_GATE_CROSSED_DING\nLOG Gate 2 SKIPPED.\nLOG Gate 1 crossed.\n"
    "LOG Lap 1: 0min 2.000sec (skipped 1 gate).\nLOG Race time: 0min 2.000sec (skipped 1 gate total).\n"
    "POST 45003\nRESULT ...\n";
constexpr const char* kRecordedLog =
    "Race started.\nGate 1 crossed.\nGate 2 SKIPPED.\nGate 1 crossed.\nLap 1: 0min 2.000sec (skipped 1 gate).\n"
    "Race time: 0min 2.000sec (skipped 1 gate total).\nSent results to the server ok.\n";
constexpr const char* kRecordedResults =
    "ver=2.6.0\nmoved_too_fast=0\ncheated_crash_detect=1\nslewed=0\ncheated_sim_rate=0\nplayer=Ann\n"
    "lap_times=2.000000\nlap_skips=1\nrace_time=2.000000\nfinish_secs=1.540000\nstatus=pending\n"
    "attempt 1 at 2026-12-10 16:43:01 UTC: sent\nstatus=sent\n";

RaceResults ReplayedResults() {
  RaceResults results;
  results.cheated_crash_detect = true;
  results.lap_times = {2.0};
  results.lap_skips = {1};
  results.race_time = 2.0;
  results.finish_secs = 1.54;
  return results;
}

std::string Replace(std::string text, const std::string& from, const std::string& to) {
  const std::size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  if (at != std::string::npos) text.replace(at, from.size(), to);
  return text;
}

TEST(CompareWithRecordTest, AgreementAndEachKindOfDifference) {
  struct Case {
    const char* name;
    std::string log;
    bool results_recorded;
    std::string results;
    std::vector<std::string> differences;
    std::size_t events;
  };
  const std::string log = kRecordedLog;
  const std::string results = kRecordedResults;
  const Case cases[] = {
      {"agrees", log, true, results, {}, 5},
      {"agrees, no results", log, false, "", {}, 5},
      {"a changed line",
       Replace(log, "Gate 2 SKIPPED.", "Gate 2 crossed."),
       true,
       results,
       {"log.txt line 3: recorded \"Gate 2 crossed.\", replayed \"Gate 2 SKIPPED.\""},
       4},
      {"a line the replay did not log",
       Replace(log, "Gate 1 crossed.\nGate 2", "Gate 1 crossed.\nGate 3 crossed.\nGate 2"),
       true,
       results,
       {"log.txt line 3: recorded \"Gate 3 crossed.\", not replayed"},
       5},
      {"a line the record lacks",
       Replace(log, "Gate 2 SKIPPED.\n", ""),
       true,
       results,
       {"replayed \"Gate 2 SKIPPED.\", not in log.txt (after its line 2)"},
       4},
      {"the record's race stopped before the finish",
       Replace(log, "Gate 1 crossed.\nLap", "Race stopped.\nGate 1 crossed.\nLap"),
       false,
       "",
       {"replayed \"Gate 1 crossed.\", not in log.txt (after its line 3)",
        "replayed \"Lap 1: 0min 2.000sec (skipped 1 gate).\", not in log.txt (after its line 3)",
        "replayed \"Race time: 0min 2.000sec (skipped 1 gate total).\", not in log.txt (after its line 3)"},
       2},
      {"no start",
       Replace(log, "Race started.\n", ""),
       false,
       "",
       {"log.txt has no \"Race started.\" line; the replay logged 5 lines"},
       0},
  };
  for (const Case& c : cases) {
    RaceRecordFiles record;
    record.log_text = c.log;
    record.results_recorded = c.results_recorded;
    record.results_text = c.results;
    const RecordVerdict verdict = CompareWithRecord(kReplayOutput, ReplayedResults(), record);
    EXPECT_EQ(verdict.differences, c.differences) << c.name;
    EXPECT_EQ(verdict.events, c.events) << c.name;
  }
}

TEST(CompareWithRecordTest, ResultFieldsComparedAsTexts) {
  struct Case {
    const char* name;
    std::string results;
    std::vector<std::string> differences;
  };
  const std::string results = kRecordedResults;
  const Case cases[] = {
      {"a changed lap time and a flag",
       Replace(Replace(results, "lap_times=2.000000", "lap_times=2.000001"), "slewed=0", "slewed=1"),
       {"results.txt slewed: recorded \"1\", replayed \"0\"",
        "results.txt lap_times: recorded \"2.000001\", replayed \"2.000000\""}},
      {"the same number written otherwise", Replace(results, "race_time=2.000000", "race_time=2.0"),
       {"results.txt race_time: recorded \"2.0\", replayed \"2.000000\""}},
      {"a missing field", Replace(results, "finish_secs=1.540000\n", ""),
       {"results.txt has no finish_secs; replayed \"1.540000\""}},
      {"carriage returns", Replace(Replace(results, "slewed=0\n", "slewed=0\r\n"), "lap_skips=1\n", "lap_skips=1\r\n"),
       {}},
  };
  for (const Case& c : cases) {
    RaceRecordFiles record;
    record.log_text = kRecordedLog;
    record.results_recorded = true;
    record.results_text = c.results;
    const RecordVerdict verdict = CompareWithRecord(kReplayOutput, ReplayedResults(), record);
    EXPECT_EQ(verdict.differences, c.differences) << c.name;
  }
}

TEST(CompareWithRecordTest, VerdictLines) {
  struct Case {
    RecordVerdict verdict;
    const char* text;
  };
  const Case cases[] = {
      {{44, true, {}}, "RECORD agrees: 44 events and the results match the record.\n"},
      {{3, false, {}}, "RECORD agrees: 3 events and no results were recorded.\n"},
      {{3, true, {"one", "two"}}, "RECORD differs: one\nRECORD differs: two\n"},
  };
  for (const Case& c : cases) {
    std::ostringstream out;
    WriteRecordVerdict(c.verdict, out);
    EXPECT_EQ(out.str(), c.text);
  }
}

}  // namespace
}  // namespace volantis::replay
