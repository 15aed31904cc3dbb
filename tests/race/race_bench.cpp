// Benchmarks of the monitor (the goal: a cycle under 1% of the 40 ms period at 100 gates): one sampling cycle with the judge on courses of 10,
// 100 and 200 gates (the most a course may have; the aircraft flying the course, so nearly every cycle
// searches all gates), without and with the race record written to disk, and a
// whole replay of a ten-minute track.
#include <algorithm>
#include <cmath>
#include <memory>
#include <sstream>

#include <benchmark/benchmark.h>

#include "../support/record_files_in.h"

#include "host/host_values.h"
#include "platform/buffer_host_memory.h"
#include "pylon_tracks.h"
#include "race/race_monitor.h"
#include "race/race_records.h"
#include "replay.h"

namespace {

using namespace volantis;
using volantis::fixtures::CourseShape;
using volantis::fixtures::PylonTrackBuilder;

class BenchClock : public Clock {
 public:
  int64_t counter = 0;
  bool QueryCounter(int64_t& count) override {
    count = counter;
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

PylonTrackBuilder Builder(int gates, int laps) {
  CourseShape shape;
  shape.center_lat = 47.3;
  shape.center_lon = 8.5;
  shape.gates = gates;
  shape.radius_nm = std::max(1.5, gates * 0.15);  // legs of about a nautical mile
  shape.laps = laps;
  return PylonTrackBuilder(shape);
}

std::vector<replay::TrackRow> Rows(const std::string& csv, std::size_t limit) {
  std::istringstream in(csv);
  std::vector<replay::TrackRow> rows;
  std::string error;
  if (!replay::ParseTrack(in, rows, error)) rows.clear();
  if (rows.size() > limit) rows.resize(limit);
  return rows;
}

// Arguments: the number of gates, and whether the race is recorded.
void BM_MonitorCycle(benchmark::State& bench) {
  const int gates = static_cast<int>(bench.range(0));
  const bool recording = bench.range(1) != 0;
  const PylonTrackBuilder builder = Builder(gates, 100);  // the most laps a course may have: the race never ends here
  AppSettings settings;
  std::string error;
  if (!replay::LoadCourse(builder.CourseText(), settings, error)) {
    bench.SkipWithError(error.c_str());
    return;
  }
  std::vector<volantis::fixtures::Leg> legs = builder.PlainLaps(0, 1, 380, 500);
  legs.resize(std::min<std::size_t>(legs.size(), 12));
  const auto rows = Rows(builder.TrackCsv(builder.TurnPoint(0), 500, legs, 0, 10000000, 1), 1u << 20);

  BenchClock clock;
  SilentSounds sounds;
  SilentPoster poster;
  BufferHostMemory memory;
  memory.Write<int16_t>(kOffsetSimulationRate, 256);
  memory.Write<int8_t>(kOffsetCrashDetection, 1);
  RaceState state;
  testing::TempFolder data;
  testing::RecordFilesIn files(testing::RecordFilesIn::Races(data.path()));
  RaceRecords records(files, *state.log, "bench");
  RaceServices services{settings, clock, sounds, poster};
  services.recorder = recording ? &records : nullptr;
  RaceMonitor monitor(state, services, memory);
  state.Reset();
  if (recording && records.BeginRace(RaceRecordFacts{}).empty()) {
    bench.SkipWithError("the race record could not be made");
    return;
  }
  std::size_t i = 0;
  int64_t recorded = 0;
  for (auto _ : bench) {
    // A record holds six hours at most: a fresh race before that.
    if (recording && ++recorded == kTrackRowsMax) {
      bench.PauseTiming();
      records.BeginRace(RaceRecordFacts{});
      recorded = 0;
      bench.ResumeTiming();
    }
    const replay::TrackRow& row = rows[i];
    memory.Write<int64_t>(kOffsetLatitude, row.lat_raw);
    memory.Write<int64_t>(kOffsetLongitude, row.lon_raw);
    memory.Write<int64_t>(kOffsetAltitude, row.alt_raw);
    clock.counter = row.counter;
    monitor.MonitorCycle();
    if (++i == rows.size()) i = 0;
  }
  bench.SetItemsProcessed(bench.iterations());
}
BENCHMARK(BM_MonitorCycle)
    ->ArgsProduct({{10, 100, 200}, {0, 1}})
    ->ArgNames({"gates", "recorded"})
    ->Unit(benchmark::kMicrosecond);

// Ten minutes at 25 cycles a second.
void BM_ReplayTenMinuteTrack(benchmark::State& bench) {
  const PylonTrackBuilder builder = Builder(10, 100);
  const auto rows = Rows(builder.TrackCsv(builder.TurnPoint(0), 500, builder.PlainLaps(0, 10, 380, 500), 0,
                                          10000000, 3),
                         15000);
  if (rows.size() < 15000) {
    bench.SkipWithError("the track is shorter than ten minutes");
    return;
  }
  const std::string course = builder.CourseText();
  for (auto _ : bench) {
    AppSettings settings;
    std::string error;
    replay::LoadCourse(course, settings, error);
    std::ostringstream out;
    replay::ReplayTrack(settings, replay::ReplayOptions{}, rows, out);
    benchmark::DoNotOptimize(out.str().size());
  }
  bench.SetItemsProcessed(bench.iterations() * static_cast<int64_t>(rows.size()));
}
BENCHMARK(BM_ReplayTenMinuteTrack)->Unit(benchmark::kMillisecond);

}  // namespace
