// The Windows half's datagram sockets: Windows Sockets 1.1.
#include <winsock2.h>

#include <cstring>

#include "platform/cancel_signal.h"
#include "platform/udp_channel.h"
#include "platform/win32/unique_handle.h"

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

  // The socket's readiness and the module's end wake one wait: the socket sets
  // an event of its own (which makes it non-blocking while the association
  // lasts), the abort action another.
  UdpWait WaitReadable(uint32_t milliseconds, CancelSignal* cancel, int& error) override {
    win32::UniqueKernelHandle readable(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
    win32::UniqueKernelHandle aborted(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
    if (!readable || !aborted) {
      error = static_cast<int>(::GetLastError());
      return UdpWait::kError;
    }
    if (::WSAEventSelect(socket_, readable.get(), FD_READ) == SOCKET_ERROR) {
      error = ::WSAGetLastError();
      return UdpWait::kError;
    }
    DWORD result = WAIT_FAILED;
    {
      HANDLE abort_event = aborted.get();
      CancelSignal::AbortRegistration abort;
      if (cancel != nullptr) abort = cancel->OnCancel([abort_event] { ::SetEvent(abort_event); });
      HANDLE handles[2] = {aborted.get(), readable.get()};
      result = ::WaitForMultipleObjects(2, handles, FALSE, milliseconds);
    }
    // Back to the plain blocking socket the receive expects.
    ::WSAEventSelect(socket_, nullptr, 0);
    u_long non_blocking = 0;
    ::ioctlsocket(socket_, FIONBIO, &non_blocking);
    if (cancel != nullptr && cancel->cancelled()) return UdpWait::kCancelled;
    if (result == WAIT_OBJECT_0 + 1) return UdpWait::kReadable;
    if (result == WAIT_TIMEOUT) return UdpWait::kTimeout;
    error = static_cast<int>(::GetLastError());
    return UdpWait::kError;
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
