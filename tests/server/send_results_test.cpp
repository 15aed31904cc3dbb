// Kept results against the stand-in race server on loopback, over the real
// transport: the send tool (a program of its own, run as a pilot runs it), two
// processes resending one record over one data folder, and a submission the
// server takes and then drops.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "../support/record_files_in.h"
#include "fakes.h"
#include "platform/clock.h"
#include "platform/http_transport.h"
#include "platform/utc_time.h"
#include "race/race_record_names.h"
#include "race_server.h"
#include "recording_log.h"
#include "server/race_results_submission.h"
#include "server/record_results_journal.h"

extern char** environ;

namespace volantis {
namespace {

std::size_t Count(const std::string& text, const std::string& what) {
  std::size_t count = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++count;
  return count;
}

class KeptResultsServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : {"http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"}) {
      ::unsetenv(name);
    }
    race_server::ServerOptions options;
    options.port = 0;
    options.results_path.clear();
    options.check_players = false;
    options.verbose = false;
    server_ = std::make_unique<race_server::RaceServer>(options, rules_);
    std::string error;
    ASSERT_TRUE(server_->Start(error)) << error;
    results_.lap_times = {61.5, 60.25};
    results_.lap_skips = {0, 1};
    results_.race_time = 121.75;
    results_.finish_secs = 4321.5;
    settings_.server_ip = "127.0.0.1";
    settings_.server_port = server_->port();
    settings_.player_name = "Ann Lee";
    settings_.version = "2.6";
  }
  void TearDown() override { server_.reset(); }

  void Rule(const std::string& text) {
    race_server::Rule rule;
    std::string error;
    ASSERT_TRUE(race_server::ParseRule(text, rule, error)) << error;
    rules_.Add(rule);
  }

  // A record of a race that finished finished_ago seconds ago, its results kept with status.
  std::string KeepResults(int64_t finished_ago, SubmissionStatus status) {
    const int64_t finished = UtcNowSeconds() - finished_ago;
    const std::string record = RaceRecordName(finished - 130);
    EXPECT_EQ(files_.CreateFolder(files_.Join(files_.RacesFolder(), record)), FolderCreation::kCreated);
    RecordResultsJournal at_finish{files_, [finished] { return finished; }};
    EXPECT_TRUE(at_finish.Begin(record, SubmissionFieldsOf(results_, settings_), "127.0.0.1", server_->port()));
    if (status != SubmissionStatus::kPending) {
      EXPECT_TRUE(at_finish.SetStatus(record, status));
    }
    return record;
  }
  std::string Folder(const std::string& record) { return files_.Join(files_.RacesFolder(), record); }
  std::string ResultsText(const std::string& record) {
    return testing::ReadWholeFile(files_.Join(Folder(record), "results.txt"));
  }
  SubmissionStatus Status(const std::string& record) {
    StoredSubmission stored;
    EXPECT_TRUE(journal_.Read(record, stored));
    return stored.status;
  }
  // The server's results page.
  std::string Page() {
    HttpRequest request;
    request.server = "127.0.0.1";
    request.port = server_->port();
    request.path = "/validate?op=show_race_results";
    request.agent = "test";
    HttpResult page = SystemHttpTransport().HttpGet(request);
    EXPECT_EQ(page.status, 200) << page.error_text;
    return page.body;
  }
  std::size_t ResultRows() { return Count(Page(), "<tr><td>"); }

  // Starts the send tool on the record folder at path; its output goes to out.
  pid_t StartTool(const std::string& path, const std::string& out) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    std::string tool = VOLANTIS_SEND_RESULTS;
    std::vector<char*> argv = {tool.data(), const_cast<char*>(path.c_str()), nullptr};
    pid_t pid = -1;
    const int started = posix_spawn(&pid, tool.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    EXPECT_EQ(started, 0) << tool;
    return started == 0 ? pid : -1;
  }
  static int ExitCode(pid_t pid) {
    int status = 0;
    if (pid <= 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
  }
  // Runs the tool on path; its exit code, and its output in output.
  int RunTool(const std::string& path, std::string& output) {
    const std::string out = files_.Join(data_.path(), "tool.out");
    const int code = ExitCode(StartTool(path, out));
    output = testing::ReadWholeFile(out);
    return code;
  }

  race_server::RuleBook rules_;
  std::unique_ptr<race_server::RaceServer> server_;
  testing::TempFolder data_;
  RecordFilesAt files_{testing::RecordFilesIn::Races(data_.path())};
  RecordResultsJournal journal_{files_};
  RaceResults results_;
  ResultsSubmissionSettings settings_;
};

TEST_F(KeptResultsServerTest, TheSendToolSendsKeptResultsOnceAndNotesItInTheRecord) {
  // Days old and closed to the automatic resends: only a pilot's command sends them now.
  const std::string record = KeepResults(3 * 24 * 3600, SubmissionStatus::kUnsent);
  ASSERT_TRUE(journal_.CloseAutomaticResend(record, "Tarvex accepted a validation since"));
  std::string output;
  EXPECT_EQ(RunTool(Folder(record) + "/", output), 0) << output;
  EXPECT_NE(output.find("Resending the results of the race of "), std::string::npos) << output;
  EXPECT_NE(output.find(" to Tarvex at 127.0.0.1:" + std::to_string(server_->port()) + ": sent.\n"),
            std::string::npos)
      << output;
  EXPECT_EQ(Status(record), SubmissionStatus::kSent);
  EXPECT_NE(ResultsText(record).find(": sent\nstatus=sent\n"), std::string::npos) << ResultsText(record);
  const std::string page = Page();
  EXPECT_EQ(Count(page, "<tr><td>"), 1u) << page;
  EXPECT_NE(page.find("61.500000,60.250000"), std::string::npos) << page;
  EXPECT_NE(page.find("4321.500"), std::string::npos) << page;

  // Sent: never again.
  EXPECT_EQ(RunTool(Folder(record), output), 3) << output;
  EXPECT_NE(output.find("were sent already; they are not sent again."), std::string::npos) << output;
  EXPECT_EQ(ResultRows(), 1u);
}

TEST_F(KeptResultsServerTest, TheSendToolSaysWhatTheServerAnswered) {
  struct Case {
    const char* name;
    const char* rule;  // for the submission
    int exit_code;
    SubmissionStatus status;
    const char* said;
  };
  const Case cases[] = {
      {"down", "submit_race_results:down:1", 1, SubmissionStatus::kUnsent, ": not sent (error "},
      {"server error", "submit_race_results:503:1", 1, SubmissionStatus::kUnsent, ": not sent (error 503"},
      {"unknown player", "submit_race_results:401:1", 2, SubmissionStatus::kRefused,
       ": refused: unknown player; they will not be sent again.\n"},
  };
  int64_t age = 5000;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string record = KeepResults(age, SubmissionStatus::kUnsent);
    age += 100;
    Rule(c.rule);
    std::string output;
    EXPECT_EQ(RunTool(Folder(record), output), c.exit_code) << output;
    EXPECT_NE(output.find(c.said), std::string::npos) << output;
    EXPECT_EQ(Status(record), c.status) << ResultsText(record);
  }
  EXPECT_EQ(ResultRows(), 0u);

  std::string output;
  EXPECT_EQ(RunTool(files_.Join(data_.path(), "not-a-record"), output), 64) << output;
  const std::string empty = RaceRecordName(UtcNowSeconds() - 100000);
  files_.CreateFolder(Folder(empty));
  EXPECT_EQ(RunTool(Folder(empty), output), 3) << output;
  EXPECT_NE(output.find("keeps no results that can be sent"), std::string::npos) << output;
}

TEST_F(KeptResultsServerTest, TwoProcessesResendingOneRecordSubmitItOnce) {
  // Results of the race just flown, left unsent: the module of this process
  // resends them by itself while programs of their own send them on purpose,
  // all over the same data folder. Slow code requests (1.5 s) make the attempts overlap.
  const std::string record = KeepResults(120, SubmissionStatus::kUnsent);
  Rule("get_code:slow=1500");
  std::vector<pid_t> tools;
  for (int i = 0; i < 3; ++i) {
    tools.push_back(StartTool(Folder(record), files_.Join(data_.path(), "tool" + std::to_string(i) + ".out")));
  }
  testing::RecordingLog log;
  testing::RecordingSound sound;
  WorkerGroup workers;
  RaceResultsSender module(log, SystemHttpTransport(), SystemClock(), sound, workers);
  module.SetJournal(&journal_);
  module.ResendUnsent();
  int sent_by_tools = 0;
  for (pid_t pid : tools) {
    const int code = ExitCode(pid);
    EXPECT_TRUE(code == 0 || code == 3) << code;
    sent_by_tools += code == 0;
  }
  const bool sent_by_module = log.Contains(": sent.\n");
  EXPECT_EQ(sent_by_tools + (sent_by_module ? 1 : 0), 1) << log.All();
  const std::string page = Page();
  EXPECT_EQ(Count(page, "<tr><td>"), 1u) << page;
  EXPECT_EQ(Count(page, "repeat"), 0u) << page;
  EXPECT_EQ(Status(record), SubmissionStatus::kSent);
  EXPECT_EQ(Count(ResultsText(record), "status=sent"), 1u) << ResultsText(record);
}

TEST_F(KeptResultsServerTest, ResultsTakenAndThenDroppedAreRetriedAndShowOnceWithOneRepeat) {
  // The server records the first submission and resets the connection: the
  // module cannot know it arrived, so it sends them again.
  Rule("submit_race_results:take-then-down:1");
  const std::string record = RaceRecordName(UtcNowSeconds() - 130);
  files_.CreateFolder(Folder(record));
  testing::RecordingLog log;
  testing::RecordingSound sound;
  WorkerGroup workers;
  RaceResultsSender module(log, SystemHttpTransport(), SystemClock(), sound, workers);
  module.SetJournal(&journal_);
  module.SetRetryWaitForTesting(0);
  results_.record_name = record;
  module.SendRaceResults(results_, settings_);
  EXPECT_TRUE(log.Contains("(attempt 2/15)")) << log.All();
  EXPECT_TRUE(log.Contains("Sent results to Tarvex ok.\n")) << log.All();
  EXPECT_EQ(Status(record), SubmissionStatus::kSent);
  const std::string page = Page();
  EXPECT_EQ(Count(page, "<tr><td>"), 2u) << page;
  EXPECT_EQ(Count(page, " repeat"), 1u) << page;
}

}  // namespace
}  // namespace volantis
