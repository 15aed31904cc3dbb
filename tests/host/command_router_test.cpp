// What each message to the host window makes the module do.
#include "host/command_router.h"

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "host/command_ids.h"

namespace volantis {
namespace {

class RecordingTargets : public CommandTargets {
 public:
  std::vector<std::string> calls;
  bool monitor_running = false;
  bool confirm_answer = false;
  bool dialog_throws = false;
  uint32_t race_serial = 3;
  uint32_t finished_serial = 0;  // the finish the judge announced
  std::function<void()> while_confirming;  // what the message box's loop serves meanwhile

  void EnsureMenu() override { calls.push_back("EnsureMenu"); }
  void StartValidation() override { calls.push_back("StartValidation"); }
  bool IsMonitorRunning() override {
    calls.push_back("IsMonitorRunning");
    return monitor_running;
  }
  void StartRace() override { calls.push_back("StartRace"); }
  void StopRace() override { calls.push_back("StopRace"); }
  uint32_t CurrentRaceSerial() override { return race_serial; }
  uint32_t TakeFinishedRace() override {
    const uint32_t taken = finished_serial;
    finished_serial = 0;
    return taken;
  }
  void StartResultsSubmission() override { calls.push_back("StartResultsSubmission"); }
  void OpenLogWindow() override { calls.push_back("OpenLogWindow"); }
  void ClearLogWindow() override { calls.push_back("ClearLogWindow"); }
  void OpenValidateWindow() override { calls.push_back("OpenValidateWindow"); }
  void ShowResultsPage() override { calls.push_back("ShowResultsPage"); }
  void RunAboutBox() override {
    calls.push_back("RunAboutBox");
    if (dialog_throws) throw std::runtime_error("dialog failed");
  }
  void RunRaceSettings() override {
    calls.push_back("RunRaceSettings");
    if (dialog_throws) throw std::runtime_error("dialog failed");
  }
  bool ConfirmStopRace() override {
    calls.push_back("ConfirmStopRace");
    if (while_confirming) while_confirming();
    return confirm_answer;
  }
  void SetSamplingPaused(bool paused) override {
    calls.push_back(paused ? "SetSamplingPaused(true)" : "SetSamplingPaused(false)");
  }
  void SetCommandTick(uint32_t tick) override { calls.push_back("SetCommandTick(" + std::to_string(tick) + ")"); }
};

class FixedClock : public Clock {
 public:
  uint32_t tick = 0;
  bool QueryCounter(int64_t& count) override {
    count = 0;
    return true;
  }
  int64_t QueryFrequency() override { return 1; }
  uint32_t TickCount() override { return tick; }
  void Sleep(uint32_t) override {}
  LocalDateTime LocalNow() override { return {}; }
};

using Calls = std::vector<std::string>;

struct CommandCase {
  const char* name;
  uint32_t word_param;
  bool monitor_running;
  bool confirm_answer;
  Calls expected;
};

class CommandRouterTest : public ::testing::Test {
 protected:
  Calls Route(uint32_t message, uint32_t word_param) {
    targets.calls.clear();
    router.Route(message, word_param);
    return targets.calls;
  }
  RecordingTargets targets;
  FixedClock clock;
  CommandRouter router{targets, clock};
};

TEST_F(CommandRouterTest, EachCommandRunsItsOperationsInOrder) {
  clock.tick = 0xFFFFFFF0u;  // near the wrap: the tick is stored as it is
  const CommandCase cases[] = {
      {"Stop Race answered Yes", kCmdStopRace, true, true, {"ConfirmStopRace", "StopRace"}},
      {"Stop Race answered No", kCmdStopRace, true, false, {"ConfirmStopRace"}},
      {"Stop Race with no race running", kCmdStopRace, false, true, {"ConfirmStopRace", "StopRace"}},
      {"Open Log Window", kCmdOpenLogWindow, false, false, {"OpenLogWindow"}},
      {"Clear Log Window", kCmdClearLogWindow, false, false, {"ClearLogWindow"}},
      {"Open Validate Window", kCmdOpenValidateWindow, false, false, {"OpenValidateWindow"}},
      {"Validate Now", kCmdValidateNow, false, false, {"StartValidation"}},
      {"About", kCmdAbout, false, false, {"SetSamplingPaused(true)", "RunAboutBox", "SetSamplingPaused(false)"}},
      {"Race Settings",
       kCmdRaceSettings,
       false,
       false,
       {"SetSamplingPaused(true)", "RunRaceSettings", "SetSamplingPaused(false)"}},
      {"Race Results", kCmdRaceResults, false, false, {"ShowResultsPage"}},
      {"Start Race while monitoring", kCmdStartRace, true, false, {"IsMonitorRunning", "StopRace", "StartRace"}},
      {"Start Race with no race", kCmdStartRace, false, false, {"IsMonitorRunning", "StartRace"}},
      {"host command 0x20006", 0x20006, false, false, {"SetCommandTick(4294967280)"}},
      {"the popup item is no command", kCmdPopupItem, false, false, {}},
      {"unknown identifier", 1022, false, false, {}},
      {"zero", 0, false, false, {}},
  };
  for (const CommandCase& c : cases) {
    targets.monitor_running = c.monitor_running;
    targets.confirm_answer = c.confirm_answer;
    EXPECT_EQ(Route(kMsgCommand, c.word_param), c.expected) << c.name;
  }
}

TEST_F(CommandRouterTest, NotificationCodeInTheHighHalfMakesADifferentCommand) {
  const uint32_t commands[] = {kCmdStopRace,   kCmdOpenLogWindow, kCmdClearLogWindow, kCmdOpenValidateWindow,
                               kCmdValidateNow, kCmdAbout,         kCmdRaceSettings,   kCmdRaceResults,
                               kCmdStartRace,  kCmdRaceFinished};
  for (uint32_t command : commands) {
    for (uint32_t high : {0x10000u, 0x20000u, 0xFFFF0000u}) {
      EXPECT_EQ(Route(kMsgCommand, high | command), Calls{}) << std::hex << (high | command);
    }
  }
  // The host's own command is the one whose high half is not zero, and only
  // with exactly that half.
  EXPECT_EQ(Route(kMsgCommand, 0x00006), Calls{});
  EXPECT_EQ(Route(kMsgCommand, 0x10006), Calls{});
  clock.tick = 1234;
  EXPECT_EQ(Route(kMsgCommand, 0x20006), Calls{"SetCommandTick(1234)"});
}

TEST_F(CommandRouterTest, MessagesOtherThanCommandsAndTheirParameters) {
  struct MessageCase {
    const char* name;
    uint32_t message;
    uint32_t word_param;
    Calls expected;
  } cases[] = {
      {"non-client paint keeps the popup", kMsgNcPaint, 1, {"EnsureMenu"}},
      {"hot key 0 validates", kMsgHotKey, 0, {"StartValidation"}},
      {"any hot key validates", kMsgHotKey, 7, {"StartValidation"}},
      // A command identifier in another message's word parameter is no command.
      {"paint", 0x000F, kCmdValidateNow, {}},
      {"system command", 0x0112, kCmdAbout, {}},
      {"timer", 0x0113, kCmdStartRace, {}},
      {"private message", 0x0400, kCmdRaceFinished, {}},
  };
  for (const MessageCase& c : cases) {
    EXPECT_EQ(Route(c.message, c.word_param), c.expected) << c.name;
  }
}

TEST_F(CommandRouterTest, RaceFinishedActsOnlyForTheCurrentRacesAnnouncedFinish) {
  struct FinishCase {
    const char* name;
    uint32_t announced;  // the race whose finish the judge noted (0: none)
    Calls expected;
  } const cases[] = {
      {"the current race finished", 3, {"StopRace", "StartResultsSubmission"}},
      {"no finish announced: a Race Finished from elsewhere", 0, {}},
      {"the race before finished, but a newer one started first", 2, {}},
      {"a race not started yet", 4, {}},
  };
  for (const FinishCase& c : cases) {
    targets.calls.clear();
    targets.finished_serial = c.announced;
    router.Route(kMsgCommand, kCmdRaceFinished);
    EXPECT_EQ(targets.calls, c.expected) << c.name;
    EXPECT_EQ(targets.finished_serial, 0u) << c.name << ": the handler takes the finish";
  }
  targets.race_serial = 0;  // before the first race: "none" on both sides is no match
  EXPECT_EQ(Route(kMsgCommand, kCmdRaceFinished), Calls{}) << "a Race Finished before any race";
}

TEST_F(CommandRouterTest, StopRaceStopsOnlyTheRaceItAskedAbout) {
  targets.confirm_answer = true;
  targets.while_confirming = [this] { ++targets.race_serial; };  // a Start Race served by the box's loop
  EXPECT_EQ(Route(kMsgCommand, kCmdStopRace), Calls{"ConfirmStopRace"});

  targets.while_confirming = [this] { targets.calls.push_back("Race Finished handled"); };
  EXPECT_EQ(Route(kMsgCommand, kCmdStopRace), (Calls{"ConfirmStopRace", "Race Finished handled", "StopRace"}))
      << "the same race, finished meanwhile: stopping it again is harmless";
}

TEST_F(CommandRouterTest, PausedIsClearedWhenADialogFails) {
  targets.dialog_throws = true;
  for (uint32_t command : {kCmdAbout, kCmdRaceSettings}) {
    targets.calls.clear();
    EXPECT_THROW(router.Route(kMsgCommand, command), std::runtime_error);
    ASSERT_FALSE(targets.calls.empty());
    EXPECT_EQ(targets.calls.back(), "SetSamplingPaused(false)") << command;
  }
}

}  // namespace
}  // namespace volantis
