// Unpredictable numbers: the system's RtlGenRandom (advapi32, every Windows since XP).
#include <windows.h>
#include <ntsecapi.h>

#include "platform/random.h"

namespace volantis {

uint32_t UnpredictableWord() {
  uint32_t word = 0;
  if (RtlGenRandom(&word, sizeof(word))) return word;
  LARGE_INTEGER counter{};
  ::QueryPerformanceCounter(&counter);
  return static_cast<uint32_t>(counter.QuadPart) ^ (::GetCurrentProcessId() << 16) ^ ::GetTickCount();
}

}  // namespace volantis
