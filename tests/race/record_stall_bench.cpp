// The monitor's own thread with the race record on a disk whose writes stall:
// how late each cycle starts against its 40 ms period (median, p99.9 and the
// worst), with a record sink that answers at once and, at the same time, with
// one whose every write takes 500 ms. The goal: the stall adds under 1 ms.
// Real time: 10,000 cycles take about 7 minutes (VOLANTIS_BENCH_CYCLES sets fewer).
#include <stdio.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>
#include <vector>

#include <benchmark/benchmark.h>

#include "../support/record_files_in.h"
#include "host/host_values.h"
#include "platform/buffer_host_memory.h"
#include "platform/cancel_signal.h"
#include "race/race_monitor.h"
#include "race/race_records.h"

namespace {

using namespace volantis;
using Clock = std::chrono::steady_clock;

class CountingClock : public volantis::Clock {
 public:
  std::atomic<int64_t> counter{0};
  bool QueryCounter(int64_t& count) override {
    count = counter.fetch_add(400000) + 400000;
    return true;
  }
  int64_t QueryFrequency() override { return 10000000; }
  uint32_t TickCount() override { return 0x10000000u; }
  void Sleep(uint32_t) override {}
  LocalDateTime LocalNow() override { return LocalDateTime{}; }
};

class SilentSounds : public SoundPlayer {
 public:
  void Play(const char*) override {}
};

class SilentPoster : public HostPoster {
 public:
  void PostCommand(uint32_t) override {}
};

// The host's memory, noting when each cycle begins (its first read is the latitude).
class TimedMemory : public BufferHostMemory {
 public:
  std::vector<Clock::time_point> starts;  // the monitor thread's, read after it stopped
  std::size_t wanted = 0;
  std::atomic<bool> done{false};
  int64_t ReadInt64(uint32_t offset) const override {
    if (offset == kOffsetLatitude) {
      auto* self = const_cast<TimedMemory*>(this);
      if (self->starts.size() < wanted) self->starts.push_back(Clock::now());
      if (self->starts.size() == wanted) self->done = true;
      return static_cast<int64_t>(self->starts.size()) * 1000000;  // moving: every cycle is judged
    }
    return BufferHostMemory::ReadInt64(offset);
  }
};

ssize_t StallingWrite(void*, const char*, size_t size) {
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  return static_cast<ssize_t>(size);
}

// Record files whose every write (a flush of the track, a log line) takes 500 ms.
class StallingFiles : public testing::RecordFilesIn {
 public:
  using RecordFilesIn::RecordFilesIn;
  UniqueFile Open(const std::string& path, const char* mode) override {
    if (mode[0] == 'r') return RecordFilesIn::Open(path, mode);
    cookie_io_functions_t functions{nullptr, StallingWrite, nullptr, nullptr};
    return UniqueFile(fopencookie(nullptr, "w", functions));
  }
};

// One race on the monitor's own thread with its record on files, measured.
struct MeasuredRace {
  MeasuredRace(RecordFiles& files, std::size_t cycles) : records(files, *state.log, "bench") {
    settings.race_definition.laps = 1;
    settings.race_definition.gates.push_back(std::make_unique<Gate>(Gate{10, 10, 10.01, 10, 0, 0}));
    memory.wanted = cycles;
    memory.Write<int16_t>(kOffsetSimulationRate, 256);
    memory.Write<int8_t>(kOffsetCrashDetection, 1);
    records.StartWriter(StartDetachedThread, end, nullptr);
    state.log->SetEcho(&records);
    services.recorder = &records;
    monitor = std::make_unique<RaceMonitor>(state, services, memory);
  }
  ~MeasuredRace() {
    monitor.reset();
    state.log->SetEcho(nullptr);
    end.Cancel();
  }

  // How late each cycle started after the one before plus the period, in ms, sorted.
  std::vector<double> Lateness() const {
    std::vector<double> late_ms;
    for (std::size_t i = 1; i < memory.starts.size(); ++i) {
      const double gap = std::chrono::duration<double, std::milli>(memory.starts[i] - memory.starts[i - 1]).count();
      late_ms.push_back(gap - kMonitorPeriodMs);
    }
    std::sort(late_ms.begin(), late_ms.end());
    return late_ms;
  }

  AppSettings settings;
  CountingClock clock;
  SilentSounds sounds;
  SilentPoster poster;
  TimedMemory memory;
  RaceState state;
  CancelSignal end;
  RaceRecords records;
  RaceServices services{settings, clock, sounds, poster};
  std::unique_ptr<RaceMonitor> monitor;
};

double At(const std::vector<double>& sorted, double fraction) {
  return sorted[std::min(sorted.size() - 1, static_cast<std::size_t>(sorted.size() * fraction))];
}

// Both races run at the same time, so whatever else the machine does weighs
// on both alike: the figures side by side differ by what the stall adds.
void BM_MonitorCycleLateness(benchmark::State& bench) {
  std::size_t cycles = 10000;
  if (const char* text = std::getenv("VOLANTIS_BENCH_CYCLES")) cycles = std::strtoul(text, nullptr, 10);
  for (auto _ : bench) {
    testing::TempFolder data;
    testing::RecordFilesIn plain_files(testing::RecordFilesIn::Races(data.path()));
    StallingFiles stalling_files(testing::RecordFilesIn::Races(data.path()));
    MeasuredRace plain(plain_files, cycles);
    MeasuredRace stalled(stalling_files, cycles);
    plain.monitor->StartRace();
    stalled.monitor->StartRace();
    while (!plain.memory.done || !stalled.memory.done) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    plain.monitor->StopRace();
    stalled.monitor->StopRace();
    const std::vector<double> plain_late = plain.Lateness();
    const std::vector<double> stalled_late = stalled.Lateness();
    if (plain_late.empty() || stalled_late.empty()) {
      bench.SkipWithError("no cycles");
      return;
    }
    bench.counters["cycles"] = static_cast<double>(plain_late.size() + 1);
    bench.counters["plain_p50_ms"] = At(plain_late, 0.5);
    bench.counters["plain_p99.9_ms"] = At(plain_late, 0.999);
    bench.counters["plain_max_ms"] = plain_late.back();
    bench.counters["stalled_p50_ms"] = At(stalled_late, 0.5);
    bench.counters["stalled_p99.9_ms"] = At(stalled_late, 0.999);
    bench.counters["stalled_max_ms"] = stalled_late.back();
    bench.counters["stalled_rows_dropped"] = static_cast<double>(stalled.records.dropped_rows());
  }
}
BENCHMARK(BM_MonitorCycleLateness)->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);

}  // namespace
