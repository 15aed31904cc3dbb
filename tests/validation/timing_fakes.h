#pragma once
// What the measuring programs share: silent stand-ins (a server that only counts
// failures, no sounds, no processes) and the fifty-folder installation they time.
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/process_list.h"
#include "platform/sound_player.h"
#include "server/validation_server.h"

namespace volantis {

class CountingServer : public ValidationServer {
 public:
  bool TimeSync() override { return true; }
  void SendResultsText(bool success, const std::string&) override { failures += success ? 0 : 1; }
  int failures = 0;
};

class NullSounds : public SoundPlayer {
 public:
  void Play(const char*) override {}
};

class NoProcesses : public ProcessList {
 public:
  bool SnapshotProcesses(std::vector<ProcessEntry>*) override { return false; }
  FirstModuleResult FirstModule(uint32_t) override { return FirstModuleResult(); }
  uint32_t OwnProcessId() override { return 1; }
};

inline std::string ReadWholeFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Copies the stand-in installation from fixture into dir (replacing it) and adds
// other aircraft folders up to 50 in all: big and small files, none with a race title.
inline void BuildTimingInstallation(const std::filesystem::path& fixture, const std::filesystem::path& dir) {
  std::filesystem::remove_all(dir);
  std::filesystem::copy(fixture, dir, std::filesystem::copy_options::recursive);
  const std::string trainer = ReadWholeFile(dir / "Aircraft" / "Stand-in Trainer" / "aircraft.cfg");
  const std::string legacy = ReadWholeFile(dir / "Aircraft" / "Legacy2000" / "Aircraft.cfg");
  for (int i = 0; i < 43; ++i) {
    const std::filesystem::path folder = dir / "Aircraft" / ("Other aircraft " + std::to_string(i));
    std::filesystem::create_directories(folder);
    std::ofstream(folder / "aircraft.cfg", std::ios::binary) << ((i % 2 == 0) ? trainer : legacy);
  }
}

}  // namespace volantis
