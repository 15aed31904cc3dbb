#pragma once
// Small hand-made PE32 files for the reader's tests: headers, a section table
// and the sections' bytes, laid out the way the linker lays out a module.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace volantis::pecheck::testing {

struct TinySection {
  std::string name;
  uint32_t virtual_address = 0;
  uint32_t virtual_size = 0;  // 0: the size of `data`
  std::vector<uint8_t> data;
  uint32_t characteristics = 0x40000040;  // initialised data, readable
};

struct TinyPe {
  uint16_t machine = 0x14c;
  uint16_t characteristics = 0x2102;  // executable, 32-bit, DLL
  uint32_t image_base = 0x10000000;
  uint32_t symbol_table = 0;                              // file offset of the COFF symbol table, 0 for none
  std::array<std::array<uint32_t, 2>, 16> directories{};  // {rva, size}
  std::vector<TinySection> sections;
  std::vector<uint8_t> trailer;  // bytes after the last section (a string table, say)
};

// Where the headers of every tiny file are.
inline constexpr size_t kTinyPeSignature = 0x40;
inline constexpr size_t kTinyCoffHeader = kTinyPeSignature + 4;
inline constexpr size_t kTinyOptionalHeader = kTinyCoffHeader + 20;
inline constexpr size_t kTinySectionTable = kTinyOptionalHeader + 224;
inline constexpr size_t kTinyHeadersSize = 0x200;

// The file; section i's data starts at a 0x200-aligned offset after the headers.
std::vector<uint8_t> BuildTinyPe(const TinyPe& pe);

void Put16(std::vector<uint8_t>* bytes, size_t offset, uint16_t value);
void Put32(std::vector<uint8_t>* bytes, size_t offset, uint32_t value);
void PutText(std::vector<uint8_t>* bytes, size_t offset, const std::string& text);  // with its NUL

}  // namespace volantis::pecheck::testing
