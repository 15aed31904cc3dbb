#include "ui/win32/modeless_log_dialog.h"

#include <utility>

#include "ui/win32/dialog_keys.h"
#include "ui/win32/hidden_dialog.h"

namespace volantis::win32 {

namespace {

constexpr UINT_PTR kPositionTimer = 0x5650;

}  // namespace

ModelessLogDialog::ModelessLogDialog(HINSTANCE module, HWND parent, int template_id, int edit_id)
    : module_(module), parent_(parent), template_id_(template_id), edit_id_(edit_id), icon_(LoadWindowIcon(module)) {}

ModelessLogDialog::~ModelessLogDialog() { DestroyNow(); }

void ModelessLogDialog::DestroyNow() {
  HWND window = window_.exchange(nullptr);
  if (window == nullptr) return;
  DetachDialogKeys(window);
  ::SetWindowLongPtrA(window, DWLP_USER, 0);
  ::DestroyWindow(window);
  ScopedCriticalSection hold(queue_lock_);
  queue_.clear();
  drain_posted_ = false;
}

bool ModelessLogDialog::OnWindowThread() const {
  HWND window = this->window();
  return window != nullptr && ::GetWindowThreadProcessId(window, nullptr) == ::GetCurrentThreadId();
}

INT_PTR CALLBACK ModelessLogDialog::DialogProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) noexcept {
  try {
    ModelessLogDialog* self;
    if (message == WM_INITDIALOG) {
      self = reinterpret_cast<ModelessLogDialog*>(lparam);
      ::SetWindowLongPtrA(window, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
      self->window_.store(window);
      SetWindowIcon(window, self->icon_.get());
      HWND edit = ::GetDlgItem(window, self->edit_id_);
      ::SendMessageA(edit, EM_SETLIMITTEXT, 0, 0);
      ::SetWindowTextA(edit, self->initial_text_.c_str());
      self->initial_text_.clear();
      self->initial_text_.shrink_to_fit();
      AttachDialogKeys(window);
      self->OnCreated();
      return TRUE;
    }
    self = reinterpret_cast<ModelessLogDialog*>(::GetWindowLongPtrA(window, DWLP_USER));
    if (self == nullptr) return FALSE;
    if (message == kDrainMessage) {
      self->Drain();
      return TRUE;
    }
    if (message == WM_TIMER && wparam == kPositionTimer) {
      self->ShowDeferredPosition();
      return TRUE;
    }
    if (message == kShowMessage) {
      // Unless an Open since has shown it already.
      if (std::exchange(self->show_posted_, false)) self->ShowNow();
      return TRUE;
    }
    // Answered through the procedure's return value, not DWLP_MSGRESULT.
    if (message == WM_QUERYDRAGICON) return reinterpret_cast<INT_PTR>(self->icon_.get());
    return self->OnMessage(message, wparam, lparam) ? TRUE : FALSE;
  } catch (...) {
    return FALSE;
  }
}

void ModelessLogDialog::Open(const std::string& log_text) {
  if (window() == nullptr) {
    initial_text_ = log_text;
    CreateHiddenDialog(module_, template_id_, parent_, DialogProc, reinterpret_cast<LPARAM>(this));
    initial_text_.clear();
    if (window() == nullptr) return;
    // Showing the new window is the costly half of opening it: it comes with
    // the next message, so the simulator's messages get their turn between.
    show_posted_ = ::PostMessageA(window(), kShowMessage, 0, 0) != FALSE;
    if (show_posted_) return;
  }
  show_posted_ = false;
  ShowNow();
}

void ModelessLogDialog::ShowNow() {
  Drain();
  ::ShowWindow(window(), SW_SHOWNORMAL);
  ::SendMessageA(edit(), EM_SETLIMITTEXT, 0, 0);
  ScrollToEnd();
}

bool ModelessLogDialog::Exists() { return window() != nullptr; }

void ModelessLogDialog::AppendText(const std::string& text) {
  if (!OnWindowThread()) return Enqueue({Pending::kAppend, text, {}, {}});
  Drain();
  ApplyAppend(text);
}

void ModelessLogDialog::ClearText() {
  if (!OnWindowThread()) return Enqueue({Pending::kClear, {}, {}, {}});
  Drain();
  Apply({Pending::kClear, {}, {}, {}});
}

void ModelessLogDialog::SetPosition(const std::string& latitude, const std::string& longitude,
                                    const std::string& altitude) {
  if (!OnWindowThread()) return Enqueue({Pending::kPosition, latitude, longitude, altitude});
  Drain();
  DropDeferredPosition();
  ShowPositionNow({Pending::kPosition, latitude, longitude, altitude});
}

void ModelessLogDialog::BlankPosition() {
  if (window() == nullptr) return;
  if (!OnWindowThread()) return Enqueue({Pending::kBlank, {}, {}, {}});
  Drain();
  DropDeferredPosition();
  ApplyBlankPosition();
}

bool ModelessLogDialog::ReadText(std::string& text) {
  if (!OnWindowThread()) return false;
  Drain();
  HWND edit = this->edit();
  const int length = ::GetWindowTextLengthA(edit);
  std::string buffer(static_cast<std::size_t>(length) + 1, '\0');
  const int got = ::GetWindowTextA(edit, buffer.data(), length + 1);
  buffer.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
  text = std::move(buffer);
  return true;
}

void ModelessLogDialog::Enqueue(Pending pending) {
  HWND window = this->window();
  if (window == nullptr) return;
  ScopedCriticalSection hold(queue_lock_);
  // Only the newest position matters: a newer one replaces one not yet shown.
  if (pending.kind == Pending::kPosition && !queue_.empty() && queue_.back().kind == Pending::kPosition) {
    queue_.back() = std::move(pending);
  } else {
    queue_.push_back(std::move(pending));
  }
  if (!drain_posted_) drain_posted_ = ::PostMessageA(window, kDrainMessage, 0, 0) != FALSE;
}

void ModelessLogDialog::Drain() {
  std::vector<Pending> work;
  {
    ScopedCriticalSection hold(queue_lock_);
    work.swap(queue_);
    drain_posted_ = false;
  }
  for (const Pending& pending : CoalesceLogViewWork(std::move(work))) Apply(pending);
}

void ModelessLogDialog::Apply(const Pending& pending) {
  switch (pending.kind) {
    case Pending::kAppend:
      ApplyAppend(pending.text);
      break;
    case Pending::kClear: {
      HWND edit = this->edit();
      ::SendMessageA(edit, EM_SETSEL, 0, -1);
      ::SendMessageA(edit, EM_SCROLLCARET, 0, 0);
      ::SendMessageA(edit, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(""));
      break;
    }
    case Pending::kPosition:
      PacePosition(pending);
      break;
    case Pending::kBlank:
      // A position still waiting is older than the blank.
      DropDeferredPosition();
      ApplyBlankPosition();
      break;
  }
}

void ModelessLogDialog::PacePosition(const Pending& position) {
  const DWORD now = ::GetTickCount();
  const DWORD since = now - position_shown_at_;
  if (!position_shown_once_ || since >= kPositionIntervalMs) {
    DropDeferredPosition();
    ShowPositionNow(position);
    return;
  }
  deferred_position_ = position;
  if (!position_timer_) {
    position_timer_ = ::SetTimer(window(), kPositionTimer, kPositionIntervalMs - since, nullptr) != 0;
    // Without a timer the position is shown now rather than late.
    if (!position_timer_) ShowDeferredPosition();
  }
}

void ModelessLogDialog::ShowDeferredPosition() {
  std::optional<Pending> position = std::move(deferred_position_);
  DropDeferredPosition();
  if (position) ShowPositionNow(*position);
}

void ModelessLogDialog::ShowPositionNow(const Pending& position) {
  ApplyPosition(position.text, position.longitude, position.altitude);
  position_shown_once_ = true;
  position_shown_at_ = ::GetTickCount();
}

void ModelessLogDialog::DropDeferredPosition() {
  if (position_timer_) ::KillTimer(window(), kPositionTimer);
  position_timer_ = false;
  deferred_position_.reset();
}

void ModelessLogDialog::ApplyPosition(const std::string&, const std::string&, const std::string&) {}

void ModelessLogDialog::ApplyAppend(const std::string& text) {
  HWND edit = this->edit();
  ScrollToEnd();
  ::SendMessageA(edit, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text.c_str()));
  ::SendMessageA(edit, EM_SCROLLCARET, 0, 0);
}

void ModelessLogDialog::ScrollToEnd() {
  HWND edit = this->edit();
  const int length = ::GetWindowTextLengthA(edit);
  ::SendMessageA(edit, EM_SETSEL, length, length);
  ::SendMessageA(edit, EM_SCROLLCARET, 0, 0);
}

}  // namespace volantis::win32
