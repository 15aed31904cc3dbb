#pragma once
// Fakes of the platform services the server exchanges use: a clock that only
// moves when told, a scripted HTTP transport, a scripted datagram channel, and
// recorders for sounds and posted commands.
#include <cstdio>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/cancel_signal.h"
#include "platform/clock.h"
#include "platform/host_poster.h"
#include "platform/http_transport.h"
#include "platform/sound_player.h"
#include "platform/udp_channel.h"

namespace volantis::testing {

// A 10 MHz counter that moves only when told; Sleep is recorded, not waited.
class FakeClock : public Clock {
 public:
  static constexpr int64_t kFrequency = 10000000;
  int64_t counter = 5 * kFrequency;
  bool has_counter = true;
  std::vector<uint32_t> sleeps;
  std::mutex lock;

  void AdvanceMs(double ms) { counter += static_cast<int64_t>(ms * (kFrequency / 1000)); }
  double Seconds() const { return static_cast<double>(counter) / kFrequency; }

  bool QueryCounter(int64_t& count) override {
    count = counter;
    return has_counter;
  }
  int64_t QueryFrequency() override { return kFrequency; }
  uint32_t TickCount() override { return static_cast<uint32_t>(counter / 1000); }
  void Sleep(uint32_t milliseconds) override {
    std::lock_guard<std::mutex> guard(lock);
    sleeps.push_back(milliseconds);
  }
  bool SleepUnlessCancelled(uint32_t milliseconds, CancelSignal& cancel) override {
    Sleep(milliseconds);
    return cancel.cancelled();
  }
  LocalDateTime LocalNow() override { return LocalDateTime{2026, 12, 10, 6, 0, 0}; }
};

class RecordingSound : public SoundPlayer {
 public:
  std::vector<std::string> played;
  std::mutex lock;
  void Play(const char* name) override {
    std::lock_guard<std::mutex> guard(lock);
    played.emplace_back(name);
  }
};

class RecordingPoster : public HostPoster {
 public:
  std::vector<uint32_t> posted;
  void PostCommand(uint32_t command) override { posted.push_back(command); }
};

inline HttpResult Status(int32_t status, std::string body = std::string()) {
  HttpResult result;
  result.status = status;
  result.body = std::move(body);
  return result;
}

inline HttpResult TransportFailure(int32_t code = kInternetCannotConnect,
                                   std::string text = "A connection with the server could not be established") {
  HttpResult result;
  result.status = code;
  result.error_text = std::move(text);
  return result;
}

// Answers requests from a script, in order; once the script is used up every
// request fails like a server that is down. Records every request.
class ScriptedHttp : public HttpTransport {
 public:
  std::deque<HttpResult> script;
  std::vector<HttpRequest> requests;
  std::function<void(const HttpRequest&)> on_request;  // runs before answering, outside the lock
  std::mutex lock;

  void Add(HttpResult result) { script.push_back(std::move(result)); }
  std::vector<std::string> Paths() {
    std::lock_guard<std::mutex> guard(lock);
    std::vector<std::string> paths;
    for (const auto& request : requests) paths.push_back(request.path);
    return paths;
  }

  HttpResult HttpGet(const HttpRequest& request) override {
    if (on_request) on_request(request);
    std::lock_guard<std::mutex> guard(lock);
    requests.push_back(request);
    if (script.empty()) return TransportFailure();
    HttpResult result = script.front();
    script.pop_front();
    return result;
  }
};

// One scripted step of the datagram exchange: what happens after a request.
struct UdpStep {
  UdpWait wait = UdpWait::kReadable;
  double delay_ms = 0;  // how long the answer takes (the clock moves on by it)
  int wait_error = 0;
  int receive_error = 0;
  // Builds the answer bytes from the request text; empty function: no answer.
  std::function<std::string(const std::string& request)> answer;
  // The sender of the answer; none: the address the request went to.
  std::optional<UdpAddress> from;
};

// The id of a "Time sync request %d ..." text.
inline int RequestId(const std::string& request) {
  int id = -1;
  std::sscanf(request.c_str(), "Time sync request %d", &id);
  return id;
}

// A proper answer echoing the request's id, with its zero byte.
inline UdpStep AnswerAfter(double delay_ms, double server_time, int aircraft) {
  UdpStep step;
  step.delay_ms = delay_ms;
  step.answer = [server_time, aircraft](const std::string& request) {
    char text[100];
    std::snprintf(text, sizeof(text), "Time sync response %d time %f aircraft %d", RequestId(request), server_time,
                  aircraft);
    return std::string(text) + '\0';
  };
  return step;
}

inline UdpStep Answer(double delay_ms, std::string bytes) {
  UdpStep step;
  step.delay_ms = delay_ms;
  step.answer = [bytes](const std::string&) { return bytes; };
  return step;
}

inline UdpStep TimeOut() {
  UdpStep step;
  step.wait = UdpWait::kTimeout;
  return step;
}

class ScriptedUdpChannel : public UdpChannel {
 public:
  explicit ScriptedUdpChannel(FakeClock& clock) : clock_(clock) {}

  SocketLibraryStart start_result = SocketLibraryStart::kStarted;
  int open_error = 0;
  int bind_error = 0;
  int resolve_error = 0;
  int send_error = 0;
  UdpAddress resolved{{10, 200, 0, 2}, 0};
  std::deque<UdpStep> steps;

  int starts = 0;
  int stops = 0;
  int sockets_open = 0;
  std::vector<uint16_t> bound_ports;
  std::vector<std::string> resolved_hosts;
  std::vector<std::string> sent;  // every datagram as sent, zero byte included
  std::vector<UdpAddress> sent_to;
  std::vector<uint32_t> waits_ms;

  SocketLibraryStart StartLibrary() override {
    ++starts;
    return start_result;
  }
  void StopLibrary() override { ++stops; }

  std::unique_ptr<UdpSocket> OpenSocket(int& error) override {
    if (open_error != 0) {
      error = open_error;
      return nullptr;
    }
    return std::make_unique<Socket>(*this);
  }

  int Resolve(const std::string& host, UdpAddress& address) override {
    resolved_hosts.push_back(host);
    if (resolve_error != 0) return resolve_error;
    address = resolved;
    return 0;
  }

 private:
  class Socket : public UdpSocket {
   public:
    explicit Socket(ScriptedUdpChannel& owner) : owner_(owner) { ++owner_.sockets_open; }
    ~Socket() override { --owner_.sockets_open; }

    int Bind(uint16_t port) override {
      owner_.bound_ports.push_back(port);
      return owner_.bind_error;
    }
    int SendTo(const UdpAddress& to, const void* data, std::size_t size) override {
      if (owner_.send_error != 0) return owner_.send_error;
      owner_.sent.emplace_back(static_cast<const char*>(data), size);
      owner_.sent_to.push_back(to);
      last_request_ = std::string(static_cast<const char*>(data), size);
      last_to_ = to;
      return 0;
    }
    UdpWait WaitReadable(uint32_t milliseconds, CancelSignal*, int& error) override {
      owner_.waits_ms.push_back(milliseconds);
      if (owner_.steps.empty()) {
        owner_.clock_.AdvanceMs(milliseconds);
        return UdpWait::kTimeout;
      }
      current_ = owner_.steps.front();
      owner_.steps.pop_front();
      if (current_.wait == UdpWait::kTimeout) {
        owner_.clock_.AdvanceMs(milliseconds);
      } else {
        // One tick more than the delay, so the whole milliseconds the log shows
        // do not depend on how the seconds round.
        owner_.clock_.AdvanceMs(current_.delay_ms);
        owner_.clock_.counter += 1;
      }
      error = current_.wait_error;
      return current_.wait;
    }
    int ReceiveFrom(void* buffer, std::size_t capacity, std::size_t& received, UdpAddress& from) override {
      if (current_.receive_error != 0) return current_.receive_error;
      std::string bytes = current_.answer ? current_.answer(last_request_) : std::string();
      received = bytes.size() < capacity ? bytes.size() : capacity;
      std::copy(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(received), static_cast<char*>(buffer));
      from = current_.from ? *current_.from : last_to_;
      return 0;
    }

   private:
    ScriptedUdpChannel& owner_;
    UdpStep current_;
    std::string last_request_;
    UdpAddress last_to_;
  };

  FakeClock& clock_;
};

}  // namespace volantis::testing
