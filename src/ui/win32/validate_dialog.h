#pragma once
// The Validate window (template "Volantis Validate"): the timestamped validation
// log and the "Validate Now" button. Enter and Escape never close it; its close
// box reads the edit's text back into the log and hides it.
#include <functional>

#include "core/validate_window.h"
#include "ui/win32/modeless_log_dialog.h"

namespace volantis::win32 {

class ValidateDialog : public ModelessLogDialog {
 public:
  // validate_now: what "Validate Now" does (the same operation as the menu's).
  ValidateDialog(HINSTANCE module, HWND parent, ValidateWindow& model, std::function<void()> validate_now);
  ~ValidateDialog() override;

 protected:
  bool OnMessage(UINT message, WPARAM wparam, LPARAM lparam) override;

 private:
  void PaintMinimized();

  ValidateWindow& model_;
  std::function<void()> validate_now_;
};

}  // namespace volantis::win32
