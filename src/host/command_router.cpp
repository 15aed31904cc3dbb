#include "host/command_router.h"

#include "host/command_ids.h"

namespace volantis {

void CommandRouter::Route(uint32_t message, uint32_t word_param) {
  switch (message) {
    case kMsgNcPaint:
      targets_.EnsureMenu();
      break;
    case kMsgCommand:
      RunCommand(word_param);
      break;
    case kMsgHotKey:
      targets_.StartValidation();  // whichever hot key it was
      break;
    default:
      break;
  }
}

template <typename Dialog>
void CommandRouter::RunPaused(Dialog dialog) {
  struct Unpause {
    CommandTargets& targets;
    ~Unpause() { targets.SetSamplingPaused(false); }
  };
  targets_.SetSamplingPaused(true);
  Unpause unpause{targets_};
  dialog();
}

void CommandRouter::RunCommand(uint32_t command) {
  switch (command) {
    case kCmdStopRace: {
      // The question is about the race running now; a race started while the
      // box was open (its loop serves posted commands) is not the one to stop.
      const uint32_t asked_about = targets_.CurrentRaceSerial();
      if (targets_.ConfirmStopRace() && targets_.CurrentRaceSerial() == asked_about) targets_.StopRace();
      break;
    }
    case kCmdOpenLogWindow:
      targets_.OpenLogWindow();
      break;
    case kCmdClearLogWindow:
      targets_.ClearLogWindow();
      break;
    case kCmdOpenValidateWindow:
      targets_.OpenValidateWindow();
      break;
    case kCmdValidateNow:
      targets_.StartValidation();
      break;
    case kCmdAbout:
      RunPaused([this] { targets_.RunAboutBox(); });
      break;
    case kCmdRaceSettings:
      RunPaused([this] { targets_.RunRaceSettings(); });
      break;
    case kCmdRaceResults:
      targets_.ShowResultsPage();
      break;
    case kCmdStartRace:
      if (targets_.IsMonitorRunning()) targets_.StopRace();
      targets_.StartRace();
      break;
    case kCmdRaceFinished: {
      // The judge notes which race finished before it posts the command. A
      // Race Finished with no finish noted came from elsewhere, and one for a
      // race that a newer one replaced is late: the race running goes on and
      // nothing is submitted.
      const uint32_t finished = targets_.TakeFinishedRace();
      if (finished == 0 || finished != targets_.CurrentRaceSerial()) break;
      targets_.StopRace();
      targets_.StartResultsSubmission();
      break;
    }
    case kCmdHostWatched:
      targets_.SetCommandTick(clock_.TickCount());
      break;
    default:
      break;  // the popup item 45001 and every other command: nothing
  }
}

}  // namespace volantis
