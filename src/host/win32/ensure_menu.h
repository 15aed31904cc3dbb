#pragma once
// Keeps the module's popup "&Volantis" in the host's menu bar: appended after the
// host's last top-level item, recognised by its identifier 45001, never twice.
#include <windows.h>

namespace volantis::win32 {

inline constexpr const char* kPopupText = "&Volantis";
inline constexpr const char* kMenuResourceName = "MENU";

// Inserts the popup if the bar of host_window lacks it. Only scans the bar's
// identifiers when the popup is there, since it runs on every non-client paint.
void EnsureMenu(HWND host_window, HINSTANCE module);

}  // namespace volantis::win32
