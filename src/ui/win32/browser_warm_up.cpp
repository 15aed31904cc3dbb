#include "ui/win32/browser_warm_up.h"

#include <windows.h>
#include <ole2.h>

#include "ui/win32/browser_host.h"

namespace volantis::win32 {
namespace {

// OLE on this thread for as long as the object lives.
class OleOnThisThread {
 public:
  OleOnThisThread() : started_(SUCCEEDED(::OleInitialize(nullptr))) {}
  ~OleOnThisThread() {
    if (started_) ::OleUninitialize();
  }
  OleOnThisThread(const OleOnThisThread&) = delete;
  OleOnThisThread& operator=(const OleOnThisThread&) = delete;
  bool started() const { return started_; }

 private:
  bool started_;
};

// A hidden window of this thread that the control is placed in once.
class HiddenWindow {
 public:
  HiddenWindow()
      : window_(::CreateWindowExA(WS_EX_TOOLWINDOW, "STATIC", "", WS_POPUP, 0, 0, 320, 240, nullptr, nullptr,
                                  nullptr, nullptr)) {}
  ~HiddenWindow() {
    if (window_ != nullptr) ::DestroyWindow(window_);
  }
  HiddenWindow(const HiddenWindow&) = delete;
  HiddenWindow& operator=(const HiddenWindow&) = delete;
  HWND get() const { return window_; }

 private:
  HWND window_;
};

// Carries out whatever the thread's windows and apartment were sent or posted.
void DispatchWaitingMessages() {
  MSG message;
  while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) continue;
    ::TranslateMessage(&message);
    ::DispatchMessageA(&message);
  }
}

}  // namespace

void KeepBrowserEngineWarm(CancelSignal& cancel) {
  if (cancel.cancelled()) return;
  // The simulator's threads come first.
  ::SetThreadPriority(::GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL);
  OleOnThisThread ole;
  if (!ole.started()) return;
  if (!cancel.cancelled()) {
    HiddenWindow window;
    if (window.get() != nullptr) ExerciseBrowserOnce(window.get());
    DispatchWaitingMessages();
  }
  // The apartment stays until the end: were it the last one of the process to
  // go, the browser's libraries would be unloaded with it.
  while (!cancel.WaitCancelled(kWarmBrowserPollMs)) DispatchWaitingMessages();
  DispatchWaitingMessages();
}

}  // namespace volantis::win32
