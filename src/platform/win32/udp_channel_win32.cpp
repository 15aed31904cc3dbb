// The Windows half's datagram sockets: Windows Sockets 1.1.
#include <winsock2.h>

#include <cstring>

#include "platform/udp_channel.h"

namespace volantis {

namespace {

class WinsockUdpSocket : public UdpSocket {
 public:
  explicit WinsockUdpSocket(SOCKET socket) : socket_(socket) {}
  ~WinsockUdpSocket() override { ::closesocket(socket_); }
  WinsockUdpSocket(const WinsockUdpSocket&) = delete;
  WinsockUdpSocket& operator=(const WinsockUdpSocket&) = delete;

  int Bind(uint16_t port) override {
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = ::htons(port);
    local.sin_addr.s_addr = ::htonl(INADDR_ANY);
    return ::bind(socket_, reinterpret_cast<sockaddr*>(&local), sizeof(local)) == 0 ? 0 : ::WSAGetLastError();
  }

  int SendTo(const UdpAddress& to, const void* data, std::size_t size) override {
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_port = ::htons(to.port);
    std::memcpy(&target.sin_addr.s_addr, to.octets, 4);
    int sent = ::sendto(socket_, static_cast<const char*>(data), static_cast<int>(size), 0,
                        reinterpret_cast<sockaddr*>(&target), sizeof(target));
    return sent == SOCKET_ERROR ? ::WSAGetLastError() : 0;
  }

  UdpWait WaitReadable(uint32_t milliseconds, int& error) override {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(socket_, &readable);
    timeval wait{static_cast<long>(milliseconds / 1000), static_cast<long>((milliseconds % 1000) * 1000)};
    int ready = ::select(0, &readable, nullptr, nullptr, &wait);
    if (ready == SOCKET_ERROR) {
      error = ::WSAGetLastError();
      return UdpWait::kError;
    }
    return ready == 0 ? UdpWait::kTimeout : UdpWait::kReadable;
  }

  int ReceiveFrom(void* buffer, std::size_t capacity, std::size_t& received, UdpAddress& from) override {
    sockaddr_in sender{};
    int sender_size = sizeof(sender);
    int got = ::recvfrom(socket_, static_cast<char*>(buffer), static_cast<int>(capacity), 0,
                         reinterpret_cast<sockaddr*>(&sender), &sender_size);
    if (got == SOCKET_ERROR) {
      int error = ::WSAGetLastError();
      if (error != WSAEMSGSIZE) return error;
      got = static_cast<int>(capacity);  // a longer datagram: its first bytes are in the buffer
    }
    received = static_cast<std::size_t>(got);
    std::memcpy(from.octets, &sender.sin_addr.s_addr, 4);
    from.port = ::ntohs(sender.sin_port);
    return 0;
  }

 private:
  SOCKET socket_;
};

class WinsockUdpChannel : public UdpChannel {
 public:
  SocketLibraryStart StartLibrary() override {
    WSADATA data{};
    if (::WSAStartup(MAKEWORD(1, 1), &data) != 0) return SocketLibraryStart::kNotFound;
    if (LOBYTE(data.wVersion) != 1 || HIBYTE(data.wVersion) != 1) {
      ::WSACleanup();
      return SocketLibraryStart::kWrongVersion;
    }
    return SocketLibraryStart::kStarted;
  }

  void StopLibrary() override { ::WSACleanup(); }

  std::unique_ptr<UdpSocket> OpenSocket(int& error) override {
    SOCKET socket = ::socket(AF_INET, SOCK_DGRAM, 0);
    if (socket == INVALID_SOCKET) {
      error = ::WSAGetLastError();
      return nullptr;
    }
    return std::make_unique<WinsockUdpSocket>(socket);
  }

  int Resolve(const std::string& host, UdpAddress& address) override {
    // gethostbyname answers a dotted address with itself.
    const hostent* entry = ::gethostbyname(host.c_str());
    if (entry == nullptr || entry->h_addrtype != AF_INET || entry->h_addr_list == nullptr ||
        entry->h_addr_list[0] == nullptr) {
      int error = ::WSAGetLastError();
      return error != 0 ? error : WSAHOST_NOT_FOUND;
    }
    std::memcpy(address.octets, entry->h_addr_list[0], 4);
    return 0;
  }
};

}  // namespace

UdpChannel& SystemUdpChannel() {
  static WinsockUdpChannel channel;
  return channel;
}

}  // namespace volantis
