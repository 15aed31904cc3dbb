#pragma once
// The resource tree of a PE image (type, name, language), flattened to one
// entry per resource, and the bytes of a resource's data.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "pe_image.h"

namespace volantis::pecheck {

inline constexpr uint16_t kRtIcon = 3;
inline constexpr uint16_t kRtMenu = 4;
inline constexpr uint16_t kRtString = 6;
inline constexpr uint16_t kRtGroupIcon = 14;
inline constexpr uint16_t kRtVersion = 16;

// A resource type or name: a number, or a string.
struct ResourceKey {
  bool named = false;
  uint16_t id = 0;
  std::string name;  // when named; UTF-16 units outside ASCII read as '?'

  static ResourceKey Id(uint16_t id) { return {false, id, {}}; }
  static ResourceKey Name(std::string name) { return {true, 0, std::move(name)}; }
  bool operator==(const ResourceKey& other) const {
    return named == other.named && (named ? name == other.name : id == other.id);
  }
  // "#14" for a number, the name (bytes outside printable ASCII escaped) for a name.
  std::string ToString() const;
};

struct Resource {
  ResourceKey type;
  ResourceKey name;
  uint16_t language = 0;
  uint32_t data_rva = 0;
  uint32_t size = 0;
};

// Every resource of the image, in directory order. Appends what cannot be read
// to *problems; an image without a resource directory has no resources.
std::vector<Resource> ReadResources(const PeImage& image, std::vector<std::string>* problems);

// The first resource with this type and name (any language), or nullptr.
const Resource* FindResource(const std::vector<Resource>& resources, const ResourceKey& type, const ResourceKey& name);

// The bytes of a resource's data, or nullptr when they are not all in the file.
const uint8_t* ResourceBytes(const PeImage& image, const Resource& resource);

}  // namespace volantis::pecheck
