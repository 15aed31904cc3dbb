#include "platform/module_memory.h"

namespace volantis {

bool ModuleMemory::Attach() {
  const unsigned char* base = lookup_();
  base_.store(base);
  return base != nullptr;
}

}  // namespace volantis
