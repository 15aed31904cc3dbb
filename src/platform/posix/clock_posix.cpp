#include <ctime>
#include <time.h>

#include "platform/clock.h"

namespace volantis {
namespace {

class PosixClock : public Clock {
 public:
  bool QueryCounter(int64_t& count) override {
    timespec ts{};
    if (clock_gettime(CLOCK_MONOTONIC, &ts) != 0) return false;
    // Counts of 100 ns, the rate the Windows counter has under Wine.
    count = static_cast<int64_t>(ts.tv_sec) * 10000000 + ts.tv_nsec / 100;
    return true;
  }
  int64_t QueryFrequency() override { return 10000000; }
  uint32_t TickCount() override {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<uint32_t>(static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u);
  }
  void Sleep(uint32_t milliseconds) override {
    timespec ts{static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1000000L};
    while (nanosleep(&ts, &ts) != 0) {
    }
  }
  LocalDateTime LocalNow() override {
    time_t now = time(nullptr);
    tm local{};
    localtime_r(&now, &local);
    return LocalDateTime{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                         local.tm_hour,        local.tm_min,     local.tm_sec};
  }
};

}  // namespace

Clock& SystemClock() {
  static PosixClock clock;
  return clock;
}

}  // namespace volantis
