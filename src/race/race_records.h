#pragma once
// The race records in the pilot's data folder: every race that starts gets a
// folder (see race_record_names.h) with what it depended on (race.txt), its
// course (course.txt), every monitor cycle (track.csv) and the race's own Log
// window lines (log.txt); the results are kept in results.txt from the finish
// on. Only the newest kRaceRecordsKept records stay (see Prune).
//
// Recording never stands in the race's way: a folder that cannot be made or a
// file that cannot be written costs one line in the race log, and the race is
// judged and submitted as usual without a record.
//
// One writer thread does every file call (StartWriter): the monitor, the Log
// window and the user-interface thread only hand their rows, lines and races
// to a queue, and no lock of theirs is held while a file call runs. The queue
// holds kQueuedRowsMax track rows; beyond that (the disk has stalled for that
// long) rows are dropped and counted, and log.txt says how many and where once
// the writer catches up. Lines, races and results are never dropped. Until a
// writer is started (a tool or a test that runs the race itself), every call
// does its file work at once on the caller's thread.
//
// The writer watches the module's end: it then writes what was handed to it,
// and ends once the queue is empty and nothing else can hand it more.
#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <set>
#include <string>

#include "core/log_window.h"
#include "platform/cancel_signal.h"
#include "platform/record_files.h"
#include "platform/sync.h"
#include "race/race_recorder.h"

namespace volantis {

inline constexpr int kRaceRecordsKept = 100;
// Six hours of 40 ms cycles.
inline constexpr int64_t kTrackRowsMax = 6 * 3600 * 25;
// A crash loses at most this many cycles of the track (one second).
inline constexpr int kTrackRowsPerFlush = 25;
// A minute of 40 ms cycles waits for a stalled disk before rows are dropped.
inline constexpr int64_t kQueuedRowsMax = 60 * 25;

inline constexpr const char* kTrackStoppedLine =
    "The race record keeps 6 hours of the track; the rest of this race is judged but not recorded.\n";
// Written to log.txt (not shown) when the writer catches up after rows were dropped.
inline constexpr const char* kRowsDroppedText =
    "The race record lost %lld track rows, counters %lld to %lld: the disk did not keep up.\n";

// Keeps a finished race's results in its record (on the writer thread): the
// results and what the race depended on.
using ResultsKeeper = std::function<void(const RaceResults& results, const RaceRecordFacts& facts)>;

// How the writer thread is started (through the module's worker group in the module).
using StartThread = std::function<bool(std::function<void()> body)>;

class RaceRecords : public RaceRecorder, public LogEcho {
 public:
  // log: where the one line about a failed record goes (the race log).
  RaceRecords(RecordFiles& files, LogSink& log, std::string reference_set,
              std::function<int64_t()> now_utc = nullptr);
  // Waits for a writer that still runs (in the module, every worker has ended
  // before this object goes).
  ~RaceRecords() override;
  RaceRecords(const RaceRecords&) = delete;
  RaceRecords& operator=(const RaceRecords&) = delete;

  // Starts the writer thread, once. After end is set it writes what is queued
  // and ends once the queue is empty and others_done() is true (nothing else
  // can hand it work). False when the thread could not start: the files are
  // then left alone (nothing is recorded) rather than written by the caller.
  bool StartWriter(const StartThread& start, CancelSignal& end, std::function<bool()> others_done);
  // Set before the first race; none: results are not kept at the finish.
  void SetResultsKeeper(ResultsKeeper keeper) { keeper_ = std::move(keeper); }

  std::string BeginRace(const RaceRecordFacts& facts) override;
  void BeginTrack() override;
  void RecordCycle(const TrackSample& sample) override;
  void EndTrack() override;
  void KeepResults(const RaceResults& results) override;
  // A line of the race log, for the record of the thread's race (race_log_source.h).
  void Echo(const std::string& message) override;

  // The folder of the record called name ("" when the data folder is unknown).
  std::string FolderOf(const std::string& name);
  // The name of the race being recorded, empty when none (as far as the writer has come).
  std::string current_name();
  // Whether name's folder was there already when its race began (another
  // module sharing the data folder made it): that record is not this race's.
  bool NotOurs(const std::string& name);
  // Until everything handed over so far is written; false after milliseconds.
  bool WaitWritten(uint32_t milliseconds);
  // Tests only: the queue's room for rows, kQueuedRowsMax in the product.
  void SetQueueLimitForTesting(int64_t rows) { queue_limit_ = rows; }
  // Track rows dropped because the queue was full, in all.
  int64_t dropped_rows() const { return dropped_total_.load(); }

 private:
  enum class Kind { kBegin, kPrune, kRow, kEndTrack, kLine, kKeep, kGap, kMark };
  struct Item {
    Kind kind = Kind::kRow;
    TrackSample sample;
    std::string text;    // kBegin: the record's name; kLine: the line
    std::string record;  // kLine: the record it goes to, empty for the race being recorded
    int64_t started = 0;
    int64_t gap_rows = 0, gap_first = 0, gap_last = 0;
    std::shared_ptr<RaceRecordFacts> facts;
    std::shared_ptr<RaceResults> results;
    std::shared_ptr<Event> mark;
  };

  // What an item's file work has to say, said once no lock is held.
  struct Outcome {
    std::string notice;   // a line for the race log
    std::string failure;  // why the record is given up
  };
  enum class WriterState { kNone, kRunning, kGone };

  void Push(Item item);
  void WriterLoop();
  // The file work of one item; on the writer thread, or the caller's before a
  // writer runs (under inline_lock_).
  void Process(Item& item, Outcome& outcome);
  void Report(const Outcome& outcome);
  void DoBegin(const Item& item, Outcome& outcome);
  void DoRow(const TrackSample& sample, Outcome& outcome);
  void DoEndTrack(Outcome& outcome);
  void DoLine(const Item& item, Outcome& outcome);
  void DoGap(const Item& item);
  void CloseRecord();
  bool WriteTextFile(const std::string& path, const std::string& text);
  void Prune();
  // Whether the record in folder keeps results that are pending or unsent.
  bool HoldsUnsentResults(const std::string& folder);
  // Gives up the current record with one line in the race log, once per
  // record. Called with no lock held: the log echoes into this object.
  void Fail(const std::string& why);

  RecordFiles& files_;
  LogSink& log_;
  const std::string reference_set_;
  std::function<int64_t()> now_utc_;
  ResultsKeeper keeper_;

  // The queue: any thread, under queue_lock_ (never held across a file call).
  CriticalSection queue_lock_;
  std::deque<Item> queue_;
  int64_t queued_rows_ = 0;
  int64_t queue_limit_ = kQueuedRowsMax;
  int64_t dropping_ = 0;  // rows dropped since the last one queued
  int64_t drop_first_ = 0, drop_last_ = 0;
  WriterState writer_ = WriterState::kNone;
  bool stopping_ = false;  // the destructor asks the writer to end
  Event work_{false, false};
  Event writer_done_{true, true};
  CancelSignal* end_ = nullptr;
  CancelSignal::AbortRegistration wake_on_end_;
  std::function<bool()> others_done_;
  std::atomic<int64_t> dropped_total_{0};

  // What the user-interface thread reserved: the last record's start and number.
  int64_t reserved_started_ = -1;
  int reserved_n_ = 0;

  // Before a writer runs: one caller's file work at a time.
  CriticalSection inline_lock_;

  // The writer's side: the writer thread only (or under inline_lock_).
  std::string folder_;
  std::string last_begun_;  // the newest race's record, made or not
  UniqueFile log_file_;
  UniqueFile track_;
  std::shared_ptr<RaceRecordFacts> facts_;
  int64_t track_rows_ = 0;
  int rows_since_flush_ = 0;
  std::atomic<bool> failed_{true};  // no record until a race begins

  CriticalSection name_lock_;
  std::string name_;  // the record being written (under name_lock_)
  std::set<std::string> not_ours_;  // under name_lock_
};

}  // namespace volantis
