#pragma once
// Every line the stand-in prints goes out at once, so a test reading the
// output sees it in order even when the program crashes right after.
#include <cstdarg>
#include <cstdio>

namespace fs9sim {

inline void Say(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::vfprintf(stdout, format, args);
  va_end(args);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

}  // namespace fs9sim
