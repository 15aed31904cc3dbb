// volantis-replay: re-judges a recorded flight for race directors.
#include <cerrno>
#include <cstring>
#include <exception>
#include <fstream>
#include <iostream>
#include <sstream>

#include "race_analysis.h"
#include "race_record.h"
#include "record_check.h"
#include "replay.h"
#include "replay_args.h"
#include "replay_report.h"
#include "text_file.h"

namespace {

constexpr int kBadInput = 2;
constexpr int kRecordDiffers = 1;

int Fail(const std::string& message) {
  std::cerr << "volantis-replay: " << message << '\n';
  return kBadInput;
}

int Run(int argc, char** argv) {
  using namespace volantis::replay;
  ReplayArgs args;
  std::string error;
  if (!ParseReplayArgs(std::vector<std::string>(argv + 1, argv + argc), args, error)) {
    std::cerr << "volantis-replay: " << error << '\n' << kUsage;
    return kBadInput;
  }
  if (args.help) {
    std::cout << kUsage;
    return 0;
  }

  // A race record names its COURSE and TRACK and brings the options the race ran with.
  const bool from_record = !args.record_path.empty();
  RaceRecordFiles record;
  ReplayOptions options = args.options;
  if (from_record) {
    if (!IsFolder(args.record_path)) {
      return Fail("\"" + args.record_path + "\" is not a race record's folder (or give COURSE and TRACK)");
    }
    if (!ReadRaceRecord(args.record_path, record, error)) return Fail("race record: " + error);
    args.course_path = record.course_path;
    args.track_path = record.track_path;
    options = WithGivenOptions(record.options, args);
  }

  std::string course_text;
  if (!ReadTextFile(args.course_path, course_text, error)) return Fail("COURSE: " + error);

  std::string track_text;
  if (!ReadTextFile(args.track_path, track_text, error)) return Fail("TRACK: " + error);
  std::istringstream track_stream(track_text);
  std::vector<TrackRow> rows;
  std::string track_note;
  if (!ParseTrack(track_stream, rows, error, &track_note)) return Fail("TRACK \"" + args.track_path + "\" " + error);

  volantis::AppSettings settings;
  if (!LoadCourse(course_text, settings, error)) return Fail("COURSE \"" + args.course_path + "\": " + error);

  // The map's file is opened before anything is judged, so a bad path writes nothing.
  std::ofstream map_file;
  if (!args.map_path.empty()) {
    map_file.open(args.map_path, std::ios::binary | std::ios::trunc);
    if (!map_file) return Fail("--map: cannot write \"" + args.map_path + "\": " + std::strerror(errno));
  }

  ReportRequest request;
  request.explain = args.explain;
  request.map = !args.map_path.empty();
  request.splits = args.splits || from_record;
  if (from_record) request.started_utc = ParseUtcStamp(record.started);
  std::ostringstream out;
  std::ostringstream splits;  // after the verdict
  request.splits_out = &splits;
  if (!track_note.empty()) out << "NOTE TRACK \"" << args.track_path << "\" " << track_note << '\n';
  std::string map_svg;
  const volantis::RaceResults results = ReplayWithReport(settings, options, rows, request, out, map_svg);
  if (request.map) {
    map_file << map_svg;
    map_file.close();
    if (!map_file) return Fail("--map: cannot write \"" + args.map_path + "\"");
  }
  bool agrees = true;
  if (from_record) {
    const RecordVerdict verdict = CompareWithRecord(out.str(), results, record);
    WriteRecordVerdict(verdict, out);
    agrees = verdict.differences.empty();
  }
  std::cout << out.str() << splits.str() << std::flush;
  if (!std::cout) return 1;
  return agrees ? 0 : kRecordDiffers;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return Run(argc, argv);
  } catch (const std::exception& e) {
    return Fail(std::string("failed: ") + e.what());
  } catch (...) {
    return Fail("failed");
  }
}
