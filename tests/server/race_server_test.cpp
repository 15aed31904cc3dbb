// The stand-in race server's own logic, without sockets.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "course.h"
#include "query.h"
#include "race_server.h"
#include "results_store.h"
#include "rules.h"
#include "server/digest.h"
#include "server/text_codec.h"

namespace volantis::race_server {
namespace {

TEST(RaceServerQueryTest, PlayerReadingsCoverEveryPlus) {
  const std::vector<std::string> readings = PlayerReadings("Ann+Lee+1");
  EXPECT_EQ(readings.size(), 4u);
  EXPECT_EQ(readings.front(), "Ann Lee 1");
  for (const char* name : {"Ann Lee+1", "Ann+Lee 1", "Ann+Lee+1"}) {
    EXPECT_NE(std::find(readings.begin(), readings.end(), name), readings.end()) << name;
  }
  // An escaped plus is always a plus; other escapes decode.
  EXPECT_EQ(PlayerReadings("A%2BB%20C"), std::vector<std::string>{"A+B C"});
  EXPECT_EQ(PlayerReadings(std::string(12, '+')).size(), 2u);
  EXPECT_EQ(PercentDecode("50%", true), "50%");  // a cut escape stays as it is
  const auto query = SplitQuery("op=get_code&type=1&empty=&flag&op=second");
  EXPECT_EQ(query.at("op"), "get_code");
  EXPECT_EQ(query.at("empty"), "");
  EXPECT_EQ(query.count("flag"), 1u);
}

TEST(RaceServerCourseTest, ReadsEntriesAndRefusesBadLines) {
  Course course;
  std::string error;
  ASSERT_TRUE(ParseCourse("# practice\n\nlaps=2\nmax_knots=300\ngate=1.5,2,3,4,0,100\r\n", course, error)) << error;
  EXPECT_EQ(course.race_start_info, "Race start info: laps=2;max_knots=300;gate=1.5,2,3,4,0,100");
  EXPECT_EQ(course.laps, 2);
  EXPECT_EQ(course.gates, 1);

  struct Case {
    const char* text;
    const char* error_part;
  };
  const Case cases[] = {
      {"laps=2\ngate=1,2,3,4,5\n", "line 2"},
      {"laps=2\ngate=1,2,3,4,5,6,7\n", "line 2"},
      {"laps=2\ngate=1,2,3,4,5.5,6\n", "line 2"},
      {"laps=x\ngate=1,2,3,4,5,6\n", "line 1"},
      {"laps=2;gate=1,2,3,4,5,6\n", "line 1"},
      {"lap=2\n", "line 1"},
      {"gate=1,2,3,4,5,6\n", "needs a laps="},
      {"laps=3\n", "at least one gate"},
  };
  for (const auto& c : cases) {
    EXPECT_FALSE(ParseCourse(c.text, course, error)) << c.text;
    EXPECT_NE(error.find(c.error_part), std::string::npos) << c.text << ": " << error;
  }
  EXPECT_FALSE(LoadCourse("/nonexistent/course.txt", course, error));
}

TEST(RaceServerRulesTest, ParsesRulesAndUsesThemUp) {
  struct Case {
    const char* text;
    bool ok;
  };
  const Case cases[] = {
      {"do_validate:400", true},       {"do_validate:405=No such player:2", true},
      {"get_code:silent:1", true},     {"get_code:huge=3000000", true},
      {"time_sync:error=Player x", true}, {"time_sync:full", true},
      {"time_sync:400", false},        {"get_code:full", false},
      {"nothing:400", false},          {"do_validate", false},
      {"do_validate:400:0", false},    {"do_validate:42", false},
      {"do_validate:slow=x", false},   {"get_code:huge=999999999", false},
      {"submit_race_results:down:15", true}, {"get_code:down", true},
      {"get_code:down=1", false},      {"time_sync:down", false},
  };
  for (const auto& c : cases) {
    Rule rule;
    std::string error;
    EXPECT_EQ(ParseRule(c.text, rule, error), c.ok) << c.text << ": " << error;
  }
  RuleBook book;
  Rule rule;
  std::string error;
  ASSERT_TRUE(ParseRule("do_validate:400:2", rule, error));
  book.Add(rule);
  ASSERT_TRUE(ParseRule("do_validate:406", rule, error));
  book.Add(rule);
  EXPECT_EQ(book.Next("do_validate")->number, 400);
  EXPECT_EQ(book.Next("do_validate")->number, 400);
  EXPECT_EQ(book.Next("do_validate")->number, 406);
  EXPECT_EQ(book.Next("do_validate")->number, 406);
  EXPECT_FALSE(book.Next("get_code").has_value());
}

TEST(RaceServerResultsTest, EscapesWhatPlayersCanType) {
  ResultRecord record;
  record.player = "<b>Ann</b> \"Lee\" & co\n\x01";
  record.lap_times = "61.500000,junk,60.25";
  record.lap_skips = "0,1";
  record.race_time = 121.75;
  EXPECT_EQ(ToJsonLine(record).find('\n'), std::string::npos);
  EXPECT_NE(ToJsonLine(record).find("\"player\":\"<b>Ann</b> \\\"Lee\\\" & co\\n\\u0001\""), std::string::npos);
  EXPECT_NE(ToJsonLine(record).find("\"lap_times\":[61.500000,60.250000]"), std::string::npos);
  EXPECT_NE(ToJsonLine(record).find("\"lap_skips\":[0,1]"), std::string::npos);
  ResultsStore store("");
  store.Add(record);
  const std::string page = store.HtmlPage();
  EXPECT_EQ(page.find("<b>Ann"), std::string::npos);
  EXPECT_NE(page.find("&lt;b&gt;Ann&lt;/b&gt; &quot;Lee&quot; &amp; co"), std::string::npos);
  EXPECT_NE(page.find("2min 1.750sec"), std::string::npos);
}

class RaceServerExchangeTest : public ::testing::Test {
 protected:
  RaceServerExchangeTest() {
    options_.results_path.clear();
    options_.verbose = false;
    options_.aircraft = 2;
    std::string error;
    EXPECT_TRUE(ParseCourse("laps=3\ngate=1,2,3,4,0,0\n", options_.course, error));
    options_.has_course = true;
  }
  RaceServer& Server() {
    if (!server_) server_ = std::make_unique<RaceServer>(options_, rules_);
    return *server_;
  }
  std::string Code() { return Server().HandleHttp("/validate?op=get_code&type=1").body; }
  RaceServer::Answer Validate(const std::string& code, const std::string& player = "Ann Lee", int aircraft = 2,
                              const std::string& version = "2.6") {
    return Server().HandleHttp("/validate?op=do_validate&type=1&aircraft=" + std::to_string(aircraft) +
                               "&ver=" + version + "&result=1&player=" + UrlEncode(player) + "&code=" + code);
  }

  ServerOptions options_;
  RuleBook rules_;
  std::unique_ptr<RaceServer> server_;
};

TEST_F(RaceServerExchangeTest, CodesAreCheckedAndUsedOnce) {
  const std::string issued = Code();
  const std::string code = ValidationCode(issued, "2.6", "Ann Lee+1");
  RaceServer::Answer answer = Validate(code, "Ann Lee+1");
  EXPECT_EQ(answer.status, 200);
  ASSERT_EQ(answer.body.rfind("Tarvex data: ", 0), 0u);
  EXPECT_EQ(DecodeServerData(answer.body.substr(13)), "Race start info: laps=3;gate=1,2,3,4,0,0");
  EXPECT_EQ(Validate(code, "Ann Lee+1").status, 400);  // the same code again
  EXPECT_EQ(Validate(ValidationCode(Code(), "2.6", "Somebody"), "Ann Lee").status, 400);
  EXPECT_EQ(Validate(ValidationCode(Code(), "2.6", "Ann Lee"), "Ann Lee", 3).status, 406);
  EXPECT_EQ(Validate(ValidationCode(Code(), "2.5", "Ann Lee"), "Ann Lee", 2, "2.5").status, 403);
}

TEST_F(RaceServerExchangeTest, ResultsNeedAValidatedPlayer) {
  auto submit = [&](const std::string& player) {
    return Server().HandleHttp("/validate?op=submit_race_results&type=1&ver=2.6&player=" + UrlEncode(player) +
                               "&lap_times=61.500000&lap_skips=0&race_time=61.500000&finish_secs=1.0"
                               "&sync_delay=1.0&code=" +
                               ValidationCode(Code(), "2.6", player));
  };
  EXPECT_EQ(submit("Ann Lee").status, 401);
  ASSERT_EQ(Validate(ValidationCode(Code(), "2.6", "Ann Lee")).status, 200);
  EXPECT_EQ(submit("Ann Lee").status, 200);
  EXPECT_NE(Server().HandleHttp("/validate?op=show_race_results").body.find("Ann Lee"), std::string::npos);
}

// A server that is down takes nothing: the submission is not recorded, and the
// player's next submission, once the rule is used up, is.
TEST_F(RaceServerExchangeTest, ADownSubmissionRecordsNothing) {
  Rule rule;
  std::string error;
  ASSERT_TRUE(ParseRule("submit_race_results:down:1", rule, error)) << error;
  rules_.Add(rule);
  ASSERT_EQ(Validate(ValidationCode(Code(), "2.6", "Ann Lee")).status, 200);
  auto submit = [&] {
    return Server().HandleHttp("/validate?op=submit_race_results&type=1&ver=2.6&player=Ann+Lee"
                               "&lap_times=61.500000&lap_skips=0&race_time=61.500000&finish_secs=1.0"
                               "&sync_delay=1.0&code=" +
                               ValidationCode(Code(), "2.6", "Ann Lee"));
  };
  RaceServer::Answer down = submit();
  EXPECT_TRUE(down.down);
  EXPECT_TRUE(down.body.empty());
  EXPECT_EQ(Server().HandleHttp("/validate?op=show_race_results").body.find("Ann Lee"), std::string::npos);
  RaceServer::Answer up = submit();
  EXPECT_FALSE(up.down);
  EXPECT_EQ(up.status, 200);
  EXPECT_NE(Server().HandleHttp("/validate?op=show_race_results").body.find("Ann Lee"), std::string::npos);
}

// A server that takes the results and then fails: the client sees no answer and
// tries again; the page shows the results once and the second one as a repeat.
TEST_F(RaceServerExchangeTest, TakenThenDroppedResultsShowOnceAndTheRetryAsARepeat) {
  Rule rule;
  std::string error;
  ASSERT_TRUE(ParseRule("submit_race_results:take-then-down:1", rule, error)) << error;
  rules_.Add(rule);
  Rule elsewhere;
  EXPECT_FALSE(ParseRule("do_validate:take-then-down", elsewhere, error));
  ASSERT_EQ(Validate(ValidationCode(Code(), "2.6", "Ann Lee")).status, 200);
  auto submit = [&](const char* finish) {
    return Server().HandleHttp(std::string("/validate?op=submit_race_results&type=1&ver=2.6&player=Ann+Lee"
                                           "&lap_times=61.500000&lap_skips=0&race_time=61.500000&finish_secs=") +
                               finish + "&sync_delay=1.0&code=" + ValidationCode(Code(), "2.6", "Ann Lee"));
  };
  RaceServer::Answer dropped = submit("1.0");
  EXPECT_TRUE(dropped.down);
  EXPECT_TRUE(dropped.body.empty());
  EXPECT_EQ(submit("1.0").status, 200);  // the client's retry
  EXPECT_EQ(submit("2.0").status, 200);  // another race: no repeat
  const std::string page = Server().HandleHttp("/validate?op=show_race_results").body;
  std::size_t repeats = 0;
  for (std::size_t at = page.find(" repeat<"); at != std::string::npos; at = page.find(" repeat<", at + 1)) ++repeats;
  EXPECT_EQ(repeats, 1u);
  const std::size_t second_row = page.find("<tr><td>2</td>");
  ASSERT_NE(second_row, std::string::npos);
  EXPECT_NE(page.find(" repeat<", second_row), std::string::npos);
  EXPECT_EQ(page.find(" repeat<"), page.find(" repeat<", second_row));
  EXPECT_EQ(page.find("<tr><td>4</td>"), std::string::npos);
}

TEST_F(RaceServerExchangeTest, TimeSyncAnswers) {
  int delay = 0;
  std::string answer = Server().HandleTimeSync(std::string("Time sync request 7 version 2.6 player Ann_Lee") + '\0',
                                               delay);
  EXPECT_EQ(answer.rfind("Time sync response 7 time ", 0), 0u) << answer;
  EXPECT_NE(answer.find(" aircraft 2"), std::string::npos);
  EXPECT_EQ(answer.back(), '\0');
  EXPECT_EQ(Server().HandleTimeSync("Time sync request 7 version 2.5 player Ann", delay),
            std::string("Time sync error: old-version") + '\0');
  EXPECT_EQ(Server().HandleTimeSync("hello", delay), std::string("Time sync error: bad-request") + '\0');
}

// The scripted datagrams that come before the answer proper: a forged one (sent
// from the forging socket) and a late answer to the request before.
TEST_F(RaceServerExchangeTest, TimeSyncForgedAndStrayAnswersComeFirst) {
  const std::string request = std::string("Time sync request 7 version 2.6 player Ann_Lee") + '\0';
  Rule rule;
  std::string error;
  ASSERT_TRUE(ParseRule("time_sync:forged:1", rule, error)) << error;
  rules_.Add(rule);
  ASSERT_TRUE(ParseRule("time_sync:wrong-id-first:1", rule, error)) << error;
  rules_.Add(rule);
  RaceServer::TimeSyncReply forged = Server().ReplyToTimeSync(request);
  EXPECT_EQ(forged.forged.rfind("Time sync response 7 time ", 0), 0u) << forged.forged;
  EXPECT_NE(forged.forged.find(" aircraft 3"), std::string::npos) << "another aircraft: " << forged.forged;
  EXPECT_TRUE(forged.stray.empty());
  EXPECT_NE(forged.answer.find(" aircraft 2"), std::string::npos);
  RaceServer::TimeSyncReply stray = Server().ReplyToTimeSync(request);
  EXPECT_EQ(stray.stray.rfind("Time sync response 6 time ", 0), 0u) << stray.stray;
  EXPECT_TRUE(stray.forged.empty());
  EXPECT_EQ(stray.answer.rfind("Time sync response 7 time ", 0), 0u);
  RaceServer::TimeSyncReply plain = Server().ReplyToTimeSync(request);
  EXPECT_TRUE(plain.forged.empty() && plain.stray.empty());
}

// The control page can load a course no race director would send, and reset
// puts back the server's own.
TEST_F(RaceServerExchangeTest, ControlSetsAnUncheckedCourseAndResetPutsItsOwnBack) {
  options_.control = true;
  auto course = [&] {
    RaceServer::Answer answer = Validate(ValidationCode(Code(), "2.6", "Ann Lee"));
    EXPECT_EQ(answer.status, 200);
    return answer.body.rfind("Tarvex data: ", 0) == 0 ? DecodeServerData(answer.body.substr(13)) : answer.body;
  };
  EXPECT_EQ(Server().HandleHttp("/control?course=" + UrlEncode("laps=2;gate=nan,0,95,-200,900,500")).status, 200);
  EXPECT_EQ(course(), "Race start info: laps=2;gate=nan,0,95,-200,900,500");
  EXPECT_EQ(Server().HandleHttp("/control?course=").status, 200);
  EXPECT_EQ(course(), "Validation ok, no race running");
  EXPECT_EQ(Server().HandleHttp("/control?reset=1").status, 200);
  EXPECT_EQ(course(), "Race start info: laps=3;gate=1,2,3,4,0,0");
}

}  // namespace
}  // namespace volantis::race_server
