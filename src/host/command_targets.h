#pragma once
// What the module's commands act on. The command router decides which of these
// run for a message to the host's main window; the Windows module supplies the
// one implementation that holds the long-lived objects, and tests supply fakes.
#include <cstdint>

namespace volantis {

class CommandTargets {
 public:
  virtual ~CommandTargets() = default;

  // Puts the module's popup back into the host's menu bar if it is missing.
  virtual void EnsureMenu() = 0;

  // Starts a validation run unless one is running; returns at once.
  virtual void StartValidation() = 0;

  // The race monitor.
  virtual bool IsMonitorRunning() = 0;
  virtual void StartRace() = 0;
  virtual void StopRace() = 0;

  // The number of the race last started (0 before the first).
  virtual uint32_t CurrentRaceSerial() = 0;
  // The number of the race whose finish the judge has announced and no Race
  // Finished command has taken yet (0: none); taking it clears it.
  virtual uint32_t TakeFinishedRace() = 0;

  // Starts the results submission of a finished race; returns at once.
  virtual void StartResultsSubmission() = 0;

  // The Log window: show it; empty its text and blank its position fields.
  virtual void OpenLogWindow() = 0;
  virtual void ClearLogWindow() = 0;

  virtual void OpenValidateWindow() = 0;
  // Shows the Results window and loads the results page.
  virtual void ShowResultsPage() = 0;

  // Modal dialogs.
  virtual void RunAboutBox() = 0;
  virtual void RunRaceSettings() = 0;
  // Asks "Stop the race?"; true when the pilot answers Yes.
  virtual bool ConfirmStopRace() = 0;

  // The two values the race monitor watches.
  virtual void SetSamplingPaused(bool paused) = 0;
  virtual void SetCommandTick(uint32_t tick) = 0;
};

}  // namespace volantis
