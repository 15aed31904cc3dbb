#pragma once
// Fakes for judging tests: a hand-set clock, and a journal that records log
// lines, sounds and posted commands in the order they happen.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/app_settings.h"
#include "core/log_window.h"
#include "host/command_ids.h"
#include "platform/clock.h"
#include "platform/host_poster.h"
#include "platform/sound_player.h"
#include "race/race_services.h"
#include "race/race_state.h"

namespace volantis::testing {

class FakeClock : public Clock {
 public:
  std::atomic<int64_t> counter{0};
  std::atomic<int64_t> frequency{10000000};
  std::atomic<bool> counter_works{true};
  std::atomic<uint32_t> tick{100000};

  bool QueryCounter(int64_t& count) override {
    if (!counter_works) return false;
    count = counter;
    return true;
  }
  int64_t QueryFrequency() override { return frequency; }
  uint32_t TickCount() override { return tick; }
  void Sleep(uint32_t) override {}
  LocalDateTime LocalNow() override { return LocalDateTime{}; }
};

// Thread-safe, so the monitor thread may write while a test waits.
class Journal {
 public:
  void Add(std::string entry) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      entries_.push_back(std::move(entry));
    }
    changed_.notify_all();
  }
  std::vector<std::string> entries() {
    std::lock_guard<std::mutex> lock(mutex_);
    return entries_;
  }
  void Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    entries_.clear();
  }
  // Waits (bounded) until an entry equals wanted.
  bool WaitFor(const std::string& wanted, std::chrono::milliseconds limit = std::chrono::seconds(20)) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, limit, [&] {
      for (const std::string& entry : entries_)
        if (entry == wanted) return true;
      return false;
    });
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::string> entries_;
};

class RecordingLogWindow : public LogWindow {
 public:
  explicit RecordingLogWindow(Journal& journal) : journal_(journal) {}

 protected:
  void Append(const std::string& message) override {
    journal_.Add("LOG " + message);
    LogWindow::Append(message);
  }

 private:
  Journal& journal_;
};

class RecordingSounds : public SoundPlayer {
 public:
  explicit RecordingSounds(Journal& journal) : journal_(journal) {}
  void Play(const char* name) override { journal_.Add(std::string("SOUND ") + name); }

 private:
  Journal& journal_;
};

class RecordingPoster : public HostPoster {
 public:
  explicit RecordingPoster(Journal& journal) : journal_(journal) {}
  void PostCommand(uint32_t command) override { journal_.Add("POST " + std::to_string(command)); }

 private:
  Journal& journal_;
};

// A Log window's on-screen part that counts position updates.
class CountingLogView : public LogView {
 public:
  std::atomic<int> positions_set{0};
  std::atomic<int> positions_blanked{0};
  std::string last_latitude;  // under the model's lock

  void Open(const std::string&) override {}
  bool Exists() override { return true; }
  void AppendText(const std::string&) override {}
  void ClearText() override {}
  bool PositionShown() override { return true; }
  void SetPosition(const std::string& latitude, const std::string&, const std::string&) override {
    last_latitude = latitude;
    ++positions_set;
  }
  void BlankPosition() override { ++positions_blanked; }
};

// Everything the judge needs, wired to fakes. Gates are added with AddGate.
struct JudgeBench {
  Journal journal;
  AppSettings settings;
  FakeClock clock;
  RecordingSounds sounds{journal};
  RecordingPoster poster{journal};
  RaceState state{std::make_unique<RecordingLogWindow>(journal)};
  RaceServices services{settings, clock, sounds, poster};

  JudgeBench() {
    settings.sound_cross = true;
    settings.sound_skip = true;
    settings.sound_end = true;
    settings.race_definition.laps = 1;
    state.Reset();
  }

  void AddGate(const Gate& gate) { settings.race_definition.gates.push_back(std::make_unique<Gate>(gate)); }

  // n gates standing north-south, 0.1 degree of longitude apart, each flown westward.
  void AddLineOfGates(int n) {
    for (int i = 0; i < n; ++i) AddGate(Gate{0.0, GateLongitude(i), 0.01, GateLongitude(i), 0, 0});
  }
  static double GateLongitude(int i) { return -0.1 * i; }
};

inline const std::string kRaceFinishedPost = "POST " + std::to_string(kCmdRaceFinished);

}  // namespace volantis::testing
