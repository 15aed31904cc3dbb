#pragma once
// What one replay reads: a race record's folder (its course, track and the
// options the race ran with, the command line's options over them) or a COURSE
// and a TRACK; and the replay of it with everything kept for the reports.
#include <string>
#include <vector>

#include "local_projection.h"
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
  ReplayOptions options;
};

// Reads args.record_path (its race.txt, log.txt, results.txt), or takes
// args.course_path and args.track_path; reads the course and makes sure the track
// can be opened (its rows are read while they are replayed). False with the
// message for the pilot on bad input.
bool LoadRaceInput(const ReplayArgs& args, RaceInput& input, std::string& error);

// Replays the input's track, reading it row by row, with what the request asks
// for. False with the message (naming the line and the field) when a row of the
// track is bad, anywhere in it: the replay's output is then to be dropped. A torn
// last row is left out and said in `track_note`.
bool ReplayInput(AppSettings& settings, const RaceInput& input, const ReportRequest& request, std::ostream& out,
                 std::string& map_svg, RaceResults& results, std::string& track_note, std::string& error);

// One race replayed and analysed, nothing written.
struct AnalysedRace {
  std::string name;   // the record's folder name, or the TRACK's path
  std::string pilot;  // the record's player, empty without a record
  std::string started;  // the record's "started", empty without a record
  RaceInput input;
  RaceResults results;
  RaceReport report;
  // Set by ThinForComparison, which then lets the trace's samples go: the track
  // from the sample before the start, thinned to what a map can show, and where
  // each skipped gate was passed closest (parallel to the explanation's skips).
  bool thinned = false;
  std::vector<GeoPoint> map_track;
  std::vector<GeoPoint> map_skips;
};

// Loads the course and replays the input; false with the message for bad input.
bool AnalyseInput(RaceInput input, AnalysedRace& race, std::string& error);

// The folder's last name: "b" for "a/b/" or "a/b".
std::string LastName(const std::string& path);

}  // namespace volantis::replay
