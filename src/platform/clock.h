#pragma once
// Time sources: the high-resolution counter, the millisecond tick count, sleeping,
// and the local date and time for log prefixes.
#include <cstdint>

namespace volantis {

class CancelSignal;

struct LocalDateTime {
  int year = 0;    // e.g. 2006
  int month = 0;   // 1-12
  int day = 0;     // 1-31
  int hour = 0;    // 0-23
  int minute = 0;
  int second = 0;
};

class Clock {
 public:
  virtual ~Clock() = default;
  // The high-resolution counter; false when the machine has none.
  virtual bool QueryCounter(int64_t& count) = 0;
  // Counts per second of the counter (may be 0 on a broken machine; callers take 0 as 1).
  virtual int64_t QueryFrequency() = 0;
  // Milliseconds since start-up, wrapping at 2^32.
  virtual uint32_t TickCount() = 0;
  virtual void Sleep(uint32_t milliseconds) = 0;
  // A worker's pause: sleeps at most milliseconds and ends early when cancel is
  // set. True when cancel cut it short (or was set already).
  virtual bool SleepUnlessCancelled(uint32_t milliseconds, CancelSignal& cancel);
  virtual LocalDateTime LocalNow() = 0;
};

// The process-wide real clock of this platform.
Clock& SystemClock();

}  // namespace volantis
