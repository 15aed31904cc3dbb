#pragma once
// The checks CheckModuleImage runs, one file each. Each appends its problem lines.
#include <string>
#include <vector>

#include "pe_image.h"
#include "pe_resources.h"
#include "text_format.h"

namespace volantis::pecheck {

using Problems = std::vector<std::string>;

// The bytes of a resource's data; nullptr, with a problem naming `what`, when
// they are not all in the file.
inline const uint8_t* ResourceData(const PeImage& image, const Resource& resource, const std::string& what,
                                   Problems* problems) {
  const uint8_t* data = ResourceBytes(image, resource);
  if (!data) {
    problems->push_back(what + " data (" + std::to_string(resource.size) + " bytes at RVA " + Hex(resource.data_rva) +
                        ") is not inside the file's data");
  }
  return data;
}

// Machine and DLL flag.
void CheckHeaders(const PeImage& image, Problems* problems);
// The two exported records and the words in them.
void CheckModuleRecords(const PeImage& image, Problems* problems);
// Imported DLLs against the ones Windows ships.
void CheckImports(const PeImage& image, Problems* problems);
// Menu, title string, icon and version record.
void CheckUiResources(const PeImage& image, const std::vector<Resource>& resources, Problems* problems);
// The ten sounds.
void CheckSounds(const PeImage& image, const std::vector<Resource>& resources, Problems* problems);

}  // namespace volantis::pecheck
