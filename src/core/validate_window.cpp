#include "core/validate_window.h"

namespace volantis {

std::string ValidateWindow::TimestampPrefix(const LocalDateTime& now) {
  int year = now.year - 1900;
  if (year >= 100) year -= 100;
  return FormatText("%02d/%02d/%02d %02d:%02d:%02d  ", now.month, now.day, year, now.hour, now.minute, now.second);
}

void ValidateWindow::SetView(LogView* view) {
  ScopedCriticalSection hold(lock_);
  view_ = view;
}

void ValidateWindow::Append(const std::string& message) {
  std::string text = ToDisplayLineBreaks(TimestampPrefix(clock_.LocalNow()) + message);
  ScopedCriticalSection hold(lock_);
  log_text_ += text;
  if (view_ != nullptr && view_->Exists()) view_->AppendText(text);
}

void ValidateWindow::Open() {
  ScopedCriticalSection hold(lock_);
  if (view_ != nullptr) view_->Open(log_text_);
}

std::string ValidateWindow::log_text() {
  ScopedCriticalSection hold(lock_);
  return log_text_;
}

void ValidateWindow::SetLogText(const std::string& text) {
  ScopedCriticalSection hold(lock_);
  log_text_ = text;
}

void ValidateWindow::ReadBackFromView() {
  ScopedCriticalSection hold(lock_);
  std::string text;
  if (view_ != nullptr && view_->ReadText(text)) log_text_ = text;
}

}  // namespace volantis
