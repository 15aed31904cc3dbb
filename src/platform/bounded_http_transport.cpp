#include "platform/bounded_http_transport.h"

#include <utility>

#include "platform/cancel_signal.h"
#include "platform/sync.h"

namespace volantis {

namespace {

// One exchange, shared by the caller and the exchange's thread.
struct Exchange {
  HttpRequest request;          // a copy, whose cancel signal is stop
  CancelSignal stop;            // ends the inner request: the time-out, or the caller's cancel
  Event finished{true, false};  // the inner call has come back and result is final
  Event wake{true, false};      // finished, or the caller's cancel
  HttpResult result;
};

}  // namespace

BoundedHttpTransport::BoundedHttpTransport(std::shared_ptr<HttpTransport> inner, uint32_t total_ms,
                                           std::string (*error_text)(int32_t code))
    : inner_(std::move(inner)), total_ms_(total_ms), error_text_(error_text) {}

HttpResult BoundedHttpTransport::HttpGet(const HttpRequest& request) {
  auto exchange = std::make_shared<Exchange>();
  exchange->request = request;
  exchange->request.cancel = &exchange->stop;

  // The caller's cancel ends the wait at once; the inner request is then
  // broken off from this thread, so whoever cancels (the user-interface thread
  // at the end) never waits for the transport's close. Ends before the
  // exchange is let go (declared after it).
  CancelSignal::AbortRegistration forward;
  if (request.cancel != nullptr) {
    forward = request.cancel->OnCancel([raw = exchange.get()] { raw->wake.Set(); });
  }

  std::shared_ptr<HttpTransport> inner = inner_;
  const bool started = StartDetachedThread([exchange, inner] {
    exchange->result = inner->HttpGet(exchange->request);
    exchange->finished.Set();
    exchange->wake.Set();
  });
  if (!started) return inner_->HttpGet(request);  // no thread to spare: unbounded, as the inner call is

  exchange->wake.Wait(total_ms_);
  if (exchange->finished.Wait(0) == WaitResult::kSignaled) return exchange->result;
  exchange->stop.Cancel();
  HttpResult result;
  result.status = request.cancel != nullptr && request.cancel->cancelled() ? kInternetOperationCancelled
                                                                           : kInternetTimeout;
  result.error_text = error_text_(result.status);
  return result;
}

}  // namespace volantis
