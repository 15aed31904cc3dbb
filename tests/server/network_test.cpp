// The server exchanges over the platform's real transports (libcurl and BSD
// sockets natively, WinInet and Windows Sockets 1.1 under Wine) against the
// stand-in race server, which tools/netns/with-race-server.sh runs in a network
// namespace of its own so both ends can use the same UDP port. Without
// VOLANTIS_RACE_SERVER the native half starts the server in this process on
// loopback and skips the time sync (both ends would need the same UDP port);
// the Windows half skips everything.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "fakes.h"
#include "host/command_ids.h"
#include "platform/http_transport.h"
#include "platform/udp_channel.h"
#include "recording_log.h"
#include "server/race_results_submission.h"
#include "server/race_server_client.h"
#include "server/text_codec.h"
#if !defined(_WIN32)
#include "race_server.h"
#endif

namespace volantis {
namespace {

#if !defined(_WIN32)
// The in-process stand-in server of loopback runs, started on first use.
class LoopbackServer : public ::testing::Environment {
 public:
  static race_server::RaceServer* Get() {
    if (!server_) {
      race_server::ServerOptions options;
      options.port = 0;
      options.control = true;
      options.results_path.clear();
      options.verbose = false;
      std::string error;
      if (!race_server::LoadCourse(VOLANTIS_TEST_COURSE, options.course, error)) return nullptr;
      options.has_course = true;
      server_ = std::make_unique<race_server::RaceServer>(options, rules_);
      if (!server_->Start(error)) server_.reset();
    }
    return server_.get();
  }
  void TearDown() override { server_.reset(); }

 private:
  static inline race_server::RuleBook rules_;
  static inline std::unique_ptr<race_server::RaceServer> server_;
};
const auto* const kLoopbackServer = ::testing::AddGlobalTestEnvironment(new LoopbackServer);
#endif

class NetworkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* server = std::getenv("VOLANTIS_RACE_SERVER");
    const char* port = std::getenv("VOLANTIS_RACE_PORT");
    if (server != nullptr && port != nullptr) {
      settings_.server_ip = server;
      settings_.server_port = std::atoi(port);
    } else {
#if defined(_WIN32)
      GTEST_SKIP() << "no race server (run through tools/netns/with-race-server.sh)";
#else
      race_server::RaceServer* loopback = LoopbackServer::Get();
      ASSERT_NE(loopback, nullptr) << "the stand-in server did not start";
      settings_.server_ip = "127.0.0.1";
      settings_.server_port = loopback->port();
      loopback_ = true;
#endif
    }
    settings_.player_name = "Ann Lee";
    settings_.sound_validate = true;
    settings_.sound_race_results = true;
    Control("reset=1&forget_players=1");
  }

  HttpResult Get(const std::string& path, HttpTransport& transport = SystemHttpTransport()) {
    HttpRequest request;
    request.server = settings_.server_ip;
    request.port = settings_.server_port;
    request.path = path;
    request.agent = "NetworkTest";
    return transport.HttpGet(request);
  }

  // Scripts the server's next answers, e.g. Control("rule=" + UrlEncode("do_validate:400:1")).
  void Control(const std::string& query) {
    HttpResult result = Get("/control?" + query);
    ASSERT_EQ(result.status, 200) << result.body << result.error_text;
  }
  void Rule(const std::string& rule) { Control("rule=" + UrlEncode(rule)); }

  RaceServerClient& Client() {
    if (!client_) client_ = std::make_unique<RaceServerClient>(settings_, log_, services_);
    client_->BeginRun(ValidationSettings::From(settings_));
    return *client_;
  }

  AppSettings settings_;
  testing::RecordingLog log_;
  testing::RecordingSound sound_;
  testing::RecordingPoster poster_;
  ServerServices services_{SystemHttpTransport(), SystemUdpChannel(), SystemClock(), sound_, poster_};
  std::unique_ptr<RaceServerClient> client_;
  bool loopback_ = false;
};

#define SKIP_TIME_SYNC_ON_LOOPBACK() \
  if (loopback_) GTEST_SKIP() << "the time sync needs the server in a namespace of its own"

TEST_F(NetworkTest, TimeSyncOverRealSockets) {
  SKIP_TIME_SYNC_ON_LOOPBACK();
  ASSERT_TRUE(Client().TimeSync()) << log_.All();
  EXPECT_TRUE(log_.Contains("Time synchronized with Tarvex ok, delay: ")) << log_.All();
  EXPECT_TRUE(log_.Contains("Aircraft in use: RD_P-51D_Mustang\n")) << log_.All();
  EXPECT_TRUE(log_.Contains("Best overall round-trip delay: ")) << log_.All();
  const double best = settings_.race_definition.best_round_trip;
  EXPECT_GT(best, 0.0);
  EXPECT_LT(best, 0.2);  // one answer was enough
  EXPECT_TRUE(Client().sockets_started());
}

TEST_F(NetworkTest, TimeSyncScriptedAnswers) {
  SKIP_TIME_SYNC_ON_LOOPBACK();
  struct Case {
    const char* rule;
    bool synced;
    std::string line;
  };
  const Case cases[] = {
      {"time_sync:error=Player not registered:1", false, "Error synchronizing time with Tarvex: Player\n"},
      {"time_sync:old-version:1", false,
       "Error: this version of Volantis.dll is no longer accepted. Please download the latest version from "
       "https://volantis.example.org/\n"},

      {"time_sync:full:1", true, "Aircraft in use: RD_P-51D_Mustang\n"},
      {"time_sync:slow=250:1", true, "Best overall round-trip delay: "},
  };
  for (const auto& c : cases) {
    Control("reset=1");
    Rule(c.rule);
    log_.lines.clear();
    EXPECT_EQ(Client().TimeSync(), c.synced) << c.rule << "\n" << log_.All();
    EXPECT_TRUE(log_.Contains(c.line)) << c.rule << "\n" << log_.All();
  }
}

// Datagrams that are not the answer to this request are passed over: a forged
// answer from another address (naming another aircraft), and the server's late
// answer to an earlier request; the answer proper, a moment later, counts.
TEST_F(NetworkTest, TimeSyncPassesOverForgedAndStrayDatagrams) {
  SKIP_TIME_SYNC_ON_LOOPBACK();
  for (const char* rule : {"time_sync:forged:1", "time_sync:wrong-id-first:1"}) {
    Control("reset=1");
    Rule(rule);
    log_.lines.clear();
    settings_.race_definition.aircraft_type = 7;
    EXPECT_TRUE(Client().TimeSync()) << rule << "\n" << log_.All();
    EXPECT_EQ(log_.lines.at(1).rfind("Time synchronized with Tarvex ok, delay: ", 0), 0u) << rule << "\n" << log_.All();
    EXPECT_TRUE(log_.Contains("Aircraft in use: RD_P-51D_Mustang\n")) << rule << "\n" << log_.All();
    EXPECT_FALSE(log_.Contains("Pitts")) << rule << ": the other datagram was taken\n" << log_.All();
    EXPECT_EQ(settings_.race_definition.aircraft_type.load(), 0) << rule;
  }
  // Only a wrong id, and nothing after it: the wait runs out like a silence,
  // and the next attempt gets its answer.
  Control("reset=1");
  Rule("time_sync:wrong-id:1");
  Client().SetWaitsForTesting(1000, kGatesLockTimeoutMs);
  log_.lines.clear();
  EXPECT_TRUE(Client().TimeSync()) << log_.All();
  EXPECT_EQ(log_.lines.at(1).rfind("Error: timed out waiting for time sync response", 0), 0u) << log_.All();
  EXPECT_TRUE(log_.Contains("Aircraft in use: RD_P-51D_Mustang\n")) << log_.All();
}

TEST_F(NetworkTest, TimeSyncWithASilentServerTimesOutFiveTimes) {
  SKIP_TIME_SYNC_ON_LOOPBACK();
  Rule("time_sync:silent:5");
  Client().SetWaitsForTesting(300, kGatesLockTimeoutMs);
  EXPECT_FALSE(Client().TimeSync());
  std::size_t timeouts = 0;
  for (const auto& line : log_.lines) timeouts += line.rfind("Error: timed out waiting for time sync", 0) == 0;
  EXPECT_EQ(timeouts, 5u) << log_.All();
  EXPECT_EQ(sound_.played, std::vector<std::string>{"WAVE_VALIDATE_SEND_ERROR"});
}

TEST_F(NetworkTest, ValidationStartsTheServersRace) {
  Rule("do_validate:400:1");  // the first report is refused once
  Client().SendResultsText(true, "");
  EXPECT_EQ(log_.lines.back(), "3 lap race started.\n") << log_.All();
  EXPECT_EQ(poster_.posted, std::vector<uint32_t>{kCmdStartRace});
  EXPECT_EQ(settings_.race_definition.laps.load(), 3);
  EXPECT_EQ(settings_.race_definition.gates.size(), 4u);
  EXPECT_DOUBLE_EQ(settings_.race_definition.max_speed.load(), 350 * kKnotsToNmPerSecond);
}

// A course whose gates are not numbers or lie off the earth is bad data: no race
// starts, the course loaded before stays, and the line after the error names
// the first problem (gate, end, value) so the race director can mend it.
TEST_F(NetworkTest, ACourseWithBadGatesStartsNoRace) {
  struct Case {
    const char* course;
    const char* reason;
  };
  const Case cases[] = {
      {"laps=2;max_knots=300;gate=nan,0,0.01,0,0,0;gate=0,-0.1,0.01,-0.1,0,0", "gate 1: its left end is not a number"},
      {"laps=2;gate=0,0,0.01,0,0,0;gate=95,-0.1,0.01,-0.1,0,0",
       "gate 2: its left latitude 95.000000 is beyond 90 degrees"},
      {"laps=2;gate=0,0,0.01,200,0,0", "gate 1: its right longitude 200.000000 is beyond 180 degrees"},
      {"laps=2;gate=0,0,0.01,0,1500,900", "gate 1: its floor 1500 is above its ceiling 900"},
      {"laps=101;gate=0,0,0.01,0,0,0", "101 laps are more than 100"},
  };
  for (const auto& c : cases) {
    const char* course = c.course;
    RaceDefinition& race = settings_.race_definition;
    race.gates.clear();
    race.gates.push_back(std::make_unique<Gate>());
    race.laps = 3;
    Control("reset=1&course=" + UrlEncode(course));
    log_.lines.clear();
    poster_.posted.clear();
    Client().SendResultsText(true, "");
    ASSERT_GE(log_.lines.size(), 2u) << course;
    EXPECT_EQ(log_.lines[log_.lines.size() - 2], "Error: bad data from Tarvex.\n") << course << "\n" << log_.All();
    EXPECT_EQ(log_.lines.back(), FormatText("The first problem found: %s.\n", c.reason)) << course;
    EXPECT_TRUE(poster_.posted.empty()) << course;
    EXPECT_EQ(race.gates.size(), 1u) << course;
    EXPECT_EQ(race.laps.load(), 3) << course;
  }
  Control("reset=1");  // the server's own course again
  log_.lines.clear();
  Client().SendResultsText(true, "");
  EXPECT_EQ(log_.lines.back(), "3 lap race started.\n") << log_.All();
}

// A '%' in a player name or in a server's message is text, never a format:
// it reaches the server, the results page and the log exactly as it was.
TEST_F(NetworkTest, PercentSignsArriveVerbatim) {
  settings_.player_name = "Ann %s%n%d Lee";
  Rule("do_validate:405=Closed at 100%s%n:1");
  Client().SendResultsText(true, "");
  EXPECT_EQ(log_.lines.back(), "Error sending results to Tarvex: Closed at 100%s%n\n") << log_.All();

  Client().SendResultsText(true, "");  // validates: the server knows the player now
  testing::FakeClock clock;
  WorkerGroup workers;
  RaceResultsSender sender(log_, SystemHttpTransport(), clock, sound_, workers);
  RaceResults results;
  results.lap_times = {61.5};
  results.lap_skips = {0};
  log_.lines.clear();
  sender.SendRaceResults(results, ResultsSubmissionSettings::From(settings_));
  EXPECT_TRUE(log_.Contains("Sent results to Tarvex ok.\n")) << log_.All();
  HttpResult page = Get("/validate?op=show_race_results");
  EXPECT_NE(page.body.find("<td class=\"l\">Ann %s%n%d Lee</td>"), std::string::npos) << page.body;
}

TEST_F(NetworkTest, ValidationAnswersTheServerCanGive) {
  struct Case {
    const char* rule;
    bool success;
    std::string line;
  };
  const Case cases[] = {
      {"do_validate:405=No such player:1", true, "Error sending results to Tarvex: No such player\n"},
      {"do_validate:406:1", true, "Error: wrong aircraft."},
      {"do_validate:403:1", true, "Error: this version of Volantis.dll is no longer accepted."},
      {"get_code:404:1", true, "Error 404 getting validation code from Tarvex. \n"},
      {"do_validate:400:2", true, "Error sending results to Tarvex. Invalid data.\n"},
      {"do_validate:500:1", false, "Error 500 sending results to Tarvex. \n"},
  };
  for (const auto& c : cases) {
    Control("reset=1");
    Rule(c.rule);
    log_.lines.clear();
    Client().SendResultsText(c.success, "Crash detection is not enabled. Value: 0");
    EXPECT_EQ(log_.lines.back().substr(0, c.line.size()), c.line) << c.rule << "\n" << log_.All();
  }
  log_.lines.clear();
  Client().SendResultsText(false, "Crash detection is not enabled. Value: 0");
  EXPECT_EQ(log_.lines.back(), "Validation failed. Ask the Race Director for details.\n");
}

TEST_F(NetworkTest, ResultsReachTheResultsPage) {
  settings_.player_name = "Ann Lee+1";  // a plus in the name arrives as a plus sign
  Client().SendResultsText(true, "");
  ASSERT_EQ(log_.lines.back(), "3 lap race started.\n") << log_.All();

  Rule("submit_race_results:400:1");
  testing::FakeClock clock;
  WorkerGroup workers;
  RaceResultsSender sender(log_, SystemHttpTransport(), clock, sound_, workers);
  RaceResults results;
  results.lap_times = {61.5, 60.25, 59.125};
  results.lap_skips = {0, 1, 0};
  results.race_time = 180.875;
  log_.lines.clear();
  sender.SendRaceResults(results, ResultsSubmissionSettings::From(settings_));
  EXPECT_EQ(log_.lines.size(), 4u) << log_.All();
  EXPECT_EQ(log_.lines.at(2), "Sent results to Tarvex ok.\n") << log_.All();

  HttpResult page = Get("/validate?op=show_race_results");
  EXPECT_EQ(page.status, 200);
  EXPECT_NE(page.body.find("<td class=\"l\">Ann Lee+1</td>"), std::string::npos) << page.body;
  EXPECT_NE(page.body.find("61.500000,60.250000,59.125000"), std::string::npos);
  EXPECT_NE(page.body.find("3min 0.875sec"), std::string::npos);
}

TEST_F(NetworkTest, ResultsFromAnUnknownPlayerAreRefused) {
  testing::FakeClock clock;
  WorkerGroup workers;
  RaceResultsSender sender(log_, SystemHttpTransport(), clock, sound_, workers);
  sender.SendRaceResults(RaceResults{}, ResultsSubmissionSettings::From(settings_));
  EXPECT_EQ(log_.lines.at(1),
            "Error: Unknown player. Please connect to Tarvex with the same name as on the Validate Window.\n");
}

TEST_F(NetworkTest, SubmissionRetriesAfterASilentServer) {
  Client().SendResultsText(true, "");
  Rule("get_code:silent:1");
  HttpTimeouts quick;
  quick.connect_ms = 2000;
  quick.receive_ms = 1500;
  quick.total_ms = 5000;
  std::unique_ptr<HttpTransport> transport = MakeSystemHttpTransport(quick);
  WorkerGroup workers;
  RaceResultsSender sender(log_, *transport, SystemClock(), sound_, workers);
  sender.SetRetryWaitForTesting(100);
  log_.lines.clear();
  sender.SendRaceResults(RaceResults{}, ResultsSubmissionSettings::From(settings_));
  ASSERT_GE(log_.lines.size(), 5u) << log_.All();
  // A time-out (12002; Wine's WinInet says 12030, connection aborted) with its text.
  EXPECT_TRUE(log_.lines[1].rfind("Error 12002 sending race results to Tarvex. ", 0) == 0 ||
              log_.lines[1].rfind("Error 12030 sending race results to Tarvex. ", 0) == 0)
      << log_.All();
  EXPECT_GT(log_.lines[1].size(), std::string("Error 12002 sending race results to Tarvex. \n").size());
  EXPECT_EQ(log_.lines[2], "Waiting 10 seconds before automatic retry...\n");
  EXPECT_EQ(log_.lines[4], "Sent results to Tarvex ok.\n") << log_.All();
}

TEST_F(NetworkTest, HttpGetSendsExactlyThePathAndTheAgent) {
  // A submit path as the module builds it, with every kind of character it can hold.
  const std::string path =
      "/echo?op=submit_race_results&type=1&ver=2.6&player=" + UrlEncode("Ann Lee+1 ~$[x]{y}|^`/?%:\xE9") +
      "&lap_times=61.500000,60.250000&lap_skips=0,1&race_time=121.750000&finish_secs=-3.000000&code=1-22-333";
  HttpResult echo = Get(path);
  ASSERT_EQ(echo.status, 200) << echo.error_text << echo.body;
  EXPECT_NE(echo.body.find("target=" + path + "\n"), std::string::npos) << echo.body;
  EXPECT_NE(echo.body.find("agent=NetworkTest\n"), std::string::npos) << echo.body;
  EXPECT_EQ(echo.body.find("header=If-Modified-Since"), std::string::npos) << echo.body;
  EXPECT_EQ(echo.body.find("header=If-None-Match"), std::string::npos) << echo.body;
}

TEST_F(NetworkTest, HttpGetStatusesAndBodies) {
  HttpResult missing = Get("/nothing-here");
  EXPECT_EQ(missing.status, 404);
  EXPECT_EQ(missing.body, "Not found");
  EXPECT_TRUE(missing.error_text.empty());

  Rule("get_code:huge=3000000:1");
  HttpResult huge = Get("/validate?op=get_code&type=1");
  EXPECT_EQ(huge.status, 200);
  EXPECT_EQ(huge.body.size(), kHttpBodyMax);
  EXPECT_TRUE(huge.body_cut);
  EXPECT_EQ(huge.body.substr(0, 4), "ABCD");

  Rule("get_code:garbage:1");
  HttpResult garbage = Get("/validate?op=get_code&type=1");
  EXPECT_EQ(garbage.status, 200);
  EXPECT_EQ(garbage.body.size(), 4096u);
  EXPECT_FALSE(garbage.body_cut);
}

TEST_F(NetworkTest, HttpGetTransportFailures) {
  HttpTimeouts quick;
  quick.connect_ms = 2000;
  quick.receive_ms = 1500;
  quick.total_ms = 5000;
  std::unique_ptr<HttpTransport> transport = MakeSystemHttpTransport(quick);

  Rule("get_code:silent:1");
  HttpResult silent = Get("/validate?op=get_code&type=1", *transport);
#if defined(_WIN32)
  // Wine's WinInet reports a receive time-out as an aborted connection.
  EXPECT_TRUE(silent.status == kInternetTimeout || silent.status == kInternetConnectionAborted) << silent.status;
#else
  EXPECT_EQ(silent.status, kInternetTimeout) << silent.error_text;
#endif
  EXPECT_FALSE(silent.error_text.empty());

  // A server that is down: the connection is reset before any answer.
  Rule("get_code:down:1");
  HttpResult down = Get("/validate?op=get_code&type=1", *transport);
  EXPECT_TRUE(down.TransportFailed()) << down.status << " " << down.body;
  EXPECT_FALSE(down.error_text.empty());
  EXPECT_TRUE(down.body.empty()) << down.body;
  HttpResult up = Get("/validate?op=get_code&type=1", *transport);
  EXPECT_EQ(up.status, 200) << "the server goes on after a reset: " << up.error_text;

  settings_.server_port += 1;  // nothing listens there
  HttpResult refused = Get("/validate?op=get_code&type=1", *transport);
  EXPECT_EQ(refused.status, kInternetCannotConnect) << refused.error_text;
  EXPECT_FALSE(refused.error_text.empty());
  EXPECT_EQ(refused.error_text.back() == '\n' || refused.error_text.back() == '\r', false);
}

}  // namespace
}  // namespace volantis
