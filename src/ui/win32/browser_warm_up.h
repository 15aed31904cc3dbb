#pragma once
// Opening the Results window creates the system's web browser control on the
// simulator's user-interface thread. The first one a process creates is slow:
// starting OLE, loading the browser's libraries and its first navigation take a
// few hundred milliseconds. A worker of the module takes that cost ahead of
// time: it creates a control once on a thread of its own and then keeps its
// apartment (and with it the loaded libraries) until the module ends.
//
//   workers.Start([&cancel = workers.cancel()] { KeepBrowserEngineWarm(cancel); });
#include <cstdint>

#include "platform/cancel_signal.h"

namespace volantis::win32 {

// The worker's body: returns once cancel is set (at once when it already is).
// Everything it creates is its own thread's and is gone when it returns.
void KeepBrowserEngineWarm(CancelSignal& cancel);

// How often the idle worker looks at its message queue while it waits for the
// cancel signal.
inline constexpr uint32_t kWarmBrowserPollMs = 100;

}  // namespace volantis::win32
