#include "race_input.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

#include "race_analysis.h"
#include "text_file.h"

namespace volantis::replay {

bool LoadRaceInput(const ReplayArgs& args, RaceInput& input, std::string& error) {
  input.from_record = !args.record_path.empty();
  input.record_path = args.record_path;
  input.options = args.options;
  input.course_path = args.course_path;
  input.track_path = args.track_path;
  if (input.from_record) {
    if (!IsFolder(args.record_path)) {
      error = "\"" + args.record_path + "\" is not a race record's folder (or give COURSE and TRACK)";
      return false;
    }
    std::string why;
    if (!ReadRaceRecord(args.record_path, input.record, why)) {
      error = "race record: " + why;
      return false;
    }
    input.course_path = input.record.course_path;
    input.track_path = input.record.track_path;
    input.options = WithGivenOptions(input.record.options, args);
  }
  std::string why;
  if (!ReadTextFile(input.course_path, input.course_text, why)) {
    error = "COURSE: " + why;
    return false;
  }
  std::ifstream track(input.track_path, std::ios::binary);
  if (!track) {
    error = "TRACK: cannot open \"" + input.track_path + "\": " + std::strerror(errno);
    return false;
  }
  return true;
}

bool ReplayInput(AppSettings& settings, const RaceInput& input, const ReportRequest& request, std::ostream& out,
                 std::string& map_svg, RaceResults& results, std::string& track_note, std::string& error) {
  std::ifstream track(input.track_path, std::ios::binary);
  if (!track) {
    error = "TRACK: cannot open \"" + input.track_path + "\": " + std::strerror(errno);
    return false;
  }
  TrackReader reader(track, true);
  results = ReplayWithReport(settings, input.options, reader, request, out, map_svg);
  // The rows after the finish are not judged, but a bad one is still bad input.
  TrackRow rest;
  while (reader.Next(rest)) {
  }
  if (track.bad()) {
    error = "TRACK: cannot read \"" + input.track_path + "\"";
    return false;
  }
  if (reader.failed()) {
    error = "TRACK \"" + input.track_path + "\" " + reader.error();
    return false;
  }
  track_note = reader.note();
  return true;
}

std::string LastName(const std::string& path) {
  std::string trimmed = path;
  while (trimmed.size() > 1 && (trimmed.back() == '/' || trimmed.back() == '\\')) trimmed.pop_back();
  const std::size_t slash = trimmed.find_last_of("/\\");
  return slash == std::string::npos ? trimmed : trimmed.substr(slash + 1);
}

bool AnalyseInput(RaceInput input, AnalysedRace& race, std::string& error) {
  AppSettings settings;
  std::string why;
  if (!LoadCourse(input.course_text, settings, why)) {
    error = "COURSE \"" + input.course_path + "\": " + why;
    return false;
  }
  race.name = input.from_record ? LastName(input.record_path) : input.track_path;
  race.pilot = input.record.player;
  race.started = input.record.started;
  ReportRequest request;
  if (input.from_record) request.started_utc = ParseUtcStamp(input.record.started);
  request.report = &race.report;
  std::ostringstream discarded;
  std::string no_map;
  std::string note;
  if (!ReplayInput(settings, input, request, discarded, no_map, race.results, note, error)) return false;
  race.input = std::move(input);
  return true;
}

}  // namespace volantis::replay
