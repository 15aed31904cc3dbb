// A datagram of any bytes read as a time sync answer: the text never reaches
// past what was received, and a response always carries a finite time.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "server/time_sync_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const size_t received = size < volantis::kTimeSyncAnswerMax ? size : volantis::kTimeSyncAnswerMax;
  // Exactly the received bytes, so a sanitizer sees any read beyond them.
  char* buffer = static_cast<char*>(std::malloc(received == 0 ? 1 : received));
  if (received > 0) std::memcpy(buffer, data, received);
  const std::string text = volantis::TimeSyncAnswerText(buffer, received);
  std::free(buffer);
  if (text.size() > received || text.find('\0') != std::string::npos) std::abort();

  const volantis::TimeSyncAnswer answer = volantis::ParseTimeSyncAnswer(text);
  if (answer.kind == volantis::TimeSyncAnswer::Kind::kResponse && !std::isfinite(answer.server_time)) std::abort();
  if (answer.kind == volantis::TimeSyncAnswer::Kind::kError && answer.error_word.empty()) std::abort();
  (void)volantis::AircraftName(answer.aircraft);
  return 0;
}
