// Writes the demo race: a five-gate pylon course for the stand-in race server
// (one entry a line) and a clean two-lap flight around it for the stand-in
// simulator to fly.
//   make_demo_course [--second-pilot] COURSE_FILE TRACK_FILE
// With --second-pilot the flight is the second pilot's, on the same course: a
// wider line, a little slower, and in the second lap a cut through the middle
// of the course that misses the third gate (tools/demo/make-second-pilot.sh).
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

// The second pilot: every turn point 12% further out (still through every
// gate, on its outer half), at 420 knots and 600 ft; in the second lap, from
// the third turn point straight to the course's middle and out to the fourth,
// so the third gate is skipped.
std::vector<Leg> SecondPilotLegs(const PylonTrackBuilder& builder, const CourseShape& shape, PlanePoint& start) {
  constexpr double kWider = 1.12;
  auto wide = [&](int i) {
    const PlanePoint p = builder.TurnPoint(i);
    return PlanePoint{p.x * kWider, p.y * kWider};
  };
  const PlanePoint a = wide(shape.gates - 1);
  const PlanePoint b = wide(0);
  start = PlanePoint{a.x + (b.x - a.x) * 0.6, a.y + (b.y - a.y) * 0.6};
  std::vector<Leg> legs;
  auto fly_to = [&](PlanePoint to) {
    Leg leg;
    leg.to = to;
    leg.knots = 420;
    leg.alt_ft = 600;
    legs.push_back(leg);
  };
  fly_to(b);
  for (int i = 1; i <= shape.laps * shape.gates + 1; ++i) {
    if (i == shape.gates + 3) fly_to(PlanePoint{0, 0});  // second lap: around the third gate
    fly_to(wide(i));
  }
  return legs;
}

}  // namespace

int main(int argc, char** argv) {
  const bool second_pilot = argc == 4 && std::string(argv[1]) == "--second-pilot";
  if (argc != 3 && !second_pilot) {
    std::fprintf(stderr, "usage: make_demo_course [--second-pilot] COURSE_FILE TRACK_FILE\n");
    return 2;
  }
  const char* course_path = argv[argc - 2];
  const char* track_path = argv[argc - 1];
  CourseShape shape;
  shape.center_lat = 47.47;
  shape.center_lon = -122.30;
  shape.radius_nm = 0.8;
  shape.gates = 5;
  shape.laps = 2;
  shape.max_knots = 450;
  PylonTrackBuilder builder(shape);

  if (second_pilot) {
    PlanePoint start;
    const std::vector<Leg> legs = SecondPilotLegs(builder, shape, start);
    return Write(course_path, CourseFile(builder.CourseText())) &&
                   Write(track_path, builder.TrackCsv(start, 600, legs, 7000000000LL, 10000000, 5))
               ? 0
               : 1;
  }

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

  return Write(course_path, CourseFile(builder.CourseText())) &&
                 Write(track_path, builder.TrackCsv(start, 500, legs, 5000000000LL, 10000000, 3))
             ? 0
             : 1;
}
