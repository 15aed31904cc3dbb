#pragma once
// A listening TCP socket on the loopback address with a port of the system's
// choosing, for the tests' stand-in servers. Both halves (Winsock under Wine,
// BSD sockets); the socket library is started and cleaned up with it.
#ifdef _WIN32
#include <winsock2.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace volantis::testing {

class LoopbackListener {
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

  LoopbackListener() {
#ifdef _WIN32
    WSADATA data;
    started_library_ = ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
#endif
    socket_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    if (socket_ == kNoSocket || ::bind(socket_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        ::listen(socket_, 8) != 0) {
      return;
    }
#ifdef _WIN32
    int size = sizeof(address);
#else
    socklen_t size = sizeof(address);
#endif
    ::getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &size);
    port_ = ntohs(address.sin_port);
  }
  ~LoopbackListener() {
    if (socket_ != kNoSocket) CloseSocket(socket_);
#ifdef _WIN32
    if (started_library_) ::WSACleanup();
#endif
  }
  LoopbackListener(const LoopbackListener&) = delete;
  LoopbackListener& operator=(const LoopbackListener&) = delete;

  Socket socket() const { return socket_; }
  // 0 when the socket could not listen.
  int port() const { return port_; }

 private:
#ifdef _WIN32
  bool started_library_ = false;
#endif
  Socket socket_ = kNoSocket;
  int port_ = 0;
};

}  // namespace volantis::testing
