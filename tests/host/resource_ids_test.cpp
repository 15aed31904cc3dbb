// The resource scripts and the C++ code name the same commands.
#include <gtest/gtest.h>

#include "host/command_ids.h"
#include "resource.h"

namespace volantis {
namespace {

TEST(ResourceIds, MenuIdentifiersMatchTheCommandTable) {
  struct Case {
    const char* name;
    uint32_t resource_id;
    uint32_t command;
  } cases[] = {
      {"Race Settings", IDM_RACE_SETTINGS, kCmdRaceSettings},
      {"Race Results", IDM_RACE_RESULTS, kCmdRaceResults},
      {"Stop Race", IDM_STOP_RACE, kCmdStopRace},
      {"Open Log Window", IDM_OPEN_LOG_WINDOW, kCmdOpenLogWindow},
      {"Clear Log Window", IDM_CLEAR_LOG_WINDOW, kCmdClearLogWindow},
      {"Open Validate Window", IDM_OPEN_VALIDATE_WINDOW, kCmdOpenValidateWindow},
      {"Validate Now", IDM_VALIDATE_NOW, kCmdValidateNow},
      {"About", IDM_ABOUT, kCmdAbout},
      {"popup item", IDM_VOLANTIS_POPUP, kCmdPopupItem},
  };
  for (const Case& c : cases) EXPECT_EQ(c.resource_id, c.command) << c.name;
  EXPECT_EQ(IDS_APP_TITLE, 57344);
  EXPECT_EQ(IDI_VOLANTIS, 101);
}

}  // namespace
}  // namespace volantis
