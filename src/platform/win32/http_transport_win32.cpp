// The Windows half's HTTP client: WinInet, one session per request.
#include <windows.h>
#include <wininet.h>

#include "platform/bounded_http_transport.h"
#include "platform/cancel_signal.h"
#include "platform/http_transport.h"
#include "platform/sync.h"
#include "platform/win32/unique_handle.h"

namespace volantis {

namespace {

struct InternetHandleTraits {
  using Handle = HINTERNET;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle h) { ::InternetCloseHandle(h); }
};
using UniqueInternetHandle = win32::UniqueHandle<InternetHandleTraits>;

constexpr DWORD kReadChunk = 4096;
// Nothing is written to or answered from the cache. WinInet canonicalises the
// object path (it resolves "/../" and escapes spaces, even inside the query); the
// paths of the server exchanges never hold either, since every free-text value is
// percent-encoded, so they go out exactly as given.
constexpr DWORD kRequestFlags = INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_RELOAD;

// WinInet's own message for an Internet error code, without trailing line breaks.
std::string InternetErrorText(DWORD code) {
  char buffer[1024] = {};
  DWORD length = ::FormatMessageA(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_IGNORE_INSERTS,
                                  ::GetModuleHandleA("wininet.dll"), code, 0, buffer, sizeof(buffer), nullptr);
  if (length == 0) {
    length = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, buffer,
                              sizeof(buffer), nullptr);
  }
  std::string text(buffer, length < sizeof(buffer) ? length : sizeof(buffer) - 1);
  while (!text.empty() && (text.back() == '\r' || text.back() == '\n')) text.pop_back();
  if (text.empty()) text = "Internet error " + std::to_string(code);
  return text;
}

void Fail(HttpResult& result, DWORD code) {
  // A failing call that set no error still has to read as a transport failure.
  if (code < static_cast<DWORD>(kInternetErrorFirst)) code = kInternetInternalError;
  result.status = static_cast<int32_t>(code);
  result.error_text = InternetErrorText(code);
}

// The request handle, closed exactly once: when the request is done, or
// earlier from another thread to break off a blocking call on it (WinInet ends
// a blocked call on a handle that is closed).
class ClosableRequest {
 public:
  explicit ClosableRequest(HINTERNET handle) : handle_(handle) {}
  ~ClosableRequest() { Close(); }
  ClosableRequest(const ClosableRequest&) = delete;
  ClosableRequest& operator=(const ClosableRequest&) = delete;

  HINTERNET get() const { return handle_; }
  void Close() {
    ScopedCriticalSection hold(lock_);
    if (closed_ || handle_ == nullptr) return;
    closed_ = true;
    ::InternetCloseHandle(handle_);
  }

 private:
  CriticalSection lock_;
  HINTERNET handle_;
  bool closed_ = false;
};

bool Cancelled(const HttpRequest& request) { return request.cancel != nullptr && request.cancel->cancelled(); }

void SetTimeouts(HINTERNET handle, const HttpTimeouts& timeouts) {
  DWORD connect = timeouts.connect_ms;
  DWORD receive = timeouts.receive_ms;
  ::InternetSetOptionA(handle, INTERNET_OPTION_CONNECT_TIMEOUT, &connect, sizeof(connect));
  ::InternetSetOptionA(handle, INTERNET_OPTION_SEND_TIMEOUT, &receive, sizeof(receive));
  ::InternetSetOptionA(handle, INTERNET_OPTION_RECEIVE_TIMEOUT, &receive, sizeof(receive));
  ::InternetSetOptionA(handle, INTERNET_OPTION_DATA_SEND_TIMEOUT, &receive, sizeof(receive));
  ::InternetSetOptionA(handle, INTERNET_OPTION_DATA_RECEIVE_TIMEOUT, &receive, sizeof(receive));
}

class WinInetHttpTransport : public HttpTransport {
 public:
  explicit WinInetHttpTransport(const HttpTimeouts& timeouts) : timeouts_(timeouts) {}

  HttpResult HttpGet(const HttpRequest& request) override {
    HttpResult result;
    try {
      Perform(request, result);
    } catch (...) {
      Fail(result, kInternetInternalError);
    }
    // Whatever a broken-off call reported, it failed because it was cancelled.
    if (result.TransportFailed() && Cancelled(request)) Fail(result, kInternetOperationCancelled);
    return result;
  }

 private:
  void Perform(const HttpRequest& request, HttpResult& result) {
    if (request.port < 0 || request.port > 65535) {
      Fail(result, kInternetInvalidUrl);
      return;
    }
    if (Cancelled(request)) {
      Fail(result, kInternetOperationCancelled);
      return;
    }
    const DWORD started = ::GetTickCount();
    UniqueInternetHandle session(
        ::InternetOpenA(request.agent.c_str(), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!session) {
      Fail(result, ::GetLastError());
      return;
    }
    SetTimeouts(session.get(), timeouts_);
    UniqueInternetHandle connection(::InternetConnectA(
        session.get(), request.server.c_str(), static_cast<INTERNET_PORT>(request.port),
        request.user.empty() ? nullptr : request.user.c_str(),
        request.password.empty() ? nullptr : request.password.c_str(), INTERNET_SERVICE_HTTP, 0, 1));
    if (!connection) {
      Fail(result, ::GetLastError());
      return;
    }
    ClosableRequest file(::HttpOpenRequestA(connection.get(), "GET", request.path.c_str(), nullptr, nullptr, nullptr,
                                            kRequestFlags, 1));
    if (!file.get()) {
      Fail(result, ::GetLastError());
      return;
    }
    // Ends before the handle is closed for good (declared after it).
    CancelSignal::AbortRegistration abort;
    if (request.cancel != nullptr) abort = request.cancel->OnCancel([&file] { file.Close(); });
    SetTimeouts(file.get(), timeouts_);
    if (!::HttpSendRequestA(file.get(), nullptr, 0, nullptr, 0)) {
      Fail(result, ::GetLastError());
      return;
    }
    DWORD status = 0;
    DWORD status_size = sizeof(status);
    if (!::HttpQueryInfoA(file.get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &status_size,
                          nullptr)) {
      Fail(result, ::GetLastError());
      return;
    }
    // A connection reset before any status line can still "succeed" here with
    // no status: that is no answer, a transport failure to retry.
    if (status < 100 || status > 999) {
      Fail(result, ERROR_HTTP_INVALID_SERVER_RESPONSE);
      return;
    }
    result.status = static_cast<int32_t>(status);

    char chunk[kReadChunk];
    for (;;) {
      if (::GetTickCount() - started > timeouts_.total_ms) {
        Fail(result, kInternetTimeout);
        return;
      }
      DWORD read = 0;
      if (!::InternetReadFile(file.get(), chunk, sizeof(chunk), &read)) {
        Fail(result, ::GetLastError());  // the body keeps what arrived before
        return;
      }
      if (read == 0) return;
      const std::size_t room = kHttpBodyMax - result.body.size();
      if (read > room) {
        result.body.append(chunk, room);
        result.body_cut = true;
        return;  // closing the request drops the rest
      }
      result.body.append(chunk, read);
    }
  }

  HttpTimeouts timeouts_;
};

std::string ErrorTextOf(int32_t code) { return InternetErrorText(static_cast<DWORD>(code)); }

// WinInet's calls, each with its whole exchange bounded by the total time-out.
BoundedHttpTransport Bounded(const HttpTimeouts& timeouts) {
  return BoundedHttpTransport(std::make_shared<WinInetHttpTransport>(timeouts), timeouts.total_ms, ErrorTextOf);
}

}  // namespace

HttpTransport& SystemHttpTransport() {
  static BoundedHttpTransport transport = Bounded(HttpTimeouts{});
  return transport;
}

std::unique_ptr<HttpTransport> MakeSystemHttpTransport(const HttpTimeouts& timeouts) {
  return std::make_unique<BoundedHttpTransport>(Bounded(timeouts));
}

}  // namespace volantis
