// Results kept in the race record: what a submission writes before and after
// its attempts, which results are sent again later, and that nothing the server
// took is ever sent twice.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "../support/record_files_in.h"
#include "fakes.h"
#include "platform/text_format.h"
#include "platform/utc_time.h"
#include "race/race_record_names.h"
#include "recording_log.h"
#include "server/digest.h"
#include "server/race_results_submission.h"
#include "server/record_results_journal.h"
#include "server/resend_policy.h"

namespace volantis {
namespace {

using testing::Status;
using testing::TransportFailure;

constexpr int64_t kNow = 1796919600 - 80 * 60;  // 2026-12-10 15:00:00 UTC
constexpr int64_t kDay = 24 * 3600;

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

class ResultsKeptTest : public ::testing::Test {
 protected:
  ResultsKeptTest() {
    settings_.server_ip = "tarvex.test";
    settings_.server_port = 8080;
    settings_.player_name = "Ann Lee";
    settings_.version = "2.6";
    settings_.best_round_trip = 0.0425;
    results_.lap_times = {61.5, 60.25};
    results_.lap_skips = {0, 1};
    results_.race_time = 121.75;
    results_.finish_secs = 4321.5;
    sender_.SetJournal(&journal_);
    sender_.SetUtcClock([this] { return now_; });
    sender_.SetRetryWaitForTesting(0);
  }

  // A record folder of a race that started age_seconds ago.
  std::string MakeRecord(int64_t age_seconds) {
    const std::string name = RaceRecordName(kNow - age_seconds);
    files_.CreateFolder(files_.Join(files_.RacesFolder(), name));
    return name;
  }
  std::string ResultsText(const std::string& record) {
    return testing::ReadWholeFile(files_.Join(files_.Join(files_.RacesFolder(), record), "results.txt"));
  }
  std::string LastStatus(const std::string& record) {
    std::string status;
    for (const std::string& line : Lines(ResultsText(record))) {
      if (line.rfind("status=", 0) == 0) status = line.substr(7);
    }
    return status;
  }
  void SendLive(const std::string& record) {
    results_.record_name = record;
    sender_.SendRaceResults(results_, settings_);
  }
  std::vector<std::string> SubmitPaths() {
    std::vector<std::string> paths;
    for (const std::string& path : http_.Paths()) {
      if (path.find("op=submit_race_results") != std::string::npos) paths.push_back(path);
    }
    return paths;
  }

  testing::TempFolder data_;
  testing::RecordFilesIn files_{testing::RecordFilesIn::Races(data_.path())};
  int64_t now_ = kNow;  // the UTC clock of the journal and the sender
  RecordResultsJournal journal_{files_, [this] { return now_; }};
  ResultsSubmissionSettings settings_;
  RaceResults results_;
  testing::RecordingLog log_;
  testing::ScriptedHttp http_;
  testing::FakeClock clock_;
  testing::RecordingSound sound_;
  WorkerGroup workers_;
  RaceResultsSender sender_{log_, http_, clock_, sound_, workers_};
};

TEST_F(ResultsKeptTest, FieldsAreKeptBeforeTheFirstAttempt) {
  const std::string record = MakeRecord(60);
  std::string kept_at_first_request;
  http_.on_request = [&](const HttpRequest&) {
    if (kept_at_first_request.empty()) kept_at_first_request = ResultsText(record);
  };
  http_.Add(Status(200, "12345"));
  http_.Add(Status(200, "ok"));
  SendLive(record);
  EXPECT_EQ(kept_at_first_request,
            "ver=2.6\nmoved_too_fast=0\ncheated_crash_detect=0\nslewed=0\ncheated_sim_rate=0\nplayer=Ann Lee\n"
            "lap_times=61.500000,60.250000\nlap_skips=0,1\nrace_time=121.750000\nfinish_secs=4321.500000\n"
            "sync_delay=42.500000\nserver_ip=tarvex.test\nserver_port=8080\nfinished=2026-12-10 15:00:00 UTC\n"
            "status=pending\n");
  EXPECT_EQ(ResultsText(record), kept_at_first_request + "attempt 1 at 2026-12-10 15:00:00 UTC: sent\nstatus=sent\n");
}

// How a live submission ends, and where that leaves its results.
TEST_F(ResultsKeptTest, StatusAfterALiveSubmission) {
  struct Case {
    const char* name;
    std::vector<HttpResult> answers;  // after them, every request fails to connect
    const char* status;
    std::size_t submits;
  };
  const std::vector<Case> cases = {
      {"ok", {Status(200, "1"), Status(200, "ok")}, "sent", 1},
      {"unknown player", {Status(200, "1"), Status(401, "")}, "refused", 1},
      {"version refused", {Status(200, "1"), Status(403, "")}, "refused", 1},
      {"invalid data twice", {Status(200, "1"), Status(400, ""), Status(200, "2"), Status(400, "")}, "refused", 2},
      {"server error", {Status(200, "1"), Status(503, "")}, "unsent", 1},
      {"not found", {Status(200, "1"), Status(404, "")}, "unsent", 1},
      {"code refused", {Status(500, "")}, "unsent", 0},
      {"server down", {}, "unsent", 0},
  };
  int age = 100;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    http_.requests.clear();
    http_.script.clear();
    for (const HttpResult& answer : c.answers) http_.Add(answer);
    const std::string record = MakeRecord(age++);
    SendLive(record);
    EXPECT_EQ(LastStatus(record), c.status);
    EXPECT_EQ(SubmitPaths().size(), c.submits);
  }
}

TEST_F(ResultsKeptTest, TheServersOkIsOnTheDiskBeforeTheSoundAndTheLine) {
  // What the record says at the moment the pilot hears the OK sound and reads the line.
  const std::string record = MakeRecord(100);
  const std::function<std::string()> status_now = [this, &record] { return LastStatus(record); };
  struct StatusAtPlay : SoundPlayer {
    std::function<std::string()> status_now;
    std::string status_when_played;
    void Play(const char*) override { status_when_played = status_now(); }
  } sound;
  struct StatusAtLine : LogSink {
    std::function<std::string()> status_now;
    std::string status_when_logged;
    void Append(const std::string& line) override {
      if (line.find("Sent results to Tarvex ok") != std::string::npos) status_when_logged = status_now();
    }
  } log;
  sound.status_now = log.status_now = status_now;
  http_.Add(Status(200, "1"));
  http_.Add(Status(200, "ok"));
  settings_.sound_race_results = true;
  RaceResultsSender sender{log, http_, clock_, sound, workers_};
  sender.SetJournal(&journal_);
  results_.record_name = record;
  sender.SendRaceResults(results_, settings_);
  EXPECT_EQ(sound.status_when_played, "sent");
  EXPECT_EQ(log.status_when_logged, "sent");
  // One attempt line and one status line for the OK, not two of each.
  const std::string text = ResultsText(record);
  EXPECT_EQ(text.find("status=sent"), text.rfind("status=sent"));
  EXPECT_EQ(text.find(": sent\n"), text.rfind(": sent\n"));
}

TEST_F(ResultsKeptTest, EveryAttemptIsNoted) {
  const std::string record = MakeRecord(60);
  SendLive(record);  // the server is down throughout
  std::vector<std::string> attempts;
  for (const std::string& line : Lines(ResultsText(record))) {
    if (line.rfind("attempt ", 0) == 0) attempts.push_back(line);
  }
  ASSERT_EQ(attempts.size(), 15u);
  EXPECT_EQ(attempts.front().rfind("attempt 1 at 2026-12-10 15:00:00 UTC: code request failed: error 12029 (A connection", 0), 0u)
      << attempts.front();
  EXPECT_EQ(attempts.back().rfind("attempt 15 at", 0), 0u);
  EXPECT_EQ(LastStatus(record), "unsent");
}

TEST_F(ResultsKeptTest, TheModuleEndingDuringTheRetriesLeavesThemUnsent) {
  const std::string record = MakeRecord(60);
  bool handed_over = false;
  sender_.SetUnsentResultsHandler([&](const RaceResults&, const ResultsSubmissionSettings&) { handed_over = true; });
  http_.on_request = [&](const HttpRequest&) {
    if (http_.requests.size() >= 1) workers_.cancel().Cancel();
  };
  SendLive(record);
  EXPECT_TRUE(handed_over);
  EXPECT_EQ(LastStatus(record), "unsent");
}

TEST_F(ResultsKeptTest, UnsentResultsAreSentAgainOnceWithTheSameFieldsAndAFreshCode) {
  const std::string record = MakeRecord(3600);
  SendLive(record);  // down: kept unsent
  http_.requests.clear();

  // A new module, with other settings: the record's own server and fields count.
  RaceResultsSender later(log_, http_, clock_, sound_, workers_);
  later.SetJournal(&journal_);
  later.SetUtcClock([this] { return now_; });
  http_.Add(Status(200, "777"));
  http_.Add(Status(200, "ok"));
  later.ResendUnsent();
  ASSERT_EQ(SubmitPaths().size(), 1u);
  EXPECT_EQ(SubmitPaths()[0], ResultsSubmitPath(results_, settings_, ValidationCode("777", "2.6", "Ann Lee")));
  for (const auto& request : http_.requests) {
    EXPECT_EQ(request.server, "tarvex.test");
    EXPECT_EQ(request.port, 8080);
  }
  EXPECT_EQ(LastStatus(record), "sent");
  EXPECT_TRUE(log_.Contains("Resending the results of the race of 2026-12-10 14:00:00 UTC to Tarvex at "
                            "tarvex.test:8080: sent.\n"));
  EXPECT_TRUE(sound_.played.empty());

  // Sent: never again.
  http_.requests.clear();
  later.ResendUnsent();
  EXPECT_TRUE(http_.requests.empty());
}

TEST_F(ResultsKeptTest, AResultsFileThatDoesNotParseIsSaidOnceNotSkippedSilently) {
  const std::string torn = MakeRecord(300);
  {
    UniqueFile file = files_.Open(files_.Join(files_.Join(files_.RacesFolder(), torn), "results.txt"), "wb");
    ASSERT_TRUE(file);
    std::fputs("player=Ann Lee\nver=2.6\nstatus=se", file.get());
  }
  MakeRecord(200);  // a race without results: nothing to say
  sender_.ResendUnsent();
  sender_.ResendUnsent();
  const std::string line = FormatText(kUnreadableResultsText, torn.c_str());
  std::size_t said = 0;
  for (const std::string& each : log_.lines) said += each == line ? 1 : 0;
  EXPECT_EQ(said, 1u);
  EXPECT_EQ(log_.lines.size(), 1u) << log_.All();
  EXPECT_TRUE(SubmitPaths().empty());
}

TEST_F(ResultsKeptTest, ResultsAnotherModuleIsSendingAreLeftToIt) {
  const std::string record = MakeRecord(60);
  SendLive(record);  // down: kept unsent
  http_.requests.clear();

  // Another module sharing the data folder, with its own handle on the lock.
  testing::RecordFilesIn other_files{files_.RacesFolder()};
  RecordResultsJournal other{other_files, [] { return kNow; }};
  std::unique_ptr<FileLock> others_hold;
  ASSERT_EQ(other.HoldSending(record, others_hold), LockTaking::kHeld);
  std::unique_ptr<FileLock> second;
  EXPECT_EQ(journal_.HoldSending(record, second), LockTaking::kBusy);

  http_.Add(Status(200, "777"));
  http_.Add(Status(200, "ok"));
  sender_.ResendUnsent();
  EXPECT_TRUE(SubmitPaths().empty());
  EXPECT_EQ(LastStatus(record), "unsent");

  // The other module sent them and let go: they are not sent again.
  ASSERT_TRUE(other.NoteSent(record, 1, "sent"));
  others_hold.reset();
  sender_.ResendUnsent();
  EXPECT_TRUE(SubmitPaths().empty());
  EXPECT_EQ(LastStatus(record), "sent");
}

#ifndef _WIN32
TEST_F(ResultsKeptTest, AnotherProcessSendingTheRecordKeepsThisOneFromSendingIt) {
  const std::string record = MakeRecord(60);
  SendLive(record);  // down: kept unsent
  http_.requests.clear();
  int ready[2];
  int release[2];
  ASSERT_EQ(::pipe(ready), 0);
  ASSERT_EQ(::pipe(release), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // The other process: holds the record while the test's resend runs.
    testing::RecordFilesIn other_files{files_.RacesFolder()};
    RecordResultsJournal other{other_files, [] { return kNow; }};
    std::unique_ptr<FileLock> hold;
    const char held = other.HoldSending(record, hold) == LockTaking::kHeld ? 'y' : 'n';
    (void)!::write(ready[1], &held, 1);
    char done;
    (void)!::read(release[0], &done, 1);
    ::_exit(0);
  }
  char held = 0;
  ASSERT_EQ(::read(ready[0], &held, 1), 1);
  EXPECT_EQ(held, 'y');
  http_.Add(Status(200, "777"));
  http_.Add(Status(200, "ok"));
  sender_.ResendUnsent();
  EXPECT_TRUE(SubmitPaths().empty());
  (void)!::write(release[1], "x", 1);
  int status = 0;
  ::waitpid(child, &status, 0);
  for (int handle : {ready[0], ready[1], release[0], release[1]}) ::close(handle);
  // Let go: this process sends them, once.
  sender_.ResendUnsent();
  EXPECT_EQ(SubmitPaths().size(), 1u);
  EXPECT_EQ(LastStatus(record), "sent");
}
#endif

// Which kept results go again by themselves: only those of the race started
// last, within an hour of its finish by the time the record says, and never
// once the server has accepted a validation since. Each case is a data folder
// of its own; the sending module and the one that starts later are two senders.
TEST(ResendPolicyTest, WhichKeptResultsGoAgainByThemselves) {
  constexpr int64_t kFinish = kNow;
  struct Case {
    const char* name;
    int64_t now_after_finish;  // negative: the clock was set back since
    const char* status;        // as the record keeps it
    bool newer_race = false;   // a race started after this one
    bool validation_accepted = false;
    bool sent_again = false;
  };
  const std::vector<Case> cases = {
      {"unsent, half an hour after the finish", 30 * 60, "unsent", false, false, true},
      {"pending after a crash, 5 minutes after", 5 * 60, "pending", false, false, true},
      {"at the end of the hour", 60 * 60, "unsent", false, false, true},
      {"a minute past the hour", 61 * 60, "unsent", false, false, false},
      {"days later", 3 * kDay, "unsent", false, false, false},
      {"a newer race started", 10 * 60, "unsent", true, false, false},
      {"a validation was accepted since", 10 * 60, "unsent", false, true, false},
      {"the clock set back before the finish", -10 * 60, "unsent", false, false, false},
      {"the clock set forward two hours", 2 * 3600, "pending", false, false, false},
      {"sent", 10 * 60, "sent", false, false, false},
      {"refused", 10 * 60, "refused", false, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testing::TempFolder data;
    testing::RecordFilesIn files{testing::RecordFilesIn::Races(data.path())};
    int64_t now = kFinish;
    RecordResultsJournal journal{files, [&now] { return now; }};
    const std::string record = RaceRecordName(kFinish - 300);
    ASSERT_EQ(files.CreateFolder(files.Join(files.RacesFolder(), record)), FolderCreation::kCreated);
    RaceResults results;
    results.lap_times = {61.5};
    results.lap_skips = {0};
    results.race_time = 61.5;
    ResultsSubmissionSettings settings;
    settings.server_ip = "tarvex.test";
    settings.server_port = 8080;
    settings.player_name = "Ann Lee";
    settings.version = "2.6";
    ASSERT_TRUE(journal.Begin(record, SubmissionFieldsOf(results, settings), "tarvex.test", 8080));
    SubmissionStatus status;
    ASSERT_TRUE(ParseStatus(c.status, &status));
    if (status != SubmissionStatus::kPending) journal.SetStatus(record, status);
    if (c.newer_race) files.CreateFolder(files.Join(files.RacesFolder(), RaceRecordName(kFinish + 60)));

    testing::RecordingLog log;
    testing::ScriptedHttp http;
    testing::FakeClock clock;
    testing::RecordingSound sound;
    WorkerGroup workers;
    if (c.validation_accepted) {
      // The module that flew the race, right after the finish.
      RaceResultsSender first(log, http, clock, sound, workers);
      first.SetJournal(&journal);
      first.SetUtcClock([&now] { return now; });
      now = kFinish + 60;
      first.NoteValidationAccepted();
    }
    now = kFinish + c.now_after_finish;
    http.Add(Status(200, "5"));
    http.Add(Status(200, "ok"));
    RaceResultsSender later(log, http, clock, sound, workers);  // the next start
    later.SetJournal(&journal);
    later.SetUtcClock([&now] { return now; });
    later.ResendUnsent();
    std::size_t submits = 0;
    for (const std::string& path : http.Paths()) submits += path.find("op=submit_race_results") != std::string::npos;
    EXPECT_EQ(submits, c.sent_again ? 1u : 0u);
    StoredSubmission kept;
    ASSERT_TRUE(journal.Read(record, kept));
    if (c.sent_again) {
      EXPECT_EQ(kept.status, SubmissionStatus::kSent);
    } else if (std::string(c.status) == "pending" || std::string(c.status) == "unsent") {
      EXPECT_EQ(kept.status, SubmissionStatus::kUnsent) << "kept in the record, unsent";
    }
  }
}

TEST_F(ResultsKeptTest, TheValidateWindowSaysOnceWhichResultsStayKept) {
  // Seven earlier races with results left unsent (one pending after a crash),
  // then the race just flown, whose results still go by themselves.
  std::vector<std::string> earlier;
  for (int i = 0; i < 7; ++i) {
    const std::string record = MakeRecord((10 - i) * kDay);
    journal_.Begin(record, SubmissionFieldsOf(results_, settings_), "tarvex.test", 8080);
    if (i != 3) journal_.SetStatus(record, SubmissionStatus::kUnsent);
    earlier.push_back(record);
  }
  const std::string latest = MakeRecord(10 * 60);
  journal_.Begin(latest, SubmissionFieldsOf(results_, settings_), "tarvex.test", 8080);
  journal_.SetStatus(latest, SubmissionStatus::kUnsent);

  testing::RecordingLog validate_window;
  sender_.SetKeptResultsLog(&validate_window);
  sender_.ResendUnsent();  // the module's start; the server is down
  sender_.ResendUnsent();  // a minute later: said once only
  std::vector<std::string> expected;
  for (int i = 6; i >= 2; --i) {  // the newest first
    int64_t started = 0;
    ASSERT_TRUE(ParseRaceRecordName(earlier[i], &started));
    expected.push_back(FormatText(kKeptResultsText, UtcText(started).c_str(),
                                  files_.Join(files_.RacesFolder(), earlier[i]).c_str()));
  }
  expected.push_back("The results of 2 more races were not sent either; they are kept in their race records.\n");
  EXPECT_EQ(validate_window.lines, expected);
  EXPECT_EQ(LastStatus(earlier[3]), "unsent") << "a crash's pending results outside the hour say unsent";
  // Only the latest race was tried, once each pass, with one line each.
  std::size_t tries = 0;
  for (const std::string& line : log_.lines) tries += line.rfind("Resending the results of the race of ", 0) == 0;
  EXPECT_EQ(tries, 2u) << log_.All();
  EXPECT_TRUE(log_.Contains(": not sent (code request failed: error 12029 (A connection")) << log_.All();
  EXPECT_TRUE(log_.Contains("they are tried again until an hour after the race's finish.\n")) << log_.All();
}

TEST_F(ResultsKeptTest, ResultsLeftUnsentAreTriedOnceAMinuteUntilTheHourIsOver) {
  // The server is down throughout; the clock moves on with every pause.
  struct MovingClock : testing::FakeClock {
    int64_t* now = nullptr;
    bool SleepUnlessCancelled(uint32_t milliseconds, CancelSignal& cancel) override {
      *now += milliseconds / 1000;
      return FakeClock::SleepUnlessCancelled(milliseconds, cancel);
    }
  } clock;
  clock.now = &now_;
  RaceResultsSender module(log_, http_, clock, sound_, workers_);
  module.SetJournal(&journal_);
  module.SetUtcClock([this] { return now_; });
  module.SetRetryWaitForTesting(0);
  module.TryAgainEveryMinute(true);
  const std::string record = MakeRecord(120);
  results_.record_name = record;
  module.SendRaceResults(results_, settings_);  // 15 attempts, then a try each minute
  ASSERT_TRUE(workers_.WaitUntilNoneRuns(20000));
  std::vector<std::string> tries;
  for (const std::string& line : log_.lines) {
    if (line.rfind("Resending the results of the race of ", 0) == 0) tries.push_back(line);
  }
  ASSERT_EQ(tries.size(), 60u) << log_.All();  // minutes 1 to 60 after the finish
  EXPECT_NE(tries.back().find("they are kept in " + files_.Join(files_.RacesFolder(), record) + ".\n"),
            std::string::npos)
      << tries.back();
  std::size_t pauses = 0;
  for (uint32_t pause : clock.sleeps) pauses += pause == kResendIntervalMs;
  EXPECT_EQ(pauses, 60u);
  EXPECT_EQ(now_, kNow + 60 * 60) << "no pause after the last try";
  EXPECT_EQ(LastStatus(record), "unsent");
}

TEST_F(ResultsKeptTest, AnAcceptedValidationStopsASubmissionStillRetrying) {
  const std::string record = MakeRecord(120);
  // The server is down; after the third request the pilot validates again and the server accepts.
  http_.on_request = [&](const HttpRequest&) {
    if (http_.requests.size() == 2) sender_.NoteValidationAccepted();
  };
  SendLive(record);
  EXPECT_EQ(http_.requests.size(), 3u) << "no request after the validation";
  EXPECT_TRUE(log_.Contains(FormatText(kMovedOnText, files_.Join(files_.RacesFolder(), record).c_str())))
      << log_.All();
  StoredSubmission kept;
  ASSERT_TRUE(journal_.Read(record, kept));
  EXPECT_EQ(kept.status, SubmissionStatus::kUnsent);
  EXPECT_TRUE(kept.resend_closed);
  // Within the hour, and the server up again: still not sent by themselves.
  http_.requests.clear();
  http_.on_request = nullptr;
  http_.Add(Status(200, "5"));
  http_.Add(Status(200, "ok"));
  sender_.ResendUnsent();
  EXPECT_TRUE(SubmitPaths().empty());
}

TEST_F(ResultsKeptTest, AFinalAnswerToAResendIsKeptAndNotTriedAgain) {
  const std::string record = MakeRecord(60);
  SendLive(record);
  http_.requests.clear();
  http_.Add(Status(200, "5"));
  http_.Add(Status(401, ""));
  sender_.ResendUnsent();
  EXPECT_EQ(LastStatus(record), "refused");
  EXPECT_TRUE(log_.Contains("tarvex.test:8080: refused: unknown player; they will not be sent again.\n"));
  http_.requests.clear();
  sender_.ResendUnsent();
  EXPECT_TRUE(http_.requests.empty());
}

TEST_F(ResultsKeptTest, ResultsBeingSentLiveAreNotResent) {
  const std::string record = MakeRecord(60);
  journal_.Begin(record, SubmissionFieldsOf(results_, settings_), "tarvex.test", 8080);  // pending
  // While the live submission of the same record waits on its first request,
  // a resend pass runs: it must leave these results alone.
  std::size_t requests_during_resend = 0;
  http_.on_request = [&](const HttpRequest&) {
    if (http_.requests.empty()) {
      sender_.ResendUnsent();
      requests_during_resend = http_.requests.size();
    }
  };
  http_.Add(Status(200, "1"));
  http_.Add(Status(200, "ok"));
  SendLive(record);
  EXPECT_EQ(requests_during_resend, 0u);
  EXPECT_EQ(SubmitPaths().size(), 1u);
  EXPECT_EQ(LastStatus(record), "sent");
}

TEST_F(ResultsKeptTest, ResultsThatCannotBeKeptAreStillSentWithOneLine) {
  // The races folder cannot exist: a file stands where it should be.
  { UniqueFile blocker = SystemRecordFiles().Open(files_.RacesFolder(), "wb"); }
  results_.record_name = RaceRecordName(kNow);
  http_.Add(Status(200, "1"));
  http_.Add(Status(200, "ok"));
  sender_.SendRaceResults(results_, settings_);
  EXPECT_EQ(SubmitPaths().size(), 1u);
  EXPECT_TRUE(log_.Contains("Sent results to Tarvex ok.\n"));
  std::size_t kept_lines = 0;
  for (const std::string& line : log_.lines) kept_lines += line == kJournalFailedLine ? 1 : 0;
  EXPECT_EQ(kept_lines, 1u);
}

TEST(ResultsText, AResultsFileMissingAFieldOrTheServerIsNotSentAgain) {
  const std::string whole =
      "ver=2.6\nmoved_too_fast=0\ncheated_crash_detect=0\nslewed=0\ncheated_sim_rate=0\nplayer=Ann Lee\n"
      "lap_times=61.500000\nlap_skips=0\nrace_time=61.500000\nfinish_secs=10.000000\nsync_delay=1.000000\n"
      "server_ip=tarvex.test\nserver_port=8080\nstatus=pending\nattempt 1 at x: error\nstatus=unsent\n";
  StoredSubmission stored;
  ASSERT_TRUE(RecordResultsJournal::ParseResultsText(whole, stored));
  EXPECT_EQ(stored.status, SubmissionStatus::kUnsent);
  EXPECT_EQ(FieldValue(stored.fields, "player"), "Ann Lee");
  EXPECT_EQ(stored.server_port, 8080);
  for (const char* dropped : {"ver=2.6\n", "lap_skips=0\n", "server_ip=tarvex.test\n", "server_port=8080\n"}) {
    std::string text = whole;
    text.erase(text.find(dropped), std::string(dropped).size());
    EXPECT_FALSE(RecordResultsJournal::ParseResultsText(text, stored)) << dropped;
  }
}

}  // namespace
}  // namespace volantis
