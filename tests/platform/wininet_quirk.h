#pragma once
// Where the Windows half's tests run on a platform that falls short of Windows.
#ifdef _WIN32
#include <windows.h>
#endif

namespace volantis::testing {

// Windows ends a WinInet call blocked in a request as soon as another thread
// closes the request handle; Wine's WinInet ends it only at the call's own
// time-out, whatever handle is closed.
inline bool BlockedWinInetCallsIgnoreClosing() {
#ifdef _WIN32
  return ::GetProcAddress(::GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr;
#else
  return false;
#endif
}

}  // namespace volantis::testing
