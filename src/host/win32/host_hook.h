#pragma once
// The record of the hooked host window and the module's life on the host's
// user-interface thread: the init entry's window search, the 200 ms start-up
// timer that waits for the menu bar, the one-time set-up, the subclassed window
// procedure, and the orderly end of the deinit entry.
#include <windows.h>

#include <functional>
#include <memory>

#include "host/command_router.h"
#include "host/command_targets.h"

namespace volantis::win32 {

// What the module's commands act on, once the host's window is hooked; End is
// the orderly end of the work behind them (the workers are waited for, at most
// the end's bound). The application makes them.
class HookedCommands : public CommandTargets {
 public:
  virtual void End() = 0;
};

// Makes the commands for the hooked host window (loads the settings, registers
// the hot key, then creates the long-lived objects and the windows).
using HookedCommandsFactory = std::function<std::unique_ptr<HookedCommands>(HWND host_window)>;

inline constexpr const char* kHostWindowClass = "FS98MAIN";
inline constexpr UINT kStartupTimerMs = 200;

class HostHook {
 public:
  // make_commands: called once, by the one-time set-up on the host's user-interface thread.
  explicit HostHook(HookedCommandsFactory make_commands);
  // Runs with the module's static objects, under the loader's lock, so it waits
  // for nothing. A hooked module keeps itself loaded until End has run, so all
  // that can be left here is the start-up timer of a module that never hooked
  // the window.
  ~HostHook();
  HostHook(const HostHook&) = delete;
  HostHook& operator=(const HostHook&) = delete;

  // The module-wide record; null before construction and once teardown began.
  static HostHook* Current();

  // The init entry: find the host window and start the start-up timer.
  void Init();
  // The deinit entry, on the host's user-interface thread: the orderly end. The
  // procedure stops acting on messages at once and the timer stops. The host's
  // own procedure is put back; if another one has been installed over ours
  // since, ours stays in the chain, so the module pins itself (it is never
  // unmapped) and its procedure passes every message straight on. Then the
  // module's work ends (the workers are waited for, at most kEndWaitMs), the
  // windows go (and with them OLE), the shared core is let go (and with it
  // Winsock, unless a worker still holds it), and the module's reference on
  // itself is given back. Safe to call twice.
  void End();
  // The process is exiting without the deinit entry: its other threads are gone
  // and its windows go with it, so nothing is taken apart (or waited for).
  void Abandon();

  HWND host_window = nullptr;
  WNDPROC saved_procedure = nullptr;
  // The long-lived objects (race state, Validate and Results windows) and the
  // command targets over them; created by the one-time set-up.
  std::unique_ptr<HookedCommands> commands;
  std::unique_ptr<CommandRouter> router;

 private:
  static void CALLBACK StartupTick(HWND, UINT, UINT_PTR timer_id, DWORD) noexcept;
  static LRESULT CALLBACK HookedProcedure(HWND window, UINT message, WPARAM word_param, LPARAM long_param) noexcept;
  void OnStartupTick(UINT_PTR timer_id);
  void SetUp();
  void Unhook();

  HookedCommandsFactory make_commands_;
  UINT_PTR timer_id_ = 0;
  bool set_up_ = false;
  bool ended_ = false;
  // Taken when the window is hooked, given back at the end of End: until then
  // an unload cannot unmap the procedure the host's window calls.
  HMODULE own_reference_ = nullptr;
};

// The module's own instance handle (its resources live there).
HINSTANCE ModuleInstance();

}  // namespace volantis::win32
