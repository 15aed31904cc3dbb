#include "host/win32/ensure_menu.h"

#include <string>

#include "host/command_ids.h"

namespace volantis::win32 {
namespace {

// The item's identifier. A popup item's identifier is only reachable through
// the item information (the plain identifier call answers -1 for popups).
UINT ItemId(HMENU menu, int position) {
  MENUITEMINFOA info = {};
  info.cbSize = sizeof(info);
  info.fMask = MIIM_ID;
  if (!::GetMenuItemInfoA(menu, static_cast<UINT>(position), TRUE, &info)) return 0;
  return info.wID;
}

}  // namespace

void EnsureMenu(HWND host_window, HINSTANCE module) {
  HMENU bar = ::GetMenu(host_window);
  if (!bar) return;
  const int count = ::GetMenuItemCount(bar);
  if (count <= 0) return;
  for (int position = count - 1; position >= 0; --position) {
    if (ItemId(bar, position) == kCmdPopupItem) return;
  }
  HMENU popup = ::LoadMenuA(module, kMenuResourceName);
  if (!popup) return;

  std::string text = kPopupText;
  MENUITEMINFOA item = {};
  item.cbSize = sizeof(item);
  item.fMask = MIIM_TYPE | MIIM_STATE | MIIM_ID | MIIM_SUBMENU;
  item.fType = MFT_STRING;
  item.fState = 0;
  item.wID = kCmdPopupItem;
  item.hSubMenu = popup;
  item.dwTypeData = text.data();
  item.cch = static_cast<UINT>(text.size());
  if (!::InsertMenuItemA(bar, static_cast<UINT>(count), TRUE, &item)) {
    ::DestroyMenu(popup);  // not attached to the bar, so still ours
    return;
  }
  ::DrawMenuBar(host_window);
}

}  // namespace volantis::win32
