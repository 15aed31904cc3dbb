#include "host/win32/host_hook.h"

#include <cstring>
#include <utility>
#include <vector>

#include "host/win32/ensure_menu.h"
#include "platform/clock.h"

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace volantis::win32 {
namespace {

HostHook* g_hook = nullptr;

// The record for the end's own paths, which outlive g_hook: set while the
// record exists.
HostHook* g_record = nullptr;

// The private message by which an end asked for on another thread reaches the
// user-interface thread through the host window.
UINT g_end_message = 0;
constexpr LRESULT kEndTaken = 0x564F4C45;  // the answer of a taken end

// The host's procedure as the hook found it. Kept apart from the record so that
// a message arriving after teardown began still reaches the host unchanged.
WNDPROC g_pass_on = nullptr;

}  // namespace

HINSTANCE ModuleInstance() { return reinterpret_cast<HINSTANCE>(&__ImageBase); }

HostHook::HostHook(HookedCommandsFactory make_commands) : make_commands_(std::move(make_commands)) {
  g_hook = this;
  g_record = this;
}

HostHook::~HostHook() {
  if (g_hook == this) g_hook = nullptr;
  if (g_record == this) g_record = nullptr;
  if (ended_) return;
  if (timer_id_) ::KillTimer(nullptr, std::exchange(timer_id_, 0));
}

HostHook* HostHook::Current() { return g_hook; }

void HostHook::Init() {
  if (host_window) return;  // a second init call finds the work done
  host_window = ::FindWindowA(kHostWindowClass, nullptr);
  if (!host_window) return;  // inert until unloaded
  ui_thread_ = ::GetCurrentThreadId();
  if (g_end_message == 0) g_end_message = ::RegisterWindowMessageA("Volantis.End");
  timer_id_ = ::SetTimer(nullptr, 0, kStartupTimerMs, &HostHook::StartupTick);
}

void CALLBACK HostHook::StartupTick(HWND, UINT, UINT_PTR timer_id, DWORD) noexcept {
  try {
    if (g_record != nullptr && g_record->RunPendingEnd()) return;
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
    HostHook* record = g_record;
    if (record != nullptr && message == g_end_message && g_end_message != 0) {
      // An end handed over from another thread: the module's own message.
      int waiting = kHandOverWaiting;
      if (record->hand_over_.compare_exchange_strong(waiting, kHandOverTaken)) {
        record->End();
        record->hand_over_done_.Set();
      } else {
        record->RunPendingEnd();  // the caller gave up waiting and pinned the module
      }
      return kEndTaken;
    }
    if (record != nullptr) record->RunPendingEnd();
    HostHook* hook = Current();
    if (hook && hook->router) {
      struct Depth {
        int& depth;
        explicit Depth(int& d) : depth(d) { ++depth; }
        ~Depth() { --depth; }
      } depth(hook->route_depth_);
      hook->router->Route(message, static_cast<uint32_t>(word_param));
    }
    // A deinit that came inside a modal loop of this command runs now.
    if (record != nullptr && record->route_depth_ == 0) record->RunPendingEnd();
  } catch (...) {
    // A failed command is the command's to report; the host still gets its message.
  }
  if (!pass_on) return ::DefWindowProcA(window, message, word_param, long_param);
  return ::CallWindowProcA(pass_on, window, message, word_param, long_param);
}

void HostHook::End() {
  if (ended_) return;
  if (ui_thread_ != 0 && ::GetCurrentThreadId() != ui_thread_) {
    EndFromAnotherThread();
    return;
  }
  if (route_depth_ > 0) {
    // Inside one of the module's commands, whose modal loop dispatched this
    // deinit: its objects are still in use on this stack. New messages pass
    // straight on, the boxes are closed, and the end runs once the command
    // has returned. The host unloads as soon as this returns, so the module
    // stays mapped for good.
    if (g_hook == this) g_hook = nullptr;
    Pin();
    end_pending_ = true;
    CloseModalBoxes();
    return;
  }
  EndHere();
}

void HostHook::EndFromAnotherThread() {
  if (host_window && set_up_ && ::IsWindow(host_window)) {
    int none = kHandOverNone;
    if (hand_over_.compare_exchange_strong(none, kHandOverWaiting)) {
      DWORD_PTR answer = 0;
      ::SendMessageTimeoutA(host_window, g_end_message, 0, 0, SMTO_NORMAL, kHandOverMs, &answer);
      int waiting = kHandOverWaiting;
      if (!hand_over_.compare_exchange_strong(waiting, kHandOverGivenUp)) {
        // Taken: the end runs on the user-interface thread; the host may unload
        // only once it is done.
        hand_over_done_.Wait(INFINITE);
        return;
      }
    }
  }
  // The user-interface thread does not take the end (it no longer pumps
  // messages, or the window was never hooked): nothing of the window side can
  // be taken apart from here, so the module stays mapped with its procedure
  // and timer, and that thread runs the end at its next message or tick.
  Pin();
  end_pending_ = true;
  // A message of its own wakes that thread's loop once it pumps again.
  if (host_window && set_up_) ::PostMessageA(host_window, g_end_message, 0, 0);
}

bool HostHook::RunPendingEnd() {
  if (!end_pending_ || ended_ || route_depth_ > 0) return false;
  if (ui_thread_ != 0 && ::GetCurrentThreadId() != ui_thread_) return false;
  // Runs inside the module's procedure or timer: giving back the module's
  // reference here would unmap the code on this stack.
  Pin();
  EndHere();
  return true;
}

void HostHook::EndHere() {
  ended_ = true;
  end_pending_ = false;
  if (g_hook == this) g_hook = nullptr;  // from here on the procedure only passes messages on
  if (timer_id_) ::KillTimer(nullptr, std::exchange(timer_id_, 0));
  Unhook();
  if (commands) commands->End();
  router.reset();
  // The windows (with OLE), then the core (with Winsock, unless a worker still
  // holds it and lets go of it when it ends).
  commands.reset();
  // The host holds its own reference until it unloads the module; a pinned
  // module keeps its own too.
  HMODULE own = std::exchange(own_reference_, nullptr);
  if (own && !pinned_) ::FreeLibrary(own);
}

namespace {

struct ModalSearch {
  HWND host_window;
  std::vector<HWND> boxes;
};

// Whether window is owned, directly or through other windows, by the host window.
bool OwnedByHost(HWND window, HWND host_window) {
  for (HWND owner = ::GetWindow(window, GW_OWNER); owner; owner = ::GetWindow(owner, GW_OWNER)) {
    if (owner == host_window) return true;
  }
  return false;
}

BOOL CALLBACK CollectModalBox(HWND window, LPARAM search_param) {
  auto* search = reinterpret_cast<ModalSearch*>(search_param);
  char class_name[16] = {};
  ::GetClassNameA(window, class_name, sizeof(class_name));
  // A modal box or dialog has a modal frame and runs its loop with its owner
  // disabled; the module's modeless windows (whose owner a modal box may have
  // disabled too) have no modal frame.
  HWND owner = ::GetWindow(window, GW_OWNER);
  const bool modal_frame = (::GetWindowLongPtrA(window, GWL_STYLE) & DS_MODALFRAME) != 0;
  if (std::strcmp(class_name, "#32770") == 0 && modal_frame && owner && !::IsWindowEnabled(owner) &&
      OwnedByHost(window, search->host_window)) {
    search->boxes.push_back(window);
  }
  return TRUE;
}

}  // namespace

void HostHook::CloseModalBoxes() {
  ModalSearch search{host_window, {}};
  ::EnumThreadWindows(::GetCurrentThreadId(), CollectModalBox, reinterpret_cast<LPARAM>(&search));
  // Each loop ends with Cancel (No to a question), as if the pilot had said so.
  for (HWND box : search.boxes) ::EndDialog(box, IDCANCEL);
}

void HostHook::Pin() {
  HMODULE pinned = nullptr;
  ::GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                       reinterpret_cast<LPCSTR>(&HostHook::HookedProcedure), &pinned);
  pinned_ = true;
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
  // passes every message straight to the host's. The module's own reference is
  // given back all the same: pinned, it cannot unmap.
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
