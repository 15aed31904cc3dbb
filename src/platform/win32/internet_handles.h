#pragma once
// The three Internet handles of one request (session, connection, request)
// and the one lock that every call on them and the cancel share.
//
// A call starts only under the lock, and only while the cancel has not come.
// The cancel closes the handles at once when no call runs, or when the running
// call is known to be inside WinInet (its status callback has been heard:
// WinInet then keeps the handle's object until the call returns, and closing
// it is how a blocked call is broken off). Otherwise the call is between the
// lock and WinInet, and the close is left to the worker when the call comes
// back. So no call ever starts on a closed handle, whose value may already
// belong to another request. The close never waits for a call.
#include <windows.h>
#include <wininet.h>

#include <cstdint>

#include "platform/http_call_watcher.h"
#include "platform/sync.h"

namespace volantis::win32 {

class InternetHandles {
 public:
  enum Slot { kSession = 0, kConnection = 1, kRequest = 2, kNone = 3 };

  explicit InternetHandles(HttpCallWatcher* watcher) : watcher_(watcher) {}
  ~InternetHandles();  // closes what is still open
  InternetHandles(const InternetHandles&) = delete;
  InternetHandles& operator=(const InternetHandles&) = delete;

  // Makes call(handle of on) unless the cancel has come or that handle is
  // closed; false when it was not made. call returns the call's BOOL.
  template <typename Calling>
  bool Make(HttpCall kind, Slot on, Calling&& call, BOOL& made) {
    HINTERNET handle = nullptr;
    if (!Begin(kind, on, handle)) return false;
    made = call(handle);
    End(kind, kNone, nullptr);
    return true;
  }

  // Makes an opening call on the handle of on (kNone: the session's opening)
  // and keeps the handle it returns in into; false when it was not made.
  template <typename Opening>
  bool Open(HttpCall kind, Slot on, Slot into, Opening&& open) {
    HINTERNET handle = nullptr;
    if (!Begin(kind, on, handle)) return false;
    End(kind, into, open(handle));
    return true;
  }

  HINTERNET get(Slot slot);
  // The request's value for WinInet's status callback (its context).
  DWORD_PTR context() { return reinterpret_cast<DWORD_PTR>(this); }
  // WinInet's status callback for the request handle (context: context()).
  static void CALLBACK StatusCallback(HINTERNET handle, DWORD_PTR context, DWORD status, LPVOID info,
                                      DWORD info_length);

  // From any thread, at any time; waits for no call.
  void Cancel();
  bool cancelled();

 private:
  bool Begin(HttpCall kind, Slot on, HINTERNET& handle);
  void End(HttpCall kind, Slot into, HINTERNET opened);
  // The running call is inside WinInet (on the worker, from the callback).
  void Entered();
  // Takes every open handle out, children first, for closing outside the lock.
  void TakeAllLocked(HINTERNET (&out)[3]);
  void CloseTaken(HINTERNET (&taken)[3]);

  HttpCallWatcher* watcher_;
  CriticalSection lock_;
  HINTERNET handles_[3] = {nullptr, nullptr, nullptr};  // under lock_
  bool cancelled_ = false;                              // under lock_
  bool in_call_ = false;                                // under lock_
  bool entered_ = false;                                // under lock_
};

}  // namespace volantis::win32
