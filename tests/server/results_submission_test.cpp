#include "server/race_results_submission.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fakes.h"
#include "recording_log.h"
#include "server/digest.h"

namespace volantis {
namespace {

using testing::Status;
using testing::TransportFailure;

std::string SendingLine(int attempt) {
  return "Sending race results to Tarvex at tarvex.test:8080 (attempt " + std::to_string(attempt) + "/15)...\n";
}

class ResultsSubmissionTest : public ::testing::Test {
 protected:
  ResultsSubmissionTest() {
    settings_.server_ip = "tarvex.test";
    settings_.server_port = 8080;
    settings_.player_name = "Ann Lee";
    settings_.version = "2.6";
    settings_.sound_race_results = true;
    settings_.best_round_trip = 0.0425;
    results_.lap_times = {61.5, 60.25, 59.125};
    results_.lap_skips = {0, 1, 0};
    results_.race_time = 180.875;
    results_.finish_secs = 4321.5;
    results_.slewed = true;
  }

  void Send() { sender_.SendRaceResults(results_, settings_); }

  ResultsSubmissionSettings settings_;
  RaceResults results_;
  testing::RecordingLog log_;
  testing::ScriptedHttp http_;
  testing::FakeClock clock_;
  testing::RecordingSound sound_;
  WorkerGroup workers_;
  RaceResultsSender sender_{log_, http_, clock_, sound_, workers_};
};

TEST_F(ResultsSubmissionTest, ExactQueryForThreeLapsWithOneSkip) {
  http_.Add(Status(200, "12345"));
  http_.Add(Status(200, "ok"));
  Send();
  ASSERT_EQ(http_.requests.size(), 2u);
  EXPECT_EQ(http_.requests[0].path, "/validate?op=get_code&type=1");
  EXPECT_EQ(http_.requests[1].path,
            "/validate?op=submit_race_results&type=1&ver=2.6&moved_too_fast=0&cheated_crash_detect=0&slewed=1"
            "&cheated_sim_rate=0&player=Ann+Lee&lap_times=61.500000,60.250000,59.125000&lap_skips=0,1,0"
            "&race_time=180.875000&finish_secs=4321.500000&sync_delay=42.500000&code=" +
                ValidationCode("12345", "2.6", "Ann Lee"));
  for (const auto& request : http_.requests) {
    EXPECT_EQ(request.agent, "Volantis.dll");
    EXPECT_EQ(request.server, "tarvex.test");
    EXPECT_EQ(request.port, 8080);
  }
  EXPECT_EQ(log_.lines, (std::vector<std::string>{SendingLine(1), "Sent results to Tarvex ok.\n", "\n"}));
  EXPECT_EQ(sound_.played, std::vector<std::string>{"WAVE_RACE_RESULTS_OK"});
}

TEST_F(ResultsSubmissionTest, NoLapsGiveEmptyLists) {
  results_ = RaceResults{};
  http_.Add(Status(200, "1"));
  http_.Add(Status(200, "ok"));
  Send();
  EXPECT_NE(http_.requests.at(1).path.find("&lap_times=&lap_skips=&race_time=0.000000&"), std::string::npos);
}

TEST_F(ResultsSubmissionTest, ServerDownUsesFifteenAttemptsWithTenSecondWaits) {
  Send();  // nothing scripted: every request fails to connect
  std::vector<std::string> expected;
  for (int attempt = 1; attempt <= 15; ++attempt) {
    expected.push_back(SendingLine(attempt));
    expected.push_back(
        "Error 12029 sending race results to Tarvex. A connection with the server could not be established\n");
    if (attempt < 15) expected.push_back("Waiting 10 seconds before automatic retry...\n");
  }
  expected.push_back("\n");
  EXPECT_EQ(log_.lines, expected);
  EXPECT_EQ(clock_.sleeps, std::vector<uint32_t>(14, 10000));
  EXPECT_EQ(http_.requests.size(), 15u);
  EXPECT_EQ(sound_.played, std::vector<std::string>(15, "WAVE_RACE_RESULTS_ERROR"));
}

TEST_F(ResultsSubmissionTest, TestSettingShortensOnlyTheWait) {
  sender_.SetRetryWaitForTesting(5);
  http_.Add(TransportFailure(12002, "The operation timed out"));
  http_.Add(Status(200, "1"));
  http_.Add(TransportFailure(12030, "The connection with the server was terminated abnormally"));
  http_.Add(Status(200, "2"));
  http_.Add(Status(200, "ok"));
  Send();
  EXPECT_EQ(clock_.sleeps, (std::vector<uint32_t>{5, 5}));
  EXPECT_EQ(log_.lines,
            (std::vector<std::string>{
                SendingLine(1), "Error 12002 sending race results to Tarvex. The operation timed out\n",
                "Waiting 10 seconds before automatic retry...\n", SendingLine(2),
                "Error 12030 sending results to Tarvex. The connection with the server was terminated abnormally\n",
                "Waiting 10 seconds before automatic retry...\n", SendingLine(3), "Sent results to Tarvex ok.\n",
                "\n"}));
}

TEST_F(ResultsSubmissionTest, FinalAnswers) {
  struct Case {
    const char* name;
    std::vector<HttpResult> answers;
    std::vector<std::string> lines;
    std::vector<std::string> sounds;
  };
  const std::vector<Case> cases = {
      {"400 then accepted", {Status(200, "1"), Status(400), Status(200, "2"), Status(200, "ok")},
       {SendingLine(1), SendingLine(2), "Sent results to Tarvex ok.\n", "\n"}, {"WAVE_RACE_RESULTS_OK"}},
      {"400 twice", {Status(200, "1"), Status(400), Status(200, "2"), Status(400)},
       {SendingLine(1), SendingLine(2), "Error sending results to Tarvex. Invalid data.\n", "\n"},
       {"WAVE_RACE_RESULTS_ERROR"}},
      {"401", {Status(200, "1"), Status(401)},
       {SendingLine(1),
        "Error: Unknown player. Please connect to Tarvex with the same name as on the Validate Window.\n", "\n"},
       {"WAVE_RACE_RESULTS_ERROR"}},
      {"403", {Status(200, "1"), Status(403)},
       {SendingLine(1),
        "Error: this version of the program is no longer accepted. Please upgrade to the latest version.\n", "\n"},
       {"WAVE_RACE_RESULTS_ERROR"}},
      {"other status is not retried", {Status(200, "1"), Status(500)},
       {SendingLine(1), "Error 500 sending results to Tarvex. \n", "\n"}, {"WAVE_RACE_RESULTS_ERROR"}},
      {"404 to the code request", {Status(404)},
       {SendingLine(1), "Error 404 sending race results to Tarvex. \n", "\n"}, {"WAVE_RACE_RESULTS_ERROR"}},
  };
  for (const auto& c : cases) {
    testing::ScriptedHttp http;
    for (const auto& answer : c.answers) http.Add(answer);
    RaceResultsSender sender(log_, http, clock_, sound_, workers_);
    log_.lines.clear();
    sound_.played.clear();
    sender.SendRaceResults(results_, settings_);
    EXPECT_EQ(log_.lines, c.lines) << c.name;
    EXPECT_EQ(sound_.played, c.sounds) << c.name;
    EXPECT_EQ(http.requests.size(), c.answers.size()) << c.name;
    EXPECT_TRUE(clock_.sleeps.empty()) << c.name;
  }
}

TEST_F(ResultsSubmissionTest, EachAttemptSignsWithItsOwnFreshCode) {
  settings_.player_name = "Ann Lee+1";
  http_.Add(Status(200, "first\n"));
  http_.Add(Status(400));
  http_.Add(Status(200, "second\n"));
  http_.Add(Status(200, "ok"));
  Send();
  auto code_of = [](const std::string& path) { return path.substr(path.find("&code=") + 6); };
  ASSERT_EQ(http_.requests.size(), 4u);
  EXPECT_EQ(code_of(http_.requests[1].path), ValidationCode("first\n", "2.6", "Ann Lee+1"));
  EXPECT_EQ(code_of(http_.requests[3].path), ValidationCode("second\n", "2.6", "Ann Lee+1"));
  EXPECT_NE(http_.requests[3].path.find("&player=Ann+Lee%2B1&"), std::string::npos)
      << "the plus sign of the name arrives as a plus sign, the space as a space";
}

TEST_F(ResultsSubmissionTest, AStoredNumberThatIsNoPortSendsNothingAndSaysSoOnce) {
  for (int32_t port : {65536, 70000, -1, 2147483647}) {
    settings_.server_port = port;
    log_.lines.clear();
    sound_.played.clear();
    http_.requests.clear();
    Send();
    EXPECT_EQ(log_.lines, (std::vector<std::string>{"Error: the web port " + std::to_string(port) +
                                                        " in Race Settings is not a port number (0 to 65535); "
                                                        "nothing was sent to Tarvex. Please enter the race server's "
                                                        "port in Race Settings.\n",
                                                    "\n"}))
        << port;
    EXPECT_EQ(sound_.played, std::vector<std::string>{"WAVE_RACE_RESULTS_ERROR"}) << port;
    EXPECT_TRUE(http_.requests.empty()) << port << ": not retried as a network failure";
    EXPECT_TRUE(clock_.sleeps.empty()) << port;
  }
  settings_.server_port = 65535;  // the last port is one
  http_.Add(Status(200, "1"));
  http_.Add(Status(200, "ok"));
  Send();
  EXPECT_EQ(http_.requests.size(), 2u);
}

TEST_F(ResultsSubmissionTest, SoundsFollowTheSwitch) {
  settings_.sound_race_results = false;
  http_.Add(Status(200, "1"));
  http_.Add(Status(401));
  Send();
  EXPECT_TRUE(sound_.played.empty());
}

TEST_F(ResultsSubmissionTest, StartedSubmissionSendsTheResultsAsTheyWereAtTheStart) {
  http_.Add(Status(200, "1"));
  http_.Add(Status(200, "ok"));
  Event may_answer(true, false);
  http_.on_request = [&](const HttpRequest&) { may_answer.Wait(10000); };
  ASSERT_TRUE(sender_.Start(results_, settings_));
  // A new race replaces the lists and the pilot changes the name meanwhile.
  results_.lap_times = {1.0};
  results_.lap_skips = {9};
  settings_.player_name = "Somebody Else";
  may_answer.Set();
  ASSERT_TRUE(workers_.WaitUntilNoneRuns(10000));
  EXPECT_EQ(log_.lines.back(), "\n");
  const std::string path = http_.Paths().at(1);
  EXPECT_NE(path.find("&player=Ann+Lee&lap_times=61.500000,60.250000,59.125000&lap_skips=0,1,0&"),
            std::string::npos);
}

TEST_F(ResultsSubmissionTest, TwoSubmissionsRunOneAfterTheOther) {
  Event first_waiting(true, false);
  Event let_first_go(true, false);
  std::mutex order_lock;
  std::vector<std::string> order;
  int requests = 0;
  http_.on_request = [&](const HttpRequest& request) {
    int index;
    {
      std::lock_guard<std::mutex> guard(order_lock);
      index = requests++;
      order.push_back(request.path.find("lap_times=61.5") != std::string::npos ? "first submit"
                      : request.path.find("lap_times=1.0") != std::string::npos ? "second submit"
                                                                                 : "code");
    }
    if (index == 0) {
      first_waiting.Set();
      let_first_go.Wait(10000);  // the first submission is slow to get its code
    }
  };
  for (int i = 0; i < 4; ++i) http_.Add(Status(200, "c" + std::to_string(i)));
  http_.script[1] = Status(200, "ok");
  http_.script[3] = Status(200, "ok");

  RaceResults second = results_;
  second.lap_times = {1.0};
  second.lap_skips = {0};
  ASSERT_TRUE(sender_.Start(results_, settings_));
  ASSERT_EQ(first_waiting.Wait(10000), WaitResult::kSignaled);
  ASSERT_TRUE(sender_.Start(second, settings_));
  Event pause(true, false);
  pause.Wait(50);  // time for the second thread to overtake, if it could
  let_first_go.Set();
  ASSERT_TRUE(workers_.WaitUntilNoneRuns(10000));  // both threads have ended
  std::lock_guard<std::mutex> guard(order_lock);
  EXPECT_EQ(order, (std::vector<std::string>{"code", "first submit", "code", "second submit"}));
}

}  // namespace
}  // namespace volantis

namespace volantis {
namespace {

// A pause during which the module's end arrives.
class EndDuringPauseClock : public testing::FakeClock {
 public:
  bool SleepUnlessCancelled(uint32_t milliseconds, CancelSignal& cancel) override {
    Sleep(milliseconds);
    cancel.Cancel();
    return cancel.cancelled();
  }
};

// Wherever the module's end finds a submission, results the server has not
// accepted go to the unsent-results handler, and nothing more is tried, shown
// or played; an answer that arrived despite the end still counts.
TEST(ResultsSubmissionEndTest, TheEndHandsUnsentResultsOver) {
  enum class EndArrives { kBeforeTheStart, kDuringThePause, kDuringTheCodeRequest, kDuringTheSubmission,
                          kAfterTheServerAccepted, kBeforeTheThreadStarts };
  struct Case {
    const char* name;
    EndArrives end;
    std::vector<HttpResult> answers;
    std::vector<std::string> lines;
    std::vector<std::string> sounds;
    bool handed_over;
  };
  const HttpResult cancelled = TransportFailure(kInternetOperationCancelled, "The operation was canceled");
  const HttpResult refused = TransportFailure();
  const std::string sending = "Sending race results to Tarvex at tarvex.test:8080 (attempt 1/15)...\n";
  const std::vector<Case> cases = {
      {"before the start", EndArrives::kBeforeTheStart, {}, {}, {}, true},
      {"during the pause", EndArrives::kDuringThePause, {refused},
       {sending, "Error 12029 sending race results to Tarvex. A connection with the server could not be established\n",
        "Waiting 10 seconds before automatic retry...\n"},
       {"WAVE_RACE_RESULTS_ERROR"}, true},
      {"during the code request", EndArrives::kDuringTheCodeRequest, {cancelled}, {sending}, {}, true},
      {"during the submission", EndArrives::kDuringTheSubmission, {Status(200, "1"), cancelled}, {sending}, {}, true},
      {"after the server accepted", EndArrives::kAfterTheServerAccepted, {Status(200, "1"), Status(200, "ok")},
       {sending, "Sent results to Tarvex ok.\n", "\n"}, {"WAVE_RACE_RESULTS_OK"}, false},
      {"before the thread starts", EndArrives::kBeforeTheThreadStarts, {}, {}, {}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ResultsSubmissionSettings settings;
    settings.server_ip = "tarvex.test";
    settings.server_port = 8080;
    settings.player_name = "Ann";
    settings.version = "2.6";
    settings.sound_race_results = true;
    RaceResults results;
    results.lap_times = {61.5};
    results.lap_skips = {2};
    testing::RecordingLog log;
    testing::ScriptedHttp http;
    EndDuringPauseClock pause_clock;
    testing::FakeClock plain_clock;
    testing::RecordingSound sound;
    WorkerGroup workers;
    Clock& clock = c.end == EndArrives::kDuringThePause ? static_cast<Clock&>(pause_clock) : plain_clock;
    RaceResultsSender sender(log, http, clock, sound, workers);
    std::vector<RaceResults> unsent;
    sender.SetUnsentResultsHandler(
        [&unsent](const RaceResults& kept, const ResultsSubmissionSettings&) { unsent.push_back(kept); });
    for (const HttpResult& answer : c.answers) http.Add(answer);
    const std::size_t ending_request = c.end == EndArrives::kDuringTheCodeRequest    ? 1
                                       : c.end == EndArrives::kDuringTheSubmission    ? 2
                                       : c.end == EndArrives::kAfterTheServerAccepted ? 2
                                                                                      : 0;
    std::size_t requests = 0;
    http.on_request = [&](const HttpRequest& request) {
      EXPECT_EQ(request.cancel, &workers.cancel()) << "every request watches the end";
      if (++requests == ending_request) workers.cancel().Cancel();
    };
    if (c.end == EndArrives::kBeforeTheStart || c.end == EndArrives::kBeforeTheThreadStarts) workers.cancel().Cancel();
    if (c.end == EndArrives::kBeforeTheThreadStarts) {
      EXPECT_FALSE(sender.Start(results, settings));
    } else {
      sender.SendRaceResults(results, settings);
    }
    EXPECT_EQ(log.lines, c.lines);
    EXPECT_EQ(sound.played, c.sounds);
    EXPECT_EQ(http.requests.size(), c.answers.size());
    ASSERT_EQ(unsent.size(), c.handed_over ? 1u : 0u);
    if (c.handed_over) {
      EXPECT_EQ(unsent[0].lap_skips, std::vector<int32_t>{2});
    }
  }
}

}  // namespace
}  // namespace volantis
