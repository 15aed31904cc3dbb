// StopRace on the user-interface thread while the monitor is blocked in a
// synchronous window call to a window of that thread: the stop must let the
// call through and end as soon as the monitor has, not sit out its bound. (With
// a plain wait the stop would then block on the Log window's lock, which the
// monitor holds while it waits for this thread: a hang, caught by the time-out.)
#include <windows.h>

#include <cstdio>

#include <gtest/gtest.h>

#include "race/gate_crossing.h"
#include "race/race_monitor.h"
#include "race_fakes.h"

namespace volantis {
namespace {

constexpr UINT kPositionMessage = WM_APP + 7;

LRESULT CALLBACK CountingProcedure(HWND window, UINT message, WPARAM w, LPARAM l) {
  if (message == kPositionMessage) {
    auto* count = reinterpret_cast<LONG*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    InterlockedIncrement(count);
    return 0;
  }
  return DefWindowProcA(window, message, w, l);
}

// A view that updates its window the blocking way: a sent message per position.
class SendingLogView : public LogView {
 public:
  explicit SendingLogView(HWND window) : window_(window) {}
  void Open(const std::string&) override {}
  bool Exists() override { return true; }
  void AppendText(const std::string&) override {}
  void ClearText() override {}
  bool PositionShown() override { return true; }
  void SetPosition(const std::string&, const std::string&, const std::string&) override {
    SendMessageA(window_, kPositionMessage, 0, 0);
  }
  void BlankPosition() override {}

 private:
  HWND window_;
};

class StillMemory : public HostMemory {
 public:
  bool Attach() override { return true; }
  int64_t ReadInt64(uint32_t) const override { return 0; }
  int16_t ReadInt16(uint32_t) const override { return 256; }
  uint16_t ReadUInt16(uint32_t) const override { return 0; }
  int8_t ReadInt8(uint32_t) const override { return 1; }
};

TEST(StopRaceWin32Test, StopServesTheMonitorsWindowCallAndEndsPromptly) {
  WNDCLASSA window_class{};
  window_class.lpfnWndProc = CountingProcedure;
  window_class.hInstance = GetModuleHandleA(nullptr);
  window_class.lpszClassName = "VolantisStopRaceTest";
  ASSERT_NE(RegisterClassA(&window_class), 0);
  HWND window = CreateWindowA("VolantisStopRaceTest", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                              window_class.hInstance, nullptr);
  ASSERT_NE(window, nullptr);
  LONG positions = 0;
  SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&positions));

  testing::JudgeBench bench;
  SendingLogView view(window);
  StillMemory memory;
  bench.state.log->SetView(&view);
  {
    RaceMonitor monitor(bench.state, bench.services, memory);
    monitor.StartRace();
    Sleep(300);  // this thread serves nothing now: the monitor blocks in its first update
    EXPECT_EQ(positions, 0);

    LARGE_INTEGER frequency, before, after;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&before);
    monitor.StopRace();
    QueryPerformanceCounter(&after);
    EXPECT_FALSE(monitor.IsMonitorRunning());
    EXPECT_GE(positions, 1);
    std::printf("StopRace with the monitor blocked in a window call: %.1f ms\n",
                (after.QuadPart - before.QuadPart) * 1000.0 / frequency.QuadPart);
  }
  bench.state.log->SetView(nullptr);
  DestroyWindow(window);
  UnregisterClassA("VolantisStopRaceTest", window_class.hInstance);
}

}  // namespace
}  // namespace volantis
