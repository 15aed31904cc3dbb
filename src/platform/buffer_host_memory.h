#pragma once
// A HostMemory over a plain block of bytes laid out like the host's core module,
// for tests, the replay tool and the native half.
#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/host_memory.h"

namespace volantis {

class BufferHostMemory : public HostMemory {
 public:
  static constexpr uint32_t kSize = 0x4000;
  BufferHostMemory() : bytes_(kSize, 0) {}

  bool Attach() override { return attached_; }
  void SetAttached(bool attached) { attached_ = attached; }

  int64_t ReadInt64(uint32_t offset) const override { return Read<int64_t>(offset); }
  int16_t ReadInt16(uint32_t offset) const override { return Read<int16_t>(offset); }
  uint16_t ReadUInt16(uint32_t offset) const override { return Read<uint16_t>(offset); }
  int8_t ReadInt8(uint32_t offset) const override { return Read<int8_t>(offset); }

  template <typename T>
  void Write(uint32_t offset, T value) {
    if (offset + sizeof(T) <= bytes_.size()) std::memcpy(&bytes_[offset], &value, sizeof(T));
  }

 private:
  template <typename T>
  T Read(uint32_t offset) const {
    T value{};
    if (offset + sizeof(T) <= bytes_.size()) std::memcpy(&value, &bytes_[offset], sizeof(T));
    return value;
  }
  std::vector<uint8_t> bytes_;
  bool attached_ = true;
};

}  // namespace volantis
