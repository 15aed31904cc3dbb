#include "ui_delay_probe.h"

#include <algorithm>
#include <cstdio>

namespace fs9sim {

namespace {

constexpr UINT kProbeMessage = WM_APP + 0x51;
constexpr char kClassName[] = "Fs9SimUiDelayProbe";

}  // namespace

UiDelayProbe::~UiDelayProbe() {
  if (thread_) {
    ::SetEvent(stop_);
    ::WaitForSingleObject(thread_, INFINITE);
    ::CloseHandle(thread_);
  }
  if (stop_) ::CloseHandle(stop_);
  if (window_) ::DestroyWindow(window_);
}

uint32_t UiDelayProbe::Now() {
  LARGE_INTEGER now;
  ::QueryPerformanceCounter(&now);
  return static_cast<uint32_t>(now.QuadPart);
}

bool UiDelayProbe::Start() {
  LARGE_INTEGER frequency;
  ::QueryPerformanceFrequency(&frequency);
  ticks_per_ms_ = static_cast<double>(frequency.QuadPart) / 1000.0;
  WNDCLASSA window_class = {};
  window_class.lpfnWndProc = Procedure;
  window_class.hInstance = ::GetModuleHandleA(nullptr);
  window_class.lpszClassName = kClassName;
  ::RegisterClassA(&window_class);
  window_ = ::CreateWindowA(kClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, window_class.hInstance, nullptr);
  if (!window_) return false;
  ::SetWindowLongPtrA(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  stop_ = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
  counting_from_ = Now();
  thread_ = stop_ ? ::CreateThread(nullptr, 0, Ticker, this, 0, nullptr) : nullptr;
  return thread_ != nullptr;
}

void UiDelayProbe::SetStep(const char* step, size_t line) {
  step_ = step;
  for (size_t i = 0; i < steps_.size(); ++i) {
    if (steps_[i].step == step && steps_[i].line == line) {
      current_step_ = i;
      return;
    }
  }
  StepFigures figures;
  figures.step = step;
  figures.line = line;
  steps_.push_back(figures);
  current_step_ = steps_.size() - 1;
}

std::vector<UiDelayProbe::StepFigures> UiDelayProbe::WorstSteps(size_t count) const {
  std::vector<StepFigures> worst = steps_;
  std::stable_sort(worst.begin(), worst.end(),
                   [](const StepFigures& a, const StepFigures& b) { return a.worst_ms > b.worst_ms; });
  if (worst.size() > count) worst.resize(count);
  return worst;
}

void UiDelayProbe::LoopEntered() { counting_from_ = Now(); }

DWORD WINAPI UiDelayProbe::Ticker(LPVOID self_pointer) {
  auto* self = static_cast<UiDelayProbe*>(self_pointer);
  while (::WaitForSingleObject(self->stop_, kPeriodMs) == WAIT_TIMEOUT) {
    ::PostMessageA(self->window_, kProbeMessage, 0, static_cast<LPARAM>(Now()));
  }
  return 0;
}

LRESULT CALLBACK UiDelayProbe::Procedure(HWND window, UINT message, WPARAM word_param, LPARAM long_param) {
  if (message == kProbeMessage) {
    if (auto* self = reinterpret_cast<UiDelayProbe*>(::GetWindowLongPtrA(window, GWLP_USERDATA))) {
      self->Delivered(static_cast<uint32_t>(long_param));
    }
    return 0;
  }
  return ::DefWindowProcA(window, message, word_param, long_param);
}

void UiDelayProbe::Delivered(uint32_t stamp) {
  // Stamped before the loop was entered: the simulator's own step held it.
  if (static_cast<int32_t>(stamp - counting_from_) < 0) return;
  const double late_ms = static_cast<double>(Now() - stamp) / ticks_per_ms_;
  ++delivered_;
  ++per_ms_[late_ms >= kLongestMs ? kLongestMs : static_cast<int>(late_ms)];
  if (late_ms > 20.0) ++over_20ms_;
  if (!steps_.empty()) {
    StepFigures& step = steps_[current_step_];
    ++step.delivered;
    if (late_ms > 20.0) ++step.over_20ms;
    if (late_ms > step.worst_ms) step.worst_ms = late_ms;
  }
  if (late_ms > worst_ms_) {
    worst_ms_ = late_ms;
    worst_step_ = step_;
  }
}

namespace {

// "message 0x0111 wp=0x3fc to #32770 "Volantis Log"": the message and the
// window it went to, named by its class and its top-level window's caption.
void DescribeMessage(const MSG& message, char* out, size_t size) {
  char class_name[64] = "(gone)";
  char caption[64] = "";
  if (message.hwnd == nullptr) {
    std::snprintf(class_name, sizeof class_name, "(thread)");
  } else if (::IsWindow(message.hwnd)) {
    ::GetClassNameA(message.hwnd, class_name, sizeof class_name);
    HWND top = ::GetAncestor(message.hwnd, GA_ROOT);
    ::GetWindowTextA(top != nullptr ? top : message.hwnd, caption, sizeof caption);
  }
  std::snprintf(out, size, "message 0x%04x wp=0x%llx to %s \"%s\"", message.message,
                static_cast<unsigned long long>(message.wParam), class_name, caption);
}

}  // namespace

void UiDelayProbe::NoteWork(double ms, const MSG* message) {
  if (slowest_.size() == kSlowestKept && ms <= slowest_.back().ms) return;
  SlowWork work;
  work.ms = ms;
  work.step = step_;
  work.line = steps_.empty() ? 0 : steps_[current_step_].line;
  if (message != nullptr) {
    DescribeMessage(*message, work.what, sizeof work.what);
  } else {
    std::snprintf(work.what, sizeof work.what, "inside PeekMessage (messages sent from other threads, window-system events)");
  }
  auto at = std::upper_bound(slowest_.begin(), slowest_.end(), ms,
                             [](double value, const SlowWork& kept) { return value > kept.ms; });
  slowest_.insert(at, work);
  if (slowest_.size() > kSlowestKept) slowest_.pop_back();
}

double UiDelayProbe::Percentile(double share) const {
  const double wanted = share * static_cast<double>(delivered_);
  int64_t within = 0;
  for (int ms = 0; ms <= kLongestMs; ++ms) {
    within += per_ms_[ms];
    if (static_cast<double>(within) >= wanted) return ms + 1;
  }
  return kLongestMs;
}

}  // namespace fs9sim
