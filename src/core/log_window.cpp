#include "core/log_window.h"

#include <cmath>
#include <cstdlib>

namespace volantis {

std::string ToDisplayLineBreaks(const std::string& text) {
  std::string out;
  out.reserve(text.size() + 8);
  for (char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

void LogWindow::SetView(LogView* view) {
  ScopedCriticalSection hold(lock_);
  view_ = view;
}

void LogWindow::Append(const std::string& message) {
  std::string text = ToDisplayLineBreaks(message);
  ScopedCriticalSection hold(lock_);
  log_text_ += text;
  if (view_ != nullptr && view_->Exists()) view_->AppendText(text);
  if (echo_ != nullptr) echo_->Echo(message);
}

void LogWindow::Open() {
  ScopedCriticalSection hold(lock_);
  if (view_ != nullptr) view_->Open(log_text_);
}

void LogWindow::Clear() {
  ScopedCriticalSection hold(lock_);
  if (view_ != nullptr && view_->Exists()) view_->ClearText();
}

namespace {
std::string AngleText(double value, char positive, char negative) {
  const char letter = value >= 0 ? positive : negative;
  const int degrees = static_cast<int>(value);  // cut toward zero
  const double minutes = std::fabs((value - degrees) * 60);
  return FormatText("%c%02d %f     (%f)", letter, std::abs(degrees), minutes, value);
}
}  // namespace

std::string LogWindow::LatitudeText(double latitude) { return AngleText(latitude, 'N', 'S'); }
std::string LogWindow::LongitudeText(double longitude) { return AngleText(longitude, 'E', 'W'); }
std::string LogWindow::AltitudeText(double altitude) { return FormatText("%f'", altitude); }

void LogWindow::ShowPosition(double latitude, double longitude, double altitude) {
  ScopedCriticalSection hold(lock_);
  if (view_ == nullptr || !view_->PositionShown()) return;
  view_->SetPosition(LatitudeText(latitude), LongitudeText(longitude), AltitudeText(altitude));
}

void LogWindow::BlankPosition() {
  ScopedCriticalSection hold(lock_);
  if (view_ != nullptr) view_->BlankPosition();
}

std::string LogWindow::log_text() {
  ScopedCriticalSection hold(lock_);
  return log_text_;
}

}  // namespace volantis
