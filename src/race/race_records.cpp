#include "race/race_records.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <utility>
#include <vector>

#include "platform/text_format.h"
#include "platform/utc_time.h"
#include "race/race_log_source.h"
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

RaceRecords::~RaceRecords() {
  bool running = false;
  {
    ScopedCriticalSection hold(queue_lock_);
    stopping_ = true;
    running = writer_ == WriterState::kRunning;
  }
  work_.Set();
  if (running) {
    while (writer_done_.Wait(1000) == WaitResult::kTimeout) {
    }
  }
}

bool RaceRecords::StartWriter(const StartThread& start, CancelSignal& end, std::function<bool()> others_done) {
  {
    ScopedCriticalSection hold(queue_lock_);
    if (writer_ != WriterState::kNone) return writer_ == WriterState::kRunning;
    writer_ = WriterState::kRunning;
    end_ = &end;
    others_done_ = std::move(others_done);
  }
  writer_done_.Reset();
  wake_on_end_ = end.OnCancel([this] { work_.Set(); });
  if (start([this] { WriterLoop(); })) return true;
  ScopedCriticalSection hold(queue_lock_);
  writer_ = WriterState::kGone;  // nothing is recorded rather than written on the callers' threads
  queue_.clear();
  writer_done_.Set();
  return false;
}

void RaceRecords::WriterLoop() {
  for (;;) {
    std::deque<Item> batch;
    bool stopping = false;
    {
      ScopedCriticalSection hold(queue_lock_);
      batch.swap(queue_);
      queued_rows_ = 0;
      stopping = stopping_;
    }
    for (Item& item : batch) {
      Outcome outcome;
      Process(item, outcome);
      Report(outcome);
    }
    const bool ending = stopping || end_->cancelled();
    if (!ending) {
      work_.Wait(1000);
      continue;
    }
    bool empty = false;
    {
      ScopedCriticalSection hold(queue_lock_);
      empty = queue_.empty();
    }
    // What another thread may still hand over at the end (the monitor's last
    // rows, a submission's lines) is written too.
    if (empty && (stopping || !others_done_ || others_done_())) break;
    work_.Wait(10);
  }
  CloseRecord();
  {
    ScopedCriticalSection hold(queue_lock_);
    writer_ = WriterState::kGone;
    queue_.clear();
  }
  writer_done_.Set();  // the last touch of this object
}

void RaceRecords::Push(Item item) {
  {
    ScopedCriticalSection hold(queue_lock_);
    if (writer_ == WriterState::kGone) return;
    if (writer_ == WriterState::kRunning) {
      const bool row = item.kind == Kind::kRow;
      if (row && queued_rows_ >= queue_limit_) {
        // The disk has stalled for longer than the queue holds: the monitor never waits.
        if (dropping_++ == 0) drop_first_ = item.sample.counter;
        drop_last_ = item.sample.counter;
        ++dropped_total_;
        return;
      }
      if (dropping_ > 0 && (row || item.kind == Kind::kEndTrack || item.kind == Kind::kBegin)) {
        Item gap;
        gap.kind = Kind::kGap;
        gap.gap_rows = dropping_;
        gap.gap_first = drop_first_;
        gap.gap_last = drop_last_;
        queue_.push_back(std::move(gap));
        dropping_ = 0;
      }
      if (row) ++queued_rows_;
      queue_.push_back(std::move(item));
      work_.Set();
      return;
    }
  }
  // No writer: the caller does the work itself (a tool, a test).
  Outcome outcome;
  {
    ScopedCriticalSection hold(inline_lock_);
    Process(item, outcome);
  }
  Report(outcome);
}

void RaceRecords::Report(const Outcome& outcome) {
  if (!outcome.notice.empty()) log_.LogText(kLogNormal, outcome.notice);
  if (!outcome.failure.empty()) Fail(outcome.failure);
}

std::string RaceRecords::FolderOf(const std::string& name) {
  const std::string races = files_.RacesFolder();
  return races.empty() ? std::string() : files_.Join(races, name);
}

std::string RaceRecords::current_name() {
  ScopedCriticalSection hold(name_lock_);
  return failed_.load() ? std::string() : name_;
}

bool RaceRecords::NotOurs(const std::string& name) {
  ScopedCriticalSection hold(name_lock_);
  return not_ours_.count(name) != 0;
}

bool RaceRecords::WaitWritten(uint32_t milliseconds) {
  Item mark;
  mark.kind = Kind::kMark;
  mark.mark = std::make_shared<Event>(true, false);
  std::shared_ptr<Event> written = mark.mark;
  {
    ScopedCriticalSection hold(queue_lock_);
    if (writer_ != WriterState::kRunning) return true;
  }
  Push(std::move(mark));
  return written->Wait(milliseconds) == WaitResult::kSignaled;
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
  // The name is taken here, without a file call: races of the same second
  // are told apart by their number.
  const int64_t started = now_utc_();
  reserved_n_ = started == reserved_started_ ? reserved_n_ + 1 : 1;
  reserved_started_ = started;
  Item begin;
  begin.kind = Kind::kBegin;
  begin.text = RaceRecordName(started, reserved_n_);
  begin.started = started;
  begin.facts = std::make_shared<RaceRecordFacts>(facts);
  const std::string name = begin.text;
  bool inline_work = false;
  {
    ScopedCriticalSection hold(queue_lock_);
    inline_work = writer_ == WriterState::kNone;
    if (writer_ == WriterState::kGone) return std::string();
  }
  Push(std::move(begin));
  // Done at once without a writer: the outcome is known.
  if (inline_work) return current_name();
  return name;
}

void RaceRecords::BeginTrack() {
  Item prune;
  prune.kind = Kind::kPrune;
  Push(std::move(prune));
}

void RaceRecords::RecordCycle(const TrackSample& sample) {
  Item row;
  row.sample = sample;
  Push(std::move(row));
}

void RaceRecords::EndTrack() {
  Item end;
  end.kind = Kind::kEndTrack;
  Push(std::move(end));
}

void RaceRecords::KeepResults(const RaceResults& results) {
  if (results.record_name.empty()) return;
  Item keep;
  keep.kind = Kind::kKeep;
  keep.results = std::make_shared<RaceResults>(results);
  Push(std::move(keep));
}

void RaceRecords::Echo(const std::string& message) {
  const RaceLogSource source = CurrentRaceLogSource();
  if (source.kind == RaceLogSourceKind::kNoRecord) return;
  Item line;
  line.kind = Kind::kLine;
  line.text = message;
  if (source.kind == RaceLogSourceKind::kRecord) line.record = source.record;
  Push(std::move(line));
}

void RaceRecords::Process(Item& item, Outcome& outcome) {
  switch (item.kind) {
    case Kind::kBegin:
      DoBegin(item, outcome);
      break;
    case Kind::kPrune:
      Prune();
      break;
    case Kind::kRow:
      DoRow(item.sample, outcome);
      break;
    case Kind::kEndTrack:
      DoEndTrack(outcome);
      break;
    case Kind::kLine:
      DoLine(item, outcome);
      break;
    case Kind::kKeep: {
      std::string name;
      {
        ScopedCriticalSection hold(name_lock_);
        name = name_;
      }
      if (keeper_ && facts_ && !name.empty() && name == item.results->record_name) keeper_(*item.results, *facts_);
      break;
    }
    case Kind::kGap:
      DoGap(item);
      break;
    case Kind::kMark:
      item.mark->Set();
      break;
  }
}

void RaceRecords::CloseRecord() {
  if (track_) std::fflush(track_.get());
  track_.reset();
  log_file_.reset();
}

void RaceRecords::DoBegin(const Item& item, Outcome& outcome) {
  // The record of the race before ends here; what it buffered is written.
  CloseRecord();
  failed_ = true;
  last_begun_ = item.text;
  {
    ScopedCriticalSection hold(name_lock_);
    name_.clear();
  }
  folder_.clear();
  facts_.reset();
  track_rows_ = 0;
  rows_since_flush_ = 0;
  // No record yet, so nothing echoes into one: the line is said even though
  // no record was ever taken as failed.
  auto give_up = [&outcome](const std::string& why) { outcome.notice = FormatText(kFailedLine, why.c_str()); };

  const std::string races = files_.RacesFolder();
  if (races.empty()) return give_up("the pilot's data folder is unknown");
  if (files_.CreateFolder(races) == FolderCreation::kFailed) return give_up("cannot make the folder " + races);
  const std::string& name = item.text;
  const std::string folder = files_.Join(races, name);
  const FolderCreation made = files_.CreateFolder(folder);
  if (made == FolderCreation::kExists) {
    ScopedCriticalSection hold(name_lock_);
    not_ours_.insert(name);
  }
  if (made == FolderCreation::kExists) return give_up("the folder " + folder + " is there already");
  if (made != FolderCreation::kCreated) return give_up("cannot make the folder " + folder);

  if (!WriteTextFile(files_.Join(folder, "race.txt"), RaceText(*item.facts, item.started, reference_set_))) {
    return give_up("cannot write race.txt in " + folder);
  }
  if (!WriteTextFile(files_.Join(folder, "course.txt"), item.facts->course_text + "\n")) {
    return give_up("cannot write course.txt in " + folder);
  }
  track_ = files_.Open(files_.Join(folder, "track.csv"), "wb");
  if (!track_ || std::fputs(kTrackHeaderLine, track_.get()) < 0) {
    track_.reset();
    return give_up("cannot write track.csv in " + folder);
  }
  log_file_ = files_.Open(files_.Join(folder, "log.txt"), "wb");
  if (!log_file_) {
    track_.reset();
    return give_up("cannot write log.txt in " + folder);
  }
  folder_ = folder;
  facts_ = item.facts;
  {
    ScopedCriticalSection hold(name_lock_);
    name_ = name;
  }
  failed_ = false;
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
  if (races.empty() || !files_.ListFolders(races, names)) return;
  names.erase(std::remove_if(names.begin(), names.end(),
                             [](const std::string& name) { return !ParseRaceRecordName(name, nullptr); }),
              names.end());
  if (names.size() <= static_cast<std::size_t>(kRaceRecordsKept)) return;
  // By the start written inside each record; a folder's name can be copied or changed.
  SortRecordsOldestFirst(files_, races, names);
  std::size_t extra = names.size() - kRaceRecordsKept;
  std::string current;
  {
    ScopedCriticalSection hold(name_lock_);
    current = name_;
  }
  // Oldest first; never the race being recorded (it sorts oldest after the
  // clock was set back), nor results that have still to reach the server.
  // The module's end stops it between two records.
  for (std::size_t i = 0; i < names.size() && extra > 0; ++i) {
    if (end_ != nullptr && end_->cancelled()) return;
    const std::string folder = files_.Join(races, names[i]);
    if (names[i] == current || HoldsUnsentResults(folder)) continue;
    files_.RemoveTree(folder);
    --extra;
  }
}

void RaceRecords::DoRow(const TrackSample& sample, Outcome& outcome) {
  if (!track_ || failed_.load()) return;
  if (track_rows_ == kTrackRowsMax) {
    track_.reset();
    outcome.notice = kTrackStoppedLine;
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
    outcome.failure = "cannot write track.csv";
  }
}

void RaceRecords::DoEndTrack(Outcome& outcome) {
  if (!track_) return;
  const bool written = std::fflush(track_.get()) == 0;
  rows_since_flush_ = 0;
  if (!written) {
    track_.reset();
    outcome.failure = "cannot write track.csv";
  }
}

void RaceRecords::DoLine(const Item& item, Outcome& outcome) {
  std::string current;
  {
    ScopedCriticalSection hold(name_lock_);
    current = name_;
  }
  if (item.record.empty() || item.record == current || item.record == last_begun_) {
    if (!log_file_ || failed_.load()) return;
    const bool written = std::fwrite(item.text.data(), 1, item.text.size(), log_file_.get()) == item.text.size() &&
                         std::fflush(log_file_.get()) == 0;
    if (!written) {
      log_file_.reset();
      outcome.failure = "cannot write log.txt";
    }
    return;
  }
  // A line of an earlier race (its submission goes on after a new race began):
  // to that race's own log, if its record is there.
  const std::string races = files_.RacesFolder();
  if (races.empty() || !ParseRaceRecordName(item.record, nullptr)) return;
  UniqueFile file = files_.Open(files_.Join(files_.Join(races, item.record), "log.txt"), "ab");
  if (file) std::fwrite(item.text.data(), 1, item.text.size(), file.get());
}

void RaceRecords::DoGap(const Item& item) {
  if (!log_file_ || failed_.load()) return;
  const std::string text = FormatText(kRowsDroppedText, static_cast<long long>(item.gap_rows),
                                      static_cast<long long>(item.gap_first), static_cast<long long>(item.gap_last));
  std::fwrite(text.data(), 1, text.size(), log_file_.get());
  std::fflush(log_file_.get());
}

}  // namespace volantis
