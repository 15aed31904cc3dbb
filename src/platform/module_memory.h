#pragma once
// Reads from a loaded module's image at offsets from its base address. Attach
// looks the base up afresh; it is kept in one atomic word, because a validation
// run and the race monitor attach and read on threads of their own at the same time.
#include <atomic>
#include <cstdint>
#include <cstring>

#include "platform/host_memory.h"

namespace volantis {

class ModuleMemory : public HostMemory {
 public:
  // lookup: the module's base address now, or null when it is not loaded.
  using Lookup = const unsigned char* (*)();
  explicit ModuleMemory(Lookup lookup) : lookup_(lookup) {}

  bool Attach() override;
  int64_t ReadInt64(uint32_t offset) const override { return Read<int64_t>(offset); }
  int16_t ReadInt16(uint32_t offset) const override { return Read<int16_t>(offset); }
  uint16_t ReadUInt16(uint32_t offset) const override { return Read<uint16_t>(offset); }
  int8_t ReadInt8(uint32_t offset) const override { return Read<int8_t>(offset); }

 private:
  template <typename T>
  T Read(uint32_t offset) const {
    T value{};
    // Without the module there is nothing to read: zeros, not a crash.
    const unsigned char* base = base_.load();
    if (base != nullptr) std::memcpy(&value, base + offset, sizeof(T));
    return value;
  }

  Lookup lookup_;
  std::atomic<const unsigned char*> base_{nullptr};
};

}  // namespace volantis
