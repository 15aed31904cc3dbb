#pragma once
// The one signal that tells every worker of the module to stop. Once set it
// stays set. A worker's waits watch it (SleepUnlessCancelled of the clock,
// WaitCancelled here), and a blocking call that cannot watch anything itself (a
// socket wait, an HTTP request) registers an abort action for the time of the
// call: Cancel runs it, e.g. to close the handle the call is blocked on.
#include <cstdint>
#include <functional>
#include <memory>

namespace volantis {

class CancelSignal {
 public:
  CancelSignal();
  ~CancelSignal();
  CancelSignal(const CancelSignal&) = delete;
  CancelSignal& operator=(const CancelSignal&) = delete;

  // Sets the signal, wakes every wait and runs each registered abort action
  // once, on the calling thread. Later calls do nothing.
  void Cancel();
  bool cancelled() const;
  // Waits at most milliseconds; true when the signal is set (before or meanwhile).
  bool WaitCancelled(uint32_t milliseconds);

  // One registered abort action; it stays registered for as long as this object
  // lives. Ending a registration while Cancel runs its action waits for the
  // action, so an action never touches what its caller frees afterwards.
  class AbortRegistration {
   public:
    AbortRegistration() = default;
    ~AbortRegistration();
    AbortRegistration(AbortRegistration&& other) noexcept;
    AbortRegistration& operator=(AbortRegistration&& other) noexcept;
    AbortRegistration(const AbortRegistration&) = delete;
    AbortRegistration& operator=(const AbortRegistration&) = delete;

   private:
    friend class CancelSignal;
    void End();
    CancelSignal* signal_ = nullptr;
    uint64_t id_ = 0;
  };

  // Registers action, or runs it at once (before returning) when the signal is
  // already set. The action must be short and must not wait for anything: it
  // runs under the signal's lock.
  [[nodiscard]] AbortRegistration OnCancel(std::function<void()> action);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace volantis
