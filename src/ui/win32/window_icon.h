#pragma once
// The module's icon (resource 101) at 16 x 16 pixels, used as both the large and
// the small icon of every window of the module.
#include <windows.h>

#include "platform/win32/unique_handle.h"

namespace volantis::win32 {

// Icons loaded without sharing: DestroyIcon, invalid value NULL.
struct IconTraits {
  using Handle = HICON;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle h) { ::DestroyIcon(h); }
};
using UniqueIcon = UniqueHandle<IconTraits>;

UniqueIcon LoadWindowIcon(HINSTANCE module);
void SetWindowIcon(HWND window, HICON icon);

}  // namespace volantis::win32
