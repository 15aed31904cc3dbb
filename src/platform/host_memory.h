#pragma once
// Raw reads from the memory of the host's core module ("global.dll"). Values come
// back as the host stores them; scaling to degrees and feet is portable code
// (host/host_values.h).
#include <cstdint>

namespace volantis {

class HostMemory {
 public:
  virtual ~HostMemory() = default;
  // Looks up the core module's base address; false when it is not loaded.
  virtual bool Attach() = 0;
  virtual int64_t ReadInt64(uint32_t offset) const = 0;
  virtual int16_t ReadInt16(uint32_t offset) const = 0;
  virtual uint16_t ReadUInt16(uint32_t offset) const = 0;
  virtual int8_t ReadInt8(uint32_t offset) const = 0;
};

// The host process's own memory (Windows half); on the native half a block that
// reads as zeros.
HostMemory& ProcessHostMemory();

}  // namespace volantis
