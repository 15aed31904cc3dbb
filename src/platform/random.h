#pragma once
// Unpredictable numbers from the system's cryptographic source, e.g. to start
// request numbers where a stranger cannot guess them.
#include <cstdint>

namespace volantis {

// 32 unpredictable bits. Falls back to a mix of the clock and the process when
// the system's source fails, so it always returns.
uint32_t UnpredictableWord();

}  // namespace volantis
