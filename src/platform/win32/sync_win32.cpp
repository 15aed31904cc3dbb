#include <windows.h>

#include "platform/sync.h"
#include "platform/win32/unique_handle.h"

namespace volantis {

struct Event::Impl {
  win32::UniqueKernelHandle handle;
};

Event::Event(bool manual_reset, bool initially_signalled) : impl_(std::make_unique<Impl>()) {
  impl_->handle.reset(::CreateEventA(nullptr, manual_reset ? TRUE : FALSE, initially_signalled ? TRUE : FALSE, nullptr));
}

Event::~Event() = default;

void Event::Set() { ::SetEvent(impl_->handle.get()); }
void Event::Reset() { ::ResetEvent(impl_->handle.get()); }

WaitResult Event::Wait(uint32_t milliseconds) {
  switch (::WaitForSingleObject(impl_->handle.get(), milliseconds)) {
    case WAIT_OBJECT_0:
      return WaitResult::kSignaled;
    case WAIT_TIMEOUT:
      return WaitResult::kTimeout;
    default:
      return WaitResult::kFailed;
  }
}

WaitResult Event::WaitServingSentMessages(uint32_t milliseconds) {
  const DWORD start = ::GetTickCount();
  HANDLE handle = impl_->handle.get();
  for (;;) {
    const DWORD elapsed = ::GetTickCount() - start;
    const DWORD left = elapsed >= milliseconds ? 0 : milliseconds - elapsed;
    // QS_SENDMESSAGE wakes only for messages sent from other threads; posted
    // input stays queued for the host's own loop.
    DWORD result = ::MsgWaitForMultipleObjects(1, &handle, FALSE, left, QS_SENDMESSAGE);
    if (result == WAIT_OBJECT_0) return WaitResult::kSignaled;
    if (result == WAIT_TIMEOUT) return WaitResult::kTimeout;
    if (result != WAIT_OBJECT_0 + 1) return WaitResult::kFailed;
    MSG msg;
    // Peeking carries out pending sent messages; nothing is removed from the queue.
    ::PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
  }
}

struct CriticalSection::Impl {
  CRITICAL_SECTION section;
};

CriticalSection::CriticalSection() : impl_(std::make_unique<Impl>()) { ::InitializeCriticalSection(&impl_->section); }
CriticalSection::~CriticalSection() { ::DeleteCriticalSection(&impl_->section); }
void CriticalSection::Enter() { ::EnterCriticalSection(&impl_->section); }
void CriticalSection::Leave() { ::LeaveCriticalSection(&impl_->section); }

namespace {

// What a started thread owns: its body and a reference to the module its code
// lives in, so the module stays mapped until the thread has left it.
struct ThreadStart {
  std::function<void()> body;
  HMODULE module = nullptr;
};

DWORD WINAPI ThreadEntry(LPVOID parameter) noexcept {
  auto* start = static_cast<ThreadStart*>(parameter);
  try {
    start->body();
  } catch (...) {
  }
  HMODULE module = start->module;
  delete start;
  // Drops the reference and ends the thread in one step: no instruction of this
  // module runs after the reference is gone.
  ::FreeLibraryAndExitThread(module, 0);
  return 0;
}

}  // namespace

bool StartDetachedThread(std::function<void()> body) {
  auto* start = new (std::nothrow) ThreadStart{std::move(body), nullptr};
  if (start == nullptr) return false;
  if (!::GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCSTR>(&ThreadEntry),
                            &start->module)) {
    delete start;
    return false;
  }
  win32::UniqueKernelHandle thread(::CreateThread(nullptr, 0, ThreadEntry, start, 0, nullptr));
  if (!thread) {
    HMODULE module = start->module;
    delete start;
    ::FreeLibrary(module);
    return false;
  }
  return true;  // the handle closes here; the thread runs on
}

}  // namespace volantis
