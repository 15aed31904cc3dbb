#pragma once
// The Results window (template "Volantis Results"): the race server's results
// page in the embedded web browser, an address edit and a Go button (the default
// button, so Enter in the address presses it). Created on first use, then only
// hidden (close box or Escape) and shown. Create, use and destroy it on the
// host's user-interface thread.
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
  // The result of the latest navigation call (S_OK when the control took it).
  HRESULT last_navigation() const { return last_navigation_; }

 private:
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) noexcept;
  bool OnMessage(UINT message, WPARAM wparam, LPARAM lparam);
  void Create();
  void Navigate(const std::string& address);
  void OnSize(int width, int height);

  HINSTANCE module_;
  HWND parent_;
  const AppSettings& settings_;
  UniqueIcon icon_;
  HWND window_ = nullptr;
  bool ole_started_ = false;
  HRESULT last_navigation_ = E_FAIL;
};

}  // namespace volantis::win32
