#pragma once
// A TCP server on the loopback address that answers every request with an HTTP
// answer that never ends: one byte at a time, a pause between bytes shorter than
// any receive time-out, either of the headers or, after complete headers, of
// the body. It serves on a thread of its own until it is destroyed. Both halves
// (Winsock under Wine, BSD sockets).
#include "../support/loopback_listener.h"

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace volantis::testing {

class DrippingHttpServer {
 public:
  enum class Drip { kHeaders, kBody };

  using Socket = LoopbackListener::Socket;
  static constexpr Socket kNoSocket = LoopbackListener::kNoSocket;

  DrippingHttpServer(Drip drip, std::chrono::milliseconds pause) : drip_(drip), pause_(pause) {
    if (listener_.port() == 0) return;
    thread_ = std::thread([this] { Serve(); });
  }

  ~DrippingHttpServer() {
    stopping_ = true;
    if (thread_.joinable()) thread_.join();
    for (Socket connection : connections_) LoopbackListener::CloseSocket(connection);
  }
  DrippingHttpServer(const DrippingHttpServer&) = delete;
  DrippingHttpServer& operator=(const DrippingHttpServer&) = delete;

  // 0 when the server could not start.
  int port() const { return listener_.port(); }
  // Bytes dripped so far, over all connections.
  int bytes_sent() const { return sent_.load(); }

 private:
  // What goes out before the dripping starts, and what is dripped (repeated).
  std::string Start() const {
    if (drip_ == Drip::kHeaders) return "HTTP/1.1 200 OK\r\n";
    return "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: 10000000\r\n\r\n";
  }
  char DripByte() const { return drip_ == Drip::kHeaders ? 'X' : 'A'; }

  void Serve() {
    auto next_byte = std::chrono::steady_clock::now();
    while (!stopping_) {
      fd_set readable;
      FD_ZERO(&readable);
      FD_SET(listener_.socket(), &readable);
      timeval wait{0, 20000};
      if (::select(static_cast<int>(listener_.socket()) + 1, &readable, nullptr, nullptr, &wait) > 0) {
        Socket connection = ::accept(listener_.socket(), nullptr, nullptr);
        if (connection != kNoSocket) {
          char request[2048];
          ::recv(connection, request, sizeof(request), 0);
          const std::string start = Start();
          ::send(connection, start.data(), static_cast<int>(start.size()), 0);
          connections_.push_back(connection);
        }
      }
      if (std::chrono::steady_clock::now() < next_byte) continue;
      next_byte = std::chrono::steady_clock::now() + pause_;
      // A header line that never ends, or a body that never does.
      const char byte = DripByte();
      for (Socket connection : connections_) {
        if (::send(connection, &byte, 1, 0) == 1) ++sent_;
      }
    }
  }

  Drip drip_;
  std::chrono::milliseconds pause_;
  LoopbackListener listener_;  // closed after the destructor has joined the serving thread
  std::vector<Socket> connections_;  // the server thread's alone until it has ended
  std::atomic<bool> stopping_{false};
  std::atomic<int> sent_{0};
  std::thread thread_;
};

}  // namespace volantis::testing
