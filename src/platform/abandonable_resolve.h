#pragma once
// The server name look-up where its wait can be abandoned. The system's
// look-up cannot be broken off (it may wait for a slow name server for tens of
// seconds), so it runs on a thread of its own and the caller waits for its
// answer or for the cancel signal, whichever comes first. An abandoned look-up
// ends on its own thread, which keeps what it works on.
#include <string>

#include "platform/udp_channel.h"

namespace volantis {

class CancelSignal;

struct ResolveOutcome {
  int error = 0;           // 0 or the look-up's error code
  bool cancelled = false;  // the cancel came first; address and error mean nothing
};

// channel must outlive an abandoned look-up (the system's channel does).
ResolveOutcome ResolveUnlessCancelled(UdpChannel& channel, const std::string& host, UdpAddress& address,
                                      CancelSignal* cancel);

}  // namespace volantis
