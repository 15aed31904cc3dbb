// The platform's blocking calls that a worker makes, broken off by the cancel
// signal: the datagram wait of the time sync and an HTTP request to a server
// that accepts the connection and never answers. Both halves, real sockets on
// the loopback address.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <memory>
#include <thread>

#include "platform/abandonable_resolve.h"
#include "platform/cancel_signal.h"
#include "platform/http_transport.h"
#include "platform/sync.h"
#include "platform/udp_channel.h"
#include "silent_tcp_server.h"

namespace volantis {
namespace {

using std::chrono::milliseconds;

// Cancels the signal from another thread once the call under test has had
// time to block, as the module's end does from the user-interface thread.
class LateCanceller {
 public:
  explicit LateCanceller(CancelSignal& signal)
      : thread_([&signal] {
          std::this_thread::sleep_for(milliseconds(150));
          signal.Cancel();
        }) {}
  ~LateCanceller() { thread_.join(); }

 private:
  std::thread thread_;
};

class UdpWaitTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(SystemUdpChannel().StartLibrary(), SocketLibraryStart::kStarted);
    int error = 0;
    socket_ = SystemUdpChannel().OpenSocket(error);
    ASSERT_TRUE(socket_) << error;
    // A port of its own, away from the well-known ones.
    for (uint16_t port = 41000 + static_cast<uint16_t>(::testing::UnitTest::GetInstance()->random_seed() % 500);
         port_ == 0 && port < 47000; port += 37) {
      if (socket_->Bind(port) == 0) port_ = port;
    }
    ASSERT_NE(port_, 0);
  }
  void TearDown() override {
    socket_.reset();
    SystemUdpChannel().StopLibrary();
  }

  void SendToSelf(const char* text) {
    UdpAddress self{{127, 0, 0, 1}, port_};
    ASSERT_EQ(socket_->SendTo(self, text, std::strlen(text) + 1), 0);
  }

  std::unique_ptr<UdpSocket> socket_;
  uint16_t port_ = 0;
};

TEST_F(UdpWaitTest, TheEndBreaksOffAWaitForASilentServer) {
  CancelSignal end;
  int error = 0;
  UdpWait wait;
  {
    LateCanceller canceller(end);
    wait = socket_->WaitReadable(600000, &end, error);  // a missed cancel holds this for ten minutes
  }
  EXPECT_EQ(wait, UdpWait::kCancelled);
  // Already cancelled: no wait at all.
  EXPECT_EQ(socket_->WaitReadable(600000, &end, error), UdpWait::kCancelled);
}

TEST_F(UdpWaitTest, AnAnswerStillArrivesAndIsReadAsBefore) {
  CancelSignal end;
  int error = 0;
  EXPECT_EQ(socket_->WaitReadable(50, &end, error), UdpWait::kTimeout);
  SendToSelf("first");
  SendToSelf("second");
  for (const char* expected : {"first", "second"}) {
    ASSERT_EQ(socket_->WaitReadable(10000, &end, error), UdpWait::kReadable) << error;
    char buffer[100] = {};
    std::size_t received = 0;
    UdpAddress from;
    ASSERT_EQ(socket_->ReceiveFrom(buffer, sizeof(buffer), received, from), 0);
    EXPECT_STREQ(buffer, expected);
    EXPECT_EQ(from.port, port_);
  }
  // After a wait the socket blocks again: a receive waits for the next datagram
  // instead of failing at once.
  std::thread late_sender([this] {
    std::this_thread::sleep_for(milliseconds(100));
    SendToSelf("third");
  });
  char buffer[100] = {};
  std::size_t received = 0;
  UdpAddress from;
  EXPECT_EQ(socket_->ReceiveFrom(buffer, sizeof(buffer), received, from), 0);
  EXPECT_STREQ(buffer, "third");
  late_sender.join();
}

// A name look-up that waits until released (a name server that does not
// answer), or answers at once.
class HangingResolver : public UdpChannel {
 public:
  std::atomic<bool> hang{true};
  Event entered{true, false};
  Event release{true, false};
  Event returned{true, false};  // a look-up is past its wait
  SocketLibraryStart StartLibrary() override { return SocketLibraryStart::kStarted; }
  void StopLibrary() override {}
  std::unique_ptr<UdpSocket> OpenSocket(int& error) override {
    error = 1;
    return nullptr;
  }
  int Resolve(const std::string&, UdpAddress& address) override {
    entered.Set();
    if (hang) release.Wait(600000);
    address = UdpAddress{{10, 1, 2, 3}, 0};
    returned.Set();
    return 0;
  }
};

TEST(ResolveTest, TheEndAbandonsALookUpThatHangs) {
  // Outlives the abandoned look-up, as the system's channel does.
  static HangingResolver resolver;
  CancelSignal end;
  UdpAddress address;
  ResolveOutcome outcome;
  std::thread look_up([&] { outcome = ResolveUnlessCancelled(resolver, "race.example.org", address, &end); });
  ASSERT_EQ(resolver.entered.Wait(20000), WaitResult::kSignaled);
  end.Cancel();
  look_up.join();  // a missed cancel holds this for ten minutes
  EXPECT_TRUE(outcome.cancelled);
  // The abandoned look-up comes back on its own thread and ends there.
  resolver.release.Set();
  EXPECT_EQ(resolver.returned.Wait(20000), WaitResult::kSignaled);
  // Already cancelled: no look-up at all.
  resolver.entered.Reset();
  EXPECT_TRUE(ResolveUnlessCancelled(resolver, "race.example.org", address, &end).cancelled);
  EXPECT_EQ(resolver.entered.Wait(100), WaitResult::kTimeout);
}

TEST(ResolveTest, AnAnswerArrivesAsBefore) {
  HangingResolver resolver;
  resolver.hang = false;
  CancelSignal end;
  UdpAddress address;
  const ResolveOutcome outcome = ResolveUnlessCancelled(resolver, "race.example.org", address, &end);
  EXPECT_FALSE(outcome.cancelled);
  EXPECT_EQ(outcome.error, 0);
  EXPECT_EQ(address.DottedText(), "10.1.2.3");
}

HttpRequest SilentServerRequest(int port, CancelSignal& end) {
  HttpRequest request;
  request.server = "127.0.0.1";
  request.port = port;
  request.path = "/validate?op=get_code&type=1";
  request.agent = "Volantis.dll";
  request.cancel = &end;
  return request;
}

TEST(HttpCancelTest, TheEndBreaksOffARequestToAServerThatNeverAnswers) {
  testing::SilentTcpServer server;
  ASSERT_NE(server.port(), 0);
  // Time-outs far beyond the test's own, so only the cancel can end the request
  // (on Wine, whose WinInet a close does not break off, the request's thread
  // stays blocked and the caller has its answer at once all the same).
  HttpTimeouts patient;
  patient.connect_ms = 600000;
  patient.receive_ms = 600000;
  patient.total_ms = 600000;
  std::unique_ptr<HttpTransport> transport = MakeSystemHttpTransport(patient);
  CancelSignal end;
  HttpResult result;
  std::thread request([&] { result = transport->HttpGet(SilentServerRequest(server.port(), end)); });
  ASSERT_TRUE(server.WaitForRequest(milliseconds(20000)));
  end.Cancel();
  request.join();
  EXPECT_EQ(result.status, kInternetOperationCancelled);
  EXPECT_FALSE(result.error_text.empty());
  EXPECT_TRUE(result.body.empty());
}

TEST(HttpCancelTest, ACancelledRequestDoesNotConnect) {
  testing::SilentTcpServer server;
  ASSERT_NE(server.port(), 0);
  CancelSignal end;
  end.Cancel();
  // The path is marked: a request the test before left blocked may be sent
  // again by the system's HTTP stack, and reach this server if it listens on
  // the same port; that one is not this request.
  HttpRequest request = SilentServerRequest(server.port(), end);
  request.path += "&probe=cancelled-before-connecting";
  HttpResult result = SystemHttpTransport().HttpGet(request);
  EXPECT_EQ(result.status, kInternetOperationCancelled);
  std::this_thread::sleep_for(milliseconds(100));
  EXPECT_FALSE(server.Received("probe=cancelled-before-connecting"));
}

}  // namespace
}  // namespace volantis
