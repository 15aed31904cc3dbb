// The race record on disk: what a race start writes, the track and the log as
// the race goes on, the names and the number of records kept, and a data folder
// that cannot be written, which costs one line and nothing else.
#include "race/race_records.h"

#include <gtest/gtest.h>
#ifndef _WIN32
#include <unistd.h>
#endif

#include <cstdlib>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "../support/record_files_in.h"
#include "race/race_record_names.h"
#include "race_fakes.h"

namespace volantis {
namespace {

constexpr int64_t kStart = 1796912405;  // 2026-12-10 14:20:05 UTC

RaceRecordFacts Facts() {
  RaceRecordFacts facts;
  facts.server_ip = "10.200.0.1";
  facts.server_port = 8080;
  facts.player_name = "Ann Lee";
  facts.clock_offset = -3.25;
  facts.frequency = 3579545;
  facts.version = "2.6";
  facts.sound_cross = true;
  facts.sound_end = true;
  facts.course_text = "Race start info: laps=1;max_knots=450;gate=0,0,0.01,0,0,0";
  return facts;
}

// A log that also keeps every message, echoing it into the record the way the
// module's race log does.
struct Bench {
  testing::Journal journal;
  testing::RecordingLogWindow log{journal};
  testing::TempFolder data;
  testing::RecordFilesIn files{testing::RecordFilesIn::Races(data.path())};
  int64_t now = kStart;
  RaceRecords records{files, log, "standin", [this] { return now; }};

  Bench() { log.SetEcho(&records); }
  ~Bench() { log.SetEcho(nullptr); }

  std::string File(const std::string& name, const std::string& file) {
    return testing::ReadWholeFile(files.Join(files.Join(files.RacesFolder(), name), file));
  }
  int LinesContaining(const std::string& text) {
    int count = 0;
    for (const std::string& entry : journal.entries()) count += entry.find(text) != std::string::npos ? 1 : 0;
    return count;
  }
};

TEST(RaceRecordsTest, ARaceStartWritesWhatTheRaceDependsOn) {
  Bench b;
  const std::string name = b.records.BeginRace(Facts());
  EXPECT_EQ(name, "2026-12-10_14-20-05Z");
  EXPECT_EQ(b.File(name, "race.txt"),
            "started=2026-12-10 14:20:05 UTC\nserver_ip=10.200.0.1\nserver_port=8080\nplayer=Ann Lee\n"
            "clock_offset=-3.25\nfrequency=3579545\nversion=2.6\nreference_set=standin\nsounds=1,0,1\n");
  EXPECT_EQ(b.File(name, "course.txt"), "Race start info: laps=1;max_knots=450;gate=0,0,0.01,0,0,0\n");
  b.records.EndTrack();
  EXPECT_EQ(b.File(name, "track.csv"), "counter,lat_raw,lon_raw,alt_raw,rate_raw,crash,slew,paused\n");
  EXPECT_EQ(b.records.current_name(), name);
}

TEST(RaceRecordsTest, TheClockOffsetReadsBackExactly) {
  // Offsets that a fixed count of decimals rounds: a re-judged finish would move.
  for (double offset : {0.1, -1234.567890123456789, 1.0 / 3.0, 5e-10, 86399.99999999999}) {
    SCOPED_TRACE(offset);
    Bench b;
    RaceRecordFacts facts = Facts();
    facts.clock_offset = offset;
    const std::string name = b.records.BeginRace(facts);
    const std::string text = b.File(name, "race.txt");
    const std::size_t at = text.find("clock_offset=");
    ASSERT_NE(at, std::string::npos);
    EXPECT_EQ(std::strtod(text.c_str() + at + 13, nullptr), offset);
  }
}

TEST(RaceRecordsTest, TrackRowsAndLogLinesGoToTheRaceBeingRecorded) {
  Bench b;
  const std::string first = b.records.BeginRace(Facts());
  b.log.Log(kLogNormal, "Race started.\n");
  TrackSample sample;
  sample.counter = -5;
  sample.lat_raw = INT64_MIN;
  sample.lon_raw = INT64_MAX;
  sample.alt_raw = 1LL << 40;
  sample.rate_raw = -32768;
  sample.crash = -128;
  sample.slew = 65535;
  b.records.RecordCycle(sample);
  sample.paused = true;
  b.records.RecordCycle(sample);
  b.records.EndTrack();
  b.log.Log(kLogNormal, "Gate %d crossed.\n", 1);
  b.log.Log(kLogDetail, "a detail line is not shown, nor recorded\n");

  // The same second: the second race gets its own folder.
  const std::string second = b.records.BeginRace(Facts());
  EXPECT_EQ(second, "2026-12-10_14-20-05Z-2");
  b.log.Log(kLogNormal, "Race started.\n");

  EXPECT_EQ(b.File(first, "track.csv"),
            "counter,lat_raw,lon_raw,alt_raw,rate_raw,crash,slew,paused\n"
            "-5,-9223372036854775808,9223372036854775807,1099511627776,-32768,-128,65535,0\n"
            "-5,-9223372036854775808,9223372036854775807,1099511627776,-32768,-128,65535,1\n");
  EXPECT_EQ(b.File(first, "log.txt"), "Race started.\nGate 1 crossed.\n");
  EXPECT_EQ(b.File(second, "log.txt"), "Race started.\n");
}

TEST(RaceRecordsTest, ATrackIsFlushedEverySecondSoACrashLosesLittle) {
  Bench b;
  const std::string name = b.records.BeginRace(Facts());
  for (int i = 0; i < kTrackRowsPerFlush; ++i) b.records.RecordCycle(TrackSample{});
  // No EndTrack: what a crash would leave.
  const std::string track = b.File(name, "track.csv");
  EXPECT_EQ(std::count(track.begin(), track.end(), '\n'), kTrackRowsPerFlush + 1);
}

TEST(RaceRecordsTest, OnlyTheNewestHundredRecordsAreKept) {
  Bench b;
  const std::string races = b.files.RacesFolder();
  ASSERT_NE(b.files.CreateFolder(races), FolderCreation::kFailed);
  for (int i = 0; i < kRaceRecordsKept; ++i) b.files.CreateFolder(b.files.Join(races, RaceRecordName(kStart - 3600 - i)));
  b.files.CreateFolder(b.files.Join(races, "pilot's notes"));  // not a record: left alone
  const std::string newest = b.records.BeginRace(Facts());
  b.records.BeginTrack();  // the monitor thread removes the records beyond the newest hundred

  std::vector<std::string> names;
  ASSERT_TRUE(b.files.ListFolders(races, names));
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names.size(), static_cast<std::size_t>(kRaceRecordsKept) + 1);
  EXPECT_EQ(std::count(names.begin(), names.end(), "pilot's notes"), 1);
  EXPECT_EQ(std::count(names.begin(), names.end(), newest), 1);
  EXPECT_EQ(std::count(names.begin(), names.end(), RaceRecordName(kStart - 3600 - (kRaceRecordsKept - 1))), 0)
      << "the oldest record stayed";
}

TEST(RaceRecordsTest, PruningKeepsUnsentResultsAndTheRaceBeingRecorded) {
  Bench b;
  const std::string races = b.files.RacesFolder();
  ASSERT_NE(b.files.CreateFolder(races), FolderCreation::kFailed);
  std::vector<std::string> made;
  for (int i = 0; i < kRaceRecordsKept + 3; ++i) {
    made.push_back(RaceRecordName(kStart - 3600 - i));
    b.files.CreateFolder(b.files.Join(races, made.back()));
  }
  // Among the oldest: results still to be sent, and results the server took.
  auto results = [&](const std::string& name, const char* text) {
    UniqueFile file = b.files.Open(b.files.Join(b.files.Join(races, name), "results.txt"), "wb");
    ASSERT_TRUE(file);
    std::fputs(text, file.get());
  };
  const std::string unsent = made[made.size() - 1];
  const std::string pending = made[made.size() - 2];
  const std::string sent = made[made.size() - 3];
  results(unsent, "player=A\nstatus=pending\nattempt 1 at x: error\nstatus=unsent\n");
  results(pending, "player=A\nstatus=pending\n");
  results(sent, "player=A\nstatus=pending\nstatus=sent\n");

  // The clock was set back: the new record sorts oldest of all.
  b.now = kStart - 30 * 24 * 3600;
  const std::string current = b.records.BeginRace(Facts());
  b.records.BeginTrack();

  std::vector<std::string> left;
  ASSERT_TRUE(b.files.ListFolders(races, left));
  auto kept = [&](const std::string& name) { return std::find(left.begin(), left.end(), name) != left.end(); };
  EXPECT_TRUE(kept(current));
  EXPECT_TRUE(kept(unsent));
  EXPECT_TRUE(kept(pending));
  EXPECT_FALSE(kept(sent));
  EXPECT_EQ(left.size(), static_cast<std::size_t>(kRaceRecordsKept));
  // The track still goes to the current record.
  b.records.RecordCycle(TrackSample{});
  b.records.EndTrack();
  EXPECT_NE(b.File(current, "track.csv").find('\n'), std::string::npos);
}

TEST(RaceRecordsTest, PruningGoesByTheStartWrittenInsideTheRecords) {
  Bench b;
  const std::string races = b.files.RacesFolder();
  ASSERT_NE(b.files.CreateFolder(races), FolderCreation::kFailed);
  std::vector<std::string> made;
  for (int i = 0; i < kRaceRecordsKept + 1; ++i) {
    made.push_back(RaceRecordName(kStart - 3600 - i));
    b.files.CreateFolder(b.files.Join(races, made.back()));
  }
  // The newest name, but race.txt says it started a year ago (a record copied
  // back under another name): it is the oldest.
  const std::string renamed = made.front();
  {
    UniqueFile file = b.files.Open(b.files.Join(b.files.Join(races, renamed), "race.txt"), "wb");
    ASSERT_TRUE(file);
    std::fputs("started=2025-12-10 14:20:05 UTC\nserver_ip=10.200.0.1\n", file.get());
  }
  b.records.BeginRace(Facts());
  b.records.BeginTrack();
  std::vector<std::string> left;
  ASSERT_TRUE(b.files.ListFolders(races, left));
  auto kept = [&](const std::string& name) { return std::find(left.begin(), left.end(), name) != left.end(); };
  EXPECT_FALSE(kept(renamed));
  EXPECT_FALSE(kept(made.back())) << "the oldest by name and by race.txt";
  EXPECT_TRUE(kept(made[made.size() - 2]));
  EXPECT_EQ(left.size(), static_cast<std::size_t>(kRaceRecordsKept));
}

#ifndef _WIN32
TEST(RaceRecordsTest, RemovingAnOldRecordRemovesALinkInsideItNotItsTarget) {
  testing::TempFolder outside;
  const std::string keep = SystemRecordFiles().Join(outside.path(), "keep.txt");
  { UniqueFile file = SystemRecordFiles().Open(keep, "wb"); ASSERT_TRUE(file); std::fputs("x", file.get()); }
  testing::TempFolder data;
  const std::string old_record = SystemRecordFiles().Join(data.path(), "old");
  ASSERT_EQ(SystemRecordFiles().CreateFolder(old_record), FolderCreation::kCreated);
  ASSERT_EQ(::symlink(outside.path().c_str(), SystemRecordFiles().Join(old_record, "link").c_str()), 0);
  EXPECT_TRUE(SystemRecordFiles().RemoveTree(old_record));
  EXPECT_EQ(testing::ReadWholeFile(keep), "x");
}
#endif

TEST(RaceRecordsTest, AFolderThatCannotBeWrittenCostsOneLine) {
  struct Case {
    const char* name;
    bool data_folder_known;
  };
  for (const Case& c : {Case{"blocked", true}, Case{"unknown", false}}) {
    SCOPED_TRACE(c.name);
    Bench b;
    testing::RecordFilesIn unknown;
    RecordFiles& files = c.data_folder_known ? static_cast<RecordFiles&>(b.files) : unknown;
    RaceRecords records(files, b.log, "standin", [] { return kStart; });
    b.log.SetEcho(&records);
    // A file where the races folder should be.
    { UniqueFile blocker = SystemRecordFiles().Open(b.files.RacesFolder(), "wb"); }
    EXPECT_EQ(records.BeginRace(Facts()), "");
    records.RecordCycle(TrackSample{});
    records.EndTrack();
    b.log.Log(kLogNormal, "Gate 1 crossed.\n");
    EXPECT_EQ(records.BeginRace(Facts()), "");
    EXPECT_EQ(b.LinesContaining("The race record could not be written"), 2);  // once for each race
    EXPECT_EQ(b.LinesContaining("Gate 1 crossed."), 1);
    b.log.SetEcho(nullptr);
  }
}

#ifndef _WIN32
// A full disk: the track's writes fail at its first flush, the log's at once.
class FullDiskFiles : public testing::RecordFilesIn {
 public:
  using RecordFilesIn::RecordFilesIn;
  std::string full_file;
  UniqueFile Open(const std::string& path, const char* mode) override {
    if (path.size() >= full_file.size() && path.compare(path.size() - full_file.size(), full_file.size(), full_file) == 0) {
      return UniqueFile(std::fopen("/dev/full", "wb"));
    }
    return RecordFilesIn::Open(path, mode);
  }
};

TEST(RaceRecordsTest, AFullDiskCostsOneLineAndTheRaceGoesOn) {
  for (const char* full_file : {"track.csv", "log.txt"}) {
    SCOPED_TRACE(full_file);
    Bench b;
    FullDiskFiles files(b.files.RacesFolder());
    files.full_file = full_file;
    RaceRecords records(files, b.log, "standin", [] { return kStart; });
    b.log.SetEcho(&records);
    EXPECT_NE(records.BeginRace(Facts()), "");
    for (int i = 0; i < 3 * kTrackRowsPerFlush; ++i) {
      records.RecordCycle(TrackSample{});
      if (i % 10 == 0) b.log.Log(kLogNormal, "Gate %d crossed.\n", i);
    }
    records.EndTrack();
    EXPECT_EQ(b.LinesContaining("The race record could not be written"), 1);
    EXPECT_EQ(b.LinesContaining("crossed."), 8);
    EXPECT_EQ(records.current_name(), "");
    b.log.SetEcho(nullptr);
  }
}
#endif

}  // namespace
}  // namespace volantis
