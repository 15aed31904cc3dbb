#include "sim_window.h"

#include <string>

#include "sim_output.h"

namespace fs9sim {
namespace {

SimWindow* g_window = nullptr;
constexpr UINT_PTR kMenuTimerId = 1;

// The procedure another add-on installed over the one it found.
WNDPROC g_foreign_next = nullptr;
LRESULT CALLBACK ForeignProcedure(HWND window, UINT message, WPARAM word_param, LPARAM long_param) {
  return ::CallWindowProcA(g_foreign_next, window, message, word_param, long_param);
}

LRESULT CALLBACK HostProcedure(HWND window, UINT message, WPARAM word_param, LPARAM long_param) {
  if (g_window) return g_window->OnMessage(window, message, word_param, long_param);
  return ::DefWindowProcA(window, message, word_param, long_param);
}

HMENU BuildBar(const char* const* popups, int count) {
  HMENU bar = ::CreateMenu();
  for (int i = 0; i < count; ++i) {
    HMENU popup = ::CreatePopupMenu();
    ::AppendMenuA(popup, MF_STRING, 40001 + i * 10, "&Item");
    ::AppendMenuA(bar, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(popup), popups[i]);
  }
  return bar;
}

std::string ItemText(HMENU menu, int position) {
  char text[256] = {};
  MENUITEMINFOA info = {};
  info.cbSize = sizeof(info);
  info.fMask = MIIM_STRING;
  info.dwTypeData = text;
  info.cch = sizeof(text) - 1;
  if (!::GetMenuItemInfoA(menu, static_cast<UINT>(position), TRUE, &info)) return {};
  return text;
}

MENUITEMINFOA ItemInfo(HMENU menu, int position) {
  MENUITEMINFOA info = {};
  info.cbSize = sizeof(info);
  info.fMask = MIIM_ID | MIIM_SUBMENU | MIIM_FTYPE | MIIM_STATE;
  ::GetMenuItemInfoA(menu, static_cast<UINT>(position), TRUE, &info);
  return info;
}

}  // namespace

bool SimWindow::Create(const char* class_name) {
  g_window = this;
  WNDCLASSA window_class = {};
  window_class.lpfnWndProc = HostProcedure;
  window_class.hInstance = ::GetModuleHandleA(nullptr);
  window_class.hCursor = ::LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  window_class.lpszClassName = class_name;
  if (!::RegisterClassA(&window_class)) return false;
  window_ = ::CreateWindowA(class_name, "Flight Simulator stand-in", WS_OVERLAPPEDWINDOW, 40, 40, 800, 600, nullptr,
                            nullptr, window_class.hInstance, nullptr);
  if (!window_) return false;
  ::ShowWindow(window_, SW_SHOW);
  ::UpdateWindow(window_);
  return true;
}

LRESULT SimWindow::HostResult(UINT message, WPARAM word_param, LPARAM long_param) {
  return static_cast<LRESULT>(0x5EED0000u ^ (static_cast<uint32_t>(word_param) * 31u) ^
                              static_cast<uint32_t>(long_param) ^ message);
}

void SimWindow::GiveMenuBar() {
  static const char* const kPopups[] = {"&File", "&Options", "&Help"};
  ::SetMenu(window_, BuildBar(kPopups, 3));
  Say("MENUBAR given");
}

void SimWindow::GiveMenuBarAfter(UINT milliseconds) {
  menu_pending_ = ::SetTimer(window_, kMenuTimerId, milliseconds, nullptr) != 0;
}

void SimWindow::ReplaceMenuBar() {
  static const char* const kPopups[] = {"&Flights", "&Aircraft", "&World", "&Views"};
  HMENU old_bar = ::GetMenu(window_);
  ::SetMenu(window_, BuildBar(kPopups, 4));
  if (old_bar) ::DestroyMenu(old_bar);
  Say("MENUBAR replaced");
}

void SimWindow::GiveMarkedMenuBar() {
  HMENU bar = ::CreateMenu();
  ::AppendMenuA(bar, MF_STRING, 45001, "&Marked");
  ::AppendMenuA(bar, MF_STRING, 40100, "&Other");
  HMENU old_bar = ::GetMenu(window_);
  ::SetMenu(window_, bar);
  if (old_bar) ::DestroyMenu(old_bar);
  Say("MENUBAR marked");
}

void SimWindow::PrintMenuBar() const {
  HMENU bar = ::GetMenu(window_);
  if (!bar) {
    Say("MENUBAR none");
    return;
  }
  const int count = ::GetMenuItemCount(bar);
  Say("MENUBAR items=%d", count);
  for (int i = 0; i < count; ++i) {
    const MENUITEMINFOA info = ItemInfo(bar, i);
    Say("MENUBAR %d id=%u \"%s\"%s", i, info.wID, ItemText(bar, i).c_str(), info.hSubMenu ? " popup" : "");
  }
  for (int i = 0; i < count; ++i) {
    const MENUITEMINFOA info = ItemInfo(bar, i);
    if (info.wID != 45001 || !info.hSubMenu) continue;
    const int items = ::GetMenuItemCount(info.hSubMenu);
    Say("POPUP items=%d", items);
    for (int j = 0; j < items; ++j) {
      const MENUITEMINFOA item = ItemInfo(info.hSubMenu, j);
      if (item.fType & MFT_SEPARATOR) {
        Say("POPUP %d separator", j);
      } else {
        Say("POPUP %d id=%u \"%s\" state=%u", j, item.wID, ItemText(info.hSubMenu, j).c_str(), item.fState);
      }
    }
  }
}

void SimWindow::SubclassForeign() {
  const LONG_PTR found = ::GetWindowLongPtrA(window_, GWLP_WNDPROC);
  const bool over_own = found == reinterpret_cast<LONG_PTR>(&HostProcedure);
  g_foreign_next = reinterpret_cast<WNDPROC>(found);
  ::SetWindowLongPtrA(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&ForeignProcedure));
  Say("SUBCLASS foreign over %s", over_own ? "own" : "another");
}

bool SimWindow::OwnProcedureInstalled() const {
  return ::GetWindowLongPtrA(window_, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(&HostProcedure);
}

LRESULT SimWindow::OnMessage(HWND window, UINT message, WPARAM word_param, LPARAM long_param) {
  received_.push_back({message, word_param, long_param});
  if (message >= watch_from_ && message <= watch_to_) {
    Say("RECV msg=0x%04x wp=0x%08lx lp=0x%08lx", message, static_cast<unsigned long>(word_param),
        static_cast<unsigned long>(long_param));
  }
  if (message == WM_TIMER && word_param == kMenuTimerId && menu_pending_) {
    ::KillTimer(window, kMenuTimerId);
    menu_pending_ = false;
    GiveMenuBar();
    return 0;
  }
  if (message == WM_CLOSE) return 0;  // only the script ends the run
  if (IsTestMessage(message)) return HostResult(message, word_param, long_param);
  return ::DefWindowProcA(window, message, word_param, long_param);
}

}  // namespace fs9sim
