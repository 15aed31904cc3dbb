#pragma once
// Re-judges a recorded flight through the monitor's own sampling cycle and the
// judge, and writes what happened as lines of text:
//   LOG <each shown Log line as logged>
//   SOUND <resource name>
//   POST <command>
//   RESULT moved_too_fast=..&cheated_crash_detect=..&slewed=..&cheated_sim_rate=..&lap_times=..&lap_skips=..&race_time=..&finish_secs=..
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "core/app_settings.h"
#include "race/race_results.h"
#include "race/race_state.h"
#include "track_csv.h"

namespace volantis::replay {

struct ReplayOptions {
  double clock_offset = 0;       // seconds, local clock minus the server's
  int64_t frequency = 10000000;  // counts per second of the recorded counter
  bool sound_cross = true;
  bool sound_skip = true;
  bool sound_end = true;
};

// Loads race start info text with the validation exchange's loader. False with a
// message when it holds nothing a race could be flown on (no entries, no gate,
// no lap).
bool LoadCourse(const std::string& text, AppSettings& settings, std::string& error);

// Watches the replay cycle by cycle, to explain afterwards what the judge did;
// it sees the race state and changes nothing.
class CycleObserver {
 public:
  virtual ~CycleObserver() = default;
  // Around every fed cycle; row_index counts the rows from 0.
  virtual void BeforeCycle(std::size_t row_index, const TrackRow& row, const RaceState& state) = 0;
  virtual void AfterCycle(std::size_t row_index, const TrackRow& row, const RaceState& state) = 0;
};

// Feeds one monitor cycle per row, from a freshly reset race state, until the
// cycle that posts the race-finished command; then writes the RESULT line.
// Returns the results as submitted.
RaceResults ReplayTrack(AppSettings& settings, const ReplayOptions& options, const std::vector<TrackRow>& rows,
                        std::ostream& out, CycleObserver* observer = nullptr);
// The same, taking the rows one at a time; the rows after the finish are not taken.
RaceResults ReplayTrack(AppSettings& settings, const ReplayOptions& options, RowSource& rows, std::ostream& out,
                        CycleObserver* observer = nullptr);

struct ResultField {
  std::string name;
  std::string value;
};
// The results' fields in the RESULT line's order, each value formatted as the
// results submission formats it.
std::vector<ResultField> ResultFields(const RaceResults& results);
// The RESULT line's values: name=value joined by '&'.
std::string ResultQuery(const RaceResults& results);

}  // namespace volantis::replay
