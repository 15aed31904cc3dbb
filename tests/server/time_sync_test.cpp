#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "client_fixture.h"
#include "server/time_sync_text.h"

namespace volantis {
namespace {

using testing::Answer;
using testing::AnswerAfter;
using testing::TimeOut;
using testing::UdpStep;

const std::string kPortForwarding =
    "Error: timed out waiting for time sync response from Tarvex. This error usually happens because UDP port 8080 "
    "is not forwarded from your router to your PC. Please refer to your router's help file to learn how to setup "
    "\"Port Forwarding\" (also sometimes called \"Virtual Hosts\"). You'll need to find out the \"local\" IP of "
    "your machine by opening a Command Prompt (Start / Programs / Accessories) and typing \"ipconfig\". Usually "
    "this will be an IP that starts with 192.168, indicating that it's a fake, internal IP, used only within your "
    "local network. In the configuration settings of your router, there should be a way to forward UDP port 8080 "
    "to your PC's local IP address. Also note that P2P file sharing programs can sometimes cause this error, "
    "because they lock the port.\n";

std::string Attempt(int n) { return "Synchronizing the time with Tarvex (attempt " + std::to_string(n) + "/5)...\n"; }

class TimeSyncTest : public testing::ClientFixture {};

TEST_F(TimeSyncTest, QuickFirstAnswerIsEnough) {
  udp_.steps.push_back(AnswerAfter(150, 2000.5, 3));
  const double sent = clock_.Seconds();
  ASSERT_TRUE(Client().TimeSync());

  EXPECT_EQ(log_.lines, (std::vector<std::string>{Attempt(1), "Time synchronized with Tarvex ok, delay: 150 ms.\n",
                                                   "Aircraft in use: P-38L_Racer\n",
                                                   "Best overall round-trip delay: 150 ms.\n"}));
  const RaceDefinition& race = settings_.race_definition;
  EXPECT_EQ(race.aircraft_type.load(), 3);
  EXPECT_NEAR(race.best_round_trip.load(), 0.150, 1e-6);
  // local clock minus server clock: Tr - (S - R/2)
  EXPECT_NEAR(race.clock_offset.load(), (sent + 0.150) - (2000.5 - 0.075), 1e-6);
  EXPECT_TRUE(sound_.played.empty());
  EXPECT_EQ(udp_.sent.size(), 1u);
  EXPECT_EQ(udp_.waits_ms, std::vector<uint32_t>{10000});
  EXPECT_EQ(udp_.bound_ports, std::vector<uint16_t>{8080});
  EXPECT_EQ(udp_.resolved_hosts, std::vector<std::string>{"tarvex.test"});
  EXPECT_EQ(udp_.sent_to[0].port, 8080);
  EXPECT_EQ(udp_.sockets_open, 0);  // closed again
}

TEST_F(TimeSyncTest, KeepsTheShortestRoundTripOverFiveAttempts) {
  udp_.steps.push_back(AnswerAfter(300, 100.0, 1));
  udp_.steps.push_back(AnswerAfter(250, 200.0, 2));
  udp_.steps.push_back(AnswerAfter(400, 300.0, 4));  // longer: discarded, aircraft untouched
  udp_.steps.push_back(AnswerAfter(260, 400.0, 4));
  udp_.steps.push_back(AnswerAfter(255, 500.0, 4));
  double second_received = 0;
  udp_.steps[1].answer = [&, inner = udp_.steps[1].answer](const std::string& request) {
    second_received = clock_.Seconds();
    return inner(request);
  };
  ASSERT_TRUE(Client().TimeSync());

  EXPECT_EQ(log_.lines, (std::vector<std::string>{
                            Attempt(1), "Time synchronized with Tarvex ok, delay: 300 ms.\n",
                            "Aircraft in use: Pitts S-2S Bulldog 2K2\n", Attempt(2),
                            "Time synchronized with Tarvex ok, delay: 250 ms.\n", "Aircraft in use: Legacy2000\n",
                            Attempt(3), "Time synchronized with Tarvex ok, delay: 400 ms.\n", Attempt(4),
                            "Time synchronized with Tarvex ok, delay: 260 ms.\n", Attempt(5),
                            "Time synchronized with Tarvex ok, delay: 255 ms.\n",
                            "Best overall round-trip delay: 250 ms.\n"}));
  const RaceDefinition& race = settings_.race_definition;
  EXPECT_EQ(race.aircraft_type.load(), 2);
  EXPECT_NEAR(race.best_round_trip.load(), 0.250, 1e-6);
  EXPECT_NEAR(race.clock_offset.load(), second_received - (200.0 - 0.125), 1e-6);
}

// A datagram that is not this request's answer (from another address or port,
// or answering another request) is passed over without a word, and the wait
// goes on within the same ten seconds.
TEST_F(TimeSyncTest, DatagramsThatDoNotFitArePassedOverAndTheWaitGoesOn) {
  const UdpAddress server{{10, 200, 0, 2}, 8080};
  struct Case {
    const char* name;
    UdpStep stray;
  };
  UdpStep other_address = AnswerAfter(30, 9.0, 4);
  other_address.from = UdpAddress{{10, 200, 0, 3}, 8080};
  UdpStep other_port = AnswerAfter(30, 9.0, 4);
  other_port.from = UdpAddress{{10, 200, 0, 2}, 8081};
  UdpStep garbage_elsewhere = Answer(30, std::string("Time sync error: old-version") + '\0');
  garbage_elsewhere.from = UdpAddress{{192, 168, 1, 9}, 53};
  UdpStep earlier_request = Answer(30, std::string("Time sync response 0 time 9.0 aircraft 4") + '\0');
  UdpStep later_request = Answer(30, std::string("Time sync response 2 time 9.0 aircraft 4") + '\0');
  const Case cases[] = {
      {"the right id from another address", other_address},
      {"the right id from another port", other_port},
      {"an error word from elsewhere", garbage_elsewhere},
      {"the server's late answer to an earlier request", earlier_request},
      {"an id not sent yet", later_request},
  };
  for (const Case& c : cases) {
    log_.lines.clear();
    client_.reset();
    udp_.waits_ms.clear();
    settings_.race_definition.aircraft_type = 7;
    udp_.steps.push_back(c.stray);
    udp_.steps.push_back(AnswerAfter(120, 2000.5, 1));
    ASSERT_TRUE(Client().TimeSync()) << c.name;
    EXPECT_EQ(log_.lines, (std::vector<std::string>{Attempt(1), "Time synchronized with Tarvex ok, delay: 150 ms.\n",
                                                     "Aircraft in use: Pitts S-2S Bulldog 2K2\n",
                                                     "Best overall round-trip delay: 150 ms.\n"}))
        << c.name;
    EXPECT_EQ(settings_.race_definition.aircraft_type.load(), 1) << c.name;
    // The second wait is what was left of the first.
    ASSERT_EQ(udp_.waits_ms.size(), 2u) << c.name;
    EXPECT_EQ(udp_.waits_ms[0], 10000u) << c.name;
    EXPECT_NEAR(udp_.waits_ms[1], 10000 - 30, 1) << c.name;
    EXPECT_TRUE(udp_.sent_to.back().SameEndpoint(server)) << c.name;
  }
}

TEST_F(TimeSyncTest, StrayDatagramsUntilTheTimeRunsOutAreATimeOut) {
  // Strays every three seconds: the fourth comes after the ten seconds.
  for (int i = 0; i < 4; ++i) {
    UdpStep stray = AnswerAfter(3000, 9.0, 4);
    stray.from = UdpAddress{{10, 200, 0, 3}, 8080};
    udp_.steps.push_back(stray);
  }
  udp_.steps.push_back(AnswerAfter(20, 100.0, 2));
  ASSERT_TRUE(Client().TimeSync());
  EXPECT_EQ(log_.lines, (std::vector<std::string>{Attempt(1), kPortForwarding.substr(0, kLogMessageMax), Attempt(2),
                                                   "Time synchronized with Tarvex ok, delay: 20 ms.\n",
                                                   "Aircraft in use: Legacy2000\n",
                                                   "Best overall round-trip delay: 20 ms.\n"}));
  EXPECT_EQ(udp_.sent.size(), 2u);
}

TEST_F(TimeSyncTest, AnErrorWordFromTheServerStillEndsTheLoopAndKeepsAnEarlierRoundTrip) {
  udp_.steps.push_back(AnswerAfter(300, 100.0, 0));
  udp_.steps.push_back(Answer(20, std::string("Time sync error: busy") + '\0'));
  ASSERT_TRUE(Client().TimeSync());
  EXPECT_EQ(log_.lines, (std::vector<std::string>{Attempt(1), "Time synchronized with Tarvex ok, delay: 300 ms.\n",
                                                   "Aircraft in use: RD_P-51D_Mustang\n", Attempt(2),
                                                   "Error synchronizing time with Tarvex: busy\n",
                                                   "Best overall round-trip delay: 300 ms.\n"}));
  EXPECT_TRUE(sound_.played.empty());
}

// The request numbers start where a stranger cannot guess them, and count on
// from there for as long as the module is loaded.
TEST_F(TimeSyncTest, RequestNumbersStartFromAnUnpredictableValue) {
  auto first_id = [this](uint32_t (*word)()) {
    testing::FakeClock clock;
    testing::ScriptedUdpChannel udp(clock);
    udp.steps.push_back(AnswerAfter(10, 1.0, 0));
    ServerServices services{http_, udp, clock, sound_, poster_, word};
    RaceServerClient client(settings_, log_, services);
    client.BeginRun(ValidationSettings::From(settings_));
    EXPECT_TRUE(client.TimeSync());
    return testing::RequestId(udp.sent.at(0));
  };
  EXPECT_EQ(first_id([] { return 0x12345678u; }), 0x12345678 + 1);
  // Kept below 2^30, so 2^30 requests fit before the int range ends.
  EXPECT_EQ(first_id([] { return 0xFFFFFFFFu; }), 0x3FFFFFFF + 1);
  // The module's own source gives a different start from one client to the next.
  std::set<int> starts;
  for (int i = 0; i < 4; ++i) starts.insert(first_id(UnpredictableWord));
  EXPECT_GE(starts.size(), 3u);
}

TEST_F(TimeSyncTest, AStoredNumberThatIsNoPortSendsNothing) {
  for (int32_t port : {65536, 70000, -1}) {
    settings_.server_port = port;
    settings_.race_definition.clock_offset = 2.5;
    log_.lines.clear();
    sound_.played.clear();
    client_.reset();
    EXPECT_FALSE(Client().TimeSync()) << port;
    EXPECT_EQ(log_.lines, std::vector<std::string>{"Error: the web port " + std::to_string(port) +
                                                   " in Race Settings is not a port number (0 to 65535); nothing "
                                                   "was sent to Tarvex. Please enter the race server's port in "
                                                   "Race Settings.\n"})
        << port;
    EXPECT_EQ(sound_.played, std::vector<std::string>{"WAVE_VALIDATE_SEND_ERROR"}) << port;
    EXPECT_TRUE(udp_.bound_ports.empty()) << port << ": 70000 must not become port 4464";
    EXPECT_TRUE(udp_.sent.empty()) << port;
    EXPECT_EQ(settings_.race_definition.clock_offset.load(), 2.5) << port;
  }
}

TEST_F(TimeSyncTest, ErrorAnswersEndTheLoop) {
  struct Case {
    const char* name;
    std::string answer;
    std::string line;
  };
  const Case cases[] = {
      {"old version", std::string("Time sync error: old-version") + '\0',
       "Error: this version of Volantis.dll is no longer accepted. Please download the latest version from "
       "https://volantis.example.org/\n"},
      {"several words: the first is told", std::string("Time sync error: Player not registered") + '\0',
       "Error synchronizing time with Tarvex: Player\n"},
      {"word is case-sensitive", std::string("Time sync error: OLD-VERSION") + '\0',
       "Error synchronizing time with Tarvex: OLD-VERSION\n"},
      {"empty answer", std::string("\0garbage", 8), "Error: bad time sync data from Tarvex. Sent id 1, received: \n"},
      {"no word", std::string("Time sync error: ") + '\0',
       "Error: bad time sync data from Tarvex. Sent id 1, received: Time sync error: \n"},
      {"missing field", std::string("Time sync response 1 time 5.0") + '\0',
       "Error: bad time sync data from Tarvex. Sent id 1, received: Time sync response 1 time 5.0\n"},
      {"not a number for the time", std::string("Time sync response 1 time nan aircraft 2") + '\0',
       "Error: bad time sync data from Tarvex. Sent id 1, received: Time sync response 1 time nan aircraft 2\n"},
  };
  for (const auto& c : cases) {
    settings_.race_definition.aircraft_type = 7;
    log_.lines.clear();
    sound_.played.clear();
    client_.reset();
    udp_.steps.push_back(Answer(10, c.answer));
    EXPECT_FALSE(Client().TimeSync()) << c.name;
    EXPECT_EQ(log_.lines, (std::vector<std::string>{Attempt(1), c.line})) << c.name;
    EXPECT_EQ(sound_.played, std::vector<std::string>{"WAVE_VALIDATE_SEND_ERROR"}) << c.name;
    EXPECT_EQ(settings_.race_definition.aircraft_type.load(), 7) << c.name;
  }
}

// A sync that accepts no round trip leaves the offset of the last good one: a
// race being flown still reports its finish on the server's clock.
TEST_F(TimeSyncTest, FiveTimeOutsFail) {
  for (int i = 0; i < 5; ++i) udp_.steps.push_back(TimeOut());
  settings_.race_definition.clock_offset = 9;
  settings_.race_definition.best_round_trip = 0.09;
  EXPECT_FALSE(Client().TimeSync());
  std::vector<std::string> expected;
  for (int i = 1; i <= 5; ++i) {
    expected.push_back(Attempt(i));
    expected.push_back(kPortForwarding.substr(0, kLogMessageMax));
  }
  EXPECT_EQ(log_.lines, expected);
  EXPECT_EQ(sound_.played, std::vector<std::string>{"WAVE_VALIDATE_SEND_ERROR"});
  EXPECT_EQ(settings_.race_definition.clock_offset.load(), 9.0);
  EXPECT_EQ(settings_.race_definition.best_round_trip.load(), 0.09);
}

TEST_F(TimeSyncTest, SelectErrorUsesAnAttemptReceiveErrorEndsTheLoop) {
  UdpStep select_error;
  select_error.wait = UdpWait::kError;
  select_error.wait_error = 10022;
  UdpStep reset;
  reset.receive_error = 10054;
  udp_.steps.push_back(select_error);
  udp_.steps.push_back(reset);
  EXPECT_FALSE(Client().TimeSync());
  EXPECT_EQ(log_.lines, (std::vector<std::string>{
                            Attempt(1), "Error: time sync select error: 10022\n", Attempt(2),
                            "Error 10054 receiving time sync response. Maybe the Tarvex session isn't running?\n"}));

  log_.lines.clear();
  UdpStep other;
  other.receive_error = 10040;
  udp_.steps.push_back(other);
  EXPECT_FALSE(Client().TimeSync());
  EXPECT_EQ(log_.lines[1], "Error 10040 receiving time sync response.\n");
}

TEST_F(TimeSyncTest, SetUpFailures) {
  struct Case {
    const char* name;
    std::function<void(testing::ScriptedUdpChannel&)> arrange;
    std::string line;
  };
  const Case cases[] = {
      {"no socket library", [](auto& udp) { udp.start_result = SocketLibraryStart::kNotFound; },
       "Error: could not find a winsock DLL.\n"},
      {"wrong version", [](auto& udp) { udp.start_result = SocketLibraryStart::kWrongVersion; },
       "Error: could not find a winsock DLL version 1.1 or newer.\n"},
      {"no socket", [](auto& udp) { udp.open_error = 10024; }, "Error 10024 creating time sync socket.\n"},
      {"port taken", [](auto& udp) { udp.bind_error = 10048; },
       "Error 10048 using port 8080 for time sync. Please check that no other applications are running that use "
       "UDP port 80 (including file-sharing applications such as Kazaa and Grokster), and if you're using a "
       "router, please forward UDP port 80 to your machine.\n"},
      {"unknown host", [](auto& udp) { udp.resolve_error = 11001; },
       "Error 11001 looking up Tarvex IP address by name.\n"},
      {"send fails", [](auto& udp) { udp.send_error = 10051; }, "Error 10051 sending time sync packet.\n"},
  };
  for (const auto& c : cases) {
    testing::FakeClock clock;
    testing::ScriptedUdpChannel udp(clock);
    c.arrange(udp);
    ServerServices services{http_, udp, clock, sound_, poster_};
    log_.lines.clear();
    sound_.played.clear();
    {
      RaceServerClient client(settings_, log_, services);
      client.BeginRun(ValidationSettings::From(settings_));
      EXPECT_FALSE(client.TimeSync()) << c.name;
      EXPECT_EQ(log_.lines.back(), c.line) << c.name;
      EXPECT_EQ(sound_.played, std::vector<std::string>{"WAVE_VALIDATE_SEND_ERROR"}) << c.name;
      EXPECT_EQ(udp.sockets_open, 0) << c.name;
      EXPECT_EQ(client.sockets_started(), udp.start_result == SocketLibraryStart::kStarted) << c.name;
    }
    // The library is stopped once, by the client that started it.
    EXPECT_EQ(udp.stops, udp.start_result == SocketLibraryStart::kStarted ? 1 : 0) << c.name;
  }
}

TEST_F(TimeSyncTest, NoCounterEndsTheLoop) {
  clock_.has_counter = false;
  EXPECT_FALSE(Client().TimeSync());
  EXPECT_EQ(log_.lines, (std::vector<std::string>{
                            Attempt(1), "Error: QueryPerformanceCounter not supported on this hardware.\n"}));
  EXPECT_TRUE(udp_.sent.empty());
}

TEST_F(TimeSyncTest, RequestTextIdsAndLibraryStartOnce) {
  settings_.player_name = "Ann Lee with a very long racing name";
  udp_.steps.push_back(AnswerAfter(50, 1.0, 0));
  udp_.steps.push_back(AnswerAfter(50, 1.0, 0));
  ASSERT_TRUE(Client().TimeSync());
  ASSERT_TRUE(Client().TimeSync());
  ASSERT_EQ(udp_.sent.size(), 2u);
  EXPECT_EQ(udp_.sent[0], std::string("Time sync request 1 version 2.6 player Ann_Lee_with_a_very_long_racin") + '\0');
  EXPECT_EQ(udp_.sent[1], std::string("Time sync request 2 version 2.6 player Ann_Lee_with_a_very_long_racin") + '\0');
  EXPECT_EQ(Client().time_sync_id(), 2);
  EXPECT_EQ(udp_.starts, 1);
  client_.reset();
  EXPECT_EQ(udp_.stops, 1);
}

TEST_F(TimeSyncTest, AnswerFillingTheWholeBufferIsReadWithinIt) {
  std::string full = "Time sync response 1 time 12.5 aircraft 4";
  full.resize(kTimeSyncAnswerMax, ' ');  // no zero byte anywhere
  udp_.steps.push_back(Answer(20, full + "aircraft 9 beyond what is read"));
  ASSERT_TRUE(Client().TimeSync());
  EXPECT_EQ(settings_.race_definition.aircraft_type.load(), 4);

  std::string junk(kTimeSyncAnswerMax, 'x');
  udp_.steps.push_back(Answer(20, junk + "more"));
  log_.lines.clear();
  EXPECT_FALSE(Client().TimeSync());
  EXPECT_EQ(log_.lines[1], "Error: bad time sync data from Tarvex. Sent id 2, received: " + junk + "\n");
}

TEST_F(TimeSyncTest, SoundSwitchedOffStaysSilent) {
  settings_.sound_validate = false;
  EXPECT_FALSE(Client().TimeSync());
  EXPECT_TRUE(sound_.played.empty());
}

TEST(TimeSyncTextTest, ParsesLikeTheFormatsAreScanned) {
  using Kind = TimeSyncAnswer::Kind;
  struct Case {
    const char* text;
    Kind kind;
    int32_t id;
    double time;
    int32_t aircraft;
    const char* word;
  };
  const Case cases[] = {
      {"Time sync response 7 time 123.25 aircraft 2", Kind::kResponse, 7, 123.25, 2, ""},
      {"Time sync response   7 time\t-1e3 aircraft +2 trailing", Kind::kResponse, 7, -1000, 2, ""},
      {"Time sync response7 time 1aircraft 2", Kind::kResponse, 7, 1, 2, ""},
      {"Time sync response 99999999999 time 1 aircraft -5", Kind::kResponse, 2147483647, 1, -5, ""},
      {"Time sync response 7 time 1 aircraft", Kind::kOther, 0, 0, 0, ""},
      {"Time sync response x time 1 aircraft 2", Kind::kOther, 0, 0, 0, ""},
      {"Time sync response 7 time inf aircraft 2", Kind::kOther, 0, 0, 0, ""},
      {"time sync response 7 time 1 aircraft 2", Kind::kOther, 0, 0, 0, ""},
      {"Time sync error: Player not registered", Kind::kError, 0, 0, 0, "Player"},
      {"Time sync error:old-version", Kind::kError, 0, 0, 0, "old-version"},
      {"Time sync error:", Kind::kOther, 0, 0, 0, ""},
      {"", Kind::kOther, 0, 0, 0, ""},
  };
  for (const auto& c : cases) {
    TimeSyncAnswer answer = ParseTimeSyncAnswer(c.text);
    EXPECT_EQ(answer.kind, c.kind) << c.text;
    if (c.kind == Kind::kResponse) {
      EXPECT_EQ(answer.id, c.id) << c.text;
      EXPECT_DOUBLE_EQ(answer.server_time, c.time) << c.text;
      EXPECT_EQ(answer.aircraft, c.aircraft) << c.text;
    }
    EXPECT_EQ(answer.error_word, c.word) << c.text;
  }
  EXPECT_EQ(ParseTimeSyncAnswer(std::string("Time sync error: \0word", 22)).kind, Kind::kOther);
  EXPECT_STREQ(AircraftName(4), "T6-Texan_Racer");
  EXPECT_STREQ(AircraftName(5), "UNKNOWN");
  EXPECT_STREQ(AircraftName(-1), "UNKNOWN");
}

}  // namespace
}  // namespace volantis
