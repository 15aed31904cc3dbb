#pragma once
// The modal Race Settings dialog (template "Race Settings"): the player, the race
// server, the sound switches, and the validation hot key with its Set and Clear
// buttons, which act on AppSettings at once (and so survive Cancel).
#include <windows.h>

#include "core/app_settings.h"
#include "core/hot_key.h"
#include "platform/settings_store.h"
#include "ui/race_settings.h"

namespace volantis::win32 {

class SettingsDialog {
 public:
  SettingsDialog(HINSTANCE module, AppSettings& settings, SettingsStore& store, HotKeyRegistrar& hot_keys);
  SettingsDialog(const SettingsDialog&) = delete;
  SettingsDialog& operator=(const SettingsDialog&) = delete;

  // Runs modally over owner; IDOK when saved, IDCANCEL otherwise.
  INT_PTR Run(HWND owner);

  RaceSettingsValues values;

 private:
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) noexcept;
  bool OnCommand(int control, int notification);
  void OnInit();
  void OnSave();
  void OnSetHotKey();
  void OnClearHotKey();

  HINSTANCE module_;
  AppSettings& settings_;
  SettingsStore& store_;
  HotKeyRegistrar& hot_keys_;
  HWND window_ = nullptr;
};

// The Race Settings command: copies the eight values in, runs the dialog, and on
// Save copies them back and saves the whole profile. True when saved.
bool RunRaceSettings(HINSTANCE module, HWND host_window, AppSettings& settings, SettingsStore& store,
                     HotKeyRegistrar& hot_keys);

// The About command: "Volantis.dll Version 2.6" and the module's credits.
void RunAboutBox(HINSTANCE module, HWND host_window, const AppSettings& settings);

}  // namespace volantis::win32
