#pragma once
// The module's windows and dialogs behind the commands of the popup menu, built
// once at set-up on the host's user-interface thread and destroyed at unload on
// the same thread. Every dependency is given: the module's instance (its
// resources), the host's main window (parent of every window, owner of the hot
// key), the settings with their profile and hot-key registrar, the two log
// models, and what "Validate Now" does.
#include <windows.h>

#include <functional>

#include "core/app_settings.h"
#include "core/hot_key.h"
#include "core/log_window.h"
#include "core/validate_window.h"
#include "platform/settings_store.h"
#include "ui/win32/log_dialog.h"
#include "ui/win32/results_window.h"
#include "ui/win32/validate_dialog.h"

namespace volantis::win32 {

class ModuleWindows {
 public:
  ModuleWindows(HINSTANCE module, HWND host_window, AppSettings& settings, SettingsStore& store,
                HotKeyRegistrar& hot_keys, LogWindow& log, ValidateWindow& validate,
                std::function<void()> start_validation);
  ModuleWindows(const ModuleWindows&) = delete;
  ModuleWindows& operator=(const ModuleWindows&) = delete;

  void OpenLogWindow();
  // Empties the Log window's text and blanks its position fields.
  void ClearLogWindow();
  void OpenValidateWindow();
  void ShowResultsPage();
  void RunAboutBox();
  // True when the user saved (the settings are then copied back and saved).
  bool RunRaceSettings();

  HWND log_window() const { return log_dialog_.window(); }
  HWND validate_window() const { return validate_dialog_.window(); }
  HWND results_window() const { return results_.window(); }

 private:
  HINSTANCE module_;
  HWND host_window_;
  AppSettings& settings_;
  SettingsStore& store_;
  HotKeyRegistrar& hot_keys_;
  LogWindow& log_;
  ValidateWindow& validate_;
  LogDialog log_dialog_;
  ValidateDialog validate_dialog_;
  ResultsWindow results_;
};

}  // namespace volantis::win32
