#include "race/race_monitor.h"

#include <atomic>
#include <cmath>
#include <cstring>
#include <thread>

#include <gtest/gtest.h>

#include "host/host_values.h"
#include "platform/buffer_host_memory.h"
#include "platform/module_memory.h"
#include "race/gate_crossing.h"
#include "race_fakes.h"
#include "server/race_results_submission.h"
#include "server/submission_fields.h"

namespace volantis {
namespace {

using testing::JudgeBench;
using Lines = std::vector<std::string>;

int64_t LatRaw(double degrees) { return std::llround(degrees / 2.0951091487837895e-15); }
int64_t LonRaw(double degrees) { return std::llround(degrees / 1.951563910473908e-17); }
int64_t AltRaw(double feet) { return std::llround(feet / 3.2808398950131235 * 4294967296.0); }

struct MonitorBench : JudgeBench {
  BufferHostMemory memory;
  testing::CountingLogView view;
  RaceMonitor monitor{state, services, memory};

  MonitorBench() {
    state.log->SetView(&view);
    memory.Write<int16_t>(kOffsetSimulationRate, 256);
    memory.Write<int8_t>(kOffsetCrashDetection, 1);
  }
  ~MonitorBench() { state.log->SetView(nullptr); }

  void Place(double lat, double lon, double alt = 500) {
    memory.Write<int64_t>(kOffsetLatitude, LatRaw(lat));
    memory.Write<int64_t>(kOffsetLongitude, LonRaw(lon));
    memory.Write<int64_t>(kOffsetAltitude, AltRaw(alt));
  }
};

TEST(MonitorCycleTest, FirstSampleOnlySeeds) {
  MonitorBench b;
  b.AddLineOfGates(3);
  b.state.prev_lat = 0.005;  // as if a crossing of gate 1 led here
  b.state.prev_lon = 0.0001;
  b.Place(0.005, -0.0001);
  b.monitor.MonitorCycle();
  EXPECT_TRUE(b.journal.entries().empty());
  EXPECT_FALSE(b.state.first_sample);
  EXPECT_NEAR(b.state.prev_lon, -0.0001, 1e-12);
  EXPECT_EQ(b.view.positions_set.load(), 1);
}

TEST(MonitorCycleTest, ChangedPositionsAreJudgedAndParkedOnesAreNot) {
  MonitorBench b;
  b.AddLineOfGates(3);
  b.Place(0.005, 0.0001);
  b.monitor.MonitorCycle();  // seeds
  b.Place(0.005, -0.0001);
  b.monitor.MonitorCycle();
  EXPECT_EQ(b.journal.entries(), (Lines{"LOG Gate 1 crossed.\n", "SOUND WAVE_GATE_CROSSED_DING"}));
  // Parked: no judging at all, so not even the speed check takes its reference.
  for (int i = 0; i < 5; ++i) b.monitor.MonitorCycle();
  EXPECT_EQ(b.state.speed_ref_time, 0);
  b.clock.counter = 123 * 10000000LL;
  b.Place(0.005, -0.0002);
  b.monitor.MonitorCycle();
  EXPECT_EQ(b.state.speed_ref_time, 123);
  EXPECT_EQ(b.view.positions_set.load(), 8);  // every sample shows the position
}

TEST(MonitorCycleTest, PositionsConvertFromRawValues) {
  MonitorBench b;
  b.memory.Write<int64_t>(kOffsetLatitude, 4294967296LL * 10001750 / 90 * 45);  // 45 degrees north
  b.memory.Write<int64_t>(kOffsetLongitude, INT64_MIN / 2);                       // 90 degrees west
  b.memory.Write<int64_t>(kOffsetAltitude, 1000LL << 32);                        // 1000 metres
  b.monitor.MonitorCycle();
  EXPECT_NEAR(b.state.prev_lat, 45, 1e-9);
  EXPECT_EQ(b.state.prev_lon, -90);
  EXPECT_NEAR(b.state.prev_alt, 3280.8398950131235, 1e-9);
}

TEST(MonitorCycleTest, FairnessFlagsOnlyWhileTiming) {
  struct Case {
    const char* name;
    int16_t rate;
    int8_t crash;
    uint16_t slew;
    bool sim_rate, crash_detect, slewed;
  };
  const Case cases[] = {
      {"real time, all in order", 256, 1, 0, false, false, false},
      {"half rate", 128, 1, 0, true, false, false},
      {"double rate", 512, 1, 0, true, false, false},
      {"crash detection off", 256, 0, 0, false, true, false},
      {"crash detection byte 2", 256, 2, 0, false, true, false},
      {"slewing", 256, 1, 1, false, false, true},
      {"slew word 2 is not slewing", 256, 1, 2, false, false, false},
  };
  for (const Case& c : cases) {
    for (bool running : {false, true}) {
      MonitorBench b;
      b.state.race_running = running;
      b.memory.Write<int16_t>(kOffsetSimulationRate, c.rate);
      b.memory.Write<int8_t>(kOffsetCrashDetection, c.crash);
      b.memory.Write<uint16_t>(kOffsetSlew, c.slew);
      b.monitor.MonitorCycle();
      // Sticky: back in order, the flag stays.
      b.memory.Write<int16_t>(kOffsetSimulationRate, 256);
      b.memory.Write<int8_t>(kOffsetCrashDetection, 1);
      b.memory.Write<uint16_t>(kOffsetSlew, 0);
      b.monitor.MonitorCycle();
      const std::string name = std::string(c.name) + (running ? " while timing" : " before the start");
      EXPECT_EQ(b.state.cheated_sim_rate, running && c.sim_rate) << name;
      EXPECT_EQ(b.state.cheated_crash_detect, running && c.crash_detect) << name;
      EXPECT_EQ(b.state.slewed, running && c.slewed) << name;
    }
  }
}

TEST(MonitorCycleTest, SamplingAllowed) {
  struct Case {
    uint32_t command_tick;
    uint32_t now;
    bool paused;
    bool allowed;
  };
  const Case cases[] = {
      {1000, 1499, false, false},
      {1000, 1500, false, true},
      {0, 100000, false, true},
      {0, 100000, true, false},
      {0xFFFFFF00u, 0x000000F3u, false, false},  // 499 ms across the wrap
      {0xFFFFFF00u, 0x000000F4u, false, true},   // 500 ms across the wrap
      {5000, 4000, false, true},                 // a tick far "behind" is far in unsigned terms
  };
  for (const Case& c : cases) {
    MonitorBench b;
    b.state.command_tick = c.command_tick;
    b.clock.tick = c.now;
    b.state.sampling_paused = c.paused;
    EXPECT_EQ(b.monitor.SamplingAllowed(), c.allowed) << c.command_tick << " -> " << c.now << " paused " << c.paused;
  }
}

// A cycle that may not sample leaves the previous sample and the display alone,
// so the next sample is compared with the last one taken.
TEST(MonitorCycleTest, CyclesWithoutSamplingTouchNothing) {
  MonitorBench b;
  b.AddLineOfGates(3);
  b.Place(0.005, 0.0001);
  b.monitor.MonitorCycle();
  b.state.command_tick = b.clock.tick - 100;
  b.Place(0.005, 0.00005);
  b.monitor.MonitorCycle();
  b.state.command_tick = 0;
  b.state.sampling_paused = true;
  b.Place(0.005, -0.00005);
  b.monitor.MonitorCycle();
  EXPECT_EQ(b.view.positions_set.load(), 1);
  EXPECT_NEAR(b.state.prev_lon, 0.0001, 1e-12);
  b.state.sampling_paused = false;
  b.Place(0.005, -0.0001);
  b.monitor.MonitorCycle();  // judged against the last sample taken: gate 1 was passed
  EXPECT_EQ(b.journal.entries(), (Lines{"LOG Gate 1 crossed.\n", "SOUND WAVE_GATE_CROSSED_DING"}));
}

TEST(MonitorCycleTest, MissingCoreModuleIsReportedOnce) {
  MonitorBench b;
  b.memory.SetAttached(false);
  b.monitor.MonitorCycle();
  b.monitor.MonitorCycle();
  EXPECT_EQ(b.journal.entries(), (Lines{"LOG ERROR: global.dll is not loaded; no position can be read.\n"}));
  EXPECT_EQ(b.view.positions_set.load(), 0);
  b.memory.SetAttached(true);
  b.monitor.MonitorCycle();
  EXPECT_EQ(b.view.positions_set.load(), 1);
}

// Host memory that flies a list of samples: each cycle's first read (the
// latitude) moves on to the next one. Read by the monitor thread only.
class ScriptedMemory : public HostMemory {
 public:
  explicit ScriptedMemory(std::vector<Sample> samples) : samples_(std::move(samples)) {}
  bool Attach() override { return true; }
  int64_t ReadInt64(uint32_t offset) const override {
    if (offset == kOffsetLatitude && next_ < samples_.size()) current_ = samples_[next_++];
    if (offset == kOffsetLatitude) return LatRaw(current_.lat);
    if (offset == kOffsetLongitude) return LonRaw(current_.lon);
    return AltRaw(current_.alt);
  }
  int16_t ReadInt16(uint32_t) const override { return 256; }
  uint16_t ReadUInt16(uint32_t) const override { return 0; }
  int8_t ReadInt8(uint32_t) const override { return 1; }

 private:
  std::vector<Sample> samples_;
  mutable std::size_t next_ = 0;
  mutable Sample current_;
};

struct ThreadBench : JudgeBench {
  testing::CountingLogView view;
  std::unique_ptr<ScriptedMemory> memory;
  std::unique_ptr<RaceMonitor> monitor;

  explicit ThreadBench(std::vector<Sample> samples = {{0.5, 0.5, 500}})
      : memory(std::make_unique<ScriptedMemory>(std::move(samples))) {
    state.log->SetView(&view);
    monitor = std::make_unique<RaceMonitor>(state, services, *memory);
  }
  ~ThreadBench() {
    monitor.reset();
    state.log->SetView(nullptr);
  }
};

TEST(MonitorThreadTest, StartSamplesAndStop) {
  ThreadBench b;
  EXPECT_FALSE(b.monitor->IsMonitorRunning());
  b.monitor->StartRace();
  EXPECT_TRUE(b.monitor->IsMonitorRunning());
  for (int i = 0; i < 2000 && b.view.positions_set.load() < 3; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  EXPECT_GE(b.view.positions_set.load(), 3);
  b.monitor->StopRace();
  EXPECT_FALSE(b.monitor->IsMonitorRunning());
  EXPECT_EQ(b.view.positions_blanked.load(), 1);
  EXPECT_EQ(b.journal.entries(), (Lines{"LOG Race started.\n", "LOG Race stopped.\n"}));
}

// A stop that comes before the new thread has run still waits for it, and a
// start right after never leaves two monitors running.
TEST(MonitorThreadTest, QuickStartsAndStops) {
  ThreadBench b;
  for (int i = 0; i < 40; ++i) {
    if (b.monitor->IsMonitorRunning()) b.monitor->StopRace();
    b.monitor->StartRace();
    if (i % 2 == 0) b.monitor->StopRace();
  }
  b.monitor->StopRace();
  EXPECT_FALSE(b.monitor->IsMonitorRunning());
  const Lines lines = b.journal.entries();
  ASSERT_FALSE(lines.empty());
  for (std::size_t i = 0; i < lines.size(); ++i)
    EXPECT_EQ(lines[i], i % 2 == 0 ? "LOG Race started.\n" : "LOG Race stopped.\n") << i;
}

// A whole race on the monitor thread: start, two laps of a two-gate course, the
// posted finish, then the stop the finish handler does.
TEST(MonitorThreadTest, RaceToTheFinish) {
  std::vector<Sample> samples = {{0.005, 0.0002, 500}};
  for (int lap = 0; lap < 3; ++lap) {
    for (int gate = 0; gate < 2; ++gate) {
      const double lon = JudgeBench::GateLongitude(gate);
      samples.push_back({0.005, lon + 0.0001, 500});
      samples.push_back({0.005, lon - 0.0001, 500});
    }
  }
  ThreadBench b(samples);
  b.AddLineOfGates(2);
  b.settings.race_definition.laps = 2;
  b.state.command_tick = 1;  // a stale command tick
  b.monitor->StartRace();
  ASSERT_TRUE(b.journal.WaitFor(testing::kRaceFinishedPost));
  b.monitor->StopRace();
  EXPECT_FALSE(b.monitor->IsMonitorRunning());
  EXPECT_EQ(b.state.laps_done, 2);
  EXPECT_EQ(b.state.lap_skips, (std::vector<int32_t>{0, 0}));
  EXPECT_FALSE(b.state.race_running);
  const Lines lines = b.journal.entries();
  EXPECT_EQ(lines.front(), "LOG Race started.\n");
  EXPECT_EQ(lines.back(), "LOG Race stopped.\n");
}

// Every start gives the race the next number, which its finish names; the race
// is under way (a validation must wait) from its first crossing to its stop.
TEST(MonitorThreadTest, EachRaceHasItsNumberAndIsUnderWayFromItsFirstCrossingToItsStop) {
  std::vector<Sample> samples = {{0.005, 0.0002, 500}};
  for (int gate : {0, 1, 0}) {
    const double lon = JudgeBench::GateLongitude(gate);
    samples.push_back({0.005, lon + 0.0001, 500});
    samples.push_back({0.005, lon - 0.0001, 500});
  }
  ThreadBench b(samples);
  b.AddLineOfGates(2);
  b.settings.race_definition.laps = 1;
  b.state.race_serial = 0xFFFFFFFFu;
  b.monitor->StartRace();
  EXPECT_EQ(b.state.race_serial.load(), 1u) << "0 is never a race's number";
  ASSERT_TRUE(b.journal.WaitFor(testing::kRaceFinishedPost));
  EXPECT_EQ(b.state.finished_serial.load(), 1u) << "the finish is noted for race 1";
  EXPECT_TRUE(b.settings.race_definition.race_under_way.load()) << "until the finish handler stops it";
  b.monitor->StopRace();
  EXPECT_FALSE(b.settings.race_definition.race_under_way.load());

  b.settings.race_definition.race_under_way = true;  // as if the stop had not come
  b.monitor->StartRace();
  EXPECT_EQ(b.state.race_serial.load(), 2u);
  EXPECT_FALSE(b.settings.race_definition.race_under_way.load()) << "a new race has crossed nothing yet";
  b.monitor->StopRace();
}

// Start Race for a course that has no race (laps 0 or less, or no gate): the
// race that runs on the replaced course is stopped as always, and none starts.
TEST(MonitorThreadTest, StartRaceForACourseWithoutRaceOnlyStopsTheRunningOne) {
  ThreadBench b;
  b.AddLineOfGates(2);
  b.settings.race_definition.laps = 2;
  b.monitor->StartRace();
  ASSERT_TRUE(b.monitor->IsMonitorRunning());
  const uint32_t serial = b.state.race_serial.load();

  b.settings.race_definition.course_without_race = true;  // as the loader leaves it
  // What the Start Race command does.
  if (b.monitor->IsMonitorRunning()) b.monitor->StopRace();
  b.monitor->StartRace();
  EXPECT_FALSE(b.monitor->IsMonitorRunning());
  EXPECT_EQ(b.state.race_serial.load(), serial) << "no new race";
  EXPECT_EQ(b.journal.entries(), (Lines{"LOG Race started.\n", "LOG Race stopped.\n"}));

  b.settings.race_definition.course_without_race = false;  // a course with a race
  b.monitor->StartRace();
  EXPECT_TRUE(b.monitor->IsMonitorRunning());
  b.monitor->StopRace();
}

// Takes the facts of every race start.
class FactsRecorder : public RaceRecorder {
 public:
  std::string BeginRace(const RaceRecordFacts& facts) override {
    began.push_back(facts);
    return "race" + std::to_string(began.size());
  }
  void BeginTrack() override {}
  void RecordCycle(const TrackSample&) override {}
  void EndTrack() override {}
  void KeepResults(const RaceResults&) override {}
  std::vector<RaceRecordFacts> began;
};

// A validation's time sync that ends while a race is flown (it began before the
// first crossing) leaves that race's clock offset, round trip and aircraft
// alone: the finish, the record and the submission agree. The next race takes
// the new ones.
TEST(MonitorCycleTest, ATimeSyncEndingDuringARaceAppliesFromTheNextRace) {
  JudgeBench b;
  FactsRecorder recorder;
  b.services.start_thread = [](std::function<void()>) { return true; };  // the test runs the cycles
  b.services.recorder = &recorder;
  BufferHostMemory memory;
  memory.Write<int16_t>(kOffsetSimulationRate, 256);
  memory.Write<int8_t>(kOffsetCrashDetection, 1);
  RaceMonitor monitor(b.state, b.services, memory);
  b.AddLineOfGates(2);
  RaceDefinition& definition = b.settings.race_definition;
  definition.laps = 1;
  definition.clock_offset = 100.5;
  definition.best_round_trip = 0.040;
  definition.aircraft_type = 2;
  b.clock.frequency = 1000;

  auto fly = [&](std::initializer_list<int> gates, int64_t first_count) {
    auto place = [&](double lon) {
      memory.Write<int64_t>(kOffsetLatitude, LatRaw(0.005));
      memory.Write<int64_t>(kOffsetLongitude, LonRaw(lon));
      memory.Write<int64_t>(kOffsetAltitude, AltRaw(500));
      monitor.MonitorCycle();
    };
    b.clock.counter = first_count;
    for (int gate : gates) {
      place(JudgeBench::GateLongitude(gate) + 0.0001);
      b.clock.counter += 1000;
      place(JudgeBench::GateLongitude(gate) - 0.0001);
      b.clock.counter += 1000;
    }
  };

  monitor.StartRace();
  b.state.done_event.Set();  // no monitor thread runs
  fly({0}, 50000);
  ASSERT_TRUE(definition.race_under_way.load());
  // The time sync of a validation that started before the crossing ends now.
  definition.clock_offset = 7.25;
  definition.best_round_trip = 0.015;
  definition.aircraft_type = 3;
  fly({1, 0}, 60000);
  ASSERT_TRUE(b.state.finished);
  const double finish_count = 63000;  // the second sample of the pass through gate 1
  EXPECT_EQ(b.state.finish_secs, finish_count / 1000 - 100.5);
  ASSERT_EQ(recorder.began.size(), 1u);
  EXPECT_EQ(recorder.began[0].clock_offset, 100.5) << "the record holds the offset the finish used";
  EXPECT_EQ(b.state.aircraft_type, 2);
  const RaceResults results = b.state.Results();
  const SubmissionFields fields =
      SubmissionFieldsOf(results, ResultsSubmissionSettings::From(b.settings, results));
  EXPECT_EQ(FieldValue(fields, "sync_delay"), "40.000000");
  EXPECT_EQ(FieldValue(fields, "finish_secs"), FormatText("%f", finish_count / 1000 - 100.5));

  monitor.StopRace();
  monitor.StartRace();  // the next race
  b.state.done_event.Set();
  EXPECT_EQ(b.state.clock_offset, 7.25);
  EXPECT_EQ(b.state.best_round_trip, 0.015);
  EXPECT_EQ(b.state.aircraft_type, 3);
  ASSERT_EQ(recorder.began.size(), 2u);
  EXPECT_EQ(recorder.began[1].clock_offset, 7.25);
}

// The host's memory is one reader for the whole module: the monitor thread and
// a validation run attach (look the core module up again) and read at the same
// time, while the core module comes and goes. Under ThreadSanitizer: no data
// race; every read gives either the module's value or, without it, zero.
const unsigned char* g_core_image = nullptr;
std::atomic<bool> g_core_loaded{true};
const unsigned char* CoreWhileLoaded() { return g_core_loaded ? g_core_image : nullptr; }

TEST(HostMemoryTest, AttachAndReadFromTwoThreadsAtOnce) {
  std::vector<unsigned char> image(0x4000, 0);
  const int8_t crash_detection = 1;
  std::memcpy(&image[kOffsetCrashDetection], &crash_detection, 1);
  const int64_t latitude = LatRaw(47.5);
  std::memcpy(&image[kOffsetLatitude], &latitude, sizeof latitude);
  g_core_image = image.data();
  ModuleMemory memory(CoreWhileLoaded);

  std::atomic<int> readers_done{0};
  std::atomic<int> bad_reads{0};
  auto reader = [&] {
    for (int i = 0; i < 5000; ++i) {
      memory.Attach();
      const int64_t read = memory.ReadInt64(kOffsetLatitude);
      if (read != latitude && read != 0) ++bad_reads;
      const int8_t crash = memory.ReadInt8(kOffsetCrashDetection);
      if (crash != 1 && crash != 0) ++bad_reads;
    }
    ++readers_done;
  };
  std::thread monitor(reader);
  std::thread validation(reader);
  for (int i = 0; readers_done < 2; ++i) g_core_loaded = (i % 3) != 0;
  monitor.join();
  validation.join();
  EXPECT_EQ(bad_reads.load(), 0);

  g_core_loaded = true;
  EXPECT_TRUE(memory.Attach());
  EXPECT_EQ(memory.ReadInt8(kOffsetCrashDetection), 1);
  g_core_loaded = false;
  EXPECT_FALSE(memory.Attach());
  EXPECT_EQ(memory.ReadInt64(kOffsetLatitude), 0) << "without the core module: zeros, not a crash";
}

TEST(MonitorThreadTest, DestroyingTheMonitorStopsItsThread) {
  ThreadBench b;
  b.monitor->StartRace();
  b.monitor.reset();
  EXPECT_EQ(b.state.done_event.Wait(0), WaitResult::kSignaled);
}

}  // namespace
}  // namespace volantis

namespace volantis {
namespace {

bool FailToStart(std::function<void()>) { return false; }

TEST(MonitorThreadTest, ThreadCreationFailureStartsNoRace) {
  testing::JudgeBench b;
  b.services.start_thread = FailToStart;
  BufferHostMemory memory;
  RaceMonitor monitor(b.state, b.services, memory);
  monitor.StartRace();
  EXPECT_FALSE(monitor.IsMonitorRunning());
  EXPECT_EQ(b.journal.entries(), (std::vector<std::string>{"LOG Error creating monitor thread.\n"}));
}

}  // namespace
}  // namespace volantis
