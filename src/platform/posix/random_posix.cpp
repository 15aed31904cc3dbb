// Unpredictable numbers: the kernel's getrandom.
#include <sys/random.h>
#include <time.h>
#include <unistd.h>

#include "platform/random.h"

namespace volantis {

uint32_t UnpredictableWord() {
  uint32_t word = 0;
  if (::getrandom(&word, sizeof(word), 0) == static_cast<ssize_t>(sizeof(word))) return word;
  timespec now{};
  ::clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<uint32_t>(now.tv_nsec) ^ (static_cast<uint32_t>(::getpid()) << 16) ^
         static_cast<uint32_t>(now.tv_sec);
}

}  // namespace volantis
