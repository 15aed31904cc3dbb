#pragma once
// One HTTP GET to the race server. Each call opens its own session and closes it
// before returning, so calls share nothing and may run on several threads at once.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace volantis {

class CancelSignal;

// Transport failures carry the Internet error codes of the Windows platform on
// both halves (the native half maps its library's failures onto them), so they
// are always 12000 or more and never mistaken for an HTTP status.
inline constexpr int32_t kInternetErrorFirst = 12000;
inline constexpr int32_t kInternetTimeout = 12002;
inline constexpr int32_t kInternetInternalError = 12004;
inline constexpr int32_t kInternetInvalidUrl = 12005;
inline constexpr int32_t kInternetNameNotResolved = 12007;
inline constexpr int32_t kInternetOperationCancelled = 12017;
inline constexpr int32_t kInternetCannotConnect = 12029;
inline constexpr int32_t kInternetConnectionAborted = 12030;
inline constexpr int32_t kInternetInvalidServerResponse = 12152;

// Bodies longer than this are cut; the caller says so in its log.
inline constexpr std::size_t kHttpBodyMax = 1u << 20;

struct HttpRequest {
  std::string server;  // host name or dotted address
  int32_t port = 80;   // 0 means the default port, 80
  std::string user;    // empty: none
  std::string password;
  std::string path;   // object path with query, sent exactly as given
  std::string agent;  // the User-Agent
  // When set, setting it breaks the request off at once, wherever it is
  // (connecting, waiting for the answer, reading it): kInternetOperationCancelled.
  CancelSignal* cancel = nullptr;
};

struct HttpResult {
  // The HTTP status when an answer arrived, else the transport error code (>= 12000).
  int32_t status = 0;
  // The body as received (any bytes); after a failure while reading, the part read.
  std::string body;
  // The platform's message for a transport failure, without trailing line breaks;
  // empty otherwise.
  std::string error_text;
  // The body was longer than kHttpBodyMax and only its start was kept.
  bool body_cut = false;

  bool TransportFailed() const { return status >= kInternetErrorFirst; }
};

// Time-outs so that a server that accepts a connection and then says nothing
// cannot hold a worker thread for ever; running into one is kInternetTimeout.
struct HttpTimeouts {
  uint32_t connect_ms = 20000;
  uint32_t receive_ms = 30000;  // the longest pause while waiting for or reading the answer
  uint32_t total_ms = 120000;   // the whole exchange, so a server that drips cannot hold it either
};

class HttpTransport {
 public:
  virtual ~HttpTransport() = default;
  virtual HttpResult HttpGet(const HttpRequest& request) = 0;
};

// The platform's transport: WinInet on Windows, libcurl on the native half.
// Never throws.
HttpTransport& SystemHttpTransport();
// The same with other time-outs (tests of silent servers).
std::unique_ptr<HttpTransport> MakeSystemHttpTransport(const HttpTimeouts& timeouts);

}  // namespace volantis
