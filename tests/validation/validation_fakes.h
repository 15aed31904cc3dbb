#pragma once
// Recording fakes and a throw-away copy of the stand-in simulator installation
// for the validation tests.
#ifdef _WIN32
#include <direct.h>
#else
#include <sys/stat.h>
#endif

#include <atomic>
#include <cstdio>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "core/app_settings.h"
#include "core/validate_window.h"
#include "host/host_values.h"
#include "platform/buffer_host_memory.h"
#include "platform/file_system.h"
#include "platform/parsed_profile_reader.h"
#include "platform/process_list.h"
#include "platform/profile_reader.h"
#include "platform/sound_player.h"
#include "platform/sync.h"
#include "server/validation_server.h"
#include "validation/validator.h"

namespace volantis::testing {

struct Report {
  bool success;
  std::string message;
};

// The system's process list narrowed to the given processes: other programs on
// the machine may be running as "fs9.exe" at the same time. The first of them
// stands for the process the module runs in.
class OnlyTheseProcesses : public ProcessList {
 public:
  explicit OnlyTheseProcesses(std::vector<uint32_t> ids) : ids_(std::move(ids)) {}
  uint32_t OwnProcessId() override { return ids_.empty() ? 0 : ids_.front(); }
  bool SnapshotProcesses(std::vector<ProcessEntry>* processes) override {
    std::vector<ProcessEntry> all;
    if (!SystemProcessList().SnapshotProcesses(&all)) return false;
    processes->clear();
    for (const ProcessEntry& entry : all) {
      for (uint32_t id : ids_) {
        if (entry.process_id == id) processes->push_back(entry);
      }
    }
    return true;
  }
  FirstModuleResult FirstModule(uint32_t process_id) override { return SystemProcessList().FirstModule(process_id); }

 private:
  std::vector<uint32_t> ids_;
};

class RecordingServer : public ValidationServer {
 public:
  bool TimeSync() override {
    ++time_syncs;
    if (hold_time_sync) release_time_sync.Wait(10000);
    return time_sync_result;
  }
  void SendResultsText(bool success, const std::string& message) override {
    std::lock_guard<std::mutex> lock(mutex_);
    reports.push_back({success, message});
  }
  std::vector<Report> Reports() {
    std::lock_guard<std::mutex> lock(mutex_);
    return reports;
  }

  bool time_sync_result = true;
  bool hold_time_sync = false;
  Event release_time_sync{true, false};
  std::atomic<int> time_syncs{0};
  std::vector<Report> reports;

 private:
  std::mutex mutex_;
};

class RecordingSounds : public SoundPlayer {
 public:
  void Play(const char* name) override {
    std::lock_guard<std::mutex> lock(mutex_);
    played.push_back(name);
  }
  std::vector<std::string> Played() {
    std::lock_guard<std::mutex> lock(mutex_);
    return played;
  }
  std::vector<std::string> played;

 private:
  std::mutex mutex_;
};

class FakeProcessList : public ProcessList {
 public:
  bool SnapshotProcesses(std::vector<ProcessEntry>* out) override {
    *out = processes;
    return snapshot_works;
  }
  FirstModuleResult FirstModule(uint32_t process_id) override {
    auto found = modules.find(process_id);
    if (found != modules.end()) return found->second;
    FirstModuleResult failed;
    failed.outcome = ModuleQuery::kSnapshotFailed;
    failed.error_code = 5;
    return failed;
  }
  void AddModule(uint32_t process_id, const std::string& path) {
    FirstModuleResult result;
    result.outcome = ModuleQuery::kFound;
    result.module.module_name = "fs9.exe";
    result.module.exe_path = path;
    modules[process_id] = result;
  }

  uint32_t OwnProcessId() override { return own_process_id; }

  bool snapshot_works = true;
  uint32_t own_process_id = 7;  // the simulator the module runs in
  std::vector<ProcessEntry> processes;
  std::map<uint32_t, FirstModuleResult> modules;
};

// A path as the host writes it: '\' between folders on the Windows half.
inline std::string HostPath(std::filesystem::path path) { return path.make_preferred().string(); }

inline std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

inline void WriteFile(const std::filesystem::path& path, const std::string& bytes) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

// Replaces the first occurrence of `from`; false when it is not there.
inline bool ReplaceInFile(const std::filesystem::path& path, const std::string& from, const std::string& to) {
  std::string text = ReadFile(path);
  std::size_t at = text.find(from);
  if (at == std::string::npos) return false;
  text.replace(at, from.size(), to);
  WriteFile(path, text);
  return true;
}

#ifdef _WIN32
inline constexpr const char* kSeparator = "\\";
#else
inline constexpr const char* kSeparator = "/";
#endif

// Folders and files named by the bytes of a narrow path (the host's code page),
// never converted on the way.
inline bool MakeFolderNarrow(const std::string& path) {
#ifdef _WIN32
  return ::_mkdir(path.c_str()) == 0;
#else
  return ::mkdir(path.c_str(), 0755) == 0;
#endif
}

inline bool WriteFileNarrow(const std::string& path, const std::string& bytes) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && written;
}

// A private copy of tests/fixtures/sim, removed again at the end of the test.
class StandInSim {
 public:
  StandInSim() {
    static std::atomic<int> counter{0};
    root_ = std::filesystem::temp_directory_path() /
            ("volantis-sim-" + std::to_string(counter++) + "-" +
             std::to_string(reinterpret_cast<std::uintptr_t>(this) & 0xFFFFFF));
    std::filesystem::remove_all(root_);
    std::filesystem::copy(std::filesystem::path(FixturePath()), root_, std::filesystem::copy_options::recursive);
  }
  ~StandInSim() {
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
  }
  StandInSim(const StandInSim&) = delete;
  StandInSim& operator=(const StandInSim&) = delete;

  static std::string FixturePath() {
    std::string path = VOLANTIS_SIM_FIXTURE;
#ifdef _WIN32
    for (char& c : path) {
      if (c == '/') c = '\\';
    }
#endif
    return path;
  }

  const std::filesystem::path& root() const { return root_; }
  std::string folder() const { return HostPath(root_); }
  std::filesystem::path aircraft(const std::string& name) const { return root_ / "Aircraft" / name; }
  std::filesystem::path cfg(const std::string& name) const { return aircraft(name) / "Aircraft.cfg"; }

 private:
  std::filesystem::path root_;
};

// A validator over recording fakes, the real file system and a profile reader of
// its own (the system's on the Windows half), with realism settings that pass.
struct Harness {
  Harness() : validator(settings, log, server, host, sounds, processes, SystemFileSystem(), Profiles(), workers) {
    host.Write<int8_t>(kOffsetCrashDetection, 1);
    host.Write<int8_t>(kOffsetCollisions, 0);
  }
  ProfileReader& Profiles() {
#ifdef _WIN32
    return SystemProfileReader();
#else
    return own_reader;
#endif
  }
  // Points the executable search at a simulator folder.
  void RunningSimAt(const std::string& folder) {
    processes.processes = {{7, "fs9.exe"}};
    processes.AddModule(7, folder + "\\fs9.exe");
  }

  ParsedProfileReader own_reader{SystemFileSystem()};
  AppSettings settings;
  ValidateWindow log;
  RecordingServer server;
  BufferHostMemory host;
  RecordingSounds sounds;
  FakeProcessList processes;
  WorkerGroup workers;
  Validator validator;
};

}  // namespace volantis::testing
