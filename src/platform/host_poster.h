#pragma once
// Hands work to the host's user-interface thread: posts WM_COMMAND with the
// command identifier as word parameter and 0 as long parameter, as the host's
// own menu commands arrive (a non-zero long parameter would name a control's
// window to the host). Never waits.
#include <cstdint>

namespace volantis {

class HostPoster {
 public:
  virtual ~HostPoster() = default;
  virtual void PostCommand(uint32_t command) = 0;
};

}  // namespace volantis
