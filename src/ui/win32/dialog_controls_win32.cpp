#include "ui/win32/dialog_controls_win32.h"

namespace volantis::win32 {

std::string WindowControls::GetText(int control) {
  HWND item = ::GetDlgItem(dialog_, control);
  const int length = ::GetWindowTextLengthA(item);
  std::string text(static_cast<std::size_t>(length) + 1, '\0');
  const int got = ::GetWindowTextA(item, text.data(), length + 1);
  text.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
  return text;
}

void WindowControls::SetText(int control, const std::string& text) { ::SetDlgItemTextA(dialog_, control, text.c_str()); }

bool WindowControls::GetCheck(int control) { return ::IsDlgButtonChecked(dialog_, control) == BST_CHECKED; }

void WindowControls::SetCheck(int control, bool checked) {
  ::CheckDlgButton(dialog_, control, checked ? BST_CHECKED : BST_UNCHECKED);
}

void WindowControls::LimitText(int control, std::size_t max_chars) {
  ::SendDlgItemMessageA(dialog_, control, EM_LIMITTEXT, max_chars, 0);
}

void ShowMessage(HWND owner, const std::string& text) { ::MessageBoxA(owner, text.c_str(), kAppTitle, MB_OK); }

void FocusControl(HWND dialog, int control) {
  HWND item = ::GetDlgItem(dialog, control);
  if (item == nullptr) return;
  ::SendMessageA(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(item), TRUE);
  ::SendMessageA(item, EM_SETSEL, 0, -1);
}

}  // namespace volantis::win32
