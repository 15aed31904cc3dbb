#pragma once
// What the monitor hands to the race record: the facts a race depends on when it
// starts, and every cycle's raw readings of the host's memory.
#include <cstdint>
#include <string>

#include "race/race_results.h"

namespace volantis {

// What a race depended on: enough to judge it again from its track.
struct RaceRecordFacts {
  std::string server_ip;
  int32_t server_port = 0;
  std::string player_name;
  double clock_offset = 0;  // local clock minus the server's, seconds
  int64_t frequency = 0;    // counts per second of the counter
  std::string version;
  bool sound_cross = false;
  bool sound_skip = false;
  bool sound_end = false;
  std::string course_text;  // the race start info as received
  double best_round_trip = 0;  // seconds, from the last time synchronisation (not in race.txt)
};

// One monitor cycle's readings, raw as they are in the host's memory.
struct TrackSample {
  int64_t counter = 0;  // the counter every read of the cycle returned
  int64_t lat_raw = 0;
  int64_t lon_raw = 0;
  int64_t alt_raw = 0;
  int16_t rate_raw = 256;
  int8_t crash = 1;
  uint16_t slew = 0;
  bool paused = false;  // the cycle took no sample; the values are the last read
};

// Every call returns at once: the files are the business of the recorder's
// own writer, never of the caller's thread.
class RaceRecorder {
 public:
  virtual ~RaceRecorder() = default;
  // A race starts (user-interface thread, no monitor running). Returns the
  // record's name, empty when there is none.
  virtual std::string BeginRace(const RaceRecordFacts& facts) = 0;
  // The monitor starts (on its thread, before its first cycle): the place for
  // whatever upkeep of the records may take a while.
  virtual void BeginTrack() = 0;
  // Every cycle of the monitor, on its thread.
  virtual void RecordCycle(const TrackSample& sample) = 0;
  // The monitor ends (on its thread): what is buffered is written.
  virtual void EndTrack() = 0;
  // The race is finished (monitor thread, before Race Finished is posted):
  // its results are kept in its record before anything else is done with them.
  virtual void KeepResults(const RaceResults& results) = 0;
};

}  // namespace volantis
