// Every dialog template the module promises: caption, size, style, and each
// control's identifier, class, text and place, in template order.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include "resource.h"
#include "ui/win32/browser_host.h"
#include "win_test_support.h"

namespace volantis {
namespace {

struct ControlRow {
  int id;
  const char* window_class;
  const char* text;
  int x, y, width, height;
  LONG style;  // bits that must be set
};

struct TemplateRow {
  int template_id;
  const char* caption;
  int width, height;
  LONG style;       // bits that must be set
  LONG not_style;   // bits that must be clear
  LONG ex_style;    // extended bits that must be set
  std::vector<ControlRow> controls;
};

INT_PTR CALLBACK InertProc(HWND, UINT message, WPARAM, LPARAM) { return message == WM_INITDIALOG; }

RECT DialogUnits(HWND dialog, int x, int y, int width, int height) {
  RECT rect = {x, y, width, height};
  ::MapDialogRect(dialog, &rect);
  return rect;  // left, top, width, height in pixels
}

TEST(Templates, EveryDialogAsPromised) {
  INITCOMMONCONTROLSEX init = {sizeof init, ICC_HOTKEY_CLASS};
  ::InitCommonControlsEx(&init);
  win32::RegisterBrowserHostClass(::GetModuleHandleA(nullptr));
  const LONG kEdit = ES_MULTILINE | ES_READONLY | WS_VSCROLL | WS_BORDER;
  const LONG kPopup = WS_POPUP | WS_CAPTION | WS_SYSMENU;
  const std::vector<TemplateRow> templates = {
      {IDD_VALIDATE, "Volantis Validate", 362, 231, kPopup | WS_MINIMIZEBOX, WS_THICKFRAME, WS_EX_APPWINDOW,
       {
           {IDC_VALIDATE_EDIT, "Edit", "", 7, 7, 348, 194, kEdit | ES_AUTOVSCROLL},
           {IDC_VALIDATE_NOW, "Button", "Validate &Now", 154, 208, 52, 14, 0},
       }},
      {IDD_LOG, "Volantis Log", 252, 254, kPopup | WS_THICKFRAME | WS_MINIMIZEBOX, 0, 0,
       {
           {-1, "Static", "Latitude:", 6, 7, 28, 8, 0},
           {IDC_LATITUDE, "Static", "", 46, 7, 199, 8, 0},
           {-1, "Static", "Longitude:", 6, 18, 34, 8, 0},
           {IDC_LONGITUDE, "Static", "", 46, 18, 199, 8, 0},
           {-1, "Static", "Altitude:", 6, 29, 26, 8, 0},
           {IDC_ALTITUDE, "Static", "", 46, 29, 199, 8, 0},
           {-1, "Static", "Gates file:", 6, 40, 32, 8, 0},
           {IDC_GATES_FILE, "Static", "", 46, 40, 199, 8, 0},
           {IDC_LOG_EDIT, "Edit", "", 6, 53, 239, 194, kEdit},
       }},
      {IDD_RACE_SETTINGS, "Race Settings", 320, 167, kPopup | DS_MODALFRAME, WS_THICKFRAME, 0,
       {
           {-1, "Static", "&Player name:", 7, 9, 42, 8, 0},
           {IDC_PLAYER_NAME, "Edit", "", 70, 7, 111, 14, WS_BORDER},
           {-1, "Static", "Tarvex &IP address:", 7, 26, 62, 8, 0},
           {IDC_SERVER_IP, "Edit", "", 70, 24, 125, 14, WS_BORDER},
           {-1, "Static", "&Web port:", 210, 26, 32, 8, 0},
           {IDC_SERVER_PORT, "Edit", "", 243, 24, 25, 14, WS_BORDER},
           {-1, "Static", "(default = 80)", 271, 26, 42, 8, 0},
           {-1, "Static", "Hot key to validate:", 7, 43, 62, 8, 0},
           {IDC_HOT_KEY, "msctls_hotkey32", "", 70, 41, 80, 14, 0},
           {IDC_HOT_KEY_SET, "Button", "&Set", 155, 41, 19, 14, 0},
           {IDC_HOT_KEY_CLEAR, "Button", "&Clear", 179, 41, 24, 14, 0},
           {-1, "Static", "Play sounds:", 7, 58, 41, 8, 0},
           {IDC_SOUND_CROSS, "Button", "For gate crossings", 14, 71, 73, 10, BS_AUTOCHECKBOX},
           {IDC_SOUND_SKIP, "Button", "For gate skips", 14, 84, 60, 10, BS_AUTOCHECKBOX},
           {IDC_SOUND_END, "Button", "For end of race", 14, 97, 64, 10, BS_AUTOCHECKBOX},
           {IDC_SOUND_VALIDATE, "Button", "When validating", 14, 110, 67, 10, BS_AUTOCHECKBOX},
           {IDC_SOUND_RACE_RESULTS, "Button", "When sending race results", 14, 123, 100, 10, BS_AUTOCHECKBOX},
           {IDOK, "Button", "Save", 107, 147, 50, 14, BS_DEFPUSHBUTTON},
           {IDCANCEL, "Button", "Cancel", 162, 147, 50, 14, 0},
       }},
      {IDD_RESULTS, "Volantis Results", 510, 278, kPopup | WS_THICKFRAME | WS_MINIMIZEBOX, 0, 0,
       {
           {-1, "Static", "Address:", 7, 9, 28, 8, 0},
           {IDC_ADDRESS, "Edit", "", 37, 7, 443, 14, WS_BORDER},
           {IDC_GO, "Button", "Go", 484, 7, 19, 14, BS_DEFPUSHBUTTON},
           {IDC_BROWSER, win32::kBrowserHostClass, "", 7, 28, 496, 243, 0},
       }},
      {IDD_ABOUT, "About Volantis.dll", 235, 82, kPopup | DS_MODALFRAME, WS_THICKFRAME, 0,
       {
           {IDC_VERSION, "Static", "Volantis.dll Version x.x", 48, 7, 119, 8, 0},
           {-1, "Static", "Copyright (C) 2026 Volantis team", 48, 18, 124, 8, 0},
           {-1, "Static", "support@volantis-racing.example", 48, 29, 121, 8, 0},
           {-1, "Static", "https://volantis.example.org/", 48, 40, 139, 8, 0},
           {IDOK, "Button", "OK", 92, 61, 50, 14, BS_DEFPUSHBUTTON},
       }},
  };

  testing::HostWindow host;
  for (const TemplateRow& t : templates) {
    SCOPED_TRACE(t.caption);
    HWND dialog = ::CreateDialogParamA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(t.template_id), host.get(),
                                       InertProc, 0);
    ASSERT_NE(dialog, nullptr) << "template " << t.template_id << " error " << ::GetLastError();
    EXPECT_EQ(testing::WindowText(dialog), t.caption);
    const LONG style = ::GetWindowLongA(dialog, GWL_STYLE);
    EXPECT_EQ(style & t.style, t.style);
    EXPECT_EQ(style & t.not_style, 0);
    EXPECT_EQ(::GetWindowLongA(dialog, GWL_EXSTYLE) & t.ex_style, t.ex_style);
    RECT client;
    ::GetClientRect(dialog, &client);
    const RECT size = DialogUnits(dialog, 0, 0, t.width, t.height);
    EXPECT_EQ(client.right, size.right);
    EXPECT_EQ(client.bottom, size.bottom);

    HWND child = ::GetWindow(dialog, GW_CHILD);
    for (const ControlRow& c : t.controls) {
      SCOPED_TRACE(c.text[0] != '\0' ? c.text : std::to_string(c.id));
      ASSERT_NE(child, nullptr) << "missing control";
      EXPECT_EQ(static_cast<int>(static_cast<short>(::GetDlgCtrlID(child))), c.id);
      EXPECT_EQ(lstrcmpiA(testing::ClassOf(child).c_str(), c.window_class), 0) << testing::ClassOf(child);
      if (c.id != IDC_HOT_KEY && c.id != IDC_BROWSER) {
        EXPECT_EQ(testing::WindowText(child), c.text);
      }
      const LONG child_style = ::GetWindowLongA(child, GWL_STYLE);
      if ((c.style & 0xF) != 0) {
        EXPECT_EQ(child_style & 0xF, c.style & 0xF) << "button type";
      }
      const LONG wanted = c.style & ~0xFL & ~WS_BORDER;
      EXPECT_EQ(child_style & wanted, wanted);
      if (c.style & WS_BORDER) {
        // The dialog manager turns an edit's border into a sunken client edge.
        EXPECT_TRUE((child_style & WS_BORDER) || (::GetWindowLongA(child, GWL_EXSTYLE) & WS_EX_CLIENTEDGE)) << "border";
      }
      RECT rect;
      ::GetWindowRect(child, &rect);
      ::MapWindowPoints(HWND_DESKTOP, dialog, reinterpret_cast<POINT*>(&rect), 2);
      const RECT expected = DialogUnits(dialog, c.x, c.y, c.width, c.height);
      EXPECT_EQ(rect.left, expected.left);
      EXPECT_EQ(rect.top, expected.top);
      EXPECT_EQ(rect.right - rect.left, expected.right);
      EXPECT_EQ(rect.bottom - rect.top, expected.bottom);
      child = ::GetWindow(child, GW_HWNDNEXT);
    }
    EXPECT_EQ(child, nullptr) << "no control beyond the promised ones";
    ::DestroyWindow(dialog);
  }
  win32::UnregisterBrowserHostClass(::GetModuleHandleA(nullptr));
}

}  // namespace
}  // namespace volantis
