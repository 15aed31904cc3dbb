// Splits and bests against a judged race whose crossing instants are known
// exactly; a torn last row of a track and a record with nothing to compare.
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "race_analysis.h"
#include "race_export.h"
#include "record_check.h"
#include "track_csv.h"

namespace volantis::replay {
namespace {

// Three gates, two laps; lap 2 skips gate 2. Crossing instants (sampled,
// interpolated), seconds from the start: gate 1 at 0, gate 2 at 10 (9.9),
// gate 3 at 25 (25.2), gate 1 at 40 (39.8) ends lap 1; gate 3 at 70 (70.1)
// with gate 2 skipped, gate 1 at 82 (82.3) ends lap 2. Flags: one before the
// start, one in lap 2.
struct Fixture {
  RaceTrace trace;
  RaceExplanation explanation;
};

Fixture ThreeGatesTwoLaps() {
  Fixture f;
  for (int g = 0; g < 3; ++g) f.trace.course.gates.push_back(std::make_unique<Gate>());
  f.trace.frequency = 1000;
  const double sampled[] = {0, 10, 25, 40, 70, 82};
  const double interpolated[] = {0, 9.9, 25.2, 39.8, 70.1, 82.3};
  const int32_t gates[] = {0, 1, 2, 0, 2, 0};
  f.trace.samples.push_back(TracedSample{});  // the first sample, before the start
  for (int i = 0; i < 6; ++i) {
    TracedSample s;
    s.counter = 5000 + static_cast<int64_t>(sampled[i] * 1000);
    f.trace.samples.push_back(s);
    TracedCrossing c;
    c.gate = gates[i];
    c.sample = f.trace.samples.size() - 1;
    if (i == 4) c.skipped = {1};
    f.trace.crossings.push_back(c);
    f.explanation.crossings.push_back(CrossingExplanation{sampled[i], interpolated[i], 1, true});
  }
  f.trace.samples.front().counter = 0;
  f.trace.start_crossing = 0;
  f.trace.laps = {TracedLap{1, 3, 40, 0}, TracedLap{2, 5, 42, 1}};
  f.explanation.laps = {LapExplanation{1, 3, 40, 39.8, 0}, LapExplanation{2, 5, 42, 82.3 - 39.8, 1}};
  TracedFlag before;
  before.flag = FairnessFlag::kSlewed;
  before.sample = 0;
  TracedFlag in_lap_2;
  in_lap_2.flag = FairnessFlag::kCheatedCrashDetect;
  in_lap_2.sample = 5;
  f.trace.flags = {before, in_lap_2};
  f.trace.finished = true;
  f.trace.race_time = 82;
  return f;
}

TEST(RaceAnalysisTest, SplitsBestsAndTheoreticalBestInBothInstants) {
  const Fixture f = ThreeGatesTwoLaps();
  RaceClock clock;
  clock.started_utc = *ParseUtcStamp("2026-12-10 16:40:05 UTC");
  clock.first_counter = 0;
  clock.frequency = 1000;
  const RaceAnalysis a = AnalyseRace(f.trace, f.explanation, clock);
  ASSERT_EQ(a.laps.size(), 2u);
  const LapAnalysis& one = a.laps[0];
  ASSERT_TRUE(one.splits[0] && one.splits[1] && one.splits[2]);
  EXPECT_DOUBLE_EQ(one.splits[0]->sampled, 10);
  EXPECT_DOUBLE_EQ(one.splits[1]->sampled, 15);
  EXPECT_DOUBLE_EQ(one.splits[2]->sampled, 15);
  EXPECT_DOUBLE_EQ(one.splits[0]->interpolated, 9.9);
  EXPECT_DOUBLE_EQ(one.splits[1]->interpolated, 25.2 - 9.9);
  EXPECT_DOUBLE_EQ(one.splits[2]->interpolated, 39.8 - 25.2);
  EXPECT_DOUBLE_EQ(one.splits[0]->sampled + one.splits[1]->sampled + one.splits[2]->sampled, one.time.sampled);
  EXPECT_EQ(UtcTimeOfDay(*one.start_utc), "16:40:10");  // 5 s after the first row
  EXPECT_TRUE(one.flags.empty());

  // The skip takes the splits on both sides of gate 2; the flag sits in lap 2.
  const LapAnalysis& two = a.laps[1];
  EXPECT_FALSE(two.splits[0]);
  EXPECT_FALSE(two.splits[1]);
  ASSERT_TRUE(two.splits[2]);
  EXPECT_DOUBLE_EQ(two.splits[2]->sampled, 12);
  EXPECT_DOUBLE_EQ(two.splits[2]->interpolated, 82.3 - 70.1);
  EXPECT_EQ(UtcTimeOfDay(*two.start_utc), "16:40:50");
  ASSERT_EQ(two.flags.size(), 1u);
  EXPECT_EQ(two.flags[0], FairnessFlag::kCheatedCrashDetect);
  ASSERT_EQ(a.flags_before_start.size(), 1u);

  // Lap 2 is quicker but skipped a gate: the best lap is lap 1.
  ASSERT_TRUE(a.best_lap);
  EXPECT_EQ(*a.best_lap, 0u);
  ASSERT_TRUE(a.theoretical_best);
  EXPECT_DOUBLE_EQ(a.theoretical_best->sampled, 10 + 15 + 12);
  EXPECT_DOUBLE_EQ(a.theoretical_best->interpolated, 9.9 + (25.2 - 9.9) + (82.3 - 70.1));

  std::ostringstream text;
  WriteAnalysis(a, text);
  EXPECT_NE(text.str().find("SPLITS Lap 2: 42.000 s (interpolated 42.500 s), started 16:40:50 UTC, SKIPPED 1 gate; "
                            "flags first set: cheated_crash_detect.\n"),
            std::string::npos)
      << text.str();
  EXPECT_NE(text.str().find("SPLITS Lap 2 sampled: - - 12.000\n"), std::string::npos) << text.str();
  EXPECT_NE(text.str().find("BEST lap: lap 1, 40.000 s (interpolated 39.800 s), started 16:40:10 UTC.\n"),
            std::string::npos);
}

// One CSV row per lap; a flag set before the start sits on lap 1, one set in the
// lap never completed gets a row of its own; a name with a comma is quoted.
TEST(LapsCsvTest, FlagsSitOnTheLapThatSetThem) {
  Fixture f = ThreeGatesTwoLaps();
  TracedSample late;
  late.counter = 90000;
  f.trace.samples.push_back(late);
  TracedFlag in_lap_3;
  in_lap_3.flag = FairnessFlag::kMovedTooFast;
  in_lap_3.sample = f.trace.samples.size() - 1;
  f.trace.flags.push_back(in_lap_3);
  f.trace.finished = false;
  AnalysedRace race;
  race.pilot = "Doe, Jo";
  race.started = "2026-12-10 16:40:05 UTC";
  RaceClock clock;
  clock.frequency = 1000;
  race.report.analysis = AnalyseRace(f.trace, f.explanation, clock);
  std::ostringstream csv;
  csv << LapsCsvHeader(3);
  WriteLapsCsvRows(race, csv);
  EXPECT_EQ(csv.str(),
            "pilot,race_start_utc,lap,lap_time,skips,split_1,split_2,split_3,flags\n"
            "\"Doe, Jo\",2026-12-10T16:40:05Z,1,40.000,0,10.000,15.000,15.000,slewed\n"
            "\"Doe, Jo\",2026-12-10T16:40:05Z,2,42.000,1,,,12.000,cheated_crash_detect\n"
            "\"Doe, Jo\",2026-12-10T16:40:05Z,3,,0,,,,moved_too_fast\n");
}

// Splits are rounded so that a lap's splits add up to its rounded time.
TEST(RaceAnalysisTest, RoundedSplitsAddUpToTheLap) {
  LapAnalysis lap;
  // Each split alone would show 1.001, three of them 3.003 against the lap's 3.002.
  lap.time = TimePair{3.0018, 3.0018};
  lap.splits = {TimePair{1.0006, 1.0006}, TimePair{1.0006, 1.0006}, TimePair{1.0006, 1.0006}};
  lap.split_starts = {TimePair{0, 0}, TimePair{1.0006, 1.0006}, TimePair{2.0012, 2.0012}};
  EXPECT_EQ(SplitMillis(lap, 0, false), 1001);
  EXPECT_EQ(SplitMillis(lap, 1, false), 1000);
  EXPECT_EQ(SplitMillis(lap, 2, true), 1001);
  EXPECT_EQ(MillisText(1001 + 1000 + 1001), SecondsText(3.0018));
}

TEST(RaceAnalysisTest, UtcStampsParseOnlyWhole) {
  EXPECT_EQ(ParseUtcStamp("1970-01-02 00:00:01 UTC"), 86401);
  EXPECT_FALSE(ParseUtcStamp("2026-12-10 16:40:05"));
  EXPECT_FALSE(ParseUtcStamp("2026-13-10 16:40:05 UTC"));
  EXPECT_FALSE(ParseUtcStamp("2026-12-10 16:40:05 UTC x"));
}

TEST(TrackTornRowTest, ATornLastRowIsLeftOutWithANoteElsewhereItIsAnError) {
  const std::string good = std::string(kTrackHeader) + "\n1,2,3,4,256,1,0,0\n";
  struct Case {
    const char* name;
    std::string text;
    bool ok;
    std::size_t rows;
  };
  const Case cases[] = {
      {"torn last row", good + "2,2,3", true, 1},
      {"torn row followed by a line feed", good + "2,2,3\n", false, 0},
      {"bad row before the last", std::string(kTrackHeader) + "\n2,2,3\n1,2,3,4,256,1,0,0", false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::istringstream in(c.text);
    std::vector<TrackRow> rows;
    std::string error;
    std::string note;
    EXPECT_EQ(ParseTrack(in, rows, error, &note), c.ok) << error;
    if (c.ok) {
      EXPECT_EQ(rows.size(), c.rows);
      EXPECT_NE(note.find("torn last row"), std::string::npos) << note;
    } else {
      EXPECT_TRUE(note.empty());
    }
  }
}

TEST(RecordVerdictTest, NothingComparedIsNotCalledAgreement) {
  std::ostringstream out;
  WriteRecordVerdict(RecordVerdict{}, out);
  EXPECT_EQ(out.str().find("RECORD agrees"), std::string::npos);
  EXPECT_NE(out.str().find("RECORD has no crossings"), std::string::npos);
  RecordVerdict with_results;
  with_results.results_recorded = true;
  std::ostringstream agreed;
  WriteRecordVerdict(with_results, agreed);
  EXPECT_NE(agreed.str().find("RECORD agrees"), std::string::npos);
}

}  // namespace
}  // namespace volantis::replay
