#include "ui/win32/window_icon.h"

#include "resource.h"

namespace volantis::win32 {

UniqueIcon LoadWindowIcon(HINSTANCE module) {
  return UniqueIcon(static_cast<HICON>(::LoadImageA(module, MAKEINTRESOURCEA(IDI_VOLANTIS), IMAGE_ICON, 16, 16, 0)));
}

void SetWindowIcon(HWND window, HICON icon) {
  if (icon == nullptr) return;
  ::SendMessageA(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
  ::SendMessageA(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
}

}  // namespace volantis::win32
