#pragma once
// The module's worker threads. Each one starts through the group and is counted
// until it has ended; all of them watch the group's cancel signal, and once it
// is set the group starts no new worker. Every worker co-owns the group's anchor
// (the objects the workers use), so those stay alive for as long as any worker
// runs, whoever else lets go of them; the counting itself lives in a part that
// each worker co-owns too, so a worker's last step never touches a freed group.
#include <cstdint>
#include <functional>
#include <memory>

#include "platform/cancel_signal.h"

namespace volantis {

class WorkerGroup {
 public:
  WorkerGroup();
  ~WorkerGroup();
  WorkerGroup(const WorkerGroup&) = delete;
  WorkerGroup& operator=(const WorkerGroup&) = delete;

  CancelSignal& cancel();
  bool ending() const;

  // Every worker started from now on keeps the anchor alive until its body has
  // returned. Set once, before the first start.
  void SetAnchor(std::weak_ptr<void> anchor);

  // Starts body on a thread of its own. False, and body is not run, once the
  // cancel signal is set or when the thread cannot be created. Nothing thrown by
  // body leaves the thread.
  bool Start(std::function<void()> body);

  // True once no worker runs. Waits at most milliseconds, carrying out window
  // messages other threads send to the calling thread meanwhile.
  bool WaitUntilNoneRuns(uint32_t milliseconds);
  int running() const;

 private:
  struct Shared;
  std::shared_ptr<Shared> shared_;
  std::weak_ptr<void> anchor_;
};

}  // namespace volantis
