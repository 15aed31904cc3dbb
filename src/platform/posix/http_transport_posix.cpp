// The native half's HTTP client: libcurl, with its failures reported under the
// Internet error codes the Windows half gets from WinInet.
#include <curl/curl.h>

#include <mutex>

#include "platform/cancel_signal.h"
#include "platform/http_transport.h"
#include "platform/text_format.h"

namespace volantis {

namespace {

struct CurlFailure {
  int32_t code;
  const char* text;  // the message WinInet gives for the code
};

CurlFailure MapCurlFailure(CURLcode result) {
  switch (result) {
    case CURLE_COULDNT_CONNECT:
      return {kInternetCannotConnect, "A connection with the server could not be established"};
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
      return {kInternetNameNotResolved, "The server name or address could not be resolved"};
    case CURLE_OPERATION_TIMEDOUT:
      return {kInternetTimeout, "The operation timed out"};
    case CURLE_URL_MALFORMAT:
    case CURLE_UNSUPPORTED_PROTOCOL:
      return {kInternetInvalidUrl, "The URL is invalid"};
    case CURLE_GOT_NOTHING:
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
    case CURLE_PARTIAL_FILE:
      return {kInternetConnectionAborted, "The connection with the server was terminated abnormally"};
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_BAD_CONTENT_ENCODING:
      return {kInternetInvalidServerResponse, "The server response could not be parsed"};
    default:
      return {kInternetInternalError, "An internal error occurred in the Microsoft Internet extensions"};
  }
}

constexpr CurlFailure kCancelled{kInternetOperationCancelled, "The operation was canceled"};

struct CurlEasyDeleter {
  void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};

struct CurlMultiDeleter {
  void operator()(CURLM* handle) const { curl_multi_cleanup(handle); }
};

// Runs one transfer on a multi handle of its own, so the request's cancel
// signal can wake the wait (curl_multi_wakeup is the abort action) and break the
// transfer off wherever it is. cancelled tells the caller it was.
CURLcode RunTransfer(CURL* easy, CancelSignal* cancel, bool& cancelled) {
  cancelled = false;
  std::unique_ptr<CURLM, CurlMultiDeleter> multi(curl_multi_init());
  if (!multi || curl_multi_add_handle(multi.get(), easy) != CURLM_OK) return CURLE_OUT_OF_MEMORY;
  struct Detach {
    CURLM* multi;
    CURL* easy;
    ~Detach() { curl_multi_remove_handle(multi, easy); }
  } detach{multi.get(), easy};
  // Ends before the multi handle goes (declared after it).
  CancelSignal::AbortRegistration abort;
  if (cancel != nullptr) abort = cancel->OnCancel([waking = multi.get()] { curl_multi_wakeup(waking); });

  int running = 1;
  for (;;) {
    if (cancel != nullptr && cancel->cancelled()) {
      cancelled = true;
      return CURLE_ABORTED_BY_CALLBACK;
    }
    if (curl_multi_perform(multi.get(), &running) != CURLM_OK) return CURLE_OUT_OF_MEMORY;
    if (running == 0) break;
    // Returns early for socket activity, libcurl's own time-outs and a wake-up.
    if (curl_multi_poll(multi.get(), nullptr, 0, 1000, nullptr) != CURLM_OK) return CURLE_OUT_OF_MEMORY;
  }
  int left = 0;
  while (CURLMsg* message = curl_multi_info_read(multi.get(), &left)) {
    if (message->msg == CURLMSG_DONE && message->easy_handle == easy) return message->data.result;
  }
  return CURLE_RECV_ERROR;
}

struct BodySink {
  std::string* body;
  bool cut = false;
};

size_t AppendBody(char* data, size_t size, size_t count, void* user) {
  auto* sink = static_cast<BodySink*>(user);
  const size_t bytes = size * count;
  const size_t room = kHttpBodyMax - sink->body->size();
  if (bytes > room) {
    sink->body->append(data, room);
    sink->cut = true;
    return 0;  // stops the transfer: the rest would be thrown away anyway
  }
  sink->body->append(data, bytes);
  return bytes;
}

bool HostAcceptable(const std::string& host) {
  if (host.empty()) return false;
  for (char ch : host) {
    unsigned char byte = static_cast<unsigned char>(ch);
    // Anything that would change the meaning of the URL built around the host.
    if (byte <= 0x20 || byte >= 0x7F || ch == '/' || ch == '?' || ch == '#' || ch == '@' || ch == '\\' ||
        ch == '%')
      return false;
  }
  return true;
}

class CurlHttpTransport : public HttpTransport {
 public:
  explicit CurlHttpTransport(const HttpTimeouts& timeouts) : timeouts_(timeouts) {
    static std::once_flag initialised;
    std::call_once(initialised, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
  }

  HttpResult HttpGet(const HttpRequest& request) override {
    HttpResult result;
    try {
      Perform(request, result);
    } catch (...) {
      Fail(result, {kInternetInternalError, "An internal error occurred in the Microsoft Internet extensions"},
           "");
    }
    return result;
  }

 private:
  static void Fail(HttpResult& result, const CurlFailure& failure, const char* detail) {
    result.status = failure.code;
    result.error_text = failure.text;
    if (detail != nullptr && detail[0] != '\0') {
      result.error_text += " (";
      result.error_text += detail;
      result.error_text += ")";
    }
  }

  void Perform(const HttpRequest& request, HttpResult& result) {
    const int32_t port = request.port == 0 ? 80 : request.port;
    if (port < 0 || port > 65535 || request.path.empty() || request.path[0] != '/') {
      Fail(result, MapCurlFailure(CURLE_URL_MALFORMAT), "");
      return;
    }
    if (!HostAcceptable(request.server)) {
      Fail(result, MapCurlFailure(CURLE_COULDNT_RESOLVE_HOST), "");
      return;
    }
    std::unique_ptr<CURL, CurlEasyDeleter> curl(curl_easy_init());
    if (!curl) {
      Fail(result, MapCurlFailure(CURLE_FAILED_INIT), "");
      return;
    }
    CURL* handle = curl.get();
    const bool numeric_v6 = request.server.find(':') != std::string::npos;
    const std::string url = FormatText(numeric_v6 ? "http://[%s]:%d" : "http://%s:%d", request.server.c_str(),
                                       static_cast<int>(port)) +
                            request.path;
    char error_buffer[CURL_ERROR_SIZE] = {};
    BodySink sink{&result.body};
    curl_easy_setopt(handle, CURLOPT_ERRORBUFFER, error_buffer);
    curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
    curl_easy_setopt(handle, CURLOPT_PATH_AS_IS, 1L);  // exactly the path given
    curl_easy_setopt(handle, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(handle, CURLOPT_USERAGENT, request.agent.c_str());
    curl_easy_setopt(handle, CURLOPT_PROXY, "");  // the native half talks to the server directly
    curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(handle, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(timeouts_.connect_ms));
    // A stalled answer: less than one byte per second for the receive time-out.
    curl_easy_setopt(handle, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(handle, CURLOPT_LOW_SPEED_TIME, static_cast<long>((timeouts_.receive_ms + 999) / 1000));
    curl_easy_setopt(handle, CURLOPT_TIMEOUT_MS, static_cast<long>(timeouts_.total_ms));
    if (!request.user.empty()) curl_easy_setopt(handle, CURLOPT_USERNAME, request.user.c_str());
    if (!request.password.empty()) curl_easy_setopt(handle, CURLOPT_PASSWORD, request.password.c_str());
    curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, AppendBody);
    curl_easy_setopt(handle, CURLOPT_WRITEDATA, &sink);

    bool cancelled = false;
    CURLcode code = RunTransfer(handle, request.cancel, cancelled);
    if (cancelled) {
      Fail(result, kCancelled, "");
      return;
    }
    result.body_cut = sink.cut;
    long status = 0;
    curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &status);
    if (code == CURLE_WRITE_ERROR && sink.cut && status > 0) code = CURLE_OK;
    if (code == CURLE_OK) {
      result.status = static_cast<int32_t>(status);
      return;
    }
    Fail(result, MapCurlFailure(code), error_buffer);
  }

  HttpTimeouts timeouts_;
};

}  // namespace

HttpTransport& SystemHttpTransport() {
  static CurlHttpTransport transport{HttpTimeouts{}};
  return transport;
}

std::unique_ptr<HttpTransport> MakeSystemHttpTransport(const HttpTimeouts& timeouts) {
  return std::make_unique<CurlHttpTransport>(timeouts);
}

}  // namespace volantis
