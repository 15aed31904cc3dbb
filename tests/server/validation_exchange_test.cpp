#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "client_fixture.h"
#include "host/command_ids.h"
#include "scramble.h"
#include "server/digest.h"
#include "server/text_codec.h"

namespace volantis {
namespace {

using testing::Status;
using testing::TransportFailure;

const char kSending[] = "Sending validation to Tarvex at tarvex.test:8080...\n";
const char kSentOk[] = "Sent results to Tarvex ok.\n";
const char kBadData[] = "Error: bad data from Tarvex.\n";

std::string RaceData(const std::string& info, uint32_t seed = 3) {
  return "Tarvex data: " + race_server::ScrambleServerData(info, seed);
}

class ValidationExchangeTest : public testing::ClientFixture {
 protected:
  void Report(bool success, const std::string& message = std::string()) { Client().SendResultsText(success, message); }
};

TEST_F(ValidationExchangeTest, EveryAnswerToTheReport) {
  struct Case {
    const char* name;
    bool success;
    std::vector<HttpResult> answers;  // in request order
    std::vector<std::string> lines;   // after the "Sending" line
    std::vector<std::string> sounds;
    std::size_t requests;
  };
  const std::vector<Case> cases = {
      {"accepted, no race", true, {Status(200, "12345"), Status(200, "Validation ok")},
       {kSentOk, "Validation test ok, race not running.\n"}, {"WAVE_VALIDATE_OK"}, 2},
      {"failure recorded", false, {Status(200, "recorded")},
       {kSentOk, "Validation failed. Ask the Race Director for details.\n"}, {"WAVE_VALIDATE_ERROR"}, 1},
      {"400 twice", true, {Status(200, "1"), Status(400), Status(200, "2"), Status(400)},
       {"Error sending results to Tarvex. Invalid data.\n"}, {"WAVE_VALIDATE_SEND_ERROR"}, 4},
      {"400 then accepted", true, {Status(200, "1"), Status(400), Status(200, "2"), Status(200, "ok")},
       {kSentOk, "Validation test ok, race not running.\n"}, {"WAVE_VALIDATE_OK"}, 4},
      {"400 twice on a failure report", false, {Status(400), Status(400)},
       {"Error sending results to Tarvex. Invalid data.\n"}, {"WAVE_VALIDATE_SEND_ERROR"}, 2},
      {"403", true, {Status(200, "1"), Status(403)},
       {"Error: this version of Volantis.dll is no longer accepted. Please download the latest version from "
        "https://volantis.example.org/\n"},
       {"WAVE_VALIDATE_SEND_ERROR"}, 2},
      {"405 with a reason", true, {Status(200, "1"), Status(405, "Tarvex Error: No such player")},
       {"Error sending results to Tarvex: No such player\n"}, {"WAVE_VALIDATE_SEND_ERROR"}, 2},
      {"405 without a reason", true, {Status(200, "1"), Status(405, "Tarvex error: lower case")},
       {"Error 405 sending results to Tarvex.\n"}, {"WAVE_VALIDATE_SEND_ERROR"}, 2},
      {"406", true, {Status(200, "1"), Status(406)},
       {"Error: wrong aircraft. The aircraft required by the server probably just changed. Please try validating "
        "again.\n"},
       {"WAVE_VALIDATE_SEND_ERROR"}, 2},
      {"other status", false, {Status(500, "oops")}, {"Error 500 sending results to Tarvex. \n"},
       {"WAVE_VALIDATE_SEND_ERROR"}, 1},
      {"transport failure", true, {Status(200, "1"), TransportFailure(12002, "The operation timed out")},
       {"Error 12002 sending results to Tarvex. The operation timed out\n"}, {"WAVE_VALIDATE_SEND_ERROR"}, 2},
      {"code request refused", true, {Status(404, "no")}, {"Error 404 getting validation code from Tarvex. \n"},
       {"WAVE_VALIDATE_SEND_ERROR"}, 1},
      {"code request fails", true, {TransportFailure()},
       {"Error 12029 getting validation code from Tarvex. A connection with the server could not be established\n"},
       {"WAVE_VALIDATE_SEND_ERROR"}, 1},
  };
  for (const auto& c : cases) {
    testing::ScriptedHttp http;
    for (const auto& answer : c.answers) http.Add(answer);
    ServerServices services{http, udp_, clock_, sound_, poster_};
    RaceServerClient client(settings_, log_, services);
    client.BeginRun(ValidationSettings::From(settings_));
    log_.lines.clear();
    sound_.played.clear();
    client.SendResultsText(c.success, "Crash detection is not enabled. Value: 0");
    std::vector<std::string> expected = {kSending};
    expected.insert(expected.end(), c.lines.begin(), c.lines.end());
    EXPECT_EQ(log_.lines, expected) << c.name;
    EXPECT_EQ(sound_.played, c.sounds) << c.name;
    EXPECT_EQ(http.requests.size(), c.requests) << c.name;
    for (const auto& request : http.requests) {
      EXPECT_EQ(request.agent, "TarvexCheck") << c.name;
      EXPECT_EQ(request.server, "tarvex.test") << c.name;
      EXPECT_EQ(request.port, 8080) << c.name;
    }
  }
  EXPECT_TRUE(poster_.posted.empty());
}

TEST_F(ValidationExchangeTest, SwitchedOffSoundsExceptTheFailedValidation) {
  settings_.sound_validate = false;
  http_.Add(Status(200, "recorded"));
  Report(false, "Crash detection is not enabled. Value: 0");
  EXPECT_EQ(sound_.played, std::vector<std::string>{"WAVE_VALIDATE_ERROR"});
  http_.Add(Status(200, "1"));
  http_.Add(Status(406));
  Report(true);
  EXPECT_EQ(sound_.played, std::vector<std::string>{"WAVE_VALIDATE_ERROR"});
}

TEST_F(ValidationExchangeTest, ReportPathsCarryTheCodeOrTheMessage) {
  settings_.race_definition.aircraft_type = 2;
  http_.Add(Status(200, "12345\n"));
  http_.Add(Status(400));
  http_.Add(Status(200, "777"));
  http_.Add(Status(200, "ok"));
  Report(true);
  http_.Add(Status(200, "recorded"));
  Report(false, "Aircraft type not supported: P-38L & co/100%");
  const std::string prefix = "/validate?op=do_validate&type=1&aircraft=2&ver=2.6";
  EXPECT_EQ(http_.Paths(),
            (std::vector<std::string>{
                "/validate?op=get_code&type=1",
                prefix + "&result=1&player=Ann+Lee&code=" + ValidationCode("12345\n", "2.6", "Ann Lee"),
                "/validate?op=get_code&type=1",
                prefix + "&result=1&player=Ann+Lee&code=" + ValidationCode("777", "2.6", "Ann Lee"),
                prefix + "&result=0&player=Ann+Lee&error=Aircraft+type+not+supported%3A+P-38L+%26+co%2F100%25",
            }));
}

TEST_F(ValidationExchangeTest, RaceStartInfoStartsTheRace) {
  settings_.race_definition.laps = 0;
  http_.Add(Status(200, "1"));
  http_.Add(Status(200, RaceData("Race start info: laps=3;max_knots=360;gate=1,2,3,4,0,1500;gate=5,6,7,8,100,0")));
  Report(true);
  EXPECT_EQ(log_.lines, (std::vector<std::string>{kSending, kSentOk, "3 lap race started.\n"}));
  EXPECT_EQ(sound_.played, std::vector<std::string>{"WAVE_VALIDATE_OK_RACE_STARTED"});
  EXPECT_EQ(poster_.posted, std::vector<uint32_t>{kCmdStartRace});
  const RaceDefinition& race = settings_.race_definition;
  EXPECT_EQ(race.laps.load(), 3);
  EXPECT_DOUBLE_EQ(race.max_speed.load(), 0.1);
  ASSERT_EQ(race.gates.size(), 2u);
  EXPECT_EQ(race.gates[0]->max_alt, 1500);
  EXPECT_EQ(race.gates[1]->min_alt, 100);
}

// What each answer loads, and what the Start Race it posts does: the command
// stops the race that runs on the replaced course, then starts the new race
// only when the course has one (course_without_race false). No Start Race:
// nothing was replaced, a running race goes on.
TEST_F(ValidationExchangeTest, WhatEachCourseLoadsStartsAndLogs) {
  const std::string kNoRace = "Validation test ok, race not running.\n";
  struct Case {
    const char* name;
    int32_t laps_before;
    std::string body;
    bool posted;        // Start Race: a running race stops
    bool starts;        // ... and a new one starts
    std::string last_line;
    const char* sound;
    std::size_t gates_after;
    int32_t laps_after;
  };
  const std::string started = "3 lap race started.\n";
  const Case cases[] = {
      {"no floor under a ceiling below sea level", 0, RaceData("laps=3;gate=1,2,3,4,0,-100"), true, true, started,
       "WAVE_VALIDATE_OK_RACE_STARTED", 1, 3},
      {"laps 1", 0, RaceData("laps=1;gate=1,2,3,4,0,0"), true, true, "1 lap race started.\n",
       "WAVE_VALIDATE_OK_RACE_STARTED", 1, 1},
      {"laps 100", 0, RaceData("laps=100;gate=1,2,3,4,0,0"), true, true, "100 lap race started.\n",
       "WAVE_VALIDATE_OK_RACE_STARTED", 1, 100},
      {"laps 0", 4, RaceData("laps=0;gate=1,2,3,4,0,0"), true, false, kNoRace, "WAVE_VALIDATE_OK", 1, 0},
      {"laps -1", 4, RaceData("laps=-1;gate=1,2,3,4,0,0"), true, false, kNoRace, "WAVE_VALIDATE_OK", 1, -1},
      {"laps x (read as 0)", 4, RaceData("laps=x;gate=1,2,3,4,0,0"), true, false, kNoRace, "WAVE_VALIDATE_OK", 1,
       0},
      {"gates but no laps, first race", 0, RaceData("gate=1,2,3,4,0,0"), true, false, kNoRace, "WAVE_VALIDATE_OK",
       1, 0},
      {"gates but no laps, after a race", 3, RaceData("gate=1,2,3,4,0,0"), true, true, started,
       "WAVE_VALIDATE_OK_RACE_STARTED", 1, 3},
      {"laps but no gates", 0, RaceData("laps=2"), true, false, kBadData, "WAVE_VALIDATE_SEND_ERROR", 0, 2},
      {"laps but a gate of seven values", 0, RaceData("laps=2;gate=1,2,3,4,500,900,1"), true, false, kBadData,
       "WAVE_VALIDATE_SEND_ERROR", 0, 2},
      // Nothing to load, or bad values: nothing of the answer is loaded, the
      // previous course (one gate, laps_before) stays and its race goes on.
      {"laps 101", 4, RaceData("laps=101;gate=0,0,1,0,0,0"), false, false, kBadData, "WAVE_VALIDATE_SEND_ERROR", 1,
       4},
      {"one character payload", 0, "Tarvex data: x", false, false, kBadData, "WAVE_VALIDATE_SEND_ERROR", 1, 0},
      {"nothing after the prefix", 0, "Tarvex data: ", false, false, kBadData, "WAVE_VALIDATE_SEND_ERROR", 1, 0},
      {"separators only", 0, RaceData("Race start info: ;;;"), false, false, kBadData, "WAVE_VALIDATE_SEND_ERROR",
       1, 0},
      {"binary garbage", 0, "Tarvex data: \x01\xff\x80garbage\n\x7f", true, false, kBadData,
       "WAVE_VALIDATE_SEND_ERROR", 0, 0},
      {"a gate that is not a number", 4, RaceData("laps=2;gate=nan,0,0.01,0,0,0"), false, false, kBadData,
       "WAVE_VALIDATE_SEND_ERROR", 1, 4},
      {"a gate beyond the poles", 4, RaceData("laps=2;gate=0,0,91,0,0,0"), false, false, kBadData,
       "WAVE_VALIDATE_SEND_ERROR", 1, 4},
      {"a gate with its floor above its ceiling", 4, RaceData("laps=2;gate=0,0,1,0,900,500"), false, false,
       kBadData, "WAVE_VALIDATE_SEND_ERROR", 1, 4},
  };
  for (const auto& c : cases) {
    RaceDefinition& race = settings_.race_definition;
    race.laps = c.laps_before;
    race.gates.clear();
    race.gates.push_back(std::make_unique<Gate>());  // the previous course
    race.course_without_race = false;
    log_.lines.clear();
    sound_.played.clear();
    poster_.posted.clear();
    http_.Add(Status(200, "1"));
    http_.Add(Status(200, c.body));
    Report(true);
    EXPECT_EQ(poster_.posted, c.posted ? std::vector<uint32_t>{kCmdStartRace} : std::vector<uint32_t>{}) << c.name;
    if (c.posted) {
      EXPECT_EQ(!race.course_without_race.load(), c.starts) << c.name;
    }
    EXPECT_EQ(race.gates.size(), c.gates_after) << c.name;
    EXPECT_EQ(race.laps.load(), c.laps_after) << c.name;
    EXPECT_EQ(sound_.played, std::vector<std::string>{c.sound}) << c.name;
    // Sending, sent, the outcome; bad data adds the line that says why.
    ASSERT_GE(log_.lines.size(), 3u) << c.name;
    EXPECT_EQ(log_.lines[2], c.last_line) << c.name;
    EXPECT_EQ(log_.lines.size(), c.last_line == kBadData ? 4u : 3u) << c.name;
  }
}

TEST_F(ValidationExchangeTest, GatesLockTimeOutKeepsTheOldCourseAndStartsNothing) {
  RaceDefinition& race = settings_.race_definition;
  race.laps = 2;
  race.gates.push_back(std::make_unique<Gate>());
  ASSERT_EQ(race.gates_lock.Wait(0), WaitResult::kSignaled);  // the monitor holds the gates
  Client().SetWaitsForTesting(10000, 30);
  http_.Add(Status(200, "1"));
  http_.Add(Status(200, RaceData("laps=5;gate=1,2,3,4,0,0;gate=1,2,3,4,0,0")));
  Report(true);
  race.gates_lock.Set();
  EXPECT_EQ(log_.lines, (std::vector<std::string>{kSending, kSentOk,
                                                   "ERROR: Timed out waiting for gates lock in SendResults.\n",
                                                   kBadData}));
  EXPECT_TRUE(poster_.posted.empty());
  EXPECT_EQ(race.laps.load(), 2);
  EXPECT_EQ(race.gates.size(), 1u);
}

TEST_F(ValidationExchangeTest, ACourseCutAtTheSizeCapIsBadData) {
  RaceDefinition& race = settings_.race_definition;
  race.laps = 2;
  race.gates.push_back(std::make_unique<Gate>());
  // The start of a well-formed course, then more than the cap keeps.
  HttpResult cut = Status(200, RaceData("laps=3;gate=1,2,3,4,0,0;gate=1,2,3,4,0,0"));
  cut.body_cut = true;
  http_.Add(Status(200, "1"));
  http_.Add(cut);
  Report(true);
  EXPECT_EQ(log_.lines, (std::vector<std::string>{
                            kSending, "Warning: the answer from Tarvex was longer than 1048576 bytes; only its start "
                                      "was read.\n",
                            kSentOk, kBadData, "The first problem found: only the start of the course arrived.\n"}));
  EXPECT_TRUE(poster_.posted.empty());
  EXPECT_EQ(race.laps.load(), 2);
  EXPECT_EQ(race.gates.size(), 1u);
}

// A gate was crossed while this run went on: the server counts the pilot in the
// new race, so the new course replaces the old one and Start Race stops the
// race under way before it starts the new one.
TEST_F(ValidationExchangeTest, ACourseArrivingDuringARaceReplacesItsCourse) {
  RaceDefinition& race = settings_.race_definition;
  race.laps = 2;
  race.gates.push_back(std::make_unique<Gate>());
  race.race_under_way = true;
  const uint32_t serial_before = race.course_serial.load();
  http_.Add(Status(200, "1"));
  http_.Add(Status(200, RaceData("laps=5;gate=1,2,3,4,0,0;gate=5,6,7,8,0,0")));
  Report(true);
  EXPECT_EQ(log_.lines, (std::vector<std::string>{kSending, kSentOk, "5 lap race started.\n"}));
  EXPECT_EQ(poster_.posted, std::vector<uint32_t>{kCmdStartRace});
  EXPECT_EQ(race.laps.load(), 5);
  EXPECT_EQ(race.gates.size(), 2u);
  EXPECT_EQ(race.course_serial.load(), serial_before + 1) << "the old race is judged no further";
}

TEST_F(ValidationExchangeTest, AStoredNumberThatIsNoPortSendsNothing) {
  settings_.server_port = 70000;
  Report(false, "Crash detection is not enabled. Value: 0");
  EXPECT_EQ(log_.lines, std::vector<std::string>{"Error: the web port 70000 in Race Settings is not a port number (0 "
                                                 "to 65535); nothing was sent to Tarvex. Please enter the race "
                                                 "server's port in Race Settings.\n"});
  EXPECT_EQ(sound_.played, std::vector<std::string>{"WAVE_VALIDATE_SEND_ERROR"});
  EXPECT_TRUE(http_.requests.empty());
}

// The run's exchanges read the copy handed over when it started: settings saved
// meanwhile change nothing of what this run sends.
TEST_F(ValidationExchangeTest, TheRunSendsTheSettingsCopiedAtItsStart) {
  Client();  // the run starts: its copy is taken
  settings_.server_ip = "elsewhere.test";
  settings_.server_port = 9999;
  settings_.player_name = "Bob";
  http_.Add(Status(200, "recorded"));
  client_->SendResultsText(false, "Crash detection is not enabled. Value: 0");
  ASSERT_EQ(http_.requests.size(), 1u);
  EXPECT_EQ(http_.requests[0].server, "tarvex.test");
  EXPECT_EQ(http_.requests[0].port, 8080);
  EXPECT_NE(http_.requests[0].path.find("&player=Ann+Lee&"), std::string::npos) << http_.requests[0].path;
  EXPECT_EQ(log_.lines.front(), kSending);
}

TEST_F(ValidationExchangeTest, LongAndHostileBodiesEndInALogLine) {
  HttpResult huge = Status(200, std::string(kHttpBodyMax, 'A'));
  huge.body_cut = true;
  http_.Add(huge);  // a server code of a mebibyte without a line feed
  http_.Add(Status(405, "Tarvex Error: " + std::string(5000, 'B') + std::string("\0hidden", 7)));
  Report(true);
  ASSERT_EQ(log_.lines.size(), 3u);
  EXPECT_EQ(log_.lines[1],
            "Warning: the answer from Tarvex was longer than 1048576 bytes; only its start was read.\n");
  EXPECT_EQ(log_.lines[2].size(), kLogMessageMax);
  EXPECT_EQ(log_.lines[2].rfind("Error sending results to Tarvex: BBB", 0), 0u);
}

TEST(ScrambleTest, ServerScramblingRoundTrips) {
  std::vector<std::string> texts = {"",  "a", "ab", "abc", "Race start info: laps=3;max_knots=350;gate=1,2,3,4,0,0",
                                    "~~~~ }}}} \x7e\x20", std::string("line\nfeed\t\x01 high \xe9\xff", 18)};
  std::string every_printable;
  for (int c = 32; c <= 126; ++c) every_printable += static_cast<char>(c);
  texts.push_back(every_printable + every_printable);
  for (const auto& text : texts) {
    for (uint32_t seed : {0u, 1u, 31u, 32u, 63u, 12345u}) {
      EXPECT_EQ(DecodeServerData(race_server::ScrambleServerData(text, seed)), text) << text << " seed " << seed;
    }
  }
}

}  // namespace
}  // namespace volantis
