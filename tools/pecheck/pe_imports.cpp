#include "pe_imports.h"

#include <algorithm>

#include "text_format.h"

namespace volantis::pecheck {
namespace {

constexpr uint32_t kDescriptorSize = 20;
constexpr uint32_t kDelayDescriptorSize = 32;
constexpr uint32_t kMostDescriptors = 4096;

// Walks a table of fixed-size descriptors ending with an all-zero one and
// passes each descriptor's bytes to `take`.
template <typename Take>
void WalkDescriptors(const PeImage& image, uint32_t table_rva, uint32_t descriptor_size, const char* what,
                     std::vector<std::string>* problems, Take take) {
  for (uint32_t i = 0;; ++i) {
    if (i == kMostDescriptors) {
      problems->push_back(std::string("the ") + what + " has no end after " + std::to_string(i) + " entries");
      return;
    }
    const uint64_t rva = table_rva + uint64_t{i} * descriptor_size;
    const uint8_t* descriptor =
        rva <= UINT32_MAX ? image.BytesAt(static_cast<uint32_t>(rva), descriptor_size) : nullptr;
    if (!descriptor) {
      problems->push_back(std::string("the ") + what + " at RVA " + Hex(table_rva) +
                          " runs out of the file's data after " + std::to_string(i) + " entries");
      return;
    }
    if (std::all_of(descriptor, descriptor + descriptor_size, [](uint8_t b) { return b == 0; })) return;
    take(ByteView(descriptor, descriptor_size));
  }
}

}  // namespace

std::vector<ImportedDll> ReadImportedDlls(const PeImage& image, std::vector<std::string>* problems) {
  std::vector<ImportedDll> dlls;
  auto add = [&](uint32_t name_rva, bool delayed) {
    if (const auto name = image.CStringAt(name_rva)) {
      dlls.push_back({*name, name_rva, delayed});
    } else {
      problems->push_back(std::string(delayed ? "a delay-load" : "an") + " import names its DLL at RVA " +
                          Hex(name_rva) + ", which is not a string inside the file's data");
    }
  };
  if (const uint32_t rva = image.directory(kImportDirectory).rva) {
    WalkDescriptors(image, rva, kDescriptorSize, "import directory", problems,
                    [&](const ByteView& d) { add(*d.U32(12), false); });
  }
  if (const uint32_t rva = image.directory(kDelayImportDirectory).rva) {
    WalkDescriptors(image, rva, kDelayDescriptorSize, "delay-load import directory", problems, [&](const ByteView& d) {
      // Attribute bit 0 clear: the old form, holding addresses instead of RVAs.
      const uint64_t name = *d.U32(4);
      const bool relative = (*d.U32(0) & 1) != 0;
      const uint64_t name_rva = relative ? name : name - image.image_base();
      add(name_rva <= UINT32_MAX ? static_cast<uint32_t>(name_rva) : UINT32_MAX, true);
    });
  }
  return dlls;
}

}  // namespace volantis::pecheck
