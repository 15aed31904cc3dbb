#pragma once
// The stand-in host's main window: registers its class, records every message
// its procedure receives, answers test messages with a result derived from the
// parameters, and owns the menu bars it gives the window.
#include <windows.h>

#include <cstdint>
#include <vector>

namespace fs9sim {

struct ReceivedMessage {
  UINT message;
  WPARAM word_param;
  LPARAM long_param;
};

class SimWindow {
 public:
  // Creates and shows a top-level window of the given class; false on failure.
  bool Create(const char* class_name);
  HWND handle() const { return window_; }

  // What the host's own procedure answers: commands and private messages get a
  // value made from their parameters, so a test can tell it came back unchanged.
  static LRESULT HostResult(UINT message, WPARAM word_param, LPARAM long_param);
  static bool IsTestMessage(UINT message) { return message == WM_COMMAND || message >= WM_USER; }

  // The menu bars: the first one, a different one in place of the current, none.
  void GiveMenuBar();
  void GiveMenuBarAfter(UINT milliseconds);
  void ReplaceMenuBar();
  // A bar whose first item already carries the module's popup identifier.
  void GiveMarkedMenuBar();
  void PrintMenuBar() const;

  // Messages seen since start; watched ones are also printed as they arrive.
  const std::vector<ReceivedMessage>& received() const { return received_; }
  void Watch(UINT from, UINT to) {
    watch_from_ = from;
    watch_to_ = to;
  }
  bool OwnProcedureInstalled() const;
  // Installs a procedure of another add-on over the current one; it passes every
  // message on to the one it replaced. Prints SUBCLASS.
  void SubclassForeign();

  // Called by the window procedure.
  LRESULT OnMessage(HWND window, UINT message, WPARAM word_param, LPARAM long_param);

 private:
  HWND window_ = nullptr;
  std::vector<ReceivedMessage> received_;
  UINT watch_from_ = 1;
  UINT watch_to_ = 0;  // empty range: nothing watched
  bool menu_pending_ = false;  // a window timer gives the bar late
};

}  // namespace fs9sim
