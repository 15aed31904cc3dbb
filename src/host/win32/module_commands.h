#pragma once
// The module's long-lived objects and what each command does with them: the one
// implementation of CommandTargets, created by the one-time set-up and destroyed
// at unload.
#include <windows.h>

#include <memory>

#include "host/command_targets.h"
#include "host/win32/window_poster.h"
#include "platform/settings_store.h"
#include "race/race_monitor.h"
#include "race/race_state.h"
#include "server/race_results_submission.h"
#include "server/race_server_client.h"
#include "ui/app_settings.h"
#include "ui/validate_window.h"
#include "ui/win32/hot_key_win32.h"
#include "ui/win32/module_windows.h"
#include "validation/validator.h"

namespace volantis::win32 {

inline constexpr const char* kStopRaceQuestion = "Stop the race?";
inline constexpr const char* kMessageBoxCaption = "Volantis.dll";

class ModuleCommands : public CommandTargets {
 public:
  // Loads the settings from the user's profile and registers the validation hot
  // key on host_window, then builds the race state and the module's windows.
  ModuleCommands(HWND host_window, AppSettings& settings);
  ~ModuleCommands() override;
  ModuleCommands(const ModuleCommands&) = delete;
  ModuleCommands& operator=(const ModuleCommands&) = delete;

  void EnsureMenu() override;
  void StartValidation() override;
  bool IsMonitorRunning() override;
  void StartRace() override;
  void StopRace() override;
  void StartResultsSubmission() override;
  void OpenLogWindow() override;
  void ClearLogWindow() override;
  void OpenValidateWindow() override;
  void ShowResultsPage() override;
  void RunAboutBox() override;
  void RunRaceSettings() override;
  bool ConfirmStopRace() override;
  void SetSamplingPaused(bool paused) override;
  void SetCommandTick(uint32_t tick) override;

  HWND host_window;
  AppSettings& settings;

 private:
  std::unique_ptr<SettingsStore> store_;
  WindowHotKey hot_keys_;

 public:
  // The race; it owns the Log window's model and holds command_tick and
  // sampling_paused, which the monitor reads.
  RaceState race;
  ValidateWindow validate_window;

 private:
  WindowPoster poster_;
  // The Log, Validate and Results windows and the modal dialogs.
  ModuleWindows windows_;
  // The race server's validation side, the validation run and the results
  // submission. Their worker threads are never joined (a run ends by itself).
  RaceServerClient server_;
  Validator validator_;
  RaceResultsSender results_sender_;
  // Declared last so it is destroyed first: the monitor thread writes to the
  // race log, whose window goes with windows_.
  RaceMonitor monitor_;
};

}  // namespace volantis::win32
