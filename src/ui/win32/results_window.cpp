#include "ui/win32/results_window.h"

#include <ole2.h>

#include "platform/text_format.h"
#include "resource.h"
#include "server/server_port.h"
#include "ui/race_settings.h"
#include "ui/win32/browser_host.h"
#include "ui/win32/dialog_controls_win32.h"
#include "ui/win32/dialog_keys.h"
#include "ui/win32/hidden_dialog.h"

namespace volantis::win32 {

ResultsWindow::ResultsWindow(HINSTANCE module, HWND parent, const AppSettings& settings)
    : module_(module), parent_(parent), settings_(settings), icon_(LoadWindowIcon(module)) {}

ResultsWindow::~ResultsWindow() {
  if (window_ != nullptr) {
    HWND window = std::exchange(window_, nullptr);
    DetachDialogKeys(window);
    ::SetWindowLongPtrA(window, DWLP_USER, 0);
    ::DestroyWindow(window);
    UnregisterBrowserHostClass(module_);
  }
  if (ole_started_) ::OleUninitialize();
}

void ResultsWindow::Create() {
  // The browser control needs OLE on this thread; a host that already started
  // it just gets another reference, which is returned at destruction.
  const HRESULT ole = ::OleInitialize(nullptr);
  ole_started_ = SUCCEEDED(ole);
  RegisterBrowserHostClass(module_);
  CreateHiddenDialog(module_, IDD_RESULTS, parent_, DialogProc, reinterpret_cast<LPARAM>(this));
}

void ResultsWindow::ShowResultsPage() {
  // A stored number that is no port makes an address no browser can use: the
  // pilot is told so, and nothing is requested.
  if (!IsServerPort(settings_.server_port)) {
    std::string text = FormatText(kNotAServerPortText, static_cast<int>(settings_.server_port));
    if (!text.empty() && text.back() == '\n') text.pop_back();
    ShowMessage(window_ != nullptr && ::IsWindowVisible(window_) ? window_ : parent_, text);
    return;
  }
  address_ = ResultsPageAddress(settings_);
  if (window_ == nullptr) {
    Create();
    if (window_ == nullptr) return;
    next_step_ = Step::kCreateControl;
    PostNextStep();
    return;
  }
  // An opening under way shows the newest address when it gets there.
  if (opening()) return;
  ::ShowWindow(window_, SW_SHOWNORMAL);
  Navigate(address_);
  ::SetDlgItemTextA(window_, IDC_ADDRESS, address_.c_str());
}

void ResultsWindow::RunNextStep() {
  switch (next_step_) {
    case Step::kNone:
      return;
    case Step::kCreateControl:
      next_step_ = Step::kShow;
      CreateBrowserControl(::GetDlgItem(window_, IDC_BROWSER));
      break;
    case Step::kShow:
      next_step_ = Step::kNavigate;
      ::ShowWindow(window_, SW_SHOWNORMAL);
      break;
    case Step::kNavigate:
      next_step_ = Step::kShowAddress;
      Navigate(address_);
      break;
    case Step::kShowAddress:
      next_step_ = Step::kNone;
      ::SetDlgItemTextA(window_, IDC_ADDRESS, address_.c_str());
      return;
  }
  PostNextStep();
}

void ResultsWindow::PostNextStep() {
  // A queue that takes no more messages gets the rest at once.
  if (!::PostMessageA(window_, kNextStepMessage, 0, 0)) RunNextStep();
}

void ResultsWindow::Navigate(const std::string& address) {
  last_navigation_ = NavigateBrowser(::GetDlgItem(window_, IDC_BROWSER), address);
}

INT_PTR CALLBACK ResultsWindow::DialogProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) noexcept {
  try {
    ResultsWindow* self;
    if (message == WM_INITDIALOG) {
      self = reinterpret_cast<ResultsWindow*>(lparam);
      ::SetWindowLongPtrA(window, DWLP_USER, lparam);
      self->window_ = window;
      SetWindowIcon(window, self->icon_.get());
      ::SetWindowLongA(window, GWL_EXSTYLE, ::GetWindowLongA(window, GWL_EXSTYLE) | WS_EX_APPWINDOW);
      AttachDialogKeys(window);
      return TRUE;
    }
    self = reinterpret_cast<ResultsWindow*>(::GetWindowLongPtrA(window, DWLP_USER));
    if (self == nullptr) return FALSE;
    return self->OnMessage(message, wparam, lparam) ? TRUE : FALSE;
  } catch (...) {
    return FALSE;
  }
}

bool ResultsWindow::OnMessage(UINT message, WPARAM wparam, LPARAM) {
  switch (message) {
    case kNextStepMessage:
      RunNextStep();
      return true;
    case WM_CLOSE:
      ::ShowWindow(window_, SW_HIDE);
      return true;
    case WM_COMMAND:
      switch (LOWORD(wparam)) {
        case IDCANCEL:
          ::ShowWindow(window_, SW_HIDE);
          return true;
        case IDOK:
          return true;
        case IDC_GO:
          Navigate(WindowControls(window_).GetText(IDC_ADDRESS));
          return true;
        default:
          return false;
      }
    case WM_SIZE:
      if (wparam != SIZE_MINIMIZED) {
        RECT client;
        ::GetClientRect(window_, &client);
        OnSize(client.right, client.bottom);
      }
      return false;
    default:
      return false;
  }
}

void ResultsWindow::OnSize(int width, int height) {
  HWND edit = ::GetDlgItem(window_, IDC_ADDRESS);
  HWND go = ::GetDlgItem(window_, IDC_GO);
  HWND browser = ::GetDlgItem(window_, IDC_BROWSER);
  if (edit == nullptr || go == nullptr || browser == nullptr) return;
  auto client_rect = [this](HWND control) {
    RECT rect;
    ::GetWindowRect(control, &rect);
    ::MapWindowPoints(HWND_DESKTOP, window_, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
  };
  // Every rectangle is taken before anything moves.
  const RECT edit_rect = client_rect(edit);
  const RECT go_rect = client_rect(go);
  const RECT browser_rect = client_rect(browser);
  const int go_width = go_rect.right - go_rect.left;
  const int go_height = go_rect.bottom - go_rect.top;
  ::MoveWindow(go, width - go_width - 13, go_rect.top, go_width, go_height, TRUE);
  ::MoveWindow(edit, edit_rect.left, edit_rect.top, width - go_width - edit_rect.left - 19,
               edit_rect.bottom - edit_rect.top, TRUE);
  ::MoveWindow(browser, browser_rect.left, browser_rect.top, width - 24, height - browser_rect.top - 12, TRUE);
}

}  // namespace volantis::win32
