#pragma once
// What the Windows-side window tests share: a stand-in host window, a message
// pump that behaves like the simulator's (no IsDialogMessage), text through
// window messages, screenshots through the Wine runner, and an exit code for
// crashes (Wine would otherwise report them as success).
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace volantis::testing {

inline LONG WINAPI ExitOnCrash(EXCEPTION_POINTERS* info) {
  std::fprintf(stderr, "crash: exception 0x%08lx\n", info->ExceptionRecord->ExceptionCode);
  std::fflush(stderr);
  ::ExitProcess(3);
}

inline const bool kCrashFilterInstalled = (::SetUnhandledExceptionFilter(ExitOnCrash), true);

// The host's message loop: translate and dispatch, nothing else.
inline void Pump() {
  MSG message;
  while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    ::TranslateMessage(&message);
    ::DispatchMessageA(&message);
  }
}

// Pumps until done() holds or the time is up; returns done().
inline bool PumpUntil(const std::function<bool()>& done, int milliseconds = 5000) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    Pump();
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
  return true;
}

inline std::string WindowText(HWND window) {
  const LRESULT length = ::SendMessageA(window, WM_GETTEXTLENGTH, 0, 0);
  std::string text(static_cast<std::size_t>(length) + 1, '\0');
  const LRESULT got = ::SendMessageA(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
  text.resize(static_cast<std::size_t>(got));
  return text;
}

inline std::string ItemText(HWND dialog, int id) { return WindowText(::GetDlgItem(dialog, id)); }

inline std::string ClassOf(HWND window) {
  char name[64] = {};
  ::GetClassNameA(window, name, sizeof name);
  return name;
}

// A key press as the system queues it for the window with the focus.
inline void PostKey(HWND target, WPARAM key) {
  ::PostMessageA(target, WM_KEYDOWN, key, 1);
  ::PostMessageA(target, WM_KEYUP, key, 0xC0000001);
}

// A top-level window standing in for the simulator's main window.
class HostWindow {
 public:
  HostWindow() {
    WNDCLASSA window_class = {};
    window_class.lpfnWndProc = ::DefWindowProcA;
    window_class.hInstance = ::GetModuleHandleA(nullptr);
    window_class.lpszClassName = "VolantisTestHost";
    window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_APPWORKSPACE + 1);
    ::RegisterClassA(&window_class);
    window_ = ::CreateWindowExA(0, "VolantisTestHost", "Stand-in simulator", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                                1024, 768, nullptr, nullptr, ::GetModuleHandleA(nullptr), nullptr);
  }
  ~HostWindow() { ::DestroyWindow(window_); }
  HostWindow(const HostWindow&) = delete;
  HostWindow& operator=(const HostWindow&) = delete;
  HWND get() const { return window_; }

 private:
  HWND window_ = nullptr;
};

// Saves the whole screen as docs-ready PNG through the Wine runner's hook when
// VOLANTIS_SCREENSHOTS is set; returns false (nothing to do) otherwise.
inline bool Screenshot(const std::string& name) {
  if (std::getenv("VOLANTIS_SCREENSHOTS") == nullptr) return false;
  PumpUntil([] { return false; }, 300);  // let every window paint
  const std::string done = name + ".shot-done";
  ::DeleteFileA(done.c_str());
  std::printf("SCREENSHOT %s\n", name.c_str());
  std::fflush(stdout);
  const bool taken = PumpUntil([&] { return ::GetFileAttributesA(done.c_str()) != INVALID_FILE_ATTRIBUTES; }, 20000);
  ::DeleteFileA(done.c_str());
  return taken;
}

}  // namespace volantis::testing

namespace volantis::testing {

struct WindowSearch {
  const char* caption;
  HWND found;
};

inline BOOL CALLBACK MatchCaption(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<WindowSearch*>(data);
  if (::IsWindowVisible(window) && WindowText(window) == search->caption) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

// The visible top-level window of this thread with the given caption, or null.
inline HWND FindThreadWindow(const char* caption) {
  WindowSearch search{caption, nullptr};
  ::EnumThreadWindows(::GetCurrentThreadId(), MatchCaption, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

inline BOOL CALLBACK CancelWindow(HWND window, LPARAM) {
  ::PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
  return TRUE;
}

// What a message box shows: its text, its visible buttons, and whether it has an icon.
struct MessageBoxView {
  std::string text;
  std::vector<int> buttons;
  bool has_icon = false;
};

inline MessageBoxView ReadMessageBox(HWND box) {
  MessageBoxView view;
  for (HWND child = ::GetWindow(box, GW_CHILD); child != nullptr; child = ::GetWindow(child, GW_HWNDNEXT)) {
    if (!::IsWindowVisible(child)) continue;
    const std::string kind = ClassOf(child);
    const LONG style = ::GetWindowLongA(child, GWL_STYLE);
    if (lstrcmpiA(kind.c_str(), "Button") == 0) {
      view.buttons.push_back(::GetDlgCtrlID(child));
    } else if (lstrcmpiA(kind.c_str(), "Static") == 0) {
      if ((style & SS_TYPEMASK) == SS_ICON) {
        view.has_icon = view.has_icon || ::SendMessageA(child, STM_GETICON, 0, 0) != 0;
      } else if (!WindowText(child).empty()) {
        view.text = WindowText(child);
      }
    }
  }
  return view;
}

// Drives modal dialogs from a thread timer that their own message loops serve:
// each step runs on a tick and returns true when done; a step that never
// finishes fails the test and ends every dialog of the thread, so nothing hangs.
class ModalScript {
 public:
  using Step = std::function<bool()>;

  explicit ModalScript(std::vector<Step> steps) : steps_(std::move(steps)) {
    Current() = this;
    timer_ = ::SetTimer(nullptr, 0, 30, Tick);
  }
  ~ModalScript() {
    ::KillTimer(nullptr, timer_);
    Current() = nullptr;
    // Steps left once the dialog's loop has ended (such as waiting for it to close) run now.
    while (next_ < steps_.size() && steps_[next_]()) ++next_;
    EXPECT_EQ(next_, steps_.size()) << "the script stopped at step " << next_;
  }
  ModalScript(const ModalScript&) = delete;
  ModalScript& operator=(const ModalScript&) = delete;

 private:
  static ModalScript*& Current() {
    static ModalScript* current = nullptr;
    return current;
  }
  static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    ModalScript* self = Current();
    if (self == nullptr || self->busy_ || self->next_ >= self->steps_.size()) return;
    self->busy_ = true;
    if (self->steps_[self->next_]()) {
      ++self->next_;
      self->tries_ = 0;
    } else if (++self->tries_ > 300) {
      ADD_FAILURE() << "step " << self->next_ << " never finished";
      self->next_ = self->steps_.size();
      ::EnumThreadWindows(::GetCurrentThreadId(), CancelWindow, 0);
    }
    self->busy_ = false;
  }

  std::vector<Step> steps_;
  std::size_t next_ = 0;
  int tries_ = 0;
  bool busy_ = false;
  UINT_PTR timer_ = 0;
};

}  // namespace volantis::testing
