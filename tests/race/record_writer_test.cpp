// The race record's writer thread: a disk that stalls in the middle of a race
// neither holds up nor changes the judging (the monitor only queues), a queue
// that overflows drops track rows and the record says how many, and lines and
// results handed over meanwhile are all written once the disk comes back.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "../support/record_files_in.h"
#include "host/host_values.h"
#include "platform/buffer_host_memory.h"
#include "platform/cancel_signal.h"
#include "platform/text_format.h"
#include "race/race_monitor.h"
#include "race/race_records.h"
#include "race_fakes.h"

namespace volantis {
namespace {

using testing::JudgeBench;

// A counter that moves on by 40 ms at every read: the monitor reads it once
// per cycle, so lap times depend on the cycles flown, not on the wall clock.
class CycleCountingClock : public testing::FakeClock {
 public:
  bool QueryCounter(int64_t& count) override {
    count = counter.fetch_add(400000) + 400000;
    return true;
  }
};

// The host's memory flying a list of longitudes along latitude 0.005, one per
// cycle (the latitude is read first in a cycle); then it stays at the last.
class FlightMemory : public BufferHostMemory {
 public:
  explicit FlightMemory(std::vector<double> longitudes) : longitudes_(std::move(longitudes)) {
    Write<int16_t>(kOffsetSimulationRate, 256);
    Write<int8_t>(kOffsetCrashDetection, 1);
    Write<int64_t>(kOffsetAltitude, 0);
  }
  // The cycles that read a position.
  std::size_t cycles() const { return next_.load(); }
  int64_t ReadInt64(uint32_t offset) const override {
    if (offset == kOffsetLatitude) {
      const std::size_t at = std::min(next_.fetch_add(1), longitudes_.size() - 1);
      current_ = longitudes_[at];
      return static_cast<int64_t>(0.005 / 2.0951091487837895e-15);
    }
    if (offset == kOffsetLongitude) return static_cast<int64_t>(current_.load() / 1.951563910473908e-17);
    return BufferHostMemory::ReadInt64(offset);
  }

 private:
  std::vector<double> longitudes_;
  mutable std::atomic<std::size_t> next_{0};
  mutable std::atomic<double> current_{0};
};

// Record files whose opening of a log.txt blocks while stalled: the writer is
// stuck in a file call with the record's track already open.
class StallingFiles : public testing::RecordFilesIn {
 public:
  using RecordFilesIn::RecordFilesIn;
  std::atomic<bool> stall{false};
  Event entered{true, false};
  Event release{true, false};
  UniqueFile Open(const std::string& path, const char* mode) override {
    if (stall && path.size() >= 7 && path.compare(path.size() - 7, 7, "log.txt") == 0) {
      entered.Set();
      release.Wait(60000);
    }
    return RecordFilesIn::Open(path, mode);
  }
};

// Two gates, two laps, with straight stretches between the crossings long
// enough to overflow a small queue.
std::vector<double> TwoLaps() {
  std::vector<double> longitudes = {0.0002};
  for (int lap = 0; lap < 3; ++lap) {
    for (int gate = 0; gate < 2; ++gate) {
      const double lon = JudgeBench::GateLongitude(gate);
      for (int i = 8; i > 0; --i) longitudes.push_back(lon + 0.00001 * i);
      for (int i = 1; i <= 8; ++i) longitudes.push_back(lon - 0.00001 * i);
    }
  }
  return longitudes;
}

struct RecordedRace : JudgeBench {
  CycleCountingClock cycle_clock;
  FlightMemory memory{TwoLaps()};
  testing::TempFolder data;
  StallingFiles files{testing::RecordFilesIn::Races(data.path())};
  CancelSignal end;
  std::atomic<int> kept{0};
  RaceRecords records{files, *state.log, "standin"};
  std::unique_ptr<RaceMonitor> monitor;

  explicit RecordedRace(bool stalled) {
    files.stall = stalled;
    AddLineOfGates(2);
    settings.race_definition.laps = 2;
    RaceServices with{settings, cycle_clock, sounds, poster};
    with.recorder = &records;
    monitor = std::make_unique<RaceMonitor>(state, with, memory);
    records.SetQueueLimitForTesting(40);
    records.SetResultsKeeper([this](const RaceResults&, const RaceRecordFacts&) { ++kept; });
    EXPECT_TRUE(records.StartWriter(StartDetachedThread, end, nullptr));
    state.log->SetEcho(&records);
  }
  ~RecordedRace() {
    files.release.Set();
    monitor.reset();
    state.log->SetEcho(nullptr);
  }

  std::string File(const std::string& name) {
    return testing::ReadWholeFile(files.Join(files.Join(files.RacesFolder(), state.record_name), name));
  }
};

TEST(RecordWriterTest, AStalledDiskNeitherHoldsUpNorChangesTheJudging) {
  RecordedRace plain(false);
  plain.monitor->StartRace();
  ASSERT_TRUE(plain.journal.WaitFor(testing::kRaceFinishedPost));
  plain.monitor->StopRace();
  ASSERT_TRUE(plain.records.WaitWritten(20000));
  ASSERT_EQ(plain.state.lap_times.size(), 2u);
  EXPECT_EQ(plain.records.dropped_rows(), 0);

  RecordedRace stalled(true);
  stalled.monitor->StartRace();
  ASSERT_EQ(stalled.files.entered.Wait(20000), WaitResult::kSignaled);
  // The whole race is judged, to its posted finish, while the writer is stuck.
  ASSERT_TRUE(stalled.journal.WaitFor(testing::kRaceFinishedPost));
  stalled.monitor->StopRace();
  EXPECT_EQ(stalled.state.lap_times, plain.state.lap_times);
  EXPECT_EQ(stalled.state.finish_secs, plain.state.finish_secs);
  EXPECT_EQ(stalled.kept.load(), 0) << "the stuck writer has not got to the results yet";
  const int64_t dropped = stalled.records.dropped_rows();
  EXPECT_GT(dropped, 0) << "the flight is longer than the queue";

  // The disk comes back: every line, the results and the rows that fitted are written.
  stalled.files.release.Set();
  ASSERT_TRUE(stalled.records.WaitWritten(20000));
  EXPECT_EQ(stalled.kept.load(), 1);
  const std::string log = stalled.File("log.txt");
  EXPECT_NE(log.find("Race started.\n"), std::string::npos);
  EXPECT_NE(log.find("Race time: "), std::string::npos);
  EXPECT_NE(log.find("Race stopped.\n"), std::string::npos);
  EXPECT_NE(log.find(FormatText("The race record lost %lld track rows, counters ", static_cast<long long>(dropped))),
            std::string::npos)
      << log;
  const std::string track = stalled.File("track.csv");
  EXPECT_EQ(std::count(track.begin(), track.end(), '\n') - 1 + dropped,
            static_cast<std::ptrdiff_t>(stalled.memory.cycles()))
      << "each cycle is either in the track or counted as dropped";
}

// Lines and results are never dropped, however full the queue is with rows.
TEST(RecordWriterTest, AFullQueueDropsOnlyTrackRows) {
  testing::Journal journal;
  testing::RecordingLogWindow log{journal};
  testing::TempFolder data;
  StallingFiles files{testing::RecordFilesIn::Races(data.path())};
  files.stall = true;
  CancelSignal end;
  std::vector<std::string> kept;
  RaceRecords records{files, log, "standin"};
  records.SetQueueLimitForTesting(10);
  records.SetResultsKeeper([&kept](const RaceResults& results, const RaceRecordFacts& facts) {
    kept.push_back(results.record_name + " " + facts.player_name);
  });
  ASSERT_TRUE(records.StartWriter(StartDetachedThread, end, nullptr));
  log.SetEcho(&records);

  RaceRecordFacts facts;
  facts.player_name = "Ann Lee";
  const std::string name = records.BeginRace(facts);
  ASSERT_EQ(files.entered.Wait(20000), WaitResult::kSignaled);
  for (int i = 0; i < 100; ++i) {
    TrackSample sample;
    sample.counter = i;
    records.RecordCycle(sample);
    if (i % 10 == 0) log.Log(kLogNormal, "Gate %d crossed.\n", i);
  }
  RaceResults results;
  results.record_name = name;
  records.KeepResults(results);
  records.EndTrack();
  EXPECT_EQ(records.dropped_rows(), 90);

  files.release.Set();
  ASSERT_TRUE(records.WaitWritten(20000));
  log.SetEcho(nullptr);
  EXPECT_EQ(kept, std::vector<std::string>{name + " Ann Lee"});
  const std::string folder = files.Join(files.RacesFolder(), name);
  const std::string text = testing::ReadWholeFile(files.Join(folder, "log.txt"));
  for (int i = 0; i < 100; i += 10) EXPECT_NE(text.find(FormatText("Gate %d crossed.\n", i)), std::string::npos) << i;
  EXPECT_NE(text.find("The race record lost 90 track rows, counters 10 to 99"), std::string::npos) << text;
  const std::string track = testing::ReadWholeFile(files.Join(folder, "track.csv"));
  EXPECT_EQ(std::count(track.begin(), track.end(), '\n'), 1 + 10);
}

}  // namespace
}  // namespace volantis
