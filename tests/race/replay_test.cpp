#include <cmath>
#include <sstream>

#include <gtest/gtest.h>

#include "host/host_values.h"
#include "replay.h"
#include "replay_args.h"
#include "track_csv.h"

namespace volantis::replay {
namespace {

const std::string kHeader = std::string(kTrackHeader) + "\n";

TEST(TrackCsvTest, ReadsRows) {
  std::istringstream in("\xEF\xBB\xBF" + std::string(kTrackHeader) +
                        "\r\n"
                        "10,-9223372036854775808,9223372036854775807,4294967296,-32768,-128,65535,1\r\n"
                        "\n"
                        " 20 , +1 , 2 , 3 , 512 , 0 , 1 , 0 \n");
  std::vector<TrackRow> rows;
  std::string error;
  ASSERT_TRUE(ParseTrack(in, rows, error)) << error;
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].lat_raw, INT64_MIN);
  EXPECT_EQ(rows[0].lon_raw, INT64_MAX);
  EXPECT_EQ(rows[0].rate_raw, -32768);
  EXPECT_EQ(rows[0].crash, -128);
  EXPECT_EQ(rows[0].slew, 65535);
  EXPECT_TRUE(rows[0].paused);
  EXPECT_EQ(rows[1].counter, 20);
  EXPECT_EQ(rows[1].lat_raw, 1);
  EXPECT_EQ(rows[1].rate_raw, 512);
  EXPECT_FALSE(rows[1].paused);
}

TEST(TrackCsvTest, RejectsBadInputNamingLineAndField) {
  struct Case {
    std::string text;
    const char* message;
  };
  const Case cases[] = {
      {"", "the track is empty"},
      {"counter,lat,lon\n1,2,3\n", "line 1: the header must be"},
      {kHeader + "1,2,3,4,256,1,0\n", "line 2: 7 values, expected 8"},
      {kHeader + "1,2,3,4,256,1,0,0,9\n", "line 2: 9 values, expected 8"},
      {kHeader + "1,2,3,4,256,1,0,0\n1,2,3x,4,256,1,0,0\n", "line 3: bad lon_raw value \"3x\""},
      {kHeader + "1,2,3,4,32768,1,0,0\n", "line 2: bad rate_raw value \"32768\""},
      {kHeader + "1,2,3,4,256,128,0,0\n", "line 2: bad crash value \"128\""},
      {kHeader + "1,2,3,4,256,1,-1,0\n", "line 2: bad slew value \"-1\""},
      {kHeader + "1,2,3,4,256,1,0,2\n", "line 2: bad paused value \"2\""},
      {kHeader + "1,2,3,9223372036854775808,256,1,0,0\n", "line 2: bad alt_raw value"},
      {kHeader + "1.5,2,3,4,256,1,0,0\n", "line 2: bad counter value \"1.5\""},
      {kHeader + "1,,3,4,256,1,0,0\n", "line 2: bad lat_raw value \"\""},
  };
  for (const Case& c : cases) {
    std::istringstream in(c.text);
    std::vector<TrackRow> rows;
    std::string error;
    EXPECT_FALSE(ParseTrack(in, rows, error)) << c.text;
    EXPECT_NE(error.find(c.message), std::string::npos) << "got: " << error;
  }
}

TEST(ReplayArgsTest, OptionsAndErrors) {
  ReplayArgs args;
  std::string error;
  ASSERT_TRUE(ParseReplayArgs({"c", "--clock-offset", "-3.25", "t", "--frequency", "3579545", "--sounds", "1,0,1"},
                              args, error))
      << error;
  EXPECT_EQ(args.course_path, "c");
  EXPECT_EQ(args.track_path, "t");
  EXPECT_EQ(args.options.clock_offset, -3.25);
  EXPECT_EQ(args.options.frequency, 3579545);
  EXPECT_TRUE(args.options.sound_cross);
  EXPECT_FALSE(args.options.sound_skip);
  EXPECT_TRUE(args.options.sound_end);

  ReplayArgs defaults;
  ASSERT_TRUE(ParseReplayArgs({"c", "t"}, defaults, error));
  EXPECT_EQ(defaults.options.clock_offset, 0);
  EXPECT_EQ(defaults.options.frequency, 10000000);
  EXPECT_TRUE(defaults.options.sound_cross && defaults.options.sound_skip && defaults.options.sound_end);

  const std::vector<std::vector<std::string>> bad = {
      {},
      {"c", "t", "x"},
      {"c", "t", "--clock-offset"},
      {"c", "t", "--clock-offset", "soon"},
      {"c", "t", "--clock-offset", "nan"},
      {"c", "t", "--frequency", "0"},
      {"c", "t", "--frequency", "-5"},
      {"c", "t", "--frequency", "1e7"},
      {"c", "t", "--sounds", "1,1"},
      {"c", "t", "--sounds", "1,2,1"},
      {"c", "t", "--volume", "3"},
  };
  for (const auto& argv : bad) {
    ReplayArgs parsed;
    std::string message;
    std::string joined;
    for (const auto& a : argv) joined += a + " ";
    EXPECT_FALSE(ParseReplayArgs(argv, parsed, message)) << joined;
    EXPECT_FALSE(message.empty()) << joined;
  }
}

TEST(ReplayTest, LoadCourseRejectsWhatCannotBeRaced) {
  struct Case {
    const char* text;
    const char* message;
  };
  const Case cases[] = {
      {"", "no race start info entries"},
      {"laps=2;max_knots=450", "no valid \"gate=\" entry"},
      {"max_knots=450;gate=0,0,0.01,0,0,0", "no \"laps=\" entry of at least 1"},
      {"laps=x;gate=0,0,0.01,0,0,0", "\"x\" is not a whole number"},
      {"laps=1;gate=0,0,0.01,0,0", "needs 6 values"},
      {"laps=1;gate=0,0,0.01,0,0,1.5", "\"1.5\" is not a whole number"},
      {"laps=1;gate=0,0,0.01,0,0,0;gate=0,181,0.01,181,0,0", "bad data: gate 2: its left longitude"},
      {"laps=1;gate=0,0,0.01,0,900,500", "bad data: gate 1: its floor 900 is above its ceiling 500"},
      {"laps=1;gate=0,0,nan,0,0,0", "bad data: gate 1: its right end is not a number"},
  };
  for (const Case& c : cases) {
    AppSettings settings;
    std::string error;
    EXPECT_FALSE(LoadCourse(c.text, settings, error)) << c.text;
    EXPECT_NE(error.find(c.message), std::string::npos) << c.text << " -> " << error;
  }
  AppSettings settings;
  std::string error;
  ASSERT_TRUE(LoadCourse("Race start info: laps=1;max_knots=300;gate=0,0,0.01,0,500,900", settings, error)) << error;
  EXPECT_EQ(settings.race_definition.gates.size(), 1u);
  EXPECT_EQ(settings.race_definition.gates[0]->max_alt, 900);
}

TEST(ReplayTest, ResultLineFormats) {
  RaceResults none;
  EXPECT_EQ(ResultQuery(none),
            "moved_too_fast=0&cheated_crash_detect=0&slewed=0&cheated_sim_rate=0&lap_times=&lap_skips=&race_time=0.000000&"
            "finish_secs=0.000000");
  RaceResults three;
  three.moved_too_fast = true;
  three.cheated_sim_rate = true;
  three.lap_times = {61.5, 60.25, 59.125};
  three.lap_skips = {0, 1, 0};
  three.race_time = 180.875;
  three.finish_secs = 1234567.5;
  EXPECT_EQ(ResultQuery(three),
            "moved_too_fast=1&cheated_crash_detect=0&slewed=0&cheated_sim_rate=1&lap_times=61.500000,60.250000,59.125000&"
            "lap_skips=0,1,0&race_time=180.875000&finish_secs=1234567.500000");
}

TrackRow Row(int64_t counter, double lat, double lon, bool paused = false) {
  TrackRow row;
  row.counter = counter;
  row.lat_raw = std::llround(lat / 2.0951091487837895e-15);
  row.lon_raw = std::llround(lon / 1.951563910473908e-17);
  row.alt_raw = 500LL << 32;
  row.paused = paused;
  return row;
}

// Two gates, one lap: the rows after the finish are not fed; a crossing during
// paused rows is judged at the next sample; the first row only seeds.
TEST(ReplayTest, FeedsCyclesUntilTheFinish) {
  AppSettings settings;
  std::string error;
  ASSERT_TRUE(LoadCourse("laps=1;gate=0,0,0.01,0,0,0;gate=0,-0.1,0.01,-0.1,0,0", settings, error)) << error;
  const std::vector<TrackRow> rows = {
      Row(0, 0.005, 0.0001),             // seeds only
      Row(400000, 0.005, -0.0001),       // gate 1: timing starts at 0.04 s
      Row(800000, 0.005, -0.0999),
      Row(1200000, 0.005, -0.1001, true),  // paused: gate 2 not judged yet
      Row(1600000, 0.005, -0.1002),      // gate 2, judged now at 0.16 s
      Row(20000000, 0.005, 0.0001),
      Row(20400000, 0.005, -0.0001),     // gate 1 again: lap and finish at 2.04 s
      Row(20800000, 0.005, -0.0999),
      Row(21200000, 0.005, -0.1001),     // never fed
  };
  ReplayOptions options;
  options.clock_offset = 0.5;
  options.sound_cross = false;
  std::ostringstream out;
  const RaceResults results = ReplayTrack(settings, options, rows, out);
  EXPECT_EQ(out.str(),
            "LOG Gate 1 crossed.\n"
            "LOG Gate 2 crossed.\n"
            "LOG Gate 1 crossed.\n"
            "LOG Lap 1: 0min 2.000sec.\n"
            "LOG Race time: 0min 2.000sec.\n"
            "SOUND WAVE_RACE_FINISHED\n"
            "POST 45003\n"
            "RESULT moved_too_fast=1&cheated_crash_detect=0&slewed=0&cheated_sim_rate=0&lap_times=2.000000&"
            "lap_skips=0&race_time=2.000000&finish_secs=1.540000\n");
  EXPECT_EQ(results.lap_times.size(), 1u);
}

}  // namespace
}  // namespace volantis::replay
