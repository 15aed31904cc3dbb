#pragma once
// How long the stand-in simulator's user-interface thread keeps its messages
// waiting. A thread of the probe posts a time-stamped message every 5 ms to a
// message-only window of that thread; whichever loop runs there (the
// simulator's own, or a modal loop of a message box or dialog) delivers it, and
// the window notes how late it came. Only the time the simulator spends in its
// message loop counts: its own script steps (capturing windows, waiting for a
// screenshot) are not the module's doing, so a message stamped before the loop
// was last entered is not counted.
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace fs9sim {

class UiDelayProbe {
 public:
  static constexpr DWORD kPeriodMs = 5;

  UiDelayProbe() = default;
  ~UiDelayProbe();
  UiDelayProbe(const UiDelayProbe&) = delete;
  UiDelayProbe& operator=(const UiDelayProbe&) = delete;

  // On the user-interface thread; false when the window or thread cannot be made.
  bool Start();
  // The loop is entered: from now on delays count.
  void LoopEntered();
  // The step the script runs now (kept with the worst delay), a literal or a
  // text that lives as long as the script, and its line (0: none).
  void SetStep(const char* step, size_t line = 0);

  // The figures of one step of the script: the messages delivered while it ran
  // (its own work and the loop that followed it), the worst delay and how many
  // came more than 20 ms late.
  struct StepFigures {
    const char* step = "";
    size_t line = 0;
    int64_t delivered = 0;
    int64_t over_20ms = 0;
    double worst_ms = 0;
  };
  // The steps with the worst delays, worst first, at most count of them.
  std::vector<StepFigures> WorstSteps(size_t count) const;

  // The loop's own pieces of work, timed by the loop: one dispatched message
  // (message given), or one PeekMessage call that ran messages other threads
  // had sent to this thread's windows (message null).
  void NoteWork(double ms, const MSG* message);
  struct SlowWork {
    double ms = 0;
    const char* step = "";
    size_t line = 0;
    char what[160] = {};
  };
  // The slowest pieces of work so far, slowest first.
  const std::vector<SlowWork>& SlowestWork() const { return slowest_; }
  static constexpr size_t kSlowestKept = 8;

  double worst_ms() const { return worst_ms_; }
  const char* worst_step() const { return worst_step_; }
  int64_t delivered() const { return delivered_; }
  int64_t over_20ms() const { return over_20ms_; }
  // The delay that this share of the messages (0.99: 99 in 100) came within,
  // to the millisecond (delays of more than kLongestMs count as kLongestMs).
  double Percentile(double share) const;

 private:
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM word_param, LPARAM long_param);
  static DWORD WINAPI Ticker(LPVOID self);
  void Delivered(uint32_t stamp);
  static uint32_t Now();

  HWND window_ = nullptr;
  HANDLE thread_ = nullptr;
  HANDLE stop_ = nullptr;
  uint32_t counting_from_ = 0;  // performance-counter ticks, low 32 bits
  double ticks_per_ms_ = 1;
  const char* step_ = "start";
  double worst_ms_ = 0;
  const char* worst_step_ = "";
  int64_t delivered_ = 0;
  int64_t over_20ms_ = 0;
  static constexpr int kLongestMs = 5000;
  int64_t per_ms_[kLongestMs + 1] = {};  // messages by whole milliseconds late
  std::vector<StepFigures> steps_;
  size_t current_step_ = 0;  // index into steps_, when steps_ is not empty
  std::vector<SlowWork> slowest_;
};

}  // namespace fs9sim
