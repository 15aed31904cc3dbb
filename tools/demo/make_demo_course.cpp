// Writes the demo race: a five-gate pylon course for the stand-in race server
// (one entry a line) and a clean two-lap flight around it for the stand-in
// simulator to fly.
//   make_demo_course COURSE_FILE TRACK_FILE
#include <cstdio>
#include <fstream>
#include <string>

#include "pylon_tracks.h"

namespace {

using volantis::fixtures::CourseShape;
using volantis::fixtures::Leg;
using volantis::fixtures::PlanePoint;
using volantis::fixtures::PylonTrackBuilder;

bool Write(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
  if (!out) {
    std::fprintf(stderr, "make_demo_course: cannot write %s\n", path.c_str());
    return false;
  }
  return true;
}

// "Race start info: a;b;c" -> "a\nb\nc\n", the stand-in server's course file.
std::string CourseFile(const std::string& race_start_info) {
  const std::string prefix = "Race start info: ";
  std::string text = race_start_info.compare(0, prefix.size(), prefix) == 0 ? race_start_info.substr(prefix.size())
                                                                             : race_start_info;
  std::string out = "# Demo course: five gates, two laps.\n";
  for (char c : text) out += c == ';' ? '\n' : c;
  return out + "\n";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: make_demo_course COURSE_FILE TRACK_FILE\n");
    return 2;
  }
  CourseShape shape;
  shape.center_lat = 47.47;
  shape.center_lon = -122.30;
  shape.radius_nm = 0.8;
  shape.gates = 5;
  shape.laps = 2;
  shape.max_knots = 450;
  PylonTrackBuilder builder(shape);

  // Run in along the last leg, through the start gate, two laps, then through
  // the start gate once more to finish.
  const PlanePoint a = builder.TurnPoint(shape.gates - 1);
  const PlanePoint b = builder.TurnPoint(0);
  const PlanePoint start{a.x + (b.x - a.x) * 0.6, a.y + (b.y - a.y) * 0.6};
  std::vector<Leg> legs;
  Leg first;
  first.to = b;
  first.knots = 400;
  legs.push_back(first);
  for (const Leg& leg : builder.PlainLaps(0, shape.laps, 400, 500)) legs.push_back(leg);
  Leg last;
  last.to = builder.TurnPoint(shape.laps * shape.gates + 1);
  last.knots = 400;
  legs.push_back(last);

  return Write(argv[1], CourseFile(builder.CourseText())) &&
                 Write(argv[2], builder.TrackCsv(start, 500, legs, 5000000000LL, 10000000, 3))
             ? 0
             : 1;
}
