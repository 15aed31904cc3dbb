#include "ui/win32/settings_dialog.h"

#include <commctrl.h>

#include "core/settings_profile.h"
#include "resource.h"
#include "ui/win32/dialog_controls_win32.h"

namespace volantis::win32 {

static_assert(kControlPlayerName == IDC_PLAYER_NAME && kControlServerIp == IDC_SERVER_IP &&
              kControlServerPort == IDC_SERVER_PORT && kControlSoundCross == IDC_SOUND_CROSS &&
              kControlSoundSkip == IDC_SOUND_SKIP && kControlSoundEnd == IDC_SOUND_END &&
              kControlSoundValidate == IDC_SOUND_VALIDATE && kControlSoundRaceResults == IDC_SOUND_RACE_RESULTS);

namespace {
void EnsureHotKeyControl() {
  INITCOMMONCONTROLSEX init = {sizeof init, ICC_HOTKEY_CLASS};
  ::InitCommonControlsEx(&init);
}
}  // namespace

SettingsDialog::SettingsDialog(HINSTANCE module, AppSettings& settings, SettingsStore& store,
                               HotKeyRegistrar& hot_keys)
    : module_(module), settings_(settings), store_(store), hot_keys_(hot_keys) {}

INT_PTR SettingsDialog::Run(HWND owner) {
  EnsureHotKeyControl();
  const INT_PTR result = ::DialogBoxParamA(module_, MAKEINTRESOURCEA(IDD_RACE_SETTINGS), owner, DialogProc,
                                           reinterpret_cast<LPARAM>(this));
  window_ = nullptr;
  return result == IDOK ? IDOK : IDCANCEL;
}

INT_PTR CALLBACK SettingsDialog::DialogProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) noexcept {
  try {
    SettingsDialog* self;
    if (message == WM_INITDIALOG) {
      self = reinterpret_cast<SettingsDialog*>(lparam);
      ::SetWindowLongPtrA(window, DWLP_USER, lparam);
      self->window_ = window;
      self->OnInit();
      return TRUE;
    }
    self = reinterpret_cast<SettingsDialog*>(::GetWindowLongPtrA(window, DWLP_USER));
    if (self == nullptr) return FALSE;
    if (message == WM_COMMAND) return self->OnCommand(LOWORD(wparam), HIWORD(wparam)) ? TRUE : FALSE;
    if (message == WM_CLOSE) {
      ::EndDialog(window, IDCANCEL);
      return TRUE;
    }
    return FALSE;
  } catch (...) {
    return FALSE;
  }
}

void SettingsDialog::OnInit() {
  WindowControls controls(window_);
  FillControls(values.ExchangeTable(), controls);
  const WORD hot_key = MAKEWORD(settings_.hot_key_code & 0xFF, settings_.hot_key_modifiers & 0xFF);
  ::SendDlgItemMessageA(window_, IDC_HOT_KEY, HKM_SETHOTKEY, hot_key, 0);
}

bool SettingsDialog::OnCommand(int control, int notification) {
  if (notification != BN_CLICKED) return false;
  switch (control) {
    case IDOK:
      OnSave();
      return true;
    case IDCANCEL:
      ::EndDialog(window_, IDCANCEL);
      return true;
    case IDC_HOT_KEY_SET:
      OnSetHotKey();
      return true;
    case IDC_HOT_KEY_CLEAR:
      OnClearHotKey();
      return true;
    default:
      return false;
  }
}

void SettingsDialog::OnSave() {
  WindowControls controls(window_);
  if (auto failure = ReadControls(values.ExchangeTable(), controls)) {
    ShowMessage(window_, failure->message);
    FocusControl(window_, failure->control);
    return;
  }
  ::EndDialog(window_, IDOK);
}

void SettingsDialog::OnSetHotKey() {
  const LRESULT hot_key = ::SendDlgItemMessageA(window_, IDC_HOT_KEY, HKM_GETHOTKEY, 0, 0);
  ShowMessage(window_, SetValidationHotKey(settings_, store_, hot_keys_, LOBYTE(LOWORD(hot_key)),
                                           HIBYTE(LOWORD(hot_key))));
}

void SettingsDialog::OnClearHotKey() {
  const std::string shown = ClearValidationHotKey(settings_, store_, hot_keys_);
  ::SendDlgItemMessageA(window_, IDC_HOT_KEY, HKM_SETHOTKEY, 0, 0);
  ShowMessage(window_, shown);
}

bool RunRaceSettings(HINSTANCE module, HWND host_window, AppSettings& settings, SettingsStore& store,
                     HotKeyRegistrar& hot_keys) {
  SettingsDialog dialog(module, settings, store, hot_keys);
  dialog.values.CopyFrom(settings);
  if (dialog.Run(host_window) != IDOK) return false;
  dialog.values.CopyTo(settings);
  SaveSettings(settings, store);
  return true;
}

namespace {
INT_PTR CALLBACK AboutProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) noexcept {
  try {
    switch (message) {
      case WM_INITDIALOG: {
        const auto* settings = reinterpret_cast<const AppSettings*>(lparam);
        ::SetDlgItemTextA(window, IDC_VERSION, AboutVersionText(*settings).c_str());
        return TRUE;
      }
      case WM_COMMAND:
        if (LOWORD(wparam) == IDOK || LOWORD(wparam) == IDCANCEL) {
          ::EndDialog(window, LOWORD(wparam));
          return TRUE;
        }
        return FALSE;
      case WM_CLOSE:
        ::EndDialog(window, IDCANCEL);
        return TRUE;
      default:
        return FALSE;
    }
  } catch (...) {
    return FALSE;
  }
}
}  // namespace

void RunAboutBox(HINSTANCE module, HWND host_window, const AppSettings& settings) {
  ::DialogBoxParamA(module, MAKEINTRESOURCEA(IDD_ABOUT), host_window, AboutProc,
                    reinterpret_cast<LPARAM>(const_cast<AppSettings*>(&settings)));
}

}  // namespace volantis::win32
