#include "ui/win32/hot_key_win32.h"

namespace volantis::win32 {

namespace {
constexpr int kValidationHotKeyId = 0;
}

HotKeyResult WindowHotKey::Register(uint32_t modifier_keys, uint32_t key_code) {
  ::SetLastError(0);
  if (::RegisterHotKey(window_, kValidationHotKeyId, modifier_keys, key_code)) return {true, 0};
  return {false, ::GetLastError()};
}

HotKeyResult WindowHotKey::Unregister() {
  ::SetLastError(0);
  if (::UnregisterHotKey(window_, kValidationHotKeyId)) return {true, 0};
  return {false, ::GetLastError()};
}

std::string WindowHotKey::ErrorText(uint32_t error) { return SystemErrorText(error); }

std::string SystemErrorText(uint32_t error) {
  char text[1024] = {};
  const DWORD length = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error,
                                        MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), text, sizeof text, nullptr);
  return std::string(text, length);
}

}  // namespace volantis::win32
