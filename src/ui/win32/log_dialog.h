#pragma once
// The Log window (template "Volantis Log"): the race log and the live position.
// Closed (hidden) by its close box or Escape; Enter does nothing; the log edit
// follows the window's size.
#include "core/log_window.h"
#include "ui/win32/modeless_log_dialog.h"

namespace volantis::win32 {

class LogDialog : public ModelessLogDialog {
 public:
  // Becomes the model's view until destroyed.
  LogDialog(HINSTANCE module, HWND parent, LogWindow& model);
  ~LogDialog() override;

  bool PositionShown() override;

 protected:
  bool OnMessage(UINT message, WPARAM wparam, LPARAM lparam) override;
  void OnCreated() override;
  void ApplyPosition(const std::string& latitude, const std::string& longitude, const std::string& altitude) override;
  void ApplyBlankPosition() override;

 private:
  void OnSize(int width, int height);

  LogWindow& model_;
  std::atomic<HWND> latitude_{nullptr};
  // What the three position fields show (user-interface thread only): a field
  // whose text did not change is not set again, so it does not repaint.
  std::string shown_[3];
};

}  // namespace volantis::win32
