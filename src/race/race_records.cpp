#include "race/race_records.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <utility>
#include <vector>

#include "platform/text_format.h"
#include "platform/utc_time.h"
#include "race/race_record_names.h"
#include "race/record_order.h"

namespace volantis {
namespace {

constexpr const char* kTrackHeaderLine = "counter,lat_raw,lon_raw,alt_raw,rate_raw,crash,slew,paused\n";
constexpr const char* kFailedLine = "The race record could not be written (%s); the race is judged and submitted as usual.\n";

std::string RaceText(const RaceRecordFacts& facts, int64_t started_utc, const std::string& reference_set) {
  std::string text;
  text += "started=" + UtcText(started_utc) + "\n";
  text += "server_ip=" + facts.server_ip + "\n";
  text += FormatText("server_port=%d\n", static_cast<int>(facts.server_port));
  text += "player=" + facts.player_name + "\n";
  text += FormatText("clock_offset=%.17g\n", facts.clock_offset);
  text += FormatText("frequency=%" PRId64 "\n", facts.frequency);
  text += "version=" + facts.version + "\n";
  text += "reference_set=" + reference_set + "\n";
  text += FormatText("sounds=%d,%d,%d\n", facts.sound_cross ? 1 : 0, facts.sound_skip ? 1 : 0, facts.sound_end ? 1 : 0);
  return text;
}

}  // namespace

RaceRecords::RaceRecords(RecordFiles& files, LogSink& log, std::string reference_set,
                         std::function<int64_t()> now_utc)
    : files_(files), log_(log), reference_set_(std::move(reference_set)), now_utc_(std::move(now_utc)) {
  if (!now_utc_) now_utc_ = UtcNowSeconds;
}

RaceRecords::~RaceRecords() = default;

std::string RaceRecords::FolderOf(const std::string& name) {
  const std::string races = files_.RacesFolder();
  return races.empty() ? std::string() : files_.Join(races, name);
}

std::string RaceRecords::current_name() {
  ScopedCriticalSection hold(lock_);
  return failed_.load() ? std::string() : name_;
}

void RaceRecords::Fail(const std::string& why) {
  if (failed_.exchange(true)) return;
  log_.Log(kLogNormal, kFailedLine, why.c_str());
}

bool RaceRecords::WriteTextFile(const std::string& path, const std::string& text) {
  UniqueFile file = files_.Open(path, "wb");
  if (!file) return false;
  const bool written = std::fwrite(text.data(), 1, text.size(), file.get()) == text.size();
  return std::fclose(file.release()) == 0 && written;
}

std::string RaceRecords::BeginRace(const RaceRecordFacts& facts) {
  // The record of the race before ends here; what it buffered is written.
  track_.reset();
  {
    ScopedCriticalSection hold(lock_);
    failed_ = true;
    log_file_.reset();
    name_.clear();
    folder_.clear();
  }
  track_rows_ = 0;
  rows_since_flush_ = 0;
  prune_pending_ = false;
  // No record yet, so nothing echoes into one: the line goes straight to the log.
  auto give_up = [this](const std::string& why) {
    log_.Log(kLogNormal, kFailedLine, why.c_str());
    return std::string();
  };

  const std::string races = files_.RacesFolder();
  if (races.empty()) return give_up("the pilot's data folder is unknown");
  if (files_.CreateFolder(races) == FolderCreation::kFailed) return give_up("cannot make the folder " + races);
  const int64_t started = now_utc_();
  std::string name;
  std::string folder;
  FolderCreation made = FolderCreation::kExists;
  for (int n = 1; n < 100 && made == FolderCreation::kExists; ++n) {
    name = RaceRecordName(started, n);
    folder = files_.Join(races, name);
    made = files_.CreateFolder(folder);
  }
  if (made != FolderCreation::kCreated) return give_up("cannot make the folder " + folder);

  if (!WriteTextFile(files_.Join(folder, "race.txt"), RaceText(facts, started, reference_set_))) {
    return give_up("cannot write race.txt in " + folder);
  }
  if (!WriteTextFile(files_.Join(folder, "course.txt"), facts.course_text + "\n")) {
    return give_up("cannot write course.txt in " + folder);
  }
  track_ = files_.Open(files_.Join(folder, "track.csv"), "wb");
  if (!track_ || std::fputs(kTrackHeaderLine, track_.get()) < 0) {
    track_.reset();
    return give_up("cannot write track.csv in " + folder);
  }
  UniqueFile log_file = files_.Open(files_.Join(folder, "log.txt"), "wb");
  if (!log_file) {
    track_.reset();
    return give_up("cannot write log.txt in " + folder);
  }
  {
    ScopedCriticalSection hold(lock_);
    name_ = name;
    folder_ = folder;
    log_file_ = std::move(log_file);
    failed_ = false;
  }
  prune_pending_ = true;
  return name;
}

void RaceRecords::BeginTrack() {
  if (!prune_pending_) return;
  prune_pending_ = false;
  Prune();
}

bool RaceRecords::HoldsUnsentResults(const std::string& folder) {
  UniqueFile file = files_.Open(files_.Join(folder, "results.txt"), "rb");
  if (!file) return false;
  std::string text;
  char buffer[4096];
  std::size_t got;
  while ((got = std::fread(buffer, 1, sizeof(buffer), file.get())) > 0 && text.size() < 64 * 1024) {
    text.append(buffer, got);
  }
  // The last status line holds; a file with none is results being kept.
  std::string status = "pending";
  for (std::size_t at = text.find("status="); at != std::string::npos; at = text.find("status=", at + 1)) {
    if (at != 0 && text[at - 1] != '\n') continue;
    std::size_t end = text.find_first_of("\r\n", at);
    status = text.substr(at + 7, end == std::string::npos ? std::string::npos : end - at - 7);
  }
  return status == "pending" || status == "unsent";
}

void RaceRecords::Prune() {
  const std::string races = files_.RacesFolder();
  std::vector<std::string> names;
  if (!files_.ListFolders(races, names)) return;
  names.erase(std::remove_if(names.begin(), names.end(),
                             [](const std::string& name) { return !ParseRaceRecordName(name, nullptr); }),
              names.end());
  if (names.size() <= static_cast<std::size_t>(kRaceRecordsKept)) return;
  // By the start written inside each record; a folder's name can be copied or changed.
  SortRecordsOldestFirst(files_, races, names);
  std::size_t extra = names.size() - kRaceRecordsKept;
  const std::string current = current_name();
  // Oldest first; never the race being recorded (it sorts oldest after the
  // clock was set back), nor results that have still to reach the server.
  for (std::size_t i = 0; i < names.size() && extra > 0; ++i) {
    const std::string folder = files_.Join(races, names[i]);
    if (names[i] == current || HoldsUnsentResults(folder)) continue;
    files_.RemoveTree(folder);
    --extra;
  }
}

void RaceRecords::RecordCycle(const TrackSample& sample) {
  if (!track_ || failed_.load(std::memory_order_relaxed)) return;
  if (track_rows_ == kTrackRowsMax) {
    track_.reset();
    log_.LogText(kLogNormal, kTrackStoppedLine);
    return;
  }
  char row[160];
  const int length = std::snprintf(row, sizeof(row), "%" PRId64 ",%" PRId64 ",%" PRId64 ",%" PRId64 ",%d,%d,%u,%d\n",
                                   sample.counter, sample.lat_raw, sample.lon_raw, sample.alt_raw,
                                   static_cast<int>(sample.rate_raw), static_cast<int>(sample.crash),
                                   static_cast<unsigned>(sample.slew), sample.paused ? 1 : 0);
  bool written = length > 0 && std::fwrite(row, 1, static_cast<std::size_t>(length), track_.get()) ==
                                   static_cast<std::size_t>(length);
  ++track_rows_;
  if (written && ++rows_since_flush_ >= kTrackRowsPerFlush) {
    rows_since_flush_ = 0;
    written = std::fflush(track_.get()) == 0;
  }
  if (!written) {
    track_.reset();
    Fail("cannot write track.csv");
  }
}

void RaceRecords::EndTrack() {
  if (!track_) return;
  const bool written = std::fflush(track_.get()) == 0;
  rows_since_flush_ = 0;
  if (!written) {
    track_.reset();
    Fail("cannot write track.csv");
  }
}

void RaceRecords::Echo(const std::string& message) {
  if (failed_.load()) return;
  bool written = true;
  {
    ScopedCriticalSection hold(lock_);
    if (!log_file_ || failed_.load()) return;
    written = std::fwrite(message.data(), 1, message.size(), log_file_.get()) == message.size() &&
              std::fflush(log_file_.get()) == 0;
    if (!written) log_file_.reset();
  }
  if (!written) Fail("cannot write log.txt");
}

}  // namespace volantis
