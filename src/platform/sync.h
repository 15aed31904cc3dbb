#pragma once
// Threads, events and critical sections. Worker threads are started detached:
// the program tracks their end through events, never through handles.
#include <cstdint>
#include <functional>
#include <memory>

namespace volantis {

enum class WaitResult { kSignaled, kTimeout, kFailed };

// A Win32-style event: manual-reset or auto-reset, created signalled or not.
class Event {
 public:
  Event(bool manual_reset, bool initially_signalled);
  ~Event();
  Event(const Event&) = delete;
  Event& operator=(const Event&) = delete;

  void Set();
  void Reset();
  WaitResult Wait(uint32_t milliseconds);

  // Waits like Wait, but while waiting keeps carrying out window messages that
  // other threads send to windows of the calling (user-interface) thread, so a
  // worker blocked in a synchronous window call can finish. Elsewhere a plain Wait.
  WaitResult WaitServingSentMessages(uint32_t milliseconds);

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

class CriticalSection {
 public:
  CriticalSection();
  ~CriticalSection();
  CriticalSection(const CriticalSection&) = delete;
  CriticalSection& operator=(const CriticalSection&) = delete;
  void Enter();
  void Leave();

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

class ScopedCriticalSection {
 public:
  explicit ScopedCriticalSection(CriticalSection& section) : section_(section) { section_.Enter(); }
  ~ScopedCriticalSection() { section_.Leave(); }
  ScopedCriticalSection(const ScopedCriticalSection&) = delete;
  ScopedCriticalSection& operator=(const ScopedCriticalSection&) = delete;

 private:
  CriticalSection& section_;
};

// Starts a detached thread running body; false when the thread cannot be created.
// No exception leaves body: the thread entry catches and drops anything thrown.
// On Windows the thread holds a reference to the module its code lives in from
// before it starts until it ends, so unloading the module never unmaps code a
// thread still runs. The program's own workers start through WorkerGroup.
bool StartDetachedThread(std::function<void()> body);

}  // namespace volantis
