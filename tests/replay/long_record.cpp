#include "long_record.h"

#include <fstream>
#include <sstream>

#include "pylon_tracks.h"
#include "replay.h"
#include "track_csv.h"

namespace volantis::fixtures {
namespace {

bool Write(const std::string& path, const std::string& text, std::string& error) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  out.close();
  if (!out) error = "cannot write " + path;
  return static_cast<bool>(out);
}

}  // namespace

bool WriteLongRecord(const std::string& folder, std::string& error) {
  CourseShape shape;
  shape.center_lat = 47.3;
  shape.center_lon = 8.5;
  shape.laps = 100;
  PylonTrackBuilder builder(shape);
  // 100 laps of about 9.3 nm in a little under six hours, then one more lap.
  std::vector<Leg> legs = builder.PlainLaps(0, 101, 156, 500);
  const std::string csv = builder.TrackCsv(builder.TurnPoint(0), 500, legs, 123456789, 10000000, 5);
  // The header and the first 540,000 rows.
  std::size_t end = 0;
  for (std::size_t lines = 0; lines < kLongRecordRows + 1; ++lines) {
    end = csv.find('\n', end);
    if (end == std::string::npos) {
      error = "the generated flight is shorter than six hours";
      return false;
    }
    ++end;
  }
  const std::string track = csv.substr(0, end);
  const std::string course = builder.CourseText() + "\n";

  // The log as the module wrote it: the replay's Log lines after "Race started.".
  AppSettings settings;
  if (!replay::LoadCourse(course, settings, error)) return false;
  std::istringstream in(track);
  std::vector<replay::TrackRow> rows;
  if (!replay::ParseTrack(in, rows, error)) return false;
  std::ostringstream out;
  replay::ReplayTrack(settings, replay::ReplayOptions{}, rows, out);
  std::string log = "Race started.\n";
  std::istringstream lines(out.str());
  std::string line;
  while (std::getline(lines, line)) {
    if (line.rfind("LOG ", 0) == 0) log += line.substr(4) + "\n";
  }
  const std::string race =
      "started=2026-12-10 10:00:00 UTC\nserver_ip=10.200.0.1\nserver_port=8080\nplayer=Long Haul\n"
      "clock_offset=0\nfrequency=10000000\nversion=2.6.0\nreference_set=standin\nsounds=1,1,1\n";
  return Write(folder + "/race.txt", race, error) && Write(folder + "/course.txt", course, error) &&
         Write(folder + "/track.csv", track, error) && Write(folder + "/log.txt", log, error);
}

}  // namespace volantis::fixtures
