// The host's facts as the host has them, written out as plain numbers: the seven
// values of the core module's memory, the command identifiers on the host's
// main window and the dialogs' control identifiers. The code, the stand-in
// simulator and the other tests all use the code's own constants, so only this
// table catches a wrong offset, width, scale or identifier.
#include <gtest/gtest.h>

#include <cstdint>

#include "host/command_ids.h"
#include "host/host_values.h"
#include "resource.h"

namespace volantis {
namespace {

TEST(HostFacts, TheSevenValuesOfTheHostsMemory) {
  struct Case {
    const char* name;
    HostValue code;
    uint32_t offset;
    uint32_t width;
    bool is_signed;
  };
  const Case cases[] = {
      {"latitude", kHostLatitude, 0x3560, 8, true},
      {"longitude", kHostLongitude, 0x3568, 8, true},
      {"altitude", kHostAltitude, 0x3570, 8, true},
      {"slew", kHostSlew, 0x35D4, 2, false},
      {"crash detection", kHostCrashDetection, 0x382C, 1, true},
      {"collisions", kHostCollisions, 0x3846, 1, true},
      {"simulation rate", kHostSimulationRate, 0x3C12, 2, true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.code.offset, c.offset) << c.name;
    EXPECT_EQ(c.code.width, c.width) << c.name;
    EXPECT_EQ(c.code.is_signed, c.is_signed) << c.name;
  }
  EXPECT_EQ(kOffsetLatitude, 0x3560u);
  EXPECT_EQ(kOffsetLongitude, 0x3568u);
  EXPECT_EQ(kOffsetAltitude, 0x3570u);
  EXPECT_EQ(kOffsetSlew, 0x35D4u);
  EXPECT_EQ(kOffsetCrashDetection, 0x382Cu);
  EXPECT_EQ(kOffsetCollisions, 0x3846u);
  EXPECT_EQ(kOffsetSimulationRate, 0x3C12u);
}

TEST(HostFacts, RawValuesBecomeUserUnitsByTheHostsScales) {
  // Exact products in double precision, at values that expose a wrong factor.
  for (int64_t raw : {int64_t{1}, int64_t{-1}, int64_t{4294967296}, INT64_MAX, INT64_MIN}) {
    EXPECT_EQ(LatitudeDegrees(raw), static_cast<double>(raw) * 2.0951091487837895e-15) << raw;
    EXPECT_EQ(LongitudeDegrees(raw), static_cast<double>(raw) * 1.951563910473908e-17) << raw;
    EXPECT_EQ(AltitudeFeet(raw), static_cast<double>(raw) * 3.2808398950131235 / 4294967296.0) << raw;
  }
  EXPECT_DOUBLE_EQ(LatitudeDegrees(int64_t{10001750} * 4294967296), 90.0);
  EXPECT_DOUBLE_EQ(LongitudeDegrees(INT64_MIN), -180.0);
  EXPECT_DOUBLE_EQ(AltitudeFeet(int64_t{1000} << 32), 3280.8398950131235);
  EXPECT_EQ(SimulationRate(256), 1.0);
  EXPECT_EQ(SimulationRate(128), 0.5);
  EXPECT_EQ(SimulationRate(-32768), -128.0);
}

TEST(HostFacts, CommandIdentifiers) {
  struct Case {
    const char* name;
    uint32_t code;
    uint32_t number;
  };
  const Case cases[] = {
      {"Race Settings", kCmdRaceSettings, 32773},
      {"Race Results", kCmdRaceResults, 32774},
      {"Stop Race", kCmdStopRace, 1019},
      {"Open Log Window", kCmdOpenLogWindow, 1020},
      {"Clear Log Window", kCmdClearLogWindow, 1021},
      {"Open Validate Window", kCmdOpenValidateWindow, 1023},
      {"Validate Now", kCmdValidateNow, 1024},
      {"About", kCmdAbout, 32772},
      {"Start Race", kCmdStartRace, 45002},
      {"Race Finished", kCmdRaceFinished, 45003},
      {"host command watched by the monitor", kCmdHostWatched, 131078},
      {"the popup item", kCmdPopupItem, 45001},
  };
  for (const Case& c : cases) EXPECT_EQ(c.code, c.number) << c.name;
}

TEST(HostFacts, DialogControlIdentifiers) {
  struct Case {
    const char* name;
    int code;
    int number;
  };
  const Case cases[] = {
      // Race Settings
      {"player name", IDC_PLAYER_NAME, 1003},
      {"server address", IDC_SERVER_IP, 1004},
      {"web port", IDC_SERVER_PORT, 1006},
      {"hot-key control", IDC_HOT_KEY, 1012},
      {"Set", IDC_HOT_KEY_SET, 1008},
      {"Clear", IDC_HOT_KEY_CLEAR, 1010},
      {"sound for gate crossings", IDC_SOUND_CROSS, 1025},
      {"sound for gate skips", IDC_SOUND_SKIP, 1026},
      {"sound for end of race", IDC_SOUND_END, 1027},
      {"sound when validating", IDC_SOUND_VALIDATE, 1028},
      {"sound when sending race results", IDC_SOUND_RACE_RESULTS, 1029},
      // Results window
      {"address", IDC_ADDRESS, 1030},
      {"Go", IDC_GO, 1035},
      {"browser", IDC_BROWSER, 1029},
      // About box
      {"version line", IDC_VERSION, 1041},
  };
  for (const Case& c : cases) EXPECT_EQ(c.code, c.number) << c.name;
}

}  // namespace
}  // namespace volantis
