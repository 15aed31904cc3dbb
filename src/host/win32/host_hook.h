#pragma once
// The record of the hooked host window and the module's life on the host's
// user-interface thread: the init entry's window search, the 200 ms start-up
// timer that waits for the menu bar, the one-time set-up, the subclassed window
// procedure, and the unhooking at unload.
#include <windows.h>

#include <memory>

#include "host/command_router.h"

namespace volantis {
struct AppSettings;
}

namespace volantis::win32 {

class ModuleCommands;

inline constexpr const char* kHostWindowClass = "FS98MAIN";
inline constexpr UINT kStartupTimerMs = 200;

class HostHook {
 public:
  // settings: the program-wide settings; they outlive everything this record creates.
  explicit HostHook(AppSettings& settings);
  ~HostHook();
  HostHook(const HostHook&) = delete;
  HostHook& operator=(const HostHook&) = delete;

  // The module-wide record; null before construction and once teardown began.
  static HostHook* Current();

  // The init entry: find the host window and start the start-up timer.
  void Init();
  // Called with the loader's reason for unloading: clears the module-wide
  // pointer, stops the timer, puts the host's window procedure back while it is
  // still ours, and destroys the long-lived objects. Safe to call twice.
  void Shutdown(bool process_exiting);

  HWND host_window = nullptr;
  WNDPROC saved_procedure = nullptr;
  // The long-lived objects (race state, Validate and Results windows) and the
  // command targets over them; created by the one-time set-up.
  std::unique_ptr<ModuleCommands> commands;
  std::unique_ptr<CommandRouter> router;

 private:
  static void CALLBACK StartupTick(HWND, UINT, UINT_PTR timer_id, DWORD) noexcept;
  static LRESULT CALLBACK HookedProcedure(HWND window, UINT message, WPARAM word_param, LPARAM long_param) noexcept;
  void OnStartupTick(UINT_PTR timer_id);
  void SetUp();

  AppSettings& settings_;
  UINT_PTR timer_id_ = 0;
  bool set_up_ = false;
  bool shut_down_ = false;
};

// The module's own instance handle (its resources live there).
HINSTANCE ModuleInstance();

}  // namespace volantis::win32
