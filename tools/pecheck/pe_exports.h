#pragma once
// The export directory of a PE image: every exported entry with its name (when
// it has one), ordinal and RVA.
#include <cstdint>
#include <string>
#include <vector>

#include "pe_image.h"

namespace volantis::pecheck {

struct Export {
  std::string name;       // empty for an entry exported by ordinal only
  uint32_t name_rva = 0;  // where the name's text is, 0 without a name
  uint32_t ordinal = 0;   // with the directory's ordinal base added
  uint32_t rva = 0;
  bool forwarded = false;  // the RVA points into the export directory: "OTHERDLL.name"
};

// The image's exports, named ones first in name-table order. Appends what
// cannot be read to *problems; an image without an export directory exports nothing.
std::vector<Export> ReadExports(const PeImage& image, std::vector<std::string>* problems);

}  // namespace volantis::pecheck
