#include <windows.h>

#include <cstring>

#include "platform/host_memory.h"

namespace volantis {
namespace {

class ProcessMemory : public HostMemory {
 public:
  bool Attach() override {
    base_ = reinterpret_cast<const unsigned char*>(::GetModuleHandleA("global.dll"));
    return base_ != nullptr;
  }
  int64_t ReadInt64(uint32_t offset) const override { return Read<int64_t>(offset); }
  int16_t ReadInt16(uint32_t offset) const override { return Read<int16_t>(offset); }
  uint16_t ReadUInt16(uint32_t offset) const override { return Read<uint16_t>(offset); }
  int8_t ReadInt8(uint32_t offset) const override { return Read<int8_t>(offset); }

 private:
  template <typename T>
  T Read(uint32_t offset) const {
    T value{};
    // Without the core module there is nothing to read: zeros, not a crash.
    if (base_ != nullptr) std::memcpy(&value, base_ + offset, sizeof(T));
    return value;
  }
  const unsigned char* base_ = nullptr;
};

}  // namespace

HostMemory& ProcessHostMemory() {
  static ProcessMemory memory;
  return memory;
}

}  // namespace volantis
