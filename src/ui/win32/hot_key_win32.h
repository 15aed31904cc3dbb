#pragma once
// The validation hot key registered on one window (the host's main window).
#include <windows.h>

#include "core/hot_key.h"

namespace volantis::win32 {

class WindowHotKey : public HotKeyRegistrar {
 public:
  explicit WindowHotKey(HWND window) : window_(window) {}
  HotKeyResult Register(uint32_t modifier_keys, uint32_t key_code) override;
  HotKeyResult Unregister() override;
  std::string ErrorText(uint32_t error) override;

 private:
  HWND window_;
};

// The system's text for an error number in the default language, or empty text.
std::string SystemErrorText(uint32_t error);

}  // namespace volantis::win32
