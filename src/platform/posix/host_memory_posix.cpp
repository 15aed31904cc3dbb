#include "platform/buffer_host_memory.h"

namespace volantis {

HostMemory& ProcessHostMemory() {
  static BufferHostMemory memory;
  return memory;
}

}  // namespace volantis
