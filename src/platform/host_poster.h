#pragma once
// Hands work to the host's user-interface thread: posts WM_COMMAND with the
// command identifier as word parameter and long_param as long parameter (0, or
// for Race Finished the number of the race that finished). Never waits.
#include <cstdint>

namespace volantis {

class HostPoster {
 public:
  virtual ~HostPoster() = default;
  virtual void PostCommand(uint32_t command, uint32_t long_param) = 0;
};

}  // namespace volantis
