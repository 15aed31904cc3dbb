// The monitor's own thread with the race record on a disk whose writes stall:
// how late each cycle starts against its 40 ms period (p99.9 and the worst),
// with a record sink that answers at once and with one whose every write
// takes 500 ms. The goal: the stall adds under 1 ms. Real time: 10,000 cycles
// take about 7 minutes a case (VOLANTIS_BENCH_CYCLES sets fewer).
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

// Argument: whether the record's writes stall.
void BM_MonitorCycleLateness(benchmark::State& bench) {
  const bool stalled = bench.range(0) != 0;
  std::size_t cycles = 10000;
  if (const char* text = std::getenv("VOLANTIS_BENCH_CYCLES")) cycles = std::strtoul(text, nullptr, 10);
  for (auto _ : bench) {
    AppSettings settings;
    settings.race_definition.laps = 1;
    settings.race_definition.gates.push_back(std::make_unique<Gate>(Gate{10, 10, 10.01, 10, 0, 0}));
    CountingClock clock;
    SilentSounds sounds;
    SilentPoster poster;
    TimedMemory memory;
    memory.wanted = cycles;
    memory.Write<int16_t>(kOffsetSimulationRate, 256);
    memory.Write<int8_t>(kOffsetCrashDetection, 1);
    RaceState state;
    testing::TempFolder data;
    testing::RecordFilesIn plain_files(testing::RecordFilesIn::Races(data.path()));
    StallingFiles stalling_files(testing::RecordFilesIn::Races(data.path()));
    CancelSignal end;
    RaceRecords records(stalled ? static_cast<RecordFiles&>(stalling_files) : plain_files, *state.log, "bench");
    records.StartWriter(StartDetachedThread, end, nullptr);
    state.log->SetEcho(&records);
    RaceServices services{settings, clock, sounds, poster};
    services.recorder = &records;
    RaceMonitor monitor(state, services, memory);
    monitor.StartRace();
    while (!memory.done) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    monitor.StopRace();
    state.log->SetEcho(nullptr);
    end.Cancel();

    std::vector<double> late_ms;
    for (std::size_t i = 1; i < memory.starts.size(); ++i) {
      const double gap = std::chrono::duration<double, std::milli>(memory.starts[i] - memory.starts[i - 1]).count();
      late_ms.push_back(gap - kMonitorPeriodMs);
    }
    std::sort(late_ms.begin(), late_ms.end());
    if (late_ms.empty()) {
      bench.SkipWithError("no cycles");
      return;
    }
    const std::size_t p999 = std::min(late_ms.size() - 1, static_cast<std::size_t>(late_ms.size() * 0.999));
    bench.counters["cycles"] = static_cast<double>(memory.starts.size());
    bench.counters["late_p99.9_ms"] = late_ms[p999];
    bench.counters["late_max_ms"] = late_ms.back();
    bench.counters["rows_dropped"] = static_cast<double>(records.dropped_rows());
  }
}
BENCHMARK(BM_MonitorCycleLateness)->Arg(0)->Arg(1)->ArgNames({"stalled"})->Iterations(1)->UseRealTime()->Unit(
    benchmark::kSecond);

}  // namespace
