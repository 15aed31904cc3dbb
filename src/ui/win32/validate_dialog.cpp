#include "ui/win32/validate_dialog.h"

#include "resource.h"

namespace volantis::win32 {

ValidateDialog::ValidateDialog(HINSTANCE module, HWND parent, ValidateWindow& model, std::function<void()> validate_now)
    : ModelessLogDialog(module, parent, IDD_VALIDATE, IDC_VALIDATE_EDIT),
      model_(model),
      validate_now_(std::move(validate_now)) {
  model_.SetView(this);
}

ValidateDialog::~ValidateDialog() {
  model_.SetView(nullptr);
  DestroyNow();
}

bool ValidateDialog::OnMessage(UINT message, WPARAM wparam, LPARAM) {
  switch (message) {
    case WM_CLOSE:
      model_.ReadBackFromView();
      ::ShowWindow(window(), SW_HIDE);
      return true;
    case WM_COMMAND:
      switch (LOWORD(wparam)) {
        case IDOK:
        case IDCANCEL:
          return true;  // Enter and Escape leave the window open
        case IDC_VALIDATE_NOW:
          if (HIWORD(wparam) == BN_CLICKED && validate_now_) validate_now_();
          return true;
        default:
          return false;
      }
    case WM_PAINT:
      if (!::IsIconic(window())) return false;
      PaintMinimized();
      return true;
    default:
      return false;
  }
}

void ValidateDialog::PaintMinimized() {
  PAINTSTRUCT paint;
  HDC dc = ::BeginPaint(window(), &paint);
  ::SendMessageA(window(), WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
  RECT client;
  ::GetClientRect(window(), &client);
  const int icon_width = ::GetSystemMetrics(SM_CXICON);
  const int icon_height = ::GetSystemMetrics(SM_CYICON);
  const int x = (client.right - icon_width + 1) / 2;
  const int y = (client.bottom - icon_height + 1) / 2;
  if (icon() != nullptr) ::DrawIcon(dc, x, y, icon());
  ::EndPaint(window(), &paint);
}

}  // namespace volantis::win32
