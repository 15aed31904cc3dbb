#include "platform/cancel_signal.h"

#include <atomic>
#include <map>
#include <utility>

#include "platform/sync.h"

namespace volantis {

struct CancelSignal::State {
  CriticalSection lock;
  Event set{true, false};
  std::atomic<bool> cancelled{false};
  std::map<uint64_t, std::function<void()>> actions;  // under lock
  uint64_t next_id = 1;                               // under lock
};

namespace {

void RunAbortAction(const std::function<void()>& action) noexcept {
  try {
    action();
  } catch (...) {
    // An action that fails leaves its call to end by its own time-out.
  }
}

}  // namespace

CancelSignal::CancelSignal() : state_(std::make_unique<State>()) {}

CancelSignal::~CancelSignal() = default;

void CancelSignal::Cancel() {
  ScopedCriticalSection hold(state_->lock);
  if (state_->cancelled.exchange(true)) return;
  state_->set.Set();
  for (const auto& entry : state_->actions) RunAbortAction(entry.second);
}

bool CancelSignal::cancelled() const { return state_->cancelled.load(); }

bool CancelSignal::WaitCancelled(uint32_t milliseconds) {
  if (cancelled()) return true;
  return state_->set.Wait(milliseconds) == WaitResult::kSignaled || cancelled();
}

CancelSignal::AbortRegistration CancelSignal::OnCancel(std::function<void()> action) {
  AbortRegistration registration;
  ScopedCriticalSection hold(state_->lock);
  if (state_->cancelled.load()) {
    RunAbortAction(action);
    return registration;
  }
  registration.signal_ = this;
  registration.id_ = state_->next_id++;
  state_->actions.emplace(registration.id_, std::move(action));
  return registration;
}

CancelSignal::AbortRegistration::~AbortRegistration() { End(); }

CancelSignal::AbortRegistration::AbortRegistration(AbortRegistration&& other) noexcept
    : signal_(std::exchange(other.signal_, nullptr)), id_(std::exchange(other.id_, 0)) {}

CancelSignal::AbortRegistration& CancelSignal::AbortRegistration::operator=(AbortRegistration&& other) noexcept {
  if (this != &other) {
    End();
    signal_ = std::exchange(other.signal_, nullptr);
    id_ = std::exchange(other.id_, 0);
  }
  return *this;
}

void CancelSignal::AbortRegistration::End() {
  CancelSignal* signal = std::exchange(signal_, nullptr);
  if (signal == nullptr) return;
  // Taking the lock waits for a Cancel that is running the action right now.
  ScopedCriticalSection hold(signal->state_->lock);
  signal->state_->actions.erase(id_);
}

}  // namespace volantis
