#include "ui/win32/dialog_keys.h"

#include <algorithm>
#include <vector>

namespace volantis::win32 {
namespace {

// The hook's one owner: removed with the last window, or at unload at the latest.
struct KeyHook {
  ~KeyHook() {
    if (hook != nullptr) ::UnhookWindowsHookEx(hook);
  }
  HHOOK hook = nullptr;
  std::vector<HWND> dialogs;
};

KeyHook& Hook() {
  static KeyHook hook;
  return hook;
}

HWND RegisteredDialogOf(HWND window) {
  if (window == nullptr) return nullptr;
  HWND root = ::GetAncestor(window, GA_ROOT);
  const std::vector<HWND>& dialogs = Hook().dialogs;
  return std::find(dialogs.begin(), dialogs.end(), root) != dialogs.end() ? root : nullptr;
}

void PostCommand(HWND dialog, int id) {
  ::PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(::GetDlgItem(dialog, id)));
}

bool IsPushButton(HWND window) {
  char name[16] = {};
  if (::GetClassNameA(window, name, sizeof name) == 0 || lstrcmpiA(name, "Button") != 0) return false;
  const LONG type = ::GetWindowLongA(window, GWL_STYLE) & BS_TYPEMASK;
  return type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON;
}

bool WantsReturn(HWND window) {
  char name[16] = {};
  if (::GetClassNameA(window, name, sizeof name) == 0 || lstrcmpiA(name, "Edit") != 0) return false;
  const LONG style = ::GetWindowLongA(window, GWL_STYLE);
  return (style & ES_MULTILINE) && (style & ES_WANTRETURN) && !(style & ES_READONLY);
}

int DefaultCommand(HWND dialog, HWND focus) {
  if (focus != nullptr && ::GetParent(focus) == dialog && IsPushButton(focus)) return ::GetDlgCtrlID(focus);
  const LRESULT id = ::SendMessageA(dialog, DM_GETDEFID, 0, 0);
  return HIWORD(id) == DC_HASDEFID ? LOWORD(id) : IDOK;
}

LRESULT CALLBACK GetMessageHook(int code, WPARAM remove, LPARAM message) noexcept {
  if (code == HC_ACTION && remove == PM_REMOVE) {
    MSG* msg = reinterpret_cast<MSG*>(message);
    if (RouteDialogKey(*msg)) {
      msg->message = WM_NULL;
      msg->wParam = 0;
      msg->lParam = 0;
    }
  }
  return ::CallNextHookEx(nullptr, code, remove, message);
}

}  // namespace

bool RouteDialogKey(const MSG& message) {
  if (message.message < WM_KEYFIRST || message.message > WM_KEYLAST) return false;
  HWND dialog = RegisteredDialogOf(message.hwnd);
  if (dialog == nullptr || !::IsWindowEnabled(dialog)) return false;
  // Escape is the window's Cancel wherever the focus is, inside the web page too.
  if (message.message == WM_KEYDOWN && message.wParam == VK_ESCAPE) {
    PostCommand(dialog, IDCANCEL);
    return true;
  }
  // Every other key inside a hosted control's own windows (the web page) belongs to it.
  if (message.hwnd != dialog && ::GetParent(message.hwnd) != dialog) return false;
  if (message.message == WM_KEYDOWN && message.wParam == VK_RETURN && !WantsReturn(message.hwnd)) {
    PostCommand(dialog, DefaultCommand(dialog, message.hwnd));
    return true;
  }
  if ((message.message == WM_CHAR || message.message == WM_KEYUP) &&
      (message.wParam == VK_ESCAPE || message.wParam == VK_RETURN)) {
    return false;  // the key-down already acted
  }
  MSG copy = message;
  return ::IsDialogMessageA(dialog, &copy) != FALSE;
}

void AttachDialogKeys(HWND dialog) {
  KeyHook& hook = Hook();
  if (std::find(hook.dialogs.begin(), hook.dialogs.end(), dialog) != hook.dialogs.end()) return;
  hook.dialogs.push_back(dialog);
  if (hook.hook == nullptr) {
    hook.hook = ::SetWindowsHookExA(WH_GETMESSAGE, GetMessageHook, nullptr, ::GetCurrentThreadId());
  }
}

void DetachDialogKeys(HWND dialog) {
  KeyHook& hook = Hook();
  hook.dialogs.erase(std::remove(hook.dialogs.begin(), hook.dialogs.end(), dialog), hook.dialogs.end());
  if (hook.dialogs.empty() && hook.hook != nullptr) {
    ::UnhookWindowsHookEx(hook.hook);
    hook.hook = nullptr;
  }
}

}  // namespace volantis::win32
