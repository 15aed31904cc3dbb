#include "ui/win32/module_windows.h"

#include "ui/win32/settings_dialog.h"

namespace volantis::win32 {

ModuleWindows::ModuleWindows(HINSTANCE module, HWND host_window, AppSettings& settings, SettingsStore& store,
                             HotKeyRegistrar& hot_keys, LogWindow& log, ValidateWindow& validate,
                             std::function<void()> start_validation)
    : module_(module),
      host_window_(host_window),
      settings_(settings),
      store_(store),
      hot_keys_(hot_keys),
      log_(log),
      validate_(validate),
      log_dialog_(module, host_window, log),
      validate_dialog_(module, host_window, validate, std::move(start_validation)),
      results_(module, host_window, settings) {}

void ModuleWindows::OpenLogWindow() { log_.Open(); }

void ModuleWindows::ClearLogWindow() {
  log_.Clear();
  log_.BlankPosition();
}

void ModuleWindows::OpenValidateWindow() { validate_.Open(); }

void ModuleWindows::ShowResultsPage() { results_.ShowResultsPage(); }

void ModuleWindows::RunAboutBox() { win32::RunAboutBox(module_, host_window_, settings_); }

bool ModuleWindows::RunRaceSettings() {
  return win32::RunRaceSettings(module_, host_window_, settings_, store_, hot_keys_);
}

}  // namespace volantis::win32
