// The checked-in recorded flights, re-judged by this build: the Windows build
// must give the very output the native replay tool gives, bit for bit.
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "replay.h"
#include "track_csv.h"

namespace volantis::replay {
namespace {

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(ReplayFixtureTest, SameOutputAsTheNativeTool) {
  struct Case {
    const char* expected;
    const char* track;
    ReplayOptions options;
  };
  ReplayOptions highlat;
  highlat.frequency = 3579545;
  highlat.clock_offset = -3.25;
  highlat.sound_skip = false;
  ReplayOptions silent;
  silent.sound_cross = silent.sound_skip = silent.sound_end = false;
  const Case cases[] = {{"antimeridian", "antimeridian", ReplayOptions{}},
                        {"antimeridian_silent", "antimeridian", silent},
                        {"highlat", "highlat", highlat}};
  const std::string dir = VOLANTIS_RACE_FIXTURES;
  for (const Case& c : cases) {
    const std::string expected = ReadAll(dir + "/" + c.expected + ".expected");
    ASSERT_FALSE(expected.empty()) << "cannot read " << dir << "/" << c.expected << ".expected";
    AppSettings settings;
    std::string error;
    ASSERT_TRUE(LoadCourse(ReadAll(dir + "/" + c.track + ".course"), settings, error)) << error;
    std::istringstream track(ReadAll(dir + "/" + c.track + ".csv"));
    std::vector<TrackRow> rows;
    ASSERT_TRUE(ParseTrack(track, rows, error)) << error;
    std::ostringstream out;
    ReplayTrack(settings, c.options, rows, out);
    EXPECT_EQ(out.str(), expected) << c.expected;
  }
}

}  // namespace
}  // namespace volantis::replay
