#pragma once
// A TCP server on the loopback address that answers every request at once
// with a whole HTTP answer (a body of body_size bytes, longer than one read of
// the transport) and closes the connection. It serves on a thread of its own
// until it is destroyed. Both halves (Winsock under Wine, BSD sockets).
#include "../support/loopback_listener.h"

#include <atomic>
#include <cstddef>
#include <string>
#include <thread>

namespace volantis::testing {

class AnsweringHttpServer {
 public:
  using Socket = LoopbackListener::Socket;
  static constexpr Socket kNoSocket = LoopbackListener::kNoSocket;

  explicit AnsweringHttpServer(std::size_t body_size) {
    answer_ = "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nConnection: close\r\nContent-Length: " +
              std::to_string(body_size) + "\r\n\r\n" + std::string(body_size, 'A');
    if (listener_.port() == 0) return;
    thread_ = std::thread([this] { Serve(); });
  }
  ~AnsweringHttpServer() {
    stopping_ = true;
    if (thread_.joinable()) thread_.join();
  }
  AnsweringHttpServer(const AnsweringHttpServer&) = delete;
  AnsweringHttpServer& operator=(const AnsweringHttpServer&) = delete;

  // 0 when the server could not start.
  int port() const { return listener_.port(); }

 private:
  void Serve() {
    while (!stopping_) {
      fd_set readable;
      FD_ZERO(&readable);
      FD_SET(listener_.socket(), &readable);
      timeval tick{0, 20000};
      if (::select(static_cast<int>(listener_.socket()) + 1, &readable, nullptr, nullptr, &tick) <= 0) continue;
      Socket connection = ::accept(listener_.socket(), nullptr, nullptr);
      if (connection == kNoSocket) continue;
      char request[2048];
      ::recv(connection, request, sizeof(request), 0);
      std::size_t sent = 0;
      while (sent < answer_.size()) {
        const int n = static_cast<int>(::send(connection, answer_.data() + sent, static_cast<int>(answer_.size() - sent), 0));
        if (n <= 0) break;
        sent += static_cast<std::size_t>(n);
      }
      LoopbackListener::CloseSocket(connection);
    }
  }

  std::string answer_;
  LoopbackListener listener_;  // closed after the destructor has joined the serving thread
  std::atomic<bool> stopping_{false};
  std::thread thread_;
};

}  // namespace volantis::testing
