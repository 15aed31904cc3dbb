#pragma once
// The race server's port as the settings store it. The profile can hold any
// number; only 0 to 65535 is a port. Every exchange refuses any other number
// with the same message before it sends anything.
#include <cstdint>

namespace volantis {

inline constexpr int32_t kServerPortMax = 65535;

inline bool IsServerPort(int32_t port) { return port >= 0 && port <= kServerPortMax; }

// The message for a stored port that is none; %d is the stored number.
inline constexpr const char* kNotAServerPortText =
    "Error: the web port %d in Race Settings is not a port number (0 to 65535); nothing was sent to Tarvex. Please "
    "enter the race server's port in Race Settings.\n";

}  // namespace volantis
