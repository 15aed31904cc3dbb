#pragma once
// A TCP server on the loopback address that answers every request with an HTTP
// answer that never ends: one byte at a time, a pause between bytes shorter than
// any receive time-out, either of the headers or, after complete headers, of
// the body. It serves on a thread of its own until it is destroyed. Both halves
// (Winsock under Wine, BSD sockets).
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
#include <string>
#include <thread>
#include <vector>

namespace volantis::testing {

class DrippingHttpServer {
 public:
  enum class Drip { kHeaders, kBody };

#ifdef _WIN32
  using Socket = SOCKET;
  static constexpr Socket kNoSocket = INVALID_SOCKET;
  static void CloseSocket(Socket socket) { ::closesocket(socket); }
#else
  using Socket = int;
  static constexpr Socket kNoSocket = -1;
  static void CloseSocket(Socket socket) { ::close(socket); }
#endif

  DrippingHttpServer(Drip drip, std::chrono::milliseconds pause) : drip_(drip), pause_(pause) {
#ifdef _WIN32
    WSADATA data;
    started_library_ = ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
#endif
    listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
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

  ~DrippingHttpServer() {
    stopping_ = true;
    if (thread_.joinable()) thread_.join();
    for (Socket connection : connections_) CloseSocket(connection);
    if (listener_ != kNoSocket) CloseSocket(listener_);
#ifdef _WIN32
    if (started_library_) ::WSACleanup();
#endif
  }
  DrippingHttpServer(const DrippingHttpServer&) = delete;
  DrippingHttpServer& operator=(const DrippingHttpServer&) = delete;

  // 0 when the server could not start.
  int port() const { return port_; }
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
      FD_SET(listener_, &readable);
      timeval wait{0, 20000};
      if (::select(static_cast<int>(listener_) + 1, &readable, nullptr, nullptr, &wait) > 0) {
        Socket connection = ::accept(listener_, nullptr, nullptr);
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
  Socket listener_ = kNoSocket;
  int port_ = 0;
  std::vector<Socket> connections_;  // the server thread's alone until it has ended
  std::atomic<bool> stopping_{false};
  std::atomic<int> sent_{0};
  std::thread thread_;
#ifdef _WIN32
  bool started_library_ = false;
#endif
};

}  // namespace volantis::testing
