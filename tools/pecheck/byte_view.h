#pragma once
// Little-endian reads from a borrowed byte buffer that never step outside it:
// every read says whether the whole field was there.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace volantis::pecheck {

class ByteView {
 public:
  ByteView() = default;
  ByteView(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  explicit ByteView(const std::vector<uint8_t>& bytes) : data_(bytes.data()), size_(bytes.size()) {}

  size_t size() const { return size_; }
  // True when [offset, offset + length) lies inside the buffer.
  bool Has(uint64_t offset, uint64_t length) const { return offset <= size_ && length <= size_ - offset; }
  // The bytes of [offset, offset + length), or nullptr when any of them is missing.
  const uint8_t* At(uint64_t offset, uint64_t length) const { return Has(offset, length) ? data_ + offset : nullptr; }

  std::optional<uint16_t> U16(uint64_t offset) const {
    const uint8_t* p = At(offset, 2);
    if (!p) return std::nullopt;
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
  }
  std::optional<uint32_t> U32(uint64_t offset) const {
    const uint8_t* p = At(offset, 4);
    if (!p) return std::nullopt;
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
  }
  std::optional<uint64_t> U64(uint64_t offset) const {
    const auto low = U32(offset);
    const auto high = U32(offset + 4);
    if (!low || !high) return std::nullopt;
    return *low | (static_cast<uint64_t>(*high) << 32);
  }

 private:
  const uint8_t* data_ = nullptr;
  size_t size_ = 0;
};

}  // namespace volantis::pecheck
