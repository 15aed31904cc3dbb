#pragma once
// Hands a command to the host's user-interface thread by posting WM_COMMAND
// (identifier as word parameter, 0 as long parameter) to its main window.
#include <windows.h>

#include "platform/host_poster.h"

namespace volantis::win32 {

class WindowPoster : public HostPoster {
 public:
  explicit WindowPoster(HWND window) : window_(window) {}
  void PostCommand(uint32_t command) override {
    ::PostMessageA(window_, WM_COMMAND, command, 0);
  }

 private:
  HWND window_;
};

}  // namespace volantis::win32
