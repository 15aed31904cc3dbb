// A race flown through the monitor with its record on leaves a record that the
// replay judges again to the same events and the same results, paused cycles
// and all; and recording changes nothing the pilot sees.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "../support/record_files_in.h"
#include "host/host_values.h"
#include "platform/buffer_host_memory.h"
#include "race/race_monitor.h"
#include "race/race_records.h"
#include "race_fakes.h"
#include "replay.h"
#include "track_csv.h"

namespace volantis {
namespace {

std::vector<replay::TrackRow> Track(const std::string& text) {
  std::istringstream in(text);
  std::vector<replay::TrackRow> rows;
  std::string error;
  EXPECT_TRUE(replay::ParseTrack(in, rows, error)) << error;
  return rows;
}

// The live side: the monitor's own cycle over the host's memory, fed a flight
// row by row, with or without a record.
struct LiveRace : testing::JudgeBench {
  BufferHostMemory memory;
  testing::TempFolder data;
  testing::RecordFilesIn files{testing::RecordFilesIn::Races(data.path())};
  RaceRecords records{files, *state.log, "standin"};
  RaceMonitor monitor;

  explicit LiveRace(bool recording, const std::string& course)
      : monitor(state, Recording(services, recording ? &records : nullptr), memory) {
    std::string error;
    EXPECT_TRUE(replay::LoadCourse(course, settings, error)) << error;
    settings.race_definition.clock_offset = -3.25;
    clock.frequency = 3579545;
    state.log->SetEcho(&records);
  }
  ~LiveRace() { state.log->SetEcho(nullptr); }

  // The thread is not started: the test runs the cycles itself.
  static RaceServices Recording(RaceServices services, RaceRecorder* recorder) {
    services.start_thread = [](std::function<void()>) { return true; };
    services.recorder = recorder;
    return services;
  }

  void Fly(const std::vector<replay::TrackRow>& rows) {
    monitor.StartRace();
    state.done_event.Set();  // no monitor thread runs
    records.BeginTrack();     // what the monitor thread does first
    for (const replay::TrackRow& row : rows) {
      memory.Write<int64_t>(kOffsetLatitude, row.lat_raw);
      memory.Write<int64_t>(kOffsetLongitude, row.lon_raw);
      memory.Write<int64_t>(kOffsetAltitude, row.alt_raw);
      memory.Write<int16_t>(kOffsetSimulationRate, row.rate_raw);
      memory.Write<int8_t>(kOffsetCrashDetection, row.crash);
      memory.Write<uint16_t>(kOffsetSlew, row.slew);
      clock.counter = row.counter;
      state.sampling_paused = row.paused;
      monitor.MonitorCycle();
      if (state.finished) break;
    }
    records.EndTrack();
  }

  // What the pilot saw and heard, in the replay's words.
  std::vector<std::string> Events() {
    std::vector<std::string> events;
    for (const std::string& entry : journal.entries()) {
      if (entry == "LOG Race started.\n") continue;
      events.push_back(entry.back() == '\n' ? entry : entry + "\n");
    }
    return events;
  }
  std::string RecordFile(const std::string& file) {
    return testing::ReadWholeFile(files.Join(files.Join(files.RacesFolder(), state.record_name), file));
  }
};

std::vector<std::string> Rejudged(const std::string& course, const std::string& track, int64_t frequency,
                                  double clock_offset, RaceResults& results) {
  AppSettings settings;
  std::string error;
  EXPECT_TRUE(replay::LoadCourse(course, settings, error)) << error;
  replay::ReplayOptions options;
  options.frequency = frequency;
  options.clock_offset = clock_offset;
  std::ostringstream out;
  results = replay::ReplayTrack(settings, options, Track(track), out);
  std::vector<std::string> events;
  for (std::string text = out.str(); !text.empty();) {
    const std::size_t end = text.find('\n');
    const std::string line = text.substr(0, end + 1);
    text.erase(0, end + 1);
    if (line.rfind("RESULT ", 0) == 0) continue;
    events.push_back(line);
  }
  return events;
}

// A flight with pauses in it (as after a menu command), made from a fixture.
std::vector<replay::TrackRow> FlightWithPauses() {
  std::vector<replay::TrackRow> rows = Track(testing::ReadWholeFile(VOLANTIS_RACE_FIXTURES "/antimeridian.csv"));
  for (std::size_t i = 300; i < rows.size(); i += 997) {
    for (std::size_t j = i; j < i + 12 && j < rows.size(); ++j) rows[j].paused = true;
  }
  return rows;
}

TEST(RecordRejudgeTest, TheRecordJudgesAgainToTheSameEventsAndResults) {
  const std::string course = testing::ReadWholeFile(VOLANTIS_RACE_FIXTURES "/antimeridian.course");
  LiveRace live(true, course);
  live.Fly(FlightWithPauses());
  ASSERT_TRUE(live.state.finished);
  ASSERT_FALSE(live.state.record_name.empty());

  const std::string recorded_course = live.RecordFile("course.txt");
  const std::string recorded_track = live.RecordFile("track.csv");
  EXPECT_NE(recorded_track.find(",1\n"), std::string::npos) << "no paused row was recorded";
  RaceResults rejudged_results;
  const std::vector<std::string> rejudged = Rejudged(recorded_course, recorded_track, 3579545, -3.25, rejudged_results);

  ASSERT_GT(live.Events().size(), 20u);
  EXPECT_EQ(rejudged, live.Events());
  EXPECT_EQ(replay::ResultQuery(rejudged_results), replay::ResultQuery(live.state.Results()));

  // The record's log holds the Log window's lines, from the start on.
  std::string shown;
  for (const std::string& entry : live.journal.entries()) {
    if (entry.rfind("LOG ", 0) == 0) shown += entry.substr(4);
  }
  EXPECT_EQ(live.RecordFile("log.txt"), shown);
}

TEST(RecordRejudgeTest, RecordingChangesNothingThePilotSees) {
  const std::string course = testing::ReadWholeFile(VOLANTIS_RACE_FIXTURES "/antimeridian.course");
  LiveRace recorded(true, course);
  recorded.Fly(FlightWithPauses());
  LiveRace unrecorded(false, course);
  unrecorded.Fly(FlightWithPauses());
  EXPECT_EQ(recorded.journal.entries(), unrecorded.journal.entries());
  EXPECT_EQ(replay::ResultQuery(recorded.state.Results()), replay::ResultQuery(unrecorded.state.Results()));
}

}  // namespace
}  // namespace volantis
