// A race flown through the monitor with its record on leaves a record that the
// replay judges again to the same events and the same results, paused cycles
// and all; and recording changes nothing the pilot sees.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "../support/record_files_in.h"
#include "host/host_values.h"
#include "platform/buffer_host_memory.h"
#include "race/race_monitor.h"
#include "platform/worker_group.h"
#include "race/race_record_names.h"
#include "race/race_records.h"
#include "race_fakes.h"
#include "platform/utc_time.h"
#include "server/race_results_submission.h"
#include "server/race_server_client.h"
#include "server/record_results_journal.h"
#include "server/submission_fields.h"
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

  // started: called once the race has started, before its first cycle.
  void Fly(const std::vector<replay::TrackRow>& rows, const std::function<void()>& started = nullptr) {
    monitor.StartRace();
    state.done_event.Set();  // no monitor thread runs
    if (started) started();
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
    records.WaitWritten(20000);
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
  std::string RecordFile(const std::string& file, const std::string& record = std::string()) {
    const std::string name = record.empty() ? state.record_name : record;
    return testing::ReadWholeFile(files.Join(files.Join(files.RacesFolder(), name), file));
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

// The race server's side for a results submission: a code, then an OK.
class AcceptingHttp : public HttpTransport {
 public:
  // Set when a code is asked for; the code then comes after code_delay_ms.
  Event code_asked{true, false};
  std::atomic<uint32_t> code_delay_ms{0};
  HttpResult HttpGet(const HttpRequest& request) override {
    if (request.path == kGetCodePath) {
      code_asked.Set();
      std::this_thread::sleep_for(std::chrono::milliseconds(code_delay_ms.load()));
    }
    HttpResult answer;
    answer.status = 200;
    answer.body = request.path == kGetCodePath ? "1234567" : "ok";
    return answer;
  }
};

class QuietSounds : public SoundPlayer {
 public:
  void Play(const char*) override {}
};

std::string RunCommand(const std::string& command) {
  std::string output;
  std::FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return output;
  char buffer[4096];
  std::size_t got;
  while ((got = std::fread(buffer, 1, sizeof(buffer), pipe)) > 0) output.append(buffer, got);
  ::pclose(pipe);
  return output;
}

// The race starts while the module resends the unsent results of the race
// before it and still submits an older race: those lines go to their own
// records (or none), so the race's record re-judges to agreement. The race is
// recorded through the writer thread, with its results kept at the finish.
TEST(RecordRejudgeTest, ARaceRecordKeepsOnlyItsOwnLinesAndJudgesAgainToAgreement) {
  const std::string course = testing::ReadWholeFile(VOLANTIS_RACE_FIXTURES "/antimeridian.course");
  CancelSignal end;  // outlives the record's writer
  LiveRace live(true, course);
  RecordResultsJournal journal(live.files);
  live.records.SetResultsKeeper([&journal](const RaceResults& results, const RaceRecordFacts& facts) {
    ResultsSubmissionSettings kept;
    kept.server_ip = facts.server_ip;
    kept.server_port = facts.server_port;
    kept.player_name = facts.player_name;
    kept.version = facts.version;
    journal.KeepIfNone(results.record_name, SubmissionFieldsOf(results, kept), facts.server_ip, facts.server_port);
  });
  ASSERT_TRUE(live.records.StartWriter(StartDetachedThread, end, nullptr));
  live.settings.server_ip = "127.0.0.1";
  live.settings.server_port = 8080;
  live.settings.player_name = "Ann Lee";

  // An older race, still being submitted when this one starts, and the race
  // just before this one, whose unsent results are resent meanwhile.
  ResultsSubmissionSettings settings = ResultsSubmissionSettings::From(live.settings);
  RaceRecordFacts facts;
  RaceResults older;
  older.lap_times = {61.5};
  older.lap_skips = {0};
  older.record_name = live.records.BeginRace(facts);
  RaceResults unsent;
  unsent.lap_times = {58.25};
  unsent.lap_skips = {1};
  unsent.record_name = live.records.BeginRace(facts);
  ASSERT_FALSE(older.record_name.empty());
  ASSERT_FALSE(unsent.record_name.empty());
  ASSERT_TRUE(live.records.WaitWritten(20000));
  ASSERT_TRUE(journal.Begin(unsent.record_name, SubmissionFieldsOf(unsent, settings), "127.0.0.1", 8080));
  ASSERT_TRUE(journal.SetStatus(unsent.record_name, SubmissionStatus::kUnsent));

  AcceptingHttp http;
  QuietSounds sounds;
  WorkerGroup workers;
  RaceResultsSender sender(*live.state.log, http, live.clock, sounds, workers);
  sender.SetJournal(&journal);
  // The resend has chosen the newest record and waits for its code as the race starts.
  http.code_delay_ms = 500;
  ASSERT_TRUE(sender.StartResend());
  ASSERT_EQ(http.code_asked.Wait(20000), WaitResult::kSignaled);
  live.Fly(FlightWithPauses(), [&] {
    http.code_delay_ms = 0;
    ASSERT_TRUE(sender.Start(older, settings));
    ASSERT_TRUE(workers.WaitUntilNoneRuns(20000));
  });
  ASSERT_TRUE(live.state.finished);
  ASSERT_TRUE(live.records.WaitWritten(20000));

  const std::string shown = live.state.log->log_text();
  ASSERT_NE(shown.find("Resending the results of the race of"), std::string::npos) << shown;
  ASSERT_NE(shown.find("Sent results to Tarvex ok."), std::string::npos) << shown;
  EXPECT_EQ(live.RecordFile("log.txt").find("Tarvex"), std::string::npos) << live.RecordFile("log.txt");
  EXPECT_NE(live.RecordFile("log.txt", older.record_name).find("Sent results to Tarvex ok."), std::string::npos);

  const std::string folder = live.files.Join(live.files.RacesFolder(), live.state.record_name);
  const std::string verdict = RunCommand("\"" VOLANTIS_REPLAY_TOOL "\" \"" + folder + "\" 2>&1");
  EXPECT_NE(verdict.find("RECORD agrees"), std::string::npos) << verdict;
  EXPECT_NE(verdict.find("the results match the record"), std::string::npos) << verdict;
}

}  // namespace
}  // namespace volantis
