// The Windows half's HTTP client: WinInet, one session per request.
#include <windows.h>
#include <wininet.h>

#include <memory>
#include <utility>

#include "platform/bounded_http_transport.h"
#include "platform/cancel_signal.h"
#include "platform/http_call_watcher.h"
#include "platform/http_transport.h"
#include "platform/win32/internet_handles.h"

namespace volantis {

namespace {

using win32::InternetHandles;

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

bool Cancelled(const HttpRequest& request) { return request.cancel != nullptr && request.cancel->cancelled(); }

// Each time-out on the handle in slot; false when the cancel came first.
bool SetTimeouts(InternetHandles& handles, InternetHandles::Slot slot, const HttpTimeouts& timeouts) {
  const DWORD connect = timeouts.connect_ms;
  const DWORD receive = timeouts.receive_ms;
  const struct {
    DWORD option;
    DWORD value;
  } kOptions[] = {{INTERNET_OPTION_CONNECT_TIMEOUT, connect},
                  {INTERNET_OPTION_SEND_TIMEOUT, receive},
                  {INTERNET_OPTION_RECEIVE_TIMEOUT, receive},
                  {INTERNET_OPTION_DATA_SEND_TIMEOUT, receive},
                  {INTERNET_OPTION_DATA_RECEIVE_TIMEOUT, receive}};
  for (const auto& option : kOptions) {
    DWORD value = option.value;
    BOOL made = FALSE;
    if (!handles.Make(HttpCall::kSetOption, slot,
                      [&](HINTERNET handle) { return ::InternetSetOptionA(handle, option.option, &value, sizeof(value)); },
                      made)) {
      return false;
    }
  }
  return true;
}

class WinInetHttpTransport : public HttpTransport {
 public:
  WinInetHttpTransport(const HttpTimeouts& timeouts, std::shared_ptr<HttpCallWatcher> watcher)
      : timeouts_(timeouts), watcher_(std::move(watcher)) {}

  HttpResult HttpGet(const HttpRequest& request) override {
    HttpResult result;
    try {
      Perform(request, result);
    } catch (...) {
      Fail(result, kInternetInternalError);
    }
    // Whatever a broken-off call reported, it failed because it was cancelled.
    if (result.TransportFailed() && Cancelled(request)) Fail(result, kInternetOperationCancelled);
    if (watcher_ != nullptr) watcher_->WorkerEnded();
    return result;
  }

 private:
  void Perform(const HttpRequest& request, HttpResult& result) {
    if (request.port < 0 || request.port > 65535) {
      Fail(result, kInternetInvalidUrl);
      return;
    }
    const DWORD started = ::GetTickCount();
    InternetHandles handles(watcher_.get());
    // Ends before the handles are closed for good (declared after them).
    CancelSignal::AbortRegistration abort;
    if (request.cancel != nullptr) abort = request.cancel->OnCancel([&handles] { handles.Cancel(); });
    using Slot = InternetHandles::Slot;

    // Each step: false when the cancel came first (no call was made) or the
    // call failed; result then says which.
    const auto opened = [&](HttpCall kind, Slot on, Slot into, auto&& open) {
      if (!handles.Open(kind, on, into, open)) return Fail(result, kInternetOperationCancelled), false;
      if (handles.get(into) == nullptr) return Fail(result, ::GetLastError()), false;
      return true;
    };
    const auto made = [&](HttpCall kind, Slot on, auto&& call) {
      BOOL ok = FALSE;
      if (!handles.Make(kind, on, call, ok)) return Fail(result, kInternetOperationCancelled), false;
      if (!ok) return Fail(result, ::GetLastError()), false;
      return true;
    };

    if (!opened(HttpCall::kOpenSession, Slot::kNone, Slot::kSession, [&](HINTERNET) {
          return ::InternetOpenA(request.agent.c_str(), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
        })) {
      return;
    }
    if (!SetTimeouts(handles, Slot::kSession, timeouts_)) return Fail(result, kInternetOperationCancelled);
    if (!opened(HttpCall::kConnect, Slot::kSession, Slot::kConnection, [&](HINTERNET session) {
          return ::InternetConnectA(session, request.server.c_str(), static_cast<INTERNET_PORT>(request.port),
                                    request.user.empty() ? nullptr : request.user.c_str(),
                                    request.password.empty() ? nullptr : request.password.c_str(),
                                    INTERNET_SERVICE_HTTP, 0, 0);
        })) {
      return;
    }
    // The request handle reports to handles (its context) when a call on it is
    // inside WinInet, so that a cancel may close it then.
    if (!opened(HttpCall::kOpenRequest, Slot::kConnection, Slot::kRequest, [&](HINTERNET connection) {
          HINTERNET file = ::HttpOpenRequestA(connection, "GET", request.path.c_str(), nullptr, nullptr, nullptr,
                                              kRequestFlags, handles.context());
          if (file != nullptr) ::InternetSetStatusCallbackA(file, &InternetHandles::StatusCallback);
          return file;
        })) {
      return;
    }
    if (!SetTimeouts(handles, Slot::kRequest, timeouts_)) return Fail(result, kInternetOperationCancelled);
    if (!made(HttpCall::kSend, Slot::kRequest,
              [](HINTERNET file) { return ::HttpSendRequestA(file, nullptr, 0, nullptr, 0); })) {
      return;
    }
    DWORD status = 0;
    if (!made(HttpCall::kStatus, Slot::kRequest, [&status](HINTERNET file) {
          DWORD status_size = sizeof(status);
          return ::HttpQueryInfoA(file, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &status_size,
                                  nullptr);
        })) {
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
      if (!made(HttpCall::kRead, Slot::kRequest,
                [&](HINTERNET file) { return ::InternetReadFile(file, chunk, sizeof(chunk), &read); })) {
        return;  // the body keeps what arrived before
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
  std::shared_ptr<HttpCallWatcher> watcher_;
};

std::string ErrorTextOf(int32_t code) { return InternetErrorText(static_cast<DWORD>(code)); }

// WinInet's calls, each with its whole exchange bounded by the total time-out.
BoundedHttpTransport Bounded(const HttpTimeouts& timeouts, std::shared_ptr<HttpCallWatcher> watcher = nullptr) {
  return BoundedHttpTransport(std::make_shared<WinInetHttpTransport>(timeouts, std::move(watcher)), timeouts.total_ms,
                              ErrorTextOf);
}

}  // namespace

HttpTransport& SystemHttpTransport() {
  static BoundedHttpTransport transport = Bounded(HttpTimeouts{});
  return transport;
}

std::unique_ptr<HttpTransport> MakeSystemHttpTransport(const HttpTimeouts& timeouts) {
  return std::make_unique<BoundedHttpTransport>(Bounded(timeouts));
}

std::unique_ptr<HttpTransport> MakeWatchedHttpTransport(const HttpTimeouts& timeouts,
                                                        std::shared_ptr<HttpCallWatcher> watcher) {
  return std::make_unique<BoundedHttpTransport>(Bounded(timeouts, std::move(watcher)));
}

}  // namespace volantis
