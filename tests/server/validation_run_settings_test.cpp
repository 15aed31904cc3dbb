// A validation run against the real race server client over scripted
// transports: it works on the settings copied when it started, and it does not
// start while a race is under way.
#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <thread>

#include "core/log_window.h"
#include "core/settings_profile.h"
#include "core/validate_window.h"
#include "fakes.h"
#include "host/host_values.h"
#include "platform/buffer_host_memory.h"
#include "platform/file_system.h"
#include "platform/parsed_profile_reader.h"
#include "platform/worker_group.h"
#include "server/race_server_client.h"
#include "ui/race_settings.h"
#include "validation/validator.h"

namespace volantis {
namespace {

// A profile in memory, for the saves the Race Settings dialog makes.
class MemoryStore : public SettingsStore {
 public:
  bool ReadText(const char*, const char* name, std::string& value) override {
    auto found = texts_.find(name);
    if (found == texts_.end()) return false;
    value = found->second;
    return true;
  }
  bool ReadInteger(const char*, const char* name, uint32_t& value) override {
    auto found = integers_.find(name);
    if (found == integers_.end()) return false;
    value = found->second;
    return true;
  }
  bool WriteText(const char*, const char* name, const std::string& value) override {
    texts_[name] = value;
    return true;
  }
  bool WriteInteger(const char*, const char* name, uint32_t value) override {
    integers_[name] = value;
    return true;
  }

 private:
  std::map<std::string, std::string> texts_;
  std::map<std::string, uint32_t> integers_;
};

// The module runs in no simulator here: every run ends with the report that the
// simulator's folder was not found, after a time sync and before it a code-less report.
class NoSimulator : public ProcessList {
 public:
  bool SnapshotProcesses(std::vector<ProcessEntry>* processes) override {
    processes->clear();
    return true;
  }
  FirstModuleResult FirstModule(uint32_t) override { return FirstModuleResult(); }
  uint32_t OwnProcessId() override { return 1; }
};

struct RunBench {
  RunBench() {
    settings.server_ip = "tarvex.test";
    settings.server_port = 8080;
    settings.player_name = "Ann Lee";
    settings.sound_validate = true;
    host.Write<int8_t>(kOffsetCrashDetection, 1);
  }
  bool WaitUntilIdle() {
    for (int i = 0; i < 2000 && validator.validate_busy(); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return !validator.validate_busy();
  }

  AppSettings settings;
  ValidateWindow validate_window;
  testing::FakeClock clock;
  testing::ScriptedHttp http;
  testing::ScriptedUdpChannel udp{clock};
  testing::RecordingSound sound;
  testing::RecordingPoster poster;
  ServerServices services{http, udp, clock, sound, poster, [] { return 0u; }};
  RaceServerClient client{settings, validate_window, services};
  BufferHostMemory host;
  NoSimulator processes;
  ParsedProfileReader profiles{SystemFileSystem()};
  WorkerGroup workers;
  Validator validator{settings, validate_window, client, host, sound, processes, SystemFileSystem(), profiles,
                      workers};
};

// Saving the Race Settings on the user-interface thread while a run is under way
// (under ThreadSanitizer: no data race) changes nothing of what the run sends.
TEST(ValidationRunSettings, SavingTheSettingsDuringARunChangesNothingItSends) {
  RunBench b;
  std::atomic<bool> answered{false};
  testing::UdpStep answer = testing::AnswerAfter(20, 1000.0, 0);
  answer.answer = [inner = answer.answer, &answered](const std::string& request) {
    answered = true;
    return inner(request);
  };
  b.udp.steps.push_back(answer);
  b.http.Add(testing::Status(200, "recorded"));
  b.http.on_request = [](const HttpRequest&) { std::this_thread::sleep_for(std::chrono::milliseconds(50)); };

  MemoryStore store;
  RaceSettingsValues values[2];
  values[0].CopyFrom(b.settings);
  values[1] = values[0];
  values[1].player_name = "Bob Roe, who typed a much longer name meanwhile";
  values[1].server_ip = "elsewhere.test";
  values[1].server_port = 9999;
  values[1].sound_validate = false;

  b.validator.StartValidation();
  int saves = 0;
  while (b.validator.validate_busy()) {
    values[saves % 2].CopyTo(b.settings);  // what Save in the Race Settings dialog does
    SaveSettings(b.settings, store);
    ++saves;
  }
  ASSERT_TRUE(b.WaitUntilIdle());
  EXPECT_TRUE(answered.load());
  EXPECT_GT(saves, 10);

  ASSERT_EQ(b.udp.sent.size(), 1u);
  EXPECT_EQ(b.udp.sent[0], std::string("Time sync request 1 version 2.6 player Ann_Lee") + '\0');
  EXPECT_EQ(b.udp.bound_ports, std::vector<uint16_t>{8080});
  EXPECT_EQ(b.udp.resolved_hosts, std::vector<std::string>{"tarvex.test"});
  const std::vector<std::string> paths = b.http.Paths();
  ASSERT_EQ(paths.size(), 1u);
  EXPECT_NE(paths[0].find("&player=Ann+Lee&error=Error+finding+FS2004+path."), std::string::npos) << paths[0];
  for (const HttpRequest& request : b.http.requests) {
    EXPECT_EQ(request.server, "tarvex.test");
    EXPECT_EQ(request.port, 8080);
  }
  // The sound switch was on when the run started.
  std::lock_guard<std::mutex> guard(b.sound.lock);
  EXPECT_EQ(b.sound.played.front(), "WAVE_VALIDATE_START");
}

// Once a gate has been crossed in the running race, Validate Now (menu, hot key
// or the Validate window's button) says in one line that the race must be
// stopped first, and nothing is sent.
TEST(ValidationRunSettings, NoRunWhileARaceIsUnderWay) {
  RunBench b;
  b.settings.race_definition.race_under_way = true;
  b.settings.race_definition.clock_offset = 12.5;
  b.validator.StartValidation();
  b.validator.StartValidation();
  EXPECT_FALSE(b.validator.validate_busy());
  const std::string line = ToDisplayLineBreaks(kRaceUnderWayText);
  const std::string log = b.validate_window.log_text();
  std::size_t lines = 0;
  for (std::size_t at = log.find(line); at != std::string::npos; at = log.find(line, at + 1)) ++lines;
  EXPECT_EQ(lines, 2u) << log;
  EXPECT_EQ(log.find("Synchronizing"), std::string::npos) << log;
  EXPECT_TRUE(b.udp.sent.empty());
  EXPECT_TRUE(b.http.Paths().empty());
  EXPECT_EQ(b.settings.race_definition.clock_offset.load(), 12.5);

  // Before the first crossing, or once the race is stopped, it runs as always.
  b.settings.race_definition.race_under_way = false;
  b.udp.steps.push_back(testing::AnswerAfter(20, 1000.0, 0));
  b.http.Add(testing::Status(200, "recorded"));
  b.validator.StartValidation();
  ASSERT_TRUE(b.WaitUntilIdle());
  EXPECT_EQ(b.udp.sent.size(), 1u);
  EXPECT_EQ(b.http.Paths().size(), 1u);
}

}  // namespace
}  // namespace volantis
