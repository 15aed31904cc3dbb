#pragma once
// A window class that hosts the system's web browser control in a minimal OLE
// container of our own (client site, in-place site and in-place frame). The
// Results window's template places a window of this class; CreateBrowserControl
// creates the control inside it (a step of its own, so that opening the window
// never holds the thread for long), resizing it resizes the control, destroying
// it closes the control. Everything on the thread that created the window, after
// OleInitialize.
#include <windows.h>

#include <string>

namespace volantis::win32 {

inline constexpr const char* kBrowserHostClass = "VolantisBrowserHost";

// Registers (once per module) and unregisters the hosting window class.
bool RegisterBrowserHostClass(HINSTANCE module);
void UnregisterBrowserHostClass(HINSTANCE module);

// Creates the web browser control in the hosting window, once; true when the
// window then hosts one.
bool CreateBrowserControl(HWND host);

// True when the window hosts a created browser control.
bool BrowserControlCreated(HWND host);

// How the hosted control keeps dialog boxes away from the simulator, exposed
// for tests: its Silent property as it reads back (no boxes of the control's
// own), and an interface of the client site the control holds, which the
// page's engine asks before it shows a box of the page (alert, confirm) or a
// script error; the site answers them itself and shows nothing. E_FAIL when
// there is no control.
bool BrowserControlSilent(HWND host);
HRESULT QueryBrowserControlSite(HWND host, REFIID iid, void** object);

// Navigates the control to address: the control's dispatch method 0x68 with the
// address and four empty optional arguments. The call's result, or E_FAIL when
// there is no control.
HRESULT NavigateBrowser(HWND host, const std::string& address);

}  // namespace volantis::win32
