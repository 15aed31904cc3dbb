#pragma once
// The race records in the pilot's data folder: every race that starts gets a
// folder (see race_record_names.h) with what it depended on (race.txt), its
// course (course.txt), every monitor cycle (track.csv) and the Log window's
// lines from its start on (log.txt); the results submission adds results.txt.
// Only the newest kRaceRecordsKept records stay.
//
// Recording never stands in the race's way: a folder that cannot be made or a
// file that cannot be written costs one line in the race log, and the race is
// judged and submitted as usual without a record.
//
// Threads: BeginRace on the user-interface thread while no monitor runs (it
// only makes the record's files); BeginTrack (which removes the records beyond
// the newest kRaceRecordsKept), RecordCycle and EndTrack on the monitor thread;
// Echo on any thread.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "core/log_window.h"
#include "platform/record_files.h"
#include "platform/sync.h"
#include "race/race_recorder.h"

namespace volantis {

inline constexpr int kRaceRecordsKept = 100;
// Six hours of 40 ms cycles.
inline constexpr int64_t kTrackRowsMax = 6 * 3600 * 25;
// A crash loses at most this many cycles of the track (one second).
inline constexpr int kTrackRowsPerFlush = 25;

inline constexpr const char* kTrackStoppedLine =
    "The race record keeps 6 hours of the track; the rest of this race is judged but not recorded.\n";

class RaceRecords : public RaceRecorder, public LogEcho {
 public:
  // log: where the one line about a failed record goes (the race log).
  RaceRecords(RecordFiles& files, LogSink& log, std::string reference_set,
              std::function<int64_t()> now_utc = nullptr);
  ~RaceRecords() override;
  RaceRecords(const RaceRecords&) = delete;
  RaceRecords& operator=(const RaceRecords&) = delete;

  std::string BeginRace(const RaceRecordFacts& facts) override;
  void BeginTrack() override;
  void RecordCycle(const TrackSample& sample) override;
  void EndTrack() override;
  void Echo(const std::string& message) override;

  // The folder of the record called name ("" when the data folder is unknown).
  std::string FolderOf(const std::string& name);
  // The name of the race being recorded, empty when none.
  std::string current_name();

 private:
  bool WriteTextFile(const std::string& path, const std::string& text);
  void Prune();
  // Whether the record in folder keeps results that are pending or unsent.
  bool HoldsUnsentResults(const std::string& folder);
  // Gives up the current record with one line in the race log, once per record.
  // Never called while lock_ is held: the log echoes into this object.
  void Fail(const std::string& why);

  RecordFiles& files_;
  LogSink& log_;
  const std::string reference_set_;
  std::function<int64_t()> now_utc_;

  // The log file and the record's name: any thread, under lock_.
  CriticalSection lock_;
  std::string name_;
  std::string folder_;
  UniqueFile log_file_;
  std::atomic<bool> failed_{true};  // no record until a race begins

  // The track: the monitor thread only (and BeginRace, when no monitor runs).
  UniqueFile track_;
  int64_t track_rows_ = 0;
  int rows_since_flush_ = 0;
  bool prune_pending_ = false;  // set by BeginRace, done by BeginTrack
};

}  // namespace volantis
