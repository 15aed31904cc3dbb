#pragma once
// Gives every exchange of an inner transport a hard end. The exchange runs on a
// thread of its own, and the caller has its answer by the total time-out (or at
// once when the request's cancel signal is set), whether or not the inner call
// has come back: WinInet bounds each pause of a blocking call but not the whole
// call, so a server that drips its headers or its body would otherwise hold the
// worker, and with it every later submission. At the time-out the inner request
// is cancelled (closing its handle ends a blocked call on Windows; Wine's
// WinInet goes on until its own time-outs, holding only the exchange's thread).
// The exchange's thread shares ownership of the inner transport and of what it
// works on, so it may outlive both this object and the call.
#include <cstdint>
#include <memory>
#include <string>

#include "platform/http_transport.h"

namespace volantis {

class BoundedHttpTransport : public HttpTransport {
 public:
  // error_text: the platform's message for a transport error code (the results
  // of a time-out and of a cancel carry it like any other failure).
  BoundedHttpTransport(std::shared_ptr<HttpTransport> inner, uint32_t total_ms,
                       std::string (*error_text)(int32_t code));

  // kInternetTimeout once total_ms have passed, kInternetOperationCancelled when
  // the request's cancel signal is set first; otherwise the inner result.
  HttpResult HttpGet(const HttpRequest& request) override;

 private:
  std::shared_ptr<HttpTransport> inner_;
  uint32_t total_ms_;
  std::string (*error_text_)(int32_t code);
};

}  // namespace volantis
