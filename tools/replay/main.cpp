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

  std::ostringstream out;
  ReplayTrack(settings, args.options, rows, out);
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
