// The module-wide cancel signal and the worker group every worker starts in.
#include "platform/cancel_signal.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "platform/sync.h"
#include "platform/worker_group.h"

namespace volantis {
namespace {

using std::chrono::milliseconds;

TEST(CancelSignalTest, ACancelWakesAWaitOnAnotherThread) {
  CancelSignal signal;
  EXPECT_FALSE(signal.WaitCancelled(0));
  std::atomic<bool> woke_cancelled{false};
  std::thread waiter([&] { woke_cancelled = signal.WaitCancelled(600000); });
  std::this_thread::sleep_for(milliseconds(20));
  signal.Cancel();
  waiter.join();  // a wait that missed the signal would hold this for ten minutes
  EXPECT_TRUE(woke_cancelled);
  EXPECT_TRUE(signal.cancelled());
  EXPECT_TRUE(signal.WaitCancelled(600000));
}

TEST(CancelSignalTest, AbortActionsRunOnceWhileRegistered) {
  CancelSignal signal;
  int registered_runs = 0;
  int ended_runs = 0;
  auto registered = signal.OnCancel([&] { ++registered_runs; });
  { auto ended = signal.OnCancel([&] { ++ended_runs; }); }
  signal.Cancel();
  signal.Cancel();
  EXPECT_EQ(registered_runs, 1);
  EXPECT_EQ(ended_runs, 0) << "a registration that has ended is never run";

  // Registered after the fact: runs at once, before OnCancel returns, so a
  // blocking call about to start is broken off all the same.
  int late_runs = 0;
  auto late = signal.OnCancel([&] { ++late_runs; });
  EXPECT_EQ(late_runs, 1);
}

TEST(CancelSignalTest, EndingARegistrationWaitsForItsRunningAction) {
  CancelSignal signal;
  Event action_started(true, false);
  std::atomic<bool> action_done{false};
  auto registration = std::make_unique<CancelSignal::AbortRegistration>(signal.OnCancel([&] {
    action_started.Set();
    std::this_thread::sleep_for(milliseconds(100));
    action_done = true;
  }));
  std::thread canceller([&] { signal.Cancel(); });
  ASSERT_EQ(action_started.Wait(10000), WaitResult::kSignaled);
  registration.reset();  // what the action touches may be freed after this
  EXPECT_TRUE(action_done);
  canceller.join();
}

TEST(WorkerGroupTest, CountsWorkersUntilTheirBodiesReturn) {
  WorkerGroup group;
  Event release(true, false);
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(group.Start([&] { release.Wait(10000); }));
  EXPECT_EQ(group.running(), 3);
  EXPECT_FALSE(group.WaitUntilNoneRuns(0));
  release.Set();
  EXPECT_TRUE(group.WaitUntilNoneRuns(10000));
  EXPECT_EQ(group.running(), 0);
}

TEST(WorkerGroupTest, StartsNothingOnceCancelled) {
  WorkerGroup group;
  group.cancel().Cancel();
  std::atomic<bool> ran{false};
  EXPECT_FALSE(group.Start([&] { ran = true; }));
  EXPECT_TRUE(group.WaitUntilNoneRuns(0));
  EXPECT_FALSE(ran);
}

TEST(WorkerGroupTest, AWorkerKeepsTheAnchorUntilItHasEnded) {
  Event freed(true, false);
  struct Objects {
    explicit Objects(Event& freed_event) : freed(freed_event) {}
    ~Objects() { freed.Set(); }
    Event& freed;
    WorkerGroup group;
    std::atomic<int> used{0};
  };
  auto objects = std::make_shared<Objects>(freed);
  objects->group.SetAnchor(objects);
  std::weak_ptr<Objects> watch = objects;
  Event entered(true, false);
  Event release(true, false);
  Objects* raw = objects.get();
  ASSERT_TRUE(objects->group.Start([raw, &entered, &release] {
    entered.Set();
    release.Wait(10000);
    ++raw->used;  // after its owner has let go: still alive
  }));
  ASSERT_EQ(entered.Wait(10000), WaitResult::kSignaled);
  objects.reset();
  EXPECT_FALSE(watch.expired());
  release.Set();
  EXPECT_EQ(freed.Wait(10000), WaitResult::kSignaled) << "the last worker lets go of the anchor when it ends";
  EXPECT_TRUE(watch.expired());
}

TEST(WorkerGroupTest, AnExceptionStaysInItsWorker) {
  WorkerGroup group;
  ASSERT_TRUE(group.Start([] { throw 42; }));
  EXPECT_TRUE(group.WaitUntilNoneRuns(10000));
}

}  // namespace
}  // namespace volantis
