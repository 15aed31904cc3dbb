#include "core/log_sink.h"

namespace volantis {

void LogSink::Log(int level, const char* format, ...) {
  if (level == kLogDetail) return;
  va_list args;
  va_start(args, format);
  std::string message = FormatTextCutV(kLogMessageMax, format, args);
  va_end(args);
  Append(message);
}

void LogSink::LogV(int level, const char* format, va_list args) {
  if (level == kLogDetail) return;
  Append(FormatTextCutV(kLogMessageMax, format, args));
}

void LogSink::LogText(int level, const std::string& text) {
  if (level == kLogDetail) return;
  Append(text.size() > kLogMessageMax ? text.substr(0, kLogMessageMax) : text);
}

}  // namespace volantis
