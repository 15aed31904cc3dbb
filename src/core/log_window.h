#pragma once
// The race log and the live position display. The text model is portable: it
// keeps every shown line in log_text (line feeds as carriage return plus line
// feed) so a window opened late shows everything; the window itself is a
// LogView supplied by the Windows half.
#include <string>

#include "core/log_sink.h"
#include "platform/sync.h"

namespace volantis {

// What the on-screen window does. Every call comes with the model's lock held, so
// appends from several threads never interleave; for that reason a view must never
// wait for the user-interface thread while called from a worker (it queues the
// text and posts to its own window instead), or a worker holding the lock and a
// user-interface thread waiting for it would block each other.
class LogView {
 public:
  virtual ~LogView() = default;
  virtual void Open(const std::string& log_text) = 0;  // create if needed (filled with log_text), show, scroll to end
  virtual bool Exists() = 0;
  virtual void AppendText(const std::string& text) = 0;  // at the end, scrolled into view
  virtual void ClearText() = 0;
  // True when the latitude field exists and the window is visible and not minimised.
  virtual bool PositionShown() = 0;
  virtual void SetPosition(const std::string& latitude, const std::string& longitude, const std::string& altitude) = 0;
  virtual void BlankPosition() = 0;
  // The edit control's whole text, once everything handed to the view has reached
  // it; false when there is no window (the Validate window's close box reads it back).
  virtual bool ReadText(std::string& text) {
    (void)text;
    return false;
  }
};

// Receives every shown message as well, in the order shown, with the model's
// lock held (so it may log again on the same thread, but must never wait for
// another thread that logs).
class LogEcho {
 public:
  virtual ~LogEcho() = default;
  virtual void Echo(const std::string& message) = 0;
};

class LogWindow : public LogSink {
 public:
  LogWindow() = default;
  void SetView(LogView* view);
  // Set before any thread logs; null for none.
  void SetEcho(LogEcho* echo) { echo_ = echo; }

  void Open();
  void Clear();
  void ShowPosition(double latitude, double longitude, double altitude);
  void BlankPosition();
  std::string log_text();

  // The position texts: "%c%02d %f     (%f)" for latitude (N/S) and longitude (E/W), "%f'" for altitude.
  static std::string LatitudeText(double latitude);
  static std::string LongitudeText(double longitude);
  static std::string AltitudeText(double altitude);

 protected:
  void Append(const std::string& message) override;

 private:
  CriticalSection lock_;
  std::string log_text_;
  LogView* view_ = nullptr;
  LogEcho* echo_ = nullptr;
};

// Line feed to carriage return plus line feed.
std::string ToDisplayLineBreaks(const std::string& text);

}  // namespace volantis
