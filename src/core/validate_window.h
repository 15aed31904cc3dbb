#pragma once
// The validation log: like the race log, but every message gets the local date
// and time before it ("%02d/%02d/%02d %02d:%02d:%02d  ": month, day, two-digit
// year, hour, minute, second, two spaces).
#include <string>

#include "core/log_sink.h"
#include "core/log_window.h"
#include "platform/clock.h"
#include "platform/sync.h"

namespace volantis {

class ValidateWindow : public LogSink {
 public:
  explicit ValidateWindow(Clock& clock = SystemClock()) : clock_(clock) {}
  // The Validate window shows no position; only Open, AppendText and Exists are used.
  void SetView(LogView* view);
  void Open();
  std::string log_text();
  // The close box reads the edit control's text back into log_text.
  void SetLogText(const std::string& text);
  // The same, taking the text from the view under the log's lock, so no line
  // logged meanwhile is lost from log_text.
  void ReadBackFromView();

  static std::string TimestampPrefix(const LocalDateTime& now);

 protected:
  void Append(const std::string& message) override;

 private:
  Clock& clock_;
  CriticalSection lock_;
  std::string log_text_;
  LogView* view_ = nullptr;
};

}  // namespace volantis
