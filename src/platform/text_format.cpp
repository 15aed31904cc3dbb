#include "platform/text_format.h"

#include <cstdio>
#include <vector>

namespace volantis {

std::string FormatTextV(const char* format, va_list args) {
  va_list copy;
  va_copy(copy, args);
  int needed = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  if (needed <= 0) return std::string();
  std::vector<char> buffer(static_cast<std::size_t>(needed) + 1);
  std::vsnprintf(buffer.data(), buffer.size(), format, args);
  return std::string(buffer.data(), static_cast<std::size_t>(needed));
}

std::string FormatText(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string text = FormatTextV(format, args);
  va_end(args);
  return text;
}

std::string FormatTextCutV(std::size_t max_chars, const char* format, va_list args) {
  std::string text = FormatTextV(format, args);
  if (text.size() > max_chars) text.resize(max_chars);
  return text;
}

std::string FormatTextCut(std::size_t max_chars, const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string text = FormatTextCutV(max_chars, format, args);
  va_end(args);
  return text;
}

}  // namespace volantis
