#pragma once
// Every message of the program goes through a LogSink: the race log (LogWindow)
// or the validation log (ValidateWindow). Level 1 is detail and is dropped; any
// other level is shown. A message is formatted into 1000 bytes, so at most 999
// characters of it survive.
#include <cstdarg>
#include <string>

#include "platform/text_format.h"

namespace volantis {

inline constexpr int kLogDetail = 1;
inline constexpr int kLogNormal = 0;
inline constexpr std::size_t kLogMessageMax = 999;

class LogSink {
 public:
  virtual ~LogSink() = default;
  void Log(int level, const char* format, ...) VOLANTIS_PRINTF(3, 4);
  void LogV(int level, const char* format, va_list args);
  // Logs text that is already formatted; it is never read as a format again.
  void LogText(int level, const std::string& text);

 protected:
  // Receives one shown message, cut to 999 characters, line feeds as written.
  virtual void Append(const std::string& message) = 0;
};

}  // namespace volantis
