#include "ui/win32/log_dialog.h"

#include <algorithm>

#include "resource.h"

namespace volantis::win32 {

LogDialog::LogDialog(HINSTANCE module, HWND parent, LogWindow& model)
    : ModelessLogDialog(module, parent, IDD_LOG, IDC_LOG_EDIT), model_(model) {
  model_.SetView(this);
}

LogDialog::~LogDialog() {
  model_.SetView(nullptr);
  latitude_.store(nullptr);
  DestroyNow();
}

void LogDialog::OnCreated() {
  HWND window = this->window();
  // Its own taskbar button.
  ::SetWindowLongA(window, GWL_EXSTYLE, ::GetWindowLongA(window, GWL_EXSTYLE) | WS_EX_APPWINDOW);
  latitude_.store(::GetDlgItem(window, IDC_LATITUDE));
}

// Three window tests and no message to the user-interface thread.
bool LogDialog::PositionShown() {
  HWND window = this->window();
  return latitude_.load() != nullptr && window != nullptr && ::IsWindowVisible(window) && !::IsIconic(window);
}

void LogDialog::ApplyPosition(const std::string& latitude, const std::string& longitude, const std::string& altitude) {
  HWND window = this->window();
  const int fields[3] = {IDC_LATITUDE, IDC_LONGITUDE, IDC_ALTITUDE};
  const std::string* texts[3] = {&latitude, &longitude, &altitude};
  for (int i = 0; i < 3; ++i) {
    if (shown_[i] == *texts[i]) continue;
    if (::SetDlgItemTextA(window, fields[i], texts[i]->c_str())) shown_[i] = *texts[i];
  }
}

void LogDialog::ApplyBlankPosition() { ApplyPosition("", "", ""); }

bool LogDialog::OnMessage(UINT message, WPARAM wparam, LPARAM) {
  switch (message) {
    case WM_CLOSE:
      ::ShowWindow(window(), SW_HIDE);
      return true;
    case WM_COMMAND:
      if (LOWORD(wparam) == IDCANCEL) {
        ::ShowWindow(window(), SW_HIDE);
        return true;
      }
      return LOWORD(wparam) == IDOK;  // Enter does not close the log
    case WM_SIZE:
      if (wparam != SIZE_MINIMIZED) {
        RECT client;
        ::GetClientRect(window(), &client);
        OnSize(client.right, client.bottom);
      }
      return false;
    default:
      return false;
  }
}

void LogDialog::OnSize(int width, int height) {
  HWND edit = this->edit();
  if (edit == nullptr) return;
  RECT rect;
  ::GetWindowRect(edit, &rect);
  ::MapWindowPoints(HWND_DESKTOP, window(), reinterpret_cast<POINT*>(&rect), 2);
  ::MoveWindow(edit, rect.left, rect.top, std::max(0, width - 19), std::max(0, height - static_cast<int>(rect.top) - 12),
               TRUE);
}

}  // namespace volantis::win32
