#include <windows.h>

#include "platform/clock.h"

namespace volantis {
namespace {

class Win32Clock : public Clock {
 public:
  bool QueryCounter(int64_t& count) override {
    LARGE_INTEGER value;
    if (!::QueryPerformanceCounter(&value)) return false;
    count = value.QuadPart;
    return true;
  }
  int64_t QueryFrequency() override {
    LARGE_INTEGER value;
    if (!::QueryPerformanceFrequency(&value)) return 0;
    return value.QuadPart;
  }
  uint32_t TickCount() override { return ::GetTickCount(); }
  void Sleep(uint32_t milliseconds) override { ::Sleep(milliseconds); }
  LocalDateTime LocalNow() override {
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    return LocalDateTime{now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
  }
};

}  // namespace

Clock& SystemClock() {
  static Win32Clock clock;
  return clock;
}

}  // namespace volantis
