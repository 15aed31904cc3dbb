#pragma once
// UDP datagrams for the time synchronisation: the socket library, one IPv4
// datagram socket at a time, and name lookup. Error codes are the Windows
// Sockets numbers on both halves (the native half maps errno onto them), e.g.
// 10048 address in use, 10054 connection reset (a port-unreachable answer).
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace volantis {

class CancelSignal;

inline constexpr int kSocketErrorAccess = 10013;
inline constexpr int kSocketErrorAddressInUse = 10048;
inline constexpr int kSocketErrorConnectionReset = 10054;
inline constexpr int kSocketErrorHostNotFound = 11001;
inline constexpr int kSocketErrorTryAgain = 11002;
inline constexpr int kSocketErrorNoRecovery = 11003;

struct UdpAddress {
  uint8_t octets[4] = {0, 0, 0, 0};
  uint16_t port = 0;
  std::string DottedText() const;  // "a.b.c.d"
  // The same address and port.
  bool SameEndpoint(const UdpAddress& other) const;
};

enum class SocketLibraryStart { kStarted, kNotFound, kWrongVersion };
enum class UdpWait { kReadable, kTimeout, kError, kCancelled };

// One open datagram socket; destroying it closes it.
class UdpSocket {
 public:
  virtual ~UdpSocket() = default;
  // Binds to the port on all local addresses; 0 or the error code.
  virtual int Bind(uint16_t port) = 0;
  // 0 or the error code.
  virtual int SendTo(const UdpAddress& to, const void* data, std::size_t size) = 0;
  // Waits until a datagram can be read; error receives the code of kError.
  // When cancel is given, setting it ends the wait at once with kCancelled.
  virtual UdpWait WaitReadable(uint32_t milliseconds, CancelSignal* cancel, int& error) = 0;
  // Reads one datagram (a longer one is cut to capacity); 0 or the error code.
  virtual int ReceiveFrom(void* buffer, std::size_t capacity, std::size_t& received, UdpAddress& from) = 0;
};

class UdpChannel {
 public:
  virtual ~UdpChannel() = default;
  // Starts the socket library asking for version 1.1 (Windows Sockets); the
  // native half has nothing to start. Each kStarted is matched by one StopLibrary.
  virtual SocketLibraryStart StartLibrary() = 0;
  virtual void StopLibrary() = 0;
  // A new IPv4 datagram socket, or null with error set.
  virtual std::unique_ptr<UdpSocket> OpenSocket(int& error) = 0;
  // The first IPv4 address of a host name or dotted address; 0 or the error code.
  virtual int Resolve(const std::string& host, UdpAddress& address) = 0;
};

// Windows Sockets 1.1 on Windows, BSD sockets on the native half.
UdpChannel& SystemUdpChannel();

}  // namespace volantis
