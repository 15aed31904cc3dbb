#pragma once
// What one replay reads: a race record's folder (its course, track and the
// options the race ran with, the command line's options over them) or a COURSE
// and a TRACK; and the replay of it with everything kept for the reports.
#include <string>
#include <vector>

#include "race_record.h"
#include "replay.h"
#include "replay_args.h"
#include "replay_report.h"
#include "track_csv.h"

namespace volantis::replay {

struct RaceInput {
  bool from_record = false;
  std::string record_path;  // the record's folder, when from_record
  RaceRecordFiles record;  // when from_record
  std::string course_path;
  std::string track_path;
  std::string course_text;
  std::vector<TrackRow> rows;
  std::string track_note;  // about a torn last row, else empty
  ReplayOptions options;
};

// Reads args.record_path, or args.course_path and args.track_path. False with
// the message for the pilot (naming the file and the line) on bad input.
bool LoadRaceInput(const ReplayArgs& args, RaceInput& input, std::string& error);

// One race replayed and analysed, nothing written.
struct AnalysedRace {
  std::string name;   // the record's folder name, or the TRACK's path
  std::string pilot;  // the record's player, empty without a record
  std::string started;  // the record's "started", empty without a record
  RaceInput input;
  RaceResults results;
  RaceReport report;
};

// Loads the course and replays the input; false with a message naming the course
// when it cannot be loaded. The track's rows are released afterwards.
bool AnalyseInput(RaceInput input, AnalysedRace& race, std::string& error);

// The folder's last name: "b" for "a/b/" or "a/b".
std::string LastName(const std::string& path);

}  // namespace volantis::replay
