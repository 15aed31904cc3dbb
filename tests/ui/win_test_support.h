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
