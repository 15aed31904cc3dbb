#pragma once
// A TCP server on the loopback address that accepts every connection, reads
// what arrives and never answers: the race server that has gone quiet, for the
// tests of requests that the module's end breaks off. It serves on a thread of
// its own until it is destroyed. Both halves (Winsock under Wine, BSD sockets).
#ifdef _WIN32
#include <winsock2.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

namespace volantis::testing {

class SilentTcpServer {
 public:
#ifdef _WIN32
  using Socket = SOCKET;
  static constexpr Socket kNoSocket = INVALID_SOCKET;
  static void CloseSocket(Socket socket) { ::closesocket(socket); }
#else
  using Socket = int;
  static constexpr Socket kNoSocket = -1;
  static void CloseSocket(Socket socket) { ::close(socket); }
#endif

  SilentTcpServer() {
#ifdef _WIN32
    WSADATA data;
    started_library_ = ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
#endif
    listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    if (listener_ == kNoSocket || ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        ::listen(listener_, 8) != 0) {
      return;
    }
#ifdef _WIN32
    int size = sizeof(address);
#else
    socklen_t size = sizeof(address);
#endif
    ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size);
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { Serve(); });
  }

  ~SilentTcpServer() {
    stopping_ = true;
    if (thread_.joinable()) thread_.join();
    for (Socket connection : connections_) CloseSocket(connection);
    if (listener_ != kNoSocket) CloseSocket(listener_);
#ifdef _WIN32
    if (started_library_) ::WSACleanup();
#endif
  }
  SilentTcpServer(const SilentTcpServer&) = delete;
  SilentTcpServer& operator=(const SilentTcpServer&) = delete;

  // 0 when the server could not start.
  int port() const { return port_; }

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

 private:
  void Serve() {
    while (!stopping_) {
      fd_set readable;
      FD_ZERO(&readable);
      FD_SET(listener_, &readable);
      Socket highest = listener_;
      for (Socket connection : connections_) {
        FD_SET(connection, &readable);
        if (connection > highest) highest = connection;
      }
      timeval tick{0, 20000};
      if (::select(static_cast<int>(highest + 1), &readable, nullptr, nullptr, &tick) <= 0) continue;
      if (FD_ISSET(listener_, &readable)) {
        Socket connection = ::accept(listener_, nullptr, nullptr);
        if (connection != kNoSocket) connections_.push_back(connection);
      }
      for (Socket connection : connections_) {
        if (!FD_ISSET(connection, &readable)) continue;
        char buffer[2048];
        if (::recv(connection, buffer, sizeof(buffer), 0) > 0) {
          std::lock_guard<std::mutex> lock(mutex_);
          ++requests_;
          changed_.notify_all();
        }
      }
    }
  }

#ifdef _WIN32
  bool started_library_ = false;
#endif
  Socket listener_ = kNoSocket;
  int port_ = 0;
  std::vector<Socket> connections_;  // the serving thread's, then the destructor's
  std::atomic<bool> stopping_{false};
  std::thread thread_;
  std::mutex mutex_;
  std::condition_variable changed_;
  int requests_ = 0;
};

}  // namespace volantis::testing
