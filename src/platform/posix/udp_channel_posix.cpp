// The native half's datagram sockets: BSD sockets, errno reported under the
// Windows Sockets numbers.
#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <fcntl.h>

#include <cerrno>
#include <cstring>

#include "platform/cancel_signal.h"
#include "platform/udp_channel.h"

namespace volantis {

namespace {

int SocketError(int error) {
  switch (error) {
    case EACCES:
      return kSocketErrorAccess;
    case EADDRINUSE:
      return kSocketErrorAddressInUse;
    case ECONNREFUSED:  // what a port-unreachable answer gives here
    case ECONNRESET:
      return kSocketErrorConnectionReset;
    case EADDRNOTAVAIL:
      return 10049;
    case ENETUNREACH:
      return 10051;
    case EHOSTUNREACH:
      return 10065;
    case EMFILE:
    case ENFILE:
      return 10024;
    case ENOBUFS:
    case ENOMEM:
      return 10055;
    case EMSGSIZE:
      return 10040;
    case EINVAL:
      return 10022;
    case EINTR:
      return 10004;
    default:
      return error == 0 ? 10022 : 10000 + error;
  }
}

sockaddr_in ToSockaddr(const UdpAddress& address) {
  sockaddr_in out{};
  out.sin_family = AF_INET;
  out.sin_port = htons(address.port);
  std::memcpy(&out.sin_addr.s_addr, address.octets, 4);
  return out;
}

// A pipe whose read end becomes readable when Signal is called: the abort
// action of a socket wait, so poll wakes when the module ends.
class WakePipe {
 public:
  WakePipe() = default;
  ~WakePipe() {
    for (int fd : fds_) {
      if (fd >= 0) ::close(fd);
    }
  }
  WakePipe(const WakePipe&) = delete;
  WakePipe& operator=(const WakePipe&) = delete;

  bool Open() { return ::pipe2(fds_, O_CLOEXEC | O_NONBLOCK) == 0; }
  int read_end() const { return fds_[0]; }
  void Signal() {
    const char byte = 1;
    // A full pipe is already readable; nothing else can go wrong that matters here.
    [[maybe_unused]] ssize_t ignored = ::write(fds_[1], &byte, 1);
  }

 private:
  int fds_[2] = {-1, -1};
};

class PosixUdpSocket : public UdpSocket {
 public:
  explicit PosixUdpSocket(int fd) : fd_(fd) {}
  ~PosixUdpSocket() override { ::close(fd_); }
  PosixUdpSocket(const PosixUdpSocket&) = delete;
  PosixUdpSocket& operator=(const PosixUdpSocket&) = delete;

  int Bind(uint16_t port) override {
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(port);
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    return ::bind(fd_, reinterpret_cast<sockaddr*>(&local), sizeof(local)) == 0 ? 0 : SocketError(errno);
  }

  int SendTo(const UdpAddress& to, const void* data, std::size_t size) override {
    sockaddr_in target = ToSockaddr(to);
    ssize_t sent = ::sendto(fd_, data, size, 0, reinterpret_cast<sockaddr*>(&target), sizeof(target));
    return sent < 0 ? SocketError(errno) : 0;
  }

  UdpWait WaitReadable(uint32_t milliseconds, CancelSignal* cancel, int& error) override {
    WakePipe wake;
    if (cancel != nullptr && !wake.Open()) {
      error = SocketError(errno);
      return UdpWait::kError;
    }
    // Ends before the pipe is closed (declared after it).
    CancelSignal::AbortRegistration abort;
    if (cancel != nullptr) abort = cancel->OnCancel([&wake] { wake.Signal(); });
    pollfd entries[2] = {{fd_, POLLIN, 0}, {wake.read_end(), POLLIN, 0}};
    int ready = ::poll(entries, cancel != nullptr ? 2 : 1, static_cast<int>(milliseconds));
    if (cancel != nullptr && cancel->cancelled()) return UdpWait::kCancelled;
    if (ready < 0) {
      error = SocketError(errno);
      return UdpWait::kError;
    }
    return ready == 0 ? UdpWait::kTimeout : UdpWait::kReadable;
  }

  int ReceiveFrom(void* buffer, std::size_t capacity, std::size_t& received, UdpAddress& from) override {
    sockaddr_in sender{};
    socklen_t sender_size = sizeof(sender);
    ssize_t got = ::recvfrom(fd_, buffer, capacity, 0, reinterpret_cast<sockaddr*>(&sender), &sender_size);
    if (got < 0) return SocketError(errno);
    received = static_cast<std::size_t>(got);
    std::memcpy(from.octets, &sender.sin_addr.s_addr, 4);
    from.port = ntohs(sender.sin_port);
    return 0;
  }

 private:
  int fd_;
};

class PosixUdpChannel : public UdpChannel {
 public:
  SocketLibraryStart StartLibrary() override { return SocketLibraryStart::kStarted; }
  void StopLibrary() override {}

  std::unique_ptr<UdpSocket> OpenSocket(int& error) override {
    int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
      error = SocketError(errno);
      return nullptr;
    }
    return std::make_unique<PosixUdpSocket>(fd);
  }

  int Resolve(const std::string& host, UdpAddress& address) override {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* found = nullptr;
    int status = ::getaddrinfo(host.c_str(), nullptr, &hints, &found);
    if (status != 0 || found == nullptr) {
      if (found != nullptr) ::freeaddrinfo(found);
      if (status == EAI_AGAIN) return kSocketErrorTryAgain;
      if (status == EAI_NONAME || status == EAI_NODATA || status == EAI_FAMILY || status == 0)
        return kSocketErrorHostNotFound;
      return kSocketErrorNoRecovery;
    }
    const auto* in = reinterpret_cast<const sockaddr_in*>(found->ai_addr);
    std::memcpy(address.octets, &in->sin_addr.s_addr, 4);
    ::freeaddrinfo(found);
    return 0;
  }
};

}  // namespace

UdpChannel& SystemUdpChannel() {
  static PosixUdpChannel channel;
  return channel;
}

}  // namespace volantis
