// The Windows transport's discipline with its Internet handles, from its own
// record of calls: a cancel that lands during or right after each call, and
// one that lands while a call is blocked on a server that has gone quiet. In
// every case no call starts on a closed handle, no call starts once a handle
// was closed, every handle is closed exactly once and the worker ends.
#ifdef _WIN32

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "../server/dripping_http_server.h"
#include "answering_http_server.h"
#include "platform/cancel_signal.h"
#include "platform/http_call_watcher.h"
#include "platform/sync.h"
#include "silent_tcp_server.h"

namespace volantis {
namespace {

using std::chrono::milliseconds;

const char* Name(HttpCall call) {
  switch (call) {
    case HttpCall::kOpenSession: return "open-session";
    case HttpCall::kSetOption: return "set-option";
    case HttpCall::kConnect: return "connect";
    case HttpCall::kOpenRequest: return "open-request";
    case HttpCall::kSend: return "send";
    case HttpCall::kStatus: return "status";
    case HttpCall::kRead: return "read";
  }
  return "?";
}

// The transport's calls in the order they happened, and a hook that runs on
// the worker at a chosen call.
class CallRecord : public HttpCallWatcher {
 public:
  enum class What { kStart, kEnd, kClose, kWorkerEnded };
  struct Entry {
    What what;
    HttpCall call;
    uintptr_t handle;
  };

  std::function<void(HttpCall, What)> hook;  // set before the request
  Event worker_ended{true, false};
  Event closed{true, false};

  // The hook runs first: what it sets off (a close) lands before the call's
  // entry, which stands for the call going into WinInet.
  void CallStarting(HttpCall call, uintptr_t handle) override {
    if (hook) hook(call, What::kStart);
    Add({What::kStart, call, handle});
  }
  void CallEnded(HttpCall call, uintptr_t opened) override {
    Add({What::kEnd, call, opened});
    if (hook) hook(call, What::kEnd);
  }
  void Closing(uintptr_t handle) override {
    Add({What::kClose, HttpCall::kOpenSession, handle});
    closed.Set();
  }
  void WorkerEnded() override {
    Add({What::kWorkerEnded, HttpCall::kOpenSession, 0});
    worker_ended.Set();
  }

  bool Saw(What what, HttpCall call) {
    std::lock_guard<std::mutex> hold(lock_);
    for (const Entry& e : entries_)
      if (e.what == what && e.call == call) return true;
    return false;
  }

  // Every breach of the discipline, one per line; empty when there is none.
  std::string Faults() {
    std::lock_guard<std::mutex> hold(lock_);
    std::ostringstream faults;
    std::set<uintptr_t> open;
    bool any_closed = false;
    bool ended = false;
    for (const Entry& e : entries_) {
      switch (e.what) {
        case What::kStart:
          if (any_closed) faults << Name(e.call) << " started after a handle was closed\n";
          if (e.call != HttpCall::kOpenSession && open.count(e.handle) == 0)
            faults << Name(e.call) << " on handle " << e.handle << ", which is not open\n";
          break;
        case What::kEnd:
          if (e.handle != 0 && !open.insert(e.handle).second) faults << "handle " << e.handle << " opened twice\n";
          break;
        case What::kClose:
          any_closed = true;
          if (open.erase(e.handle) == 0) faults << "handle " << e.handle << " closed but not open\n";
          break;
        case What::kWorkerEnded:
          ended = true;
          if (!open.empty()) faults << open.size() << " handle(s) left open by the worker\n";
          break;
      }
    }
    if (!ended) faults << "the worker has not ended\n";
    return faults.str();
  }

  std::string Text() {
    std::lock_guard<std::mutex> hold(lock_);
    std::ostringstream text;
    const char* kWhat[] = {"start", "end", "close", "worker-ended"};
    for (const Entry& e : entries_) {
      text << kWhat[static_cast<int>(e.what)];
      if (e.what == What::kStart || e.what == What::kEnd) text << ' ' << Name(e.call);
      text << ' ' << e.handle << '\n';
    }
    return text.str();
  }

 private:
  void Add(const Entry& entry) {
    std::lock_guard<std::mutex> hold(lock_);
    entries_.push_back(entry);
  }
  std::mutex lock_;
  std::vector<Entry> entries_;
};

HttpRequest RequestTo(int port, CancelSignal& end) {
  HttpRequest request;
  request.server = "127.0.0.1";
  request.port = port;
  request.path = "/validate?op=get_code&type=1";
  request.agent = "Volantis.dll";
  request.cancel = &end;
  return request;
}

// Short pauses: under Wine a blocked call that a close does not break off ends
// at these, so the worker's end can be awaited.
HttpTimeouts ShortPauses() {
  HttpTimeouts timeouts;
  timeouts.connect_ms = 2000;
  timeouts.receive_ms = 2000;
  timeouts.total_ms = 600000;
  return timeouts;
}

// The end comes from another thread, as it does from the user-interface thread.
void CancelFromAnotherThread(CancelSignal& end) {
  std::thread canceller([&end] { end.Cancel(); });
  canceller.join();
}

struct Landing {
  HttpCall call;
  bool during;  // while the call is on its way in, else right after it came back
};

TEST(HttpCallRecordTest, ACancelAtEachCallClosesNoHandleInUseAndStartsNoCallAfter) {
  // The server answers at once with a whole body longer than one read, so
  // every call of a request is made and none blocks for long.
  testing::AnsweringHttpServer server(10000);
  ASSERT_NE(server.port(), 0);
  const Landing kLandings[] = {
      {HttpCall::kConnect, true},  {HttpCall::kConnect, false}, {HttpCall::kOpenRequest, true},
      {HttpCall::kOpenRequest, false}, {HttpCall::kSend, true}, {HttpCall::kSend, false},
      {HttpCall::kStatus, true},   {HttpCall::kStatus, false},  {HttpCall::kRead, true},
      {HttpCall::kRead, false},
  };
  for (const Landing& landing : kLandings) {
    const std::string name = std::string(landing.during ? "during " : "after ") + Name(landing.call);
    SCOPED_TRACE(name);
    auto record = std::make_shared<CallRecord>();
    CancelSignal end;
    bool fired = false;
    record->hook = [&](HttpCall call, CallRecord::What what) {
      if (fired || call != landing.call || (what == CallRecord::What::kStart) != landing.during) return;
      fired = true;
      CancelFromAnotherThread(end);
      // After a call, let the close land before the worker goes on: the next
      // call must then see it. During one, the close must wait for the call.
      if (!landing.during) record->closed.Wait(10000);
    };
    std::unique_ptr<HttpTransport> transport = MakeWatchedHttpTransport(ShortPauses(), record);
    const HttpResult result = transport->HttpGet(RequestTo(server.port(), end));
    if (result.status == 200) {
      // The cancel reaches the request's own calls through the bounded
      // transport's waiting thread. A request that came back whole before
      // that (possible only when the cancel landed during a call) keeps the
      // answer the server gave: an answer given is never reported as lost.
      EXPECT_TRUE(landing.during) << record->Text();
      EXPECT_EQ(result.body.size(), 10000u);
    } else {
      EXPECT_EQ(result.status, kInternetOperationCancelled);
      EXPECT_FALSE(result.error_text.empty());
    }
    ASSERT_EQ(record->worker_ended.Wait(20000), WaitResult::kSignaled) << record->Text();
    EXPECT_TRUE(fired);
    EXPECT_EQ(record->Faults(), "") << record->Text();
  }
}

// A cancel while the call is blocked on a server that says nothing more:
// Windows breaks the call off by the close; Wine's WinInet ends it at its own
// pause, and the worker then makes no further call either way.
struct Blocked {
  const char* name;
  HttpCall call;
  int (*port)(testing::SilentTcpServer&, testing::DrippingHttpServer&);
};

TEST(HttpCallRecordTest, ACancelWhileACallIsBlockedEndsTheWorker) {
  testing::SilentTcpServer silent;
  testing::DrippingHttpServer stalled_body(testing::DrippingHttpServer::Drip::kBody, milliseconds(600000));
  ASSERT_NE(silent.port(), 0);
  ASSERT_NE(stalled_body.port(), 0);
  const Blocked kBlocked[] = {
      {"send to a server that never answers", HttpCall::kSend,
       [](testing::SilentTcpServer& s, testing::DrippingHttpServer&) { return s.port(); }},
      {"read of a body that stops", HttpCall::kRead,
       [](testing::SilentTcpServer&, testing::DrippingHttpServer& d) { return d.port(); }},
  };
  for (const Blocked& c : kBlocked) {
    SCOPED_TRACE(c.name);
    auto record = std::make_shared<CallRecord>();
    std::unique_ptr<HttpTransport> transport = MakeWatchedHttpTransport(ShortPauses(), record);
    CancelSignal end;
    HttpResult result;
    std::thread request([&] { result = transport->HttpGet(RequestTo(c.port(silent, stalled_body), end)); });
    bool started = false;
    for (int i = 0; i < 400 && !started; ++i) {
      started = record->Saw(CallRecord::What::kStart, c.call);
      if (!started) std::this_thread::sleep_for(milliseconds(10));
    }
    EXPECT_TRUE(started) << record->Text();
    std::this_thread::sleep_for(milliseconds(300));  // let the call block
    end.Cancel();
    request.join();
    EXPECT_EQ(result.status, kInternetOperationCancelled);
    ASSERT_EQ(record->worker_ended.Wait(20000), WaitResult::kSignaled) << record->Text();
    EXPECT_EQ(record->Faults(), "") << record->Text();
  }
}

}  // namespace
}  // namespace volantis

#endif  // _WIN32
