#include "platform/worker_group.h"

#include <utility>

#include "platform/sync.h"

namespace volantis {

struct WorkerGroup::Shared {
  CriticalSection lock;
  int count = 0;                // under lock
  Event none_running{true, true};
  CancelSignal cancel;
};

namespace {

void EndOne(CriticalSection& lock, int& count, Event& none_running) {
  ScopedCriticalSection hold(lock);
  if (--count == 0) none_running.Set();
}

}  // namespace

WorkerGroup::WorkerGroup() : shared_(std::make_shared<Shared>()) {}

WorkerGroup::~WorkerGroup() = default;

CancelSignal& WorkerGroup::cancel() { return shared_->cancel; }

bool WorkerGroup::ending() const { return shared_->cancel.cancelled(); }

void WorkerGroup::SetAnchor(std::weak_ptr<void> anchor) { anchor_ = std::move(anchor); }

bool WorkerGroup::Start(std::function<void()> body) {
  std::shared_ptr<Shared> shared = shared_;
  std::shared_ptr<void> anchor = anchor_.lock();
  {
    ScopedCriticalSection hold(shared->lock);
    // Checked under the lock the end's count reads, so no worker slips in
    // after the end has looked.
    if (shared->cancel.cancelled()) return false;
    if (shared->count++ == 0) shared->none_running.Reset();
  }
  const bool started =
      StartDetachedThread([shared, anchor = std::move(anchor), body = std::move(body)]() mutable noexcept {
        try {
          body();
        } catch (...) {
        }
        // What the body captured, then the anchor, go before the worker counts
        // as ended: "none runs" means none holds any of the objects either.
        body = nullptr;
        anchor.reset();
        EndOne(shared->lock, shared->count, shared->none_running);
      });
  if (!started) EndOne(shared->lock, shared->count, shared->none_running);
  return started;
}

bool WorkerGroup::WaitUntilNoneRuns(uint32_t milliseconds) {
  return shared_->none_running.WaitServingSentMessages(milliseconds) == WaitResult::kSignaled;
}

int WorkerGroup::running() const {
  ScopedCriticalSection hold(shared_->lock);
  return shared_->count;
}

}  // namespace volantis
