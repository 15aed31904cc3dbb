#include "tiny_pe.h"

#include <algorithm>

namespace volantis::pecheck::testing {
namespace {

size_t AlignUp(size_t value, size_t alignment) { return (value + alignment - 1) / alignment * alignment; }

}  // namespace

void Put16(std::vector<uint8_t>* bytes, size_t offset, uint16_t value) {
  if (bytes->size() < offset + 2) bytes->resize(offset + 2);
  (*bytes)[offset] = static_cast<uint8_t>(value);
  (*bytes)[offset + 1] = static_cast<uint8_t>(value >> 8);
}

void Put32(std::vector<uint8_t>* bytes, size_t offset, uint32_t value) {
  Put16(bytes, offset, static_cast<uint16_t>(value));
  Put16(bytes, offset + 2, static_cast<uint16_t>(value >> 16));
}

void PutText(std::vector<uint8_t>* bytes, size_t offset, const std::string& text) {
  if (bytes->size() < offset + text.size() + 1) bytes->resize(offset + text.size() + 1);
  std::copy(text.begin(), text.end(), bytes->begin() + static_cast<std::ptrdiff_t>(offset));
  (*bytes)[offset + text.size()] = 0;
}

std::vector<uint8_t> BuildTinyPe(const TinyPe& pe) {
  std::vector<uint8_t> file(kTinyHeadersSize, 0);
  Put16(&file, 0, 0x5a4d);
  Put32(&file, 0x3c, kTinyPeSignature);
  PutText(&file, kTinyPeSignature, "PE");  // "PE\0\0": the rest is zero already
  Put16(&file, kTinyCoffHeader, pe.machine);
  Put16(&file, kTinyCoffHeader + 2, static_cast<uint16_t>(pe.sections.size()));
  Put32(&file, kTinyCoffHeader + 8, pe.symbol_table);
  Put16(&file, kTinyCoffHeader + 16, 224);
  Put16(&file, kTinyCoffHeader + 18, pe.characteristics);

  uint32_t image_end = 0x1000;
  for (const TinySection& s : pe.sections) {
    const uint32_t span = s.virtual_size ? s.virtual_size : static_cast<uint32_t>(s.data.size());
    image_end = std::max<uint32_t>(image_end, static_cast<uint32_t>(AlignUp(s.virtual_address + span, 0x1000)));
  }
  const size_t o = kTinyOptionalHeader;
  Put16(&file, o, 0x10b);
  Put32(&file, o + 28, pe.image_base);
  Put32(&file, o + 32, 0x1000);
  Put32(&file, o + 36, 0x200);
  Put32(&file, o + 56, image_end);
  Put32(&file, o + 60, kTinyHeadersSize);
  Put32(&file, o + 92, 16);
  for (size_t i = 0; i < pe.directories.size(); ++i) {
    Put32(&file, o + 96 + i * 8, pe.directories[i][0]);
    Put32(&file, o + 96 + i * 8 + 4, pe.directories[i][1]);
  }

  for (size_t i = 0; i < pe.sections.size(); ++i) {
    const TinySection& s = pe.sections[i];
    const size_t header = kTinySectionTable + i * 40;
    const size_t raw_offset = file.size();
    std::copy_n(s.name.begin(), std::min<size_t>(s.name.size(), 8), file.begin() + static_cast<std::ptrdiff_t>(header));
    Put32(&file, header + 8, s.virtual_size ? s.virtual_size : static_cast<uint32_t>(s.data.size()));
    Put32(&file, header + 12, s.virtual_address);
    Put32(&file, header + 16, static_cast<uint32_t>(s.data.size()));
    Put32(&file, header + 20, static_cast<uint32_t>(raw_offset));
    Put32(&file, header + 36, s.characteristics);
    file.insert(file.end(), s.data.begin(), s.data.end());
    file.resize(AlignUp(file.size(), 0x200));
  }
  file.insert(file.end(), pe.trailer.begin(), pe.trailer.end());
  return file;
}

}  // namespace volantis::pecheck::testing
