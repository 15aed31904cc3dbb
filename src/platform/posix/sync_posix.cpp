#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "platform/sync.h"

namespace volantis {

struct Event::Impl {
  std::mutex mutex;
  std::condition_variable changed;
  bool manual_reset = true;
  bool signalled = false;
};

Event::Event(bool manual_reset, bool initially_signalled) : impl_(std::make_unique<Impl>()) {
  impl_->manual_reset = manual_reset;
  impl_->signalled = initially_signalled;
}

Event::~Event() = default;

void Event::Set() {
  // Notified under the lock: a waiter that wakes may destroy the event at once,
  // so nothing of it may be touched after the lock is given back.
  std::lock_guard<std::mutex> lock(impl_->mutex);
  impl_->signalled = true;
  impl_->changed.notify_all();
}

void Event::Reset() {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  impl_->signalled = false;
}

WaitResult Event::Wait(uint32_t milliseconds) {
  std::unique_lock<std::mutex> lock(impl_->mutex);
  bool got = impl_->changed.wait_for(lock, std::chrono::milliseconds(milliseconds),
                                     [this] { return impl_->signalled; });
  if (!got) return WaitResult::kTimeout;
  if (!impl_->manual_reset) impl_->signalled = false;
  return WaitResult::kSignaled;
}

WaitResult Event::WaitServingSentMessages(uint32_t milliseconds) { return Wait(milliseconds); }

struct CriticalSection::Impl {
  std::recursive_mutex mutex;
};

CriticalSection::CriticalSection() : impl_(std::make_unique<Impl>()) {}
CriticalSection::~CriticalSection() = default;
void CriticalSection::Enter() { impl_->mutex.lock(); }
void CriticalSection::Leave() { impl_->mutex.unlock(); }

bool StartDetachedThread(std::function<void()> body) {
  try {
    std::thread worker([body = std::move(body)]() noexcept {
      try {
        body();
      } catch (...) {
      }
    });
    worker.detach();
    return true;
  } catch (...) {
    return false;
  }
}

}  // namespace volantis
