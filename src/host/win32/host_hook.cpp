#include "host/win32/host_hook.h"

#include <utility>

#include "host/win32/ensure_menu.h"
#include "platform/clock.h"

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace volantis::win32 {
namespace {

HostHook* g_hook = nullptr;

// The host's procedure as the hook found it. Kept apart from the record so that
// a message arriving after teardown began still reaches the host unchanged.
WNDPROC g_pass_on = nullptr;

}  // namespace

HINSTANCE ModuleInstance() { return reinterpret_cast<HINSTANCE>(&__ImageBase); }

HostHook::HostHook(HookedCommandsFactory make_commands) : make_commands_(std::move(make_commands)) { g_hook = this; }

HostHook::~HostHook() {
  if (g_hook == this) g_hook = nullptr;
  if (ended_) return;
  if (timer_id_) ::KillTimer(nullptr, std::exchange(timer_id_, 0));
}

HostHook* HostHook::Current() { return g_hook; }

void HostHook::Init() {
  if (host_window) return;  // a second init call finds the work done
  host_window = ::FindWindowA(kHostWindowClass, nullptr);
  if (!host_window) return;  // inert until unloaded
  timer_id_ = ::SetTimer(nullptr, 0, kStartupTimerMs, &HostHook::StartupTick);
}

void CALLBACK HostHook::StartupTick(HWND, UINT, UINT_PTR timer_id, DWORD) noexcept {
  try {
    if (HostHook* hook = Current()) hook->OnStartupTick(timer_id);
  } catch (...) {
    // Nothing may reach the host; the next tick tries again.
  }
}

void HostHook::OnStartupTick(UINT_PTR timer_id) {
  if (set_up_ || !::GetMenu(host_window)) return;
  ::KillTimer(nullptr, timer_id);
  if (timer_id == timer_id_) timer_id_ = 0;
  SetUp();
}

void HostHook::SetUp() {
  set_up_ = true;
  EnsureMenu(host_window, ModuleInstance());
  // Loads the settings, registers the hot key, then creates the race state and
  // the Validate and Results windows.
  commands = make_commands_(host_window);
  router = std::make_unique<CommandRouter>(*commands, SystemClock());
  ::GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCSTR>(&HostHook::HookedProcedure),
                       &own_reference_);
  saved_procedure = reinterpret_cast<WNDPROC>(::GetWindowLongPtrA(host_window, GWLP_WNDPROC));
  g_pass_on = saved_procedure;
  ::SetWindowLongPtrA(host_window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&HostHook::HookedProcedure));
}

LRESULT CALLBACK HostHook::HookedProcedure(HWND window, UINT message, WPARAM word_param,
                                           LPARAM long_param) noexcept {
  // Read before routing: a command may run a modal loop during which anything
  // can happen, but the host's procedure stays the one to call.
  WNDPROC pass_on = g_pass_on;
  try {
    HostHook* hook = Current();
    if (hook && hook->router) {
      hook->router->Route(message, static_cast<uint32_t>(word_param));
    }
  } catch (...) {
    // A failed command is the command's to report; the host still gets its message.
  }
  if (!pass_on) return ::DefWindowProcA(window, message, word_param, long_param);
  return ::CallWindowProcA(pass_on, window, message, word_param, long_param);
}

void HostHook::End() {
  if (ended_) return;
  ended_ = true;
  if (g_hook == this) g_hook = nullptr;  // from here on the procedure only passes messages on
  if (timer_id_) ::KillTimer(nullptr, std::exchange(timer_id_, 0));
  Unhook();
  if (commands) commands->End();
  router.reset();
  // The windows (with OLE), then the core (with Winsock, unless a worker still
  // holds it and lets go of it when it ends).
  commands.reset();
  // The host holds its own reference until it unloads the module.
  if (HMODULE own = std::exchange(own_reference_, nullptr)) ::FreeLibrary(own);
}

void HostHook::Unhook() {
  if (!host_window || !saved_procedure || !::IsWindow(host_window)) return;
  if (::GetWindowLongPtrA(host_window, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(&HostHook::HookedProcedure)) {
    ::SetWindowLongPtrA(host_window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(saved_procedure));
    return;
  }
  // Another procedure was installed over ours and calls ours on: the host would
  // crash on its next message if the module were unmapped. Pinned, the module
  // stays for the life of the process, and with the record gone its procedure
  // passes every message straight to the host's.
  HMODULE pinned = nullptr;
  ::GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                       reinterpret_cast<LPCSTR>(&HostHook::HookedProcedure), &pinned);
}

void HostHook::Abandon() {
  ended_ = true;
  if (g_hook == this) g_hook = nullptr;
  timer_id_ = 0;
  own_reference_ = nullptr;
  router.release();
  commands.release();
}

}  // namespace volantis::win32
