#include "pe_exports.h"

#include "text_format.h"

namespace volantis::pecheck {
namespace {

constexpr uint32_t kDirectorySize = 40;
// More entries than any module has; a larger count is a damaged directory.
constexpr uint32_t kMostEntries = 0x10000;

}  // namespace

std::vector<Export> ReadExports(const PeImage& image, std::vector<std::string>* problems) {
  std::vector<Export> exports;
  const DataDirectory directory = image.directory(kExportDirectory);
  if (directory.rva == 0) return exports;
  const auto table = image.RvaToOffset(directory.rva, kDirectorySize);
  if (!table) {
    problems->push_back("the export directory at RVA " + Hex(directory.rva) + " is not inside the file's data");
    return exports;
  }
  const ByteView& file = image.file();
  const uint32_t ordinal_base = *file.U32(*table + 16);
  const uint32_t function_count = *file.U32(*table + 20);
  const uint32_t name_count = *file.U32(*table + 24);
  const uint32_t functions_rva = *file.U32(*table + 28);
  const uint32_t names_rva = *file.U32(*table + 32);
  const uint32_t ordinals_rva = *file.U32(*table + 36);
  if (function_count > kMostEntries || name_count > kMostEntries) {
    problems->push_back("the export directory claims " + std::to_string(function_count) + " entries and " +
                        std::to_string(name_count) + " names");
    return exports;
  }
  const auto functions = image.RvaToOffset(functions_rva, uint64_t{function_count} * 4);
  const auto names = image.RvaToOffset(names_rva, uint64_t{name_count} * 4);
  const auto ordinals = image.RvaToOffset(ordinals_rva, uint64_t{name_count} * 2);
  if ((function_count && !functions) || (name_count && (!names || !ordinals))) {
    problems->push_back("the export address, name or ordinal table is not inside the file's data");
    return exports;
  }
  auto entry = [&](uint32_t index) {
    Export e;
    e.ordinal = ordinal_base + index;
    e.rva = *file.U32(*functions + uint64_t{index} * 4);
    e.forwarded = e.rva >= directory.rva && e.rva - directory.rva < directory.size;
    return e;
  };
  std::vector<bool> named(function_count, false);
  for (uint32_t i = 0; i < name_count; ++i) {
    const uint32_t name_rva = *file.U32(*names + uint64_t{i} * 4);
    const uint16_t index = *file.U16(*ordinals + uint64_t{i} * 2);
    if (index >= function_count) {
      problems->push_back("export name " + std::to_string(i) + " refers to entry " + std::to_string(index) + " of " +
                          std::to_string(function_count));
      continue;
    }
    const auto name = image.CStringAt(name_rva);
    if (!name) {
      problems->push_back("export name " + std::to_string(i) + " at RVA " + Hex(name_rva) +
                          " is not a string inside the file's data");
      continue;
    }
    Export e = entry(index);
    e.name = *name;
    e.name_rva = name_rva;
    named[index] = true;
    exports.push_back(std::move(e));
  }
  for (uint32_t index = 0; index < function_count; ++index) {
    if (named[index]) continue;
    Export e = entry(index);
    if (e.rva != 0) exports.push_back(std::move(e));  // a zero RVA is an unused slot
  }
  return exports;
}

}  // namespace volantis::pecheck
