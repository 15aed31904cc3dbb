#include "platform/win32/internet_handles.h"

namespace volantis::win32 {

namespace {

uintptr_t Value(HINTERNET handle) { return reinterpret_cast<uintptr_t>(handle); }

}  // namespace

InternetHandles::~InternetHandles() {
  HINTERNET taken[3] = {nullptr, nullptr, nullptr};
  {
    ScopedCriticalSection hold(lock_);
    if (!in_call_ || entered_) TakeAllLocked(taken);
  }
  CloseTaken(taken);
}

HINTERNET InternetHandles::get(Slot slot) {
  ScopedCriticalSection hold(lock_);
  return handles_[slot];
}

bool InternetHandles::Begin(HttpCall kind, Slot on, HINTERNET& handle) {
  {
    ScopedCriticalSection hold(lock_);
    if (cancelled_) return false;
    if (on != kNone && handles_[on] == nullptr) return false;
    handle = on == kNone ? nullptr : handles_[on];
    in_call_ = true;
    entered_ = false;
  }
  if (watcher_ != nullptr) watcher_->CallStarting(kind, Value(handle));
  return true;
}

void InternetHandles::End(HttpCall kind, Slot into, HINTERNET opened) {
  HINTERNET taken[3] = {nullptr, nullptr, nullptr};
  {
    ScopedCriticalSection hold(lock_);
    in_call_ = false;
    entered_ = false;
    if (into != kNone) handles_[into] = opened;
    // A cancel that came while this call was on its way into WinInet left the
    // close to the worker.
    if (cancelled_) TakeAllLocked(taken);
  }
  if (watcher_ != nullptr) watcher_->CallEnded(kind, into != kNone ? Value(opened) : 0);
  CloseTaken(taken);
}

void InternetHandles::Entered() {
  ScopedCriticalSection hold(lock_);
  if (in_call_) entered_ = true;
}

void InternetHandles::Cancel() {
  HINTERNET taken[3] = {nullptr, nullptr, nullptr};
  {
    ScopedCriticalSection hold(lock_);
    cancelled_ = true;
    if (!in_call_ || entered_) TakeAllLocked(taken);
  }
  CloseTaken(taken);
}

bool InternetHandles::cancelled() {
  ScopedCriticalSection hold(lock_);
  return cancelled_;
}

void InternetHandles::TakeAllLocked(HINTERNET (&out)[3]) {
  out[0] = handles_[kRequest];
  out[1] = handles_[kConnection];
  out[2] = handles_[kSession];
  handles_[kRequest] = handles_[kConnection] = handles_[kSession] = nullptr;
}

void InternetHandles::CloseTaken(HINTERNET (&taken)[3]) {
  for (HINTERNET handle : taken) {
    if (handle == nullptr) continue;
    if (watcher_ != nullptr) watcher_->Closing(Value(handle));
    ::InternetCloseHandle(handle);
  }
}

void CALLBACK InternetHandles::StatusCallback(HINTERNET, DWORD_PTR context, DWORD status, LPVOID, DWORD) {
  // Only what WinInet reports from inside a call the worker makes on the
  // request; the context is not touched for anything else (the closing of a
  // handle may be reported after its call has let go of this object).
  switch (status) {
    case INTERNET_STATUS_RESOLVING_NAME:
    case INTERNET_STATUS_NAME_RESOLVED:
    case INTERNET_STATUS_CONNECTING_TO_SERVER:
    case INTERNET_STATUS_CONNECTED_TO_SERVER:
    case INTERNET_STATUS_SENDING_REQUEST:
    case INTERNET_STATUS_REQUEST_SENT:
    case INTERNET_STATUS_RECEIVING_RESPONSE:
    case INTERNET_STATUS_RESPONSE_RECEIVED:
      if (context != 0) reinterpret_cast<InternetHandles*>(context)->Entered();
      break;
    default:
      break;
  }
}

}  // namespace volantis::win32
