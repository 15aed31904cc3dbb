#pragma once
// What the Windows transport does with its Internet handles, told as it
// happens: each call once it may start, each handle it opens and closes, and
// the end of the thread that made the calls. A test keeps the record and
// checks it (no call on a closed handle, every handle closed once, the
// worker ended); the product passes no watcher.
#include <cstdint>
#include <memory>

#include "platform/http_transport.h"

namespace volantis {

enum class HttpCall { kOpenSession, kSetOption, kConnect, kOpenRequest, kSend, kStatus, kRead };

class HttpCallWatcher {
 public:
  virtual ~HttpCallWatcher() = default;
  // On the worker, after the call was allowed to start and just before it
  // starts; handle is the one it is made on (0 for the session's opening).
  virtual void CallStarting(HttpCall call, uintptr_t handle) = 0;
  // On the worker, once the call has come back; opened is the handle it made (0: none).
  virtual void CallEnded(HttpCall call, uintptr_t opened) = 0;
  // On whichever thread closes it, just before it is closed.
  virtual void Closing(uintptr_t handle) = 0;
  // The worker has let go of every handle and makes no more calls.
  virtual void WorkerEnded() = 0;
};

// The system transport, bounded like MakeSystemHttpTransport's, telling
// watcher about every call. The Windows half only.
std::unique_ptr<HttpTransport> MakeWatchedHttpTransport(const HttpTimeouts& timeouts,
                                                        std::shared_ptr<HttpCallWatcher> watcher);

}  // namespace volantis
