#pragma once
// How a host reads a module's Linkage record: a 32-bit module id, the init and
// deinit entries as pointers of the host's own width, then four 32-bit words.
// On a 32-bit build that is seven 32-bit words; on a 64-bit build the two
// entries are 8-byte pointers at their natural alignment (40 bytes in all).
#include <cstdint>

namespace fs9sim {

struct LinkageView {
  uint32_t module_id;
  uintptr_t init;
  uintptr_t deinit;
  uint32_t flags;
  uint32_t module_version;
  uint32_t host_version;
  uint32_t last;
};
static_assert(sizeof(void*) != 4 || sizeof(LinkageView) == 28, "seven 32-bit words on a 32-bit host");
static_assert(sizeof(void*) != 8 || sizeof(LinkageView) == 40, "two 64-bit entries on a 64-bit host");

}  // namespace fs9sim
