#include "platform/abandonable_resolve.h"

#include <memory>

#include "platform/cancel_signal.h"
#include "platform/sync.h"

namespace volantis {

namespace {

// One look-up, shared by the caller and the look-up's thread.
struct LookUp {
  std::string host;
  UdpAddress address;
  int error = 0;
  Event done{true, false};
};

}  // namespace

ResolveOutcome ResolveUnlessCancelled(UdpChannel& channel, const std::string& host, UdpAddress& address,
                                      CancelSignal* cancel) {
  ResolveOutcome outcome;
  if (cancel == nullptr) {
    outcome.error = channel.Resolve(host, address);
    return outcome;
  }
  if (cancel->cancelled()) {
    outcome.cancelled = true;
    return outcome;
  }
  auto look_up = std::make_shared<LookUp>();
  look_up->host = host;
  UdpChannel* on = &channel;
  const bool started = StartDetachedThread([look_up, on] {
    look_up->error = on->Resolve(look_up->host, look_up->address);
    look_up->done.Set();
  });
  if (!started) {
    outcome.error = channel.Resolve(host, address);  // no thread to spare: waits as the look-up does
    return outcome;
  }
  // Wakes the wait below when the cancel comes; ends before look_up is let go.
  CancelSignal::AbortRegistration wake = cancel->OnCancel([raw = look_up.get()] { raw->done.Set(); });
  look_up->done.Wait(0xFFFFFFFFu);
  if (cancel->cancelled()) {
    outcome.cancelled = true;
    return outcome;
  }
  address = look_up->address;
  outcome.error = look_up->error;
  return outcome;
}

}  // namespace volantis
