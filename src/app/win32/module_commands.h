#pragma once
// The module's long-lived objects and what each command does with them: the one
// implementation of the hook's commands, created by the one-time set-up and destroyed
// at unload.
#include <windows.h>

#include <memory>

#include "app/module_core.h"
#include "core/app_settings.h"
#include "core/validate_window.h"
#include "host/win32/host_hook.h"
#include "platform/settings_store.h"
#include "race/race_monitor.h"
#include "race/race_state.h"
#include "server/race_results_submission.h"
#include "server/race_server_client.h"
#include "ui/win32/hot_key_win32.h"
#include "ui/win32/module_windows.h"
#include "validation/validator.h"

namespace volantis::win32 {

inline constexpr const char* kStopRaceQuestion = "Stop the race?";
inline constexpr const char* kMessageBoxCaption = "Volantis.dll";

class ModuleCommands : public HookedCommands {
 public:
  // Loads the settings from the user's profile and registers the validation hot
  // key on host_window, then builds the race state and the module's windows.
  ModuleCommands(HWND host_window, std::shared_ptr<AppSettings> settings);
  // The windows go first, then the shared core is let go (freed by the last
  // worker if one still runs). Nothing here waits: without End before, the
  // workers are only told to stop.
  ~ModuleCommands() override;

  // The orderly end of the module's work (see ModuleCore::End), waiting at most
  // kEndWaitMs for the workers; then the hot key is given back. The windows
  // stay until this object goes.
  void End() override;
  ModuleCommands(const ModuleCommands&) = delete;
  ModuleCommands& operator=(const ModuleCommands&) = delete;

  void EnsureMenu() override;
  void StartValidation() override;
  bool IsMonitorRunning() override;
  void StartRace() override;
  void StopRace() override;
  uint32_t CurrentRaceSerial() override;
  uint32_t TakeFinishedRace() override;
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
  // Everything the worker threads use, shared with them; the references below
  // name its parts.
  std::shared_ptr<ModuleCore> core_;

 public:
  // The race; it owns the Log window's model and holds command_tick and
  // sampling_paused, which the monitor reads.
  RaceState& race;
  ValidateWindow& validate_window;

 private:
  // The race server's validation side, the validation run, the results
  // submission and the race monitor, each running on workers of the core.
  RaceServerClient& server_;
  Validator& validator_;
  RaceResultsSender& results_sender_;
  RaceMonitor& monitor_;
  // The Log, Validate and Results windows and the modal dialogs. Declared last
  // so they go first, before the core whose log models they show.
  ModuleWindows windows_;
};

}  // namespace volantis::win32
