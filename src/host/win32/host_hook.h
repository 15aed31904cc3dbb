#pragma once
// The record of the hooked host window and the module's life on the host's
// user-interface thread: the init entry's window search, the 200 ms start-up
// timer that waits for the menu bar, the one-time set-up, the subclassed window
// procedure, and the orderly end of the deinit entry.
#include <windows.h>

#include <atomic>
#include <functional>
#include <memory>

#include "host/command_router.h"
#include "host/command_targets.h"
#include "platform/sync.h"

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
// How long a deinit on another thread waits for the user-interface thread to
// take the end.
inline constexpr UINT kHandOverMs = 2000;

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
  // The deinit entry: the orderly end. The procedure stops acting on messages
  // at once and the timer stops. The host's own procedure is put back; if
  // another one has been installed over ours since, ours stays in the chain, so
  // the module pins itself (it is never unmapped) and its procedure passes every
  // message straight on. Then the module's work ends (the workers are waited
  // for, at most kEndWaitMs), the windows go (and with them OLE), the shared
  // core is let go (and with it Winsock, unless a worker still holds it), and
  // the module's reference on itself is given back. A second call does nothing.
  //
  // The window work belongs to the user-interface thread. Called on another
  // thread, End hands itself to that thread through the host window and waits
  // for it at most kHandOverMs; if the thread does not take it (it no longer
  // pumps messages), the module pins itself, and the end runs on that thread at
  // its next message or tick. Called from inside a modal loop of the module (a
  // message box or dialog of one of its commands, whose loop dispatched the
  // host's deinit), End closes those boxes and returns; the end runs once the
  // command has returned, and the module pins itself, since the host's
  // reference is gone by then and giving back its own would unmap the code the
  // thread still runs.
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
  // The end itself, on the user-interface thread outside the module's commands.
  void EndHere();
  void EndFromAnotherThread();
  // Runs a pending end (asked for from another thread or from inside a
  // command) once the thread is outside every command; true when it ran.
  bool RunPendingEnd();
  void CloseModalBoxes();
  void Pin();

  HookedCommandsFactory make_commands_;
  UINT_PTR timer_id_ = 0;
  bool set_up_ = false;
  bool ended_ = false;
  // The user-interface thread: the one that called the init entry.
  DWORD ui_thread_ = 0;
  // How many commands of the module are on the user-interface thread's stack.
  int route_depth_ = 0;
  // An end asked for where it could not run; run by the user-interface thread
  // outside every command. Set from any thread.
  std::atomic<bool> end_pending_{false};
  std::atomic<bool> pinned_{false};
  // The hand-over of an end from another thread: waiting, taken by the
  // user-interface thread, or given up by the caller at the bound.
  enum HandOver { kHandOverNone, kHandOverWaiting, kHandOverTaken, kHandOverGivenUp };
  std::atomic<int> hand_over_{kHandOverNone};
  Event hand_over_done_{true, false};
  // Taken when the window is hooked, given back at the end of End: until then
  // an unload cannot unmap the procedure the host's window calls.
  HMODULE own_reference_ = nullptr;
};

// The module's own instance handle (its resources live there).
HINSTANCE ModuleInstance();

}  // namespace volantis::win32
