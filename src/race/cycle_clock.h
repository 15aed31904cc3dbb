#pragma once
// A clock held still for one monitor cycle: the counter is read once when the
// cycle begins, and every read within the cycle returns that count. Everything
// else passes through to the clock beneath.
#include <cstdint>

#include "platform/clock.h"

namespace volantis {

class CycleClock : public Clock {
 public:
  explicit CycleClock(Clock& clock) : clock_(clock) {}

  // Reads the counter for the cycle; false (and count 0) when there is none.
  bool BeginCycle() {
    counter_works_ = clock_.QueryCounter(count_);
    if (!counter_works_) count_ = 0;
    return counter_works_;
  }
  int64_t count() const { return count_; }

  bool QueryCounter(int64_t& count) override {
    if (counter_works_) count = count_;
    return counter_works_;
  }
  int64_t QueryFrequency() override { return clock_.QueryFrequency(); }
  uint32_t TickCount() override { return clock_.TickCount(); }
  void Sleep(uint32_t milliseconds) override { clock_.Sleep(milliseconds); }
  bool SleepUnlessCancelled(uint32_t milliseconds, CancelSignal& cancel) override {
    return clock_.SleepUnlessCancelled(milliseconds, cancel);
  }
  LocalDateTime LocalNow() override { return clock_.LocalNow(); }

 private:
  Clock& clock_;
  int64_t count_ = 0;
  bool counter_works_ = true;
};

}  // namespace volantis
