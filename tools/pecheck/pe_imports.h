#pragma once
// The DLLs a PE image imports from, from its import directory and its delay-load
// import directory.
#include <cstdint>
#include <string>
#include <vector>

#include "pe_image.h"

namespace volantis::pecheck {

struct ImportedDll {
  std::string name;  // as written in the file, e.g. "KERNEL32.dll"
  uint32_t name_rva = 0;
  bool delayed = false;
};

// The imported DLLs in table order. Appends what cannot be read to *problems.
std::vector<ImportedDll> ReadImportedDlls(const PeImage& image, std::vector<std::string>* problems);

}  // namespace volantis::pecheck
