#pragma once
// A modeless dialog from its template, created hidden whatever the template's
// style says (from a copy of the template without WS_VISIBLE). Showing a new
// top-level window is the costly half of making it, so a window created this
// way can be shown on a later message of the user-interface thread.
#include <windows.h>

namespace volantis::win32 {

HWND CreateHiddenDialog(HINSTANCE module, int template_id, HWND parent, DLGPROC procedure, LPARAM param);

}  // namespace volantis::win32
