#pragma once
// Keyboard handling for the module's modeless windows. The simulator owns the
// message loop and never calls IsDialogMessage, so a hook on the user-interface
// thread's message retrieval does it for the windows registered here: Escape
// becomes the window's Cancel command, Enter its default (or focused) button's
// command, and Tab, arrows and mnemonics work as in any dialog. Each window
// decides what its Cancel and OK commands do. The hook is installed with the
// first window and removed with the last; all calls on the user-interface thread.
// Inside a hosted control (the Results window's web page) only Escape is taken;
// every other key belongs to the control.
#include <windows.h>

namespace volantis::win32 {

void AttachDialogKeys(HWND dialog);
void DetachDialogKeys(HWND dialog);

// What the hook does with one retrieved message; true when the message was
// consumed (the hook then turns it into WM_NULL). Exposed for tests.
bool RouteDialogKey(const MSG& message);

}  // namespace volantis::win32
