#pragma once
// The headers and section table of a PE file, read from its bytes, and the
// mapping from relative virtual addresses (RVAs) to file offsets. Every read is
// bounds-checked: a truncated or hostile file gives errors, never a read outside
// the buffer. A PeImage borrows the bytes it was parsed from; keep them alive.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "byte_view.h"

namespace volantis::pecheck {

inline constexpr uint16_t kMachineI386 = 0x14c;
inline constexpr uint16_t kFileDll = 0x2000;  // COFF characteristics: a DLL
inline constexpr uint16_t kMagicPe32 = 0x10b;
inline constexpr uint16_t kMagicPe32Plus = 0x20b;

inline constexpr size_t kExportDirectory = 0;
inline constexpr size_t kImportDirectory = 1;
inline constexpr size_t kResourceDirectory = 2;
inline constexpr size_t kDelayImportDirectory = 13;

struct Section {
  std::string name;  // long names ("/4") resolved through the COFF string table
  uint32_t virtual_address = 0;
  uint32_t virtual_size = 0;
  uint32_t raw_offset = 0;
  uint32_t raw_size = 0;
  uint32_t characteristics = 0;

  // Bytes the section spans in the image (the raw size when no virtual size is given).
  uint32_t Span() const { return virtual_size ? virtual_size : raw_size; }
  // Bytes at the start of the section that come from the file (the rest is zero-filled).
  uint32_t FileBacked() const { return raw_size < Span() ? raw_size : Span(); }
  bool IsExecutable() const;
};

struct DataDirectory {
  uint32_t rva = 0;
  uint32_t size = 0;
};

class PeImage {
 public:
  // Reads the headers and the section table of `bytes`. Returns nullopt and says
  // why in *error when the file is not a PE file or its headers are cut short.
  static std::optional<PeImage> Parse(const std::vector<uint8_t>& bytes, std::string* error);

  uint16_t machine() const { return machine_; }
  uint16_t characteristics() const { return characteristics_; }
  uint16_t magic() const { return magic_; }
  bool IsDll() const { return (characteristics_ & kFileDll) != 0; }
  uint64_t image_base() const { return image_base_; }
  uint32_t size_of_image() const { return size_of_image_; }
  const std::vector<Section>& sections() const { return sections_; }
  // A data directory entry; zero when the header does not have it.
  DataDirectory directory(size_t index) const;
  // What is wrong with the headers without stopping the reading, e.g. a
  // section whose data runs past the end of the file.
  const std::vector<std::string>& header_problems() const { return header_problems_; }
  const ByteView& file() const { return file_; }

  // The section whose virtual range holds `rva`, or nullptr.
  const Section* SectionAt(uint32_t rva) const;
  // The file offset of [rva, rva + length) when every byte of it comes from the
  // file: inside one section's file-backed part, or inside the headers.
  std::optional<size_t> RvaToOffset(uint32_t rva, uint64_t length) const;
  // The bytes of [rva, rva + length) as RvaToOffset finds them, or nullptr.
  const uint8_t* BytesAt(uint32_t rva, uint64_t length) const;
  std::optional<uint16_t> U16At(uint32_t rva) const;
  std::optional<uint32_t> U32At(uint32_t rva) const;
  // The NUL-terminated string at `rva`, when it ends within max_length bytes
  // and inside the same file-backed range.
  std::optional<std::string> CStringAt(uint32_t rva, size_t max_length = 256) const;

 private:
  // The file bytes from `rva` on that belong to the same file-backed range.
  struct FileRange {
    size_t offset;
    size_t length;
  };
  std::optional<FileRange> FileRangeAt(uint32_t rva) const;

  explicit PeImage(const std::vector<uint8_t>& bytes) : file_(bytes) {}
  bool ReadHeaders(std::string* error);
  bool ReadSections(uint64_t table_offset, uint16_t count, uint32_t symbol_table, uint32_t symbol_count,
                    std::string* error);

  ByteView file_;
  uint16_t machine_ = 0;
  uint16_t characteristics_ = 0;
  uint16_t magic_ = 0;
  uint64_t image_base_ = 0;
  uint32_t size_of_image_ = 0;
  uint32_t size_of_headers_ = 0;
  std::array<DataDirectory, 16> directories_{};
  std::vector<Section> sections_;
  std::vector<std::string> header_problems_;
};

}  // namespace volantis::pecheck
