// The whole HTTP exchange is bounded by its total time-out, whatever the server
// does: a server that drips its headers, or its body, one byte at a time with
// pauses shorter than any receive time-out cannot hold the worker (and with it
// every later submission). Over the platform's real transport, on loopback.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "dripping_http_server.h"
#include "platform/bounded_http_transport.h"
#include "platform/cancel_signal.h"
#include "platform/http_transport.h"
#include "platform/sync.h"

namespace volantis {
namespace {

using testing::DrippingHttpServer;

// An inner transport whose call blocks until it is let go, and, when it is one
// that honours its request's cancel signal, until that is set.
class BlockingTransport : public HttpTransport {
 public:
  explicit BlockingTransport(bool honours_cancel) : honours_cancel_(honours_cancel) {}
  HttpResult HttpGet(const HttpRequest& request) override {
    entered.Set();
    for (;;) {
      if (release.Wait(5) == WaitResult::kSignaled) break;
      if (honours_cancel_ && request.cancel != nullptr && request.cancel->cancelled()) {
        saw_cancel = true;
        break;
      }
    }
    HttpResult result;
    result.status = 200;
    result.body = "late";
    returned.Set();
    return result;
  }
  Event entered{true, false};
  Event release{true, false};
  Event returned{true, false};
  std::atomic<bool> saw_cancel{false};

 private:
  bool honours_cancel_;
};

std::string TextOf(int32_t code) { return "error " + std::to_string(code); }

HttpRequest AnyRequest() {
  HttpRequest request;
  request.server = "127.0.0.1";
  request.path = "/";
  return request;
}

TEST(BoundedHttpTransport, AnExchangeThatDoesNotComeBackEndsAtTheTotalTimeOut) {
  for (bool honours_cancel : {true, false}) {
    auto inner = std::make_shared<BlockingTransport>(honours_cancel);
    auto bounded = std::make_unique<BoundedHttpTransport>(inner, 200, TextOf);
    const auto started = std::chrono::steady_clock::now();
    const HttpResult result = bounded->HttpGet(AnyRequest());
    const auto took = std::chrono::steady_clock::now() - started;
    EXPECT_EQ(result.status, kInternetTimeout);
    EXPECT_EQ(result.error_text, "error 12002");
    EXPECT_TRUE(result.body.empty());
    EXPECT_LT(took, std::chrono::milliseconds(2000));
    if (honours_cancel) {
      // The inner request is cancelled at the time-out, which ends it where it can be ended.
      EXPECT_EQ(inner->returned.Wait(5000), WaitResult::kSignaled);
      EXPECT_TRUE(inner->saw_cancel.load());
    } else {
      // One that cannot be ended goes on alone, after the transport is gone too.
      bounded.reset();
      EXPECT_EQ(inner->returned.Wait(50), WaitResult::kTimeout);
      inner->release.Set();
      EXPECT_EQ(inner->returned.Wait(5000), WaitResult::kSignaled);
    }
  }
}

TEST(BoundedHttpTransport, AnAnswerInTimeIsPassedOn) {
  auto inner = std::make_shared<BlockingTransport>(false);
  inner->release.Set();
  BoundedHttpTransport bounded(inner, 10000, TextOf);
  const HttpResult result = bounded.HttpGet(AnyRequest());
  EXPECT_EQ(result.status, 200);
  EXPECT_EQ(result.body, "late");
}

TEST(BoundedHttpTransport, TheCallersCancelEndsTheWaitAtOnce) {
  auto inner = std::make_shared<BlockingTransport>(false);
  BoundedHttpTransport bounded(inner, 600000, TextOf);
  CancelSignal end;
  HttpRequest request = AnyRequest();
  request.cancel = &end;
  HttpResult result;
  std::thread caller([&] { result = bounded.HttpGet(request); });
  ASSERT_EQ(inner->entered.Wait(5000), WaitResult::kSignaled);
  end.Cancel();
  caller.join();
  EXPECT_EQ(result.status, kInternetOperationCancelled);
  EXPECT_EQ(result.error_text, "error 12017");
  inner->release.Set();
  EXPECT_EQ(inner->returned.Wait(5000), WaitResult::kSignaled);
}

TEST(HttpDeadline, ADrippingServerCannotHoldTheExchangePastItsTotalTimeOut) {
  struct Case {
    const char* name;
    DrippingHttpServer::Drip drip;
  } const cases[] = {{"headers", DrippingHttpServer::Drip::kHeaders}, {"body", DrippingHttpServer::Drip::kBody}};
  HttpTimeouts timeouts;
  timeouts.connect_ms = 2000;
  timeouts.receive_ms = 2000;
  timeouts.total_ms = 3000;
  std::unique_ptr<HttpTransport> transport = MakeSystemHttpTransport(timeouts);
  for (const Case& c : cases) {
    DrippingHttpServer server(c.drip, std::chrono::milliseconds(250));
    ASSERT_NE(server.port(), 0) << c.name;
    HttpRequest request;
    request.server = "127.0.0.1";
    request.port = server.port();
    request.path = "/validate?op=get_code&type=1";
    request.agent = "HttpDeadline";
    const auto started = std::chrono::steady_clock::now();
    const HttpResult result = transport->HttpGet(request);
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started);
    EXPECT_EQ(result.status, kInternetTimeout) << c.name << ": " << result.error_text;
    EXPECT_FALSE(result.error_text.empty()) << c.name;
    EXPECT_LT(took.count(), timeouts.total_ms + 2000) << c.name;
    EXPECT_GT(server.bytes_sent(), 5) << c.name << ": the server was still dripping";
  }
}

}  // namespace
}  // namespace volantis
