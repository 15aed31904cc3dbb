#pragma once
// Silent stand-ins for the measuring programs: a server that only counts
// failures, no sounds, no processes.
#include <cstdint>
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
};

}  // namespace volantis
