#pragma once
// Data exchange over a real dialog's controls, and the module's message boxes.
#include <windows.h>

#include "ui/data_exchange.h"

namespace volantis::win32 {

// The application title: the caption of every message box of the module.
inline constexpr const char* kAppTitle = "TarvexCheck";

class WindowControls : public DialogControls {
 public:
  explicit WindowControls(HWND dialog) : dialog_(dialog) {}
  std::string GetText(int control) override;
  void SetText(int control, const std::string& text) override;
  bool GetCheck(int control) override;
  void SetCheck(int control, bool checked) override;
  void LimitText(int control, std::size_t max_chars) override;

 private:
  HWND dialog_;
};

// A message box of the dialog: caption "TarvexCheck", an OK button, no icon.
void ShowMessage(HWND owner, const std::string& text);

// Gives a control the focus the way a dialog does, selecting an edit's text.
void FocusControl(HWND dialog, int control);

}  // namespace volantis::win32
