#pragma once
// The Results window (template "Volantis Results"): the race server's results
// page in the embedded web browser, an address edit and a Go button (the default
// button, so Enter in the address presses it). Created on first use, then only
// hidden (close box or Escape) and shown. Create, use and destroy it on the
// host's user-interface thread.
//
// The first opening is the costly one (the window, the browser control, the
// first navigation), so it runs as steps, one per message the window posts to
// itself: the command creates the window hidden and returns; then the control
// is created, the window shown, the page requested and its address shown, in
// that order, with the simulator's own messages in between.
#include <windows.h>

#include <string>

#include "core/app_settings.h"
#include "ui/win32/window_icon.h"

namespace volantis::win32 {

class ResultsWindow {
 public:
  ResultsWindow(HINSTANCE module, HWND parent, const AppSettings& settings);
  ~ResultsWindow();
  ResultsWindow(const ResultsWindow&) = delete;
  ResultsWindow& operator=(const ResultsWindow&) = delete;

  // The Race Results command: create if needed, show in the normal state,
  // navigate to the server's results page and show its address.
  void ShowResultsPage();

  HWND window() const { return window_; }
  // True while the first opening's steps have not all run.
  bool opening() const { return next_step_ != Step::kNone; }
  // The result of the latest navigation call (S_OK when the control took it).
  HRESULT last_navigation() const { return last_navigation_; }

 private:
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) noexcept;
  bool OnMessage(UINT message, WPARAM wparam, LPARAM lparam);
  enum class Step { kNone, kCreateControl, kShow, kNavigate, kShowAddress };
  // The private message that runs the next step of the first opening.
  static constexpr UINT kNextStepMessage = WM_APP + 0x57;

  void Create();
  void RunNextStep();
  void PostNextStep();
  void Navigate(const std::string& address);
  void OnSize(int width, int height);

  HINSTANCE module_;
  HWND parent_;
  const AppSettings& settings_;
  UniqueIcon icon_;
  HWND window_ = nullptr;
  bool ole_started_ = false;
  HRESULT last_navigation_ = E_FAIL;
  Step next_step_ = Step::kNone;
  std::string address_;  // of the latest Race Results command
};

}  // namespace volantis::win32
