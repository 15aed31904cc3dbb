// volantis-replay: re-judges a recorded flight for race directors.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <fstream>
#include <iostream>
#include <sstream>

#include "replay.h"
#include "replay_args.h"
#include "replay_report.h"

namespace {

constexpr int kBadInput = 2;

int Fail(const std::string& message) {
  std::cerr << "volantis-replay: " << message << '\n';
  return kBadInput;
}

bool ReadFile(const std::string& path, std::string& text, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = "cannot open \"" + path + "\": " + std::strerror(errno);
    return false;
  }
  std::ostringstream buffer;
  buffer << in.rdbuf();
  if (in.bad()) {
    error = "cannot read \"" + path + "\"";
    return false;
  }
  text = buffer.str();
  return true;
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

  std::string course_text;
  if (!ReadFile(args.course_path, course_text, error)) return Fail("COURSE: " + error);

  std::string track_text;
  if (!ReadFile(args.track_path, track_text, error)) return Fail("TRACK: " + error);
  std::istringstream track_stream(track_text);
  std::vector<TrackRow> rows;
  if (!ParseTrack(track_stream, rows, error)) return Fail("TRACK \"" + args.track_path + "\" " + error);

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
  std::ostringstream out;
  std::string map_svg;
  ReplayWithReport(settings, args.options, rows, request, out, map_svg);
  if (request.map) {
    map_file << map_svg;
    map_file.close();
    if (!map_file) return Fail("--map: cannot write \"" + args.map_path + "\"");
  }
  std::cout << out.str() << std::flush;
  return std::cout ? 0 : 1;
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
