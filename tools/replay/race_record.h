#pragma once
// A race record's folder as the replay reads it (see docs/race-record.md):
// course.txt and track.csv are the COURSE and TRACK, race.txt gives the clock
// offset, the counter's frequency and the sound switches, log.txt and
// results.txt say what happened.
#include <string>

#include "replay.h"

namespace volantis::replay {

struct RaceRecordFiles {
  std::string course_path;  // course.txt in the folder
  std::string track_path;   // track.csv in the folder
  ReplayOptions options;    // race.txt's values over the defaults
  std::string started;      // race.txt's "started", e.g. "2026-12-10 16:40:05 UTC"; empty when missing
  std::string player;       // race.txt's "player"
  std::string log_text;     // log.txt
  bool results_recorded = false;
  std::string results_text;  // results.txt, when results_recorded
};

// Puts race.txt's clock_offset, frequency and sounds over options. A missing key
// leaves its value; other keys and blank lines are ignored; a line may end in a
// carriage return. False with a message naming the line for a malformed value
// or a line that is not key=value.
bool ReadRaceText(const std::string& text, ReplayOptions& options, std::string& error);
// The same, also keeping "started" and "player".
bool ReadRaceText(const std::string& text, RaceRecordFiles& record, std::string& error);

// Reads race.txt, log.txt and results.txt (which may be missing) and names
// course.txt and track.csv, which the caller reads as COURSE and TRACK.
bool ReadRaceRecord(const std::string& folder, RaceRecordFiles& record, std::string& error);

}  // namespace volantis::replay
