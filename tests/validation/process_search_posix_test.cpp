// The native half end to end: a real process started as "fs9.exe" from a copy of
// the stand-in installation is found through /proc, and a whole run over that
// installation passes.
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <thread>

#include "validation_fakes.h"

extern char** environ;

namespace volantis {
namespace {

class RunningStandIn {
 public:
  explicit RunningStandIn(const std::string& exe) {
    const char* argv[] = {exe.c_str(), "30", nullptr};
    if (::posix_spawn(&pid_, exe.c_str(), nullptr, nullptr, const_cast<char**>(argv), environ) != 0) pid_ = 0;
  }
  ~RunningStandIn() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
  }
  bool running() const { return pid_ > 0; }
  uint32_t pid() const { return static_cast<uint32_t>(pid_); }

 private:
  pid_t pid_ = 0;
};

TEST(NativeProcessList, FindsARunningSimulatorAndValidatesItsInstallation) {
  testing::StandInSim sim;
  std::filesystem::path exe = sim.root() / "fs9.exe";
  std::filesystem::copy_file("/bin/sleep", exe, std::filesystem::copy_options::overwrite_existing);
  std::filesystem::permissions(exe, std::filesystem::perms::owner_all);
  RunningStandIn process(exe.string());
  ASSERT_TRUE(process.running());

  AppSettings settings;
  ValidateWindow log;
  testing::RecordingServer server;
  BufferHostMemory host;
  host.Write<int8_t>(kOffsetCrashDetection, 1);
  testing::RecordingSounds sounds;
  ParsedProfileReader reader(SystemFileSystem());
  testing::OnlyTheseProcesses processes({process.pid(), static_cast<uint32_t>(::getpid())});
  WorkerGroup workers;
  Validator validator(settings, log, server, host, sounds, processes, SystemFileSystem(), reader, workers);

  std::string found;
  for (int i = 0; i < 200 && found.empty(); ++i) {
    found = validator.FindSimExePath();
    if (found.empty()) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  std::string expected = exe.string();
  for (char& c : expected) {
    if (c == '/') c = '\\';
  }
  EXPECT_EQ(found, expected);

  if (std::strcmp(ReferenceSetName(), "standin") != 0) GTEST_SKIP() << "the stand-in installation needs the standin set";
  settings.race_definition.aircraft_type = 2;
  validator.RunValidation();
  auto reports = server.Reports();
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_TRUE(reports[0].success) << reports[0].message;
}

}  // namespace
}  // namespace volantis
