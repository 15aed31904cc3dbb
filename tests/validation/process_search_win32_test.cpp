// The Windows half end to end: a real process started as "fs9.exe" from a copy of
// the stand-in installation is found through toolhelp snapshots (its entry holds
// the bare name, resolved through its first module), and a whole run over that
// installation passes.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>

#include "validation_fakes.h"

namespace volantis {
namespace {

class RunningStandIn {
 public:
  explicit RunningStandIn(const std::string& exe) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    std::string command = "\"" + exe + "\" 30";
    if (::CreateProcessA(exe.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                         &info_)) {
      ::CloseHandle(info_.hThread);
    } else {
      info_.hProcess = nullptr;
    }
  }
  ~RunningStandIn() {
    if (info_.hProcess != nullptr) {
      ::TerminateProcess(info_.hProcess, 0);
      ::WaitForSingleObject(info_.hProcess, 5000);
      ::CloseHandle(info_.hProcess);
    }
  }
  bool running() const { return info_.hProcess != nullptr; }
  uint32_t pid() const { return info_.dwProcessId; }

 private:
  PROCESS_INFORMATION info_{};
};

TEST(ToolhelpProcessList, FindsARunningSimulatorAndValidatesItsInstallation) {
  testing::StandInSim sim;
  std::string exe = sim.folder() + "\\fs9.exe";
  ASSERT_TRUE(::CopyFileA(VOLANTIS_SIM_SLEEPER, exe.c_str(), FALSE)) << VOLANTIS_SIM_SLEEPER;
  RunningStandIn process(exe);
  ASSERT_TRUE(process.running());

  AppSettings settings;
  ValidateWindow log;
  testing::RecordingServer server;
  BufferHostMemory host;
  host.Write<int8_t>(kOffsetCrashDetection, 1);
  testing::RecordingSounds sounds;
  testing::OnlyTheseProcesses processes({process.pid()});
  WorkerGroup workers;
  Validator validator(settings, log, server, host, sounds, processes, SystemFileSystem(), SystemProfileReader(), workers);

  std::vector<ProcessEntry> entries;
  ASSERT_TRUE(processes.SnapshotProcesses(&entries));
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_STRCASEEQ(entries[0].exe_file.c_str(), "fs9.exe");

  std::string found;
  for (int i = 0; i < 200 && found.empty(); ++i) {
    found = validator.FindSimExePath();
    if (found.empty()) ::Sleep(10);
  }
  EXPECT_STRCASEEQ(found.c_str(), exe.c_str());

  if (std::strcmp(ReferenceSetName(), "standin") != 0) GTEST_SKIP() << "the stand-in installation needs the standin set";
  settings.race_definition.aircraft_type = 1;
  validator.RunValidation();
  auto reports = server.Reports();
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_TRUE(reports[0].success) << reports[0].message;
}

}  // namespace
}  // namespace volantis
