#include "pe_image.h"

#include <cstring>

#include "text_format.h"

namespace volantis::pecheck {
namespace {

constexpr uint32_t kScnCode = 0x00000020;
constexpr uint32_t kScnExecute = 0x20000000;
constexpr size_t kDosHeaderSize = 64;
constexpr size_t kCoffHeaderSize = 20;
constexpr size_t kSectionHeaderSize = 40;
constexpr size_t kSymbolSize = 18;

std::string CutShort(const ByteView& file, const char* what, uint64_t offset, uint64_t length) {
  return "the file (" + std::to_string(file.size()) + " bytes) ends inside the " + what + " (" +
         std::to_string(length) + " bytes at " + Hex(offset) + ")";
}

// A section name of eight bytes, NUL-padded; "/123" names an entry of the COFF
// string table, which follows the symbol table.
std::string SectionName(const ByteView& file, const uint8_t* raw, uint32_t symbol_table, uint32_t symbol_count) {
  std::string name(reinterpret_cast<const char*>(raw), strnlen(reinterpret_cast<const char*>(raw), 8));
  if (name.size() < 2 || name[0] != '/' || symbol_table == 0) return name;
  uint64_t index = 0;
  for (size_t i = 1; i < name.size(); ++i) {
    if (name[i] < '0' || name[i] > '9') return name;
    index = index * 10 + static_cast<uint64_t>(name[i] - '0');
  }
  const uint64_t at = symbol_table + static_cast<uint64_t>(symbol_count) * kSymbolSize + index;
  std::string long_name;
  for (uint64_t i = 0; i < 64; ++i) {
    const uint8_t* c = file.At(at + i, 1);
    if (!c) return name;
    if (*c == 0) return long_name.empty() ? name : long_name;
    long_name.push_back(static_cast<char>(*c));
  }
  return name;
}

}  // namespace

bool Section::IsExecutable() const { return (characteristics & (kScnCode | kScnExecute)) != 0; }

std::optional<PeImage> PeImage::Parse(const std::vector<uint8_t>& bytes, std::string* error) {
  PeImage image(bytes);
  if (!image.ReadHeaders(error)) return std::nullopt;
  return image;
}

bool PeImage::ReadHeaders(std::string* error) {
  if (!file_.Has(0, kDosHeaderSize)) {
    *error = CutShort(file_, "DOS header", 0, kDosHeaderSize);
    return false;
  }
  if (*file_.U16(0) != 0x5a4d) {
    *error = "not a PE file: no \"MZ\" at the start";
    return false;
  }
  const uint32_t pe_offset = *file_.U32(0x3c);
  const uint8_t* signature = file_.At(pe_offset, 4);
  if (!signature) {
    *error = CutShort(file_, "PE signature", pe_offset, 4);
    return false;
  }
  if (std::memcmp(signature, "PE\0\0", 4) != 0) {
    *error = "not a PE file: no \"PE\\0\\0\" signature at " + Hex(pe_offset);
    return false;
  }
  const uint64_t coff = static_cast<uint64_t>(pe_offset) + 4;
  if (!file_.Has(coff, kCoffHeaderSize)) {
    *error = CutShort(file_, "COFF header", coff, kCoffHeaderSize);
    return false;
  }
  machine_ = *file_.U16(coff);
  const uint16_t section_count = *file_.U16(coff + 2);
  const uint32_t symbol_table = *file_.U32(coff + 8);
  const uint32_t symbol_count = *file_.U32(coff + 12);
  const uint16_t optional_size = *file_.U16(coff + 16);
  characteristics_ = *file_.U16(coff + 18);

  const uint64_t optional = coff + kCoffHeaderSize;
  if (!file_.Has(optional, optional_size)) {
    *error = CutShort(file_, "optional header", optional, optional_size);
    return false;
  }
  if (optional_size < 2) {
    *error = "the optional header is missing (size " + std::to_string(optional_size) + ")";
    return false;
  }
  magic_ = *file_.U16(optional);
  if (magic_ != kMagicPe32 && magic_ != kMagicPe32Plus) {
    *error = "unknown optional header magic " + Hex(magic_);
    return false;
  }
  const bool plus = magic_ == kMagicPe32Plus;
  const uint32_t directory_count_at = plus ? 108 : 92;
  const uint32_t directories_at = directory_count_at + 4;
  if (optional_size < directories_at) {
    *error = "the optional header is too short: " + std::to_string(optional_size) + " bytes, at least " +
             std::to_string(directories_at) + " needed";
    return false;
  }
  image_base_ = plus ? *file_.U64(optional + 24) : *file_.U32(optional + 28);
  size_of_image_ = *file_.U32(optional + 56);
  size_of_headers_ = *file_.U32(optional + 60);
  const uint32_t directory_count = *file_.U32(optional + directory_count_at);
  for (size_t i = 0; i < directories_.size() && i < directory_count; ++i) {
    const uint64_t at = directories_at + i * 8;
    if (at + 8 > optional_size) break;
    directories_[i] = {*file_.U32(optional + at), *file_.U32(optional + at + 4)};
  }
  return ReadSections(optional + optional_size, section_count, symbol_table, symbol_count, error);
}

bool PeImage::ReadSections(uint64_t table_offset, uint16_t count, uint32_t symbol_table, uint32_t symbol_count,
                           std::string* error) {
  const uint64_t table_size = static_cast<uint64_t>(count) * kSectionHeaderSize;
  if (!file_.Has(table_offset, table_size)) {
    *error = CutShort(file_, "section table", table_offset, table_size);
    return false;
  }
  constexpr int kMostListed = 20;
  int cut_sections = 0;
  for (uint16_t i = 0; i < count; ++i) {
    const uint64_t at = table_offset + static_cast<uint64_t>(i) * kSectionHeaderSize;
    Section section;
    section.name = SectionName(file_, file_.At(at, 8), symbol_table, symbol_count);
    section.virtual_size = *file_.U32(at + 8);
    section.virtual_address = *file_.U32(at + 12);
    section.raw_size = *file_.U32(at + 16);
    section.raw_offset = *file_.U32(at + 20);
    section.characteristics = *file_.U32(at + 36);
    if (section.raw_size != 0 && !file_.Has(section.raw_offset, section.raw_size)) {
      if (++cut_sections == kMostListed + 1) {
        header_problems_.push_back("more sections run past the end of the file");
      } else if (cut_sections <= kMostListed) {
        header_problems_.push_back("section " + Printable(section.name) + ": its data (" +
                                   std::to_string(section.raw_size) + " bytes at " + Hex(section.raw_offset) +
                                   ") runs past the end of the file (" + std::to_string(file_.size()) + " bytes)");
      }
    }
    sections_.push_back(std::move(section));
  }
  return true;
}

DataDirectory PeImage::directory(size_t index) const {
  return index < directories_.size() ? directories_[index] : DataDirectory{};
}

const Section* PeImage::SectionAt(uint32_t rva) const {
  for (const Section& section : sections_) {
    if (rva >= section.virtual_address && rva - section.virtual_address < section.Span()) return &section;
  }
  return nullptr;
}

std::optional<PeImage::FileRange> PeImage::FileRangeAt(uint32_t rva) const {
  if (const Section* section = SectionAt(rva)) {
    const uint64_t within = rva - section->virtual_address;
    if (within >= section->FileBacked()) return std::nullopt;
    const uint64_t offset = section->raw_offset + within;
    if (offset >= file_.size()) return std::nullopt;
    const uint64_t in_file = file_.size() - offset;
    const uint64_t in_section = section->FileBacked() - within;
    return FileRange{static_cast<size_t>(offset), static_cast<size_t>(in_file < in_section ? in_file : in_section)};
  }
  if (rva < size_of_headers_ && rva < file_.size()) {
    const uint64_t end = size_of_headers_ < file_.size() ? size_of_headers_ : file_.size();
    return FileRange{rva, static_cast<size_t>(end - rva)};
  }
  return std::nullopt;
}

std::optional<size_t> PeImage::RvaToOffset(uint32_t rva, uint64_t length) const {
  const auto range = FileRangeAt(rva);
  if (!range || length > range->length) return std::nullopt;
  return range->offset;
}

const uint8_t* PeImage::BytesAt(uint32_t rva, uint64_t length) const {
  const auto offset = RvaToOffset(rva, length);
  return offset ? file_.At(*offset, length) : nullptr;
}

std::optional<uint16_t> PeImage::U16At(uint32_t rva) const {
  const auto offset = RvaToOffset(rva, 2);
  return offset ? file_.U16(*offset) : std::nullopt;
}

std::optional<uint32_t> PeImage::U32At(uint32_t rva) const {
  const auto offset = RvaToOffset(rva, 4);
  return offset ? file_.U32(*offset) : std::nullopt;
}

std::optional<std::string> PeImage::CStringAt(uint32_t rva, size_t max_length) const {
  const auto range = FileRangeAt(rva);
  if (!range) return std::nullopt;
  const char* text = reinterpret_cast<const char*>(file_.At(range->offset, range->length));
  const size_t length = strnlen(text, range->length < max_length + 1 ? range->length : max_length + 1);
  if (length == range->length || length > max_length) return std::nullopt;  // no NUL in reach
  return std::string(text, length);
}

}  // namespace volantis::pecheck
