#pragma once
// A TCP server on the loopback address that accepts every connection, reads
// what arrives and never answers: the race server that has gone quiet, for the
// tests of requests that the module's end breaks off. It serves on a thread of
// its own until it is destroyed. Both halves (Winsock under Wine, BSD sockets).
#include "../support/loopback_listener.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace volantis::testing {

class SilentTcpServer {
 public:
  using Socket = LoopbackListener::Socket;
  static constexpr Socket kNoSocket = LoopbackListener::kNoSocket;

  SilentTcpServer() {
    if (listener_.port() == 0) return;
    thread_ = std::thread([this] { Serve(); });
  }

  ~SilentTcpServer() {
    stopping_ = true;
    if (thread_.joinable()) thread_.join();
    for (Socket connection : connections_) LoopbackListener::CloseSocket(connection);
  }
  SilentTcpServer(const SilentTcpServer&) = delete;
  SilentTcpServer& operator=(const SilentTcpServer&) = delete;

  // 0 when the server could not start.
  int port() const { return listener_.port(); }

  // Waits until a connection has brought a request (some bytes); false after
  // the time given.
  bool WaitForRequest(std::chrono::milliseconds limit) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, limit, [this] { return requests_ > 0; });
  }
  int requests() {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
  }
  // Whether any connection brought bytes holding this text. A test that
  // marks its own request's path with it is not fooled by a request of an
  // earlier test that the system's HTTP stack sends again later, when the new
  // server happens to listen on the port the old one had.
  bool Received(const std::string& marker) {
    std::lock_guard<std::mutex> lock(mutex_);
    return received_.find(marker) != std::string::npos;
  }

 private:
  void Serve() {
    while (!stopping_) {
      fd_set readable;
      FD_ZERO(&readable);
      FD_SET(listener_.socket(), &readable);
      Socket highest = listener_.socket();
      for (Socket connection : connections_) {
        FD_SET(connection, &readable);
        if (connection > highest) highest = connection;
      }
      timeval tick{0, 20000};
      if (::select(static_cast<int>(highest + 1), &readable, nullptr, nullptr, &tick) <= 0) continue;
      if (FD_ISSET(listener_.socket(), &readable)) {
        Socket connection = ::accept(listener_.socket(), nullptr, nullptr);
        if (connection != kNoSocket) connections_.push_back(connection);
      }
      for (Socket connection : connections_) {
        if (!FD_ISSET(connection, &readable)) continue;
        char buffer[2048];
        const int got = static_cast<int>(::recv(connection, buffer, sizeof(buffer), 0));
        if (got > 0) {
          std::lock_guard<std::mutex> lock(mutex_);
          if (received_.size() < kKeptBytes) received_.append(buffer, static_cast<size_t>(got));
          ++requests_;
          changed_.notify_all();
        }
      }
    }
  }

  LoopbackListener listener_;  // closed after the destructor has joined the serving thread
  std::vector<Socket> connections_;  // the serving thread's, then the destructor's
  std::atomic<bool> stopping_{false};
  std::thread thread_;
  std::mutex mutex_;
  std::condition_variable changed_;
  int requests_ = 0;
  static constexpr size_t kKeptBytes = 1 << 16;
  std::string received_;  // what arrived, up to kKeptBytes
};

}  // namespace volantis::testing
