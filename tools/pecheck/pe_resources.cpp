#include "pe_resources.h"

#include "text_format.h"

namespace volantis::pecheck {
namespace {

constexpr uint32_t kHighBit = 0x80000000;
constexpr uint32_t kDirectoryHeaderSize = 16;
constexpr uint32_t kEntrySize = 8;
constexpr uint32_t kDataEntrySize = 16;
// The tree has three levels; a damaged one could name the same directories over
// and over, so the walk stops after this many entries.
constexpr size_t kMostEntries = 0x4000;
constexpr size_t kMostProblems = 50;

class TreeWalk {
 public:
  TreeWalk(const PeImage& image, uint32_t root_rva, std::vector<std::string>* problems)
      : image_(image), root_rva_(root_rva), problems_(problems) {}

  std::vector<Resource> Run() {
    Resource path;
    Directory(0, 0, &path);
    return std::move(resources_);
  }

 private:
  // Offsets inside the tree are relative to its root.
  const uint8_t* At(uint64_t offset, uint64_t length) const {
    const uint64_t rva = uint64_t{root_rva_} + offset;
    return rva <= UINT32_MAX ? image_.BytesAt(static_cast<uint32_t>(rva), length) : nullptr;
  }

  // Adds the problem `say()` describes; past the first few, only counts it (a
  // damaged tree can have thousands, and building their text is what costs).
  template <typename Say>
  void Problem(Say say) {
    if (++problem_count_ < kMostProblems) {
      problems_->push_back("resource tree: " + say());
    } else if (problem_count_ == kMostProblems) {
      problems_->push_back("resource tree: more problems not listed");
    }
  }

  void Directory(uint32_t offset, int level, Resource* path) {
    const uint8_t* header = At(offset, kDirectoryHeaderSize);
    if (!header) {
      Problem([&] { return "directory at offset " + Hex(offset) + " is not inside the file's data"; });
      return;
    }
    const ByteView h(header, kDirectoryHeaderSize);
    const uint32_t count = uint32_t{*h.U16(12)} + *h.U16(14);
    if (count == 0) return;
    const uint8_t* entries = At(uint64_t{offset} + kDirectoryHeaderSize, uint64_t{count} * kEntrySize);
    if (!entries) {
      Problem([&] {
        return "the " + std::to_string(count) + " entries of the directory at offset " + Hex(offset) +
               " are not inside the file's data";
      });
      return;
    }
    const ByteView e(entries, uint64_t{count} * kEntrySize);
    for (uint32_t i = 0; i < count && !stopped_; ++i) {
      if (++entries_seen_ > kMostEntries) {
        problems_->push_back("resource tree: more than " + std::to_string(kMostEntries) + " entries; stopped reading");
        stopped_ = true;
        return;
      }
      const uint32_t key = *e.U32(uint64_t{i} * kEntrySize);
      const uint32_t target = *e.U32(uint64_t{i} * kEntrySize + 4);
      ResourceKey k;
      if (key & kHighBit) {
        if (!ReadName(key & ~kHighBit, &k)) continue;
      } else {
        k = ResourceKey::Id(static_cast<uint16_t>(key));
      }
      const bool subdirectory = (target & kHighBit) != 0;
      if (subdirectory != (level < 2)) {
        Problem([&] {
          return std::string("entry ") + k.ToString() + " at level " + std::to_string(level + 1) + " is " +
                 (subdirectory ? "a directory" : "data") + " where " + (subdirectory ? "data" : "a directory") +
                 " belongs";
        });
        continue;
      }
      if (level == 0) path->type = k;
      if (level == 1) path->name = k;
      if (level < 2) {
        Directory(target & ~kHighBit, level + 1, path);
      } else {
        path->language = k.named ? 0 : k.id;
        Data(target, *path);
      }
    }
  }

  bool ReadName(uint32_t offset, ResourceKey* key) {
    const uint8_t* length_bytes = At(offset, 2);
    const uint16_t length = length_bytes ? static_cast<uint16_t>(length_bytes[0] | (length_bytes[1] << 8)) : 0;
    const uint8_t* text = length_bytes ? At(uint64_t{offset} + 2, uint64_t{length} * 2) : nullptr;
    if (!text) {
      Problem([&] { return "name at offset " + Hex(offset) + " is not inside the file's data"; });
      return false;
    }
    std::string name;
    for (uint32_t i = 0; i < length; ++i) {
      const uint16_t unit = static_cast<uint16_t>(text[2 * i] | (text[2 * i + 1] << 8));
      name.push_back(unit < 0x80 ? static_cast<char>(unit) : '?');
    }
    *key = ResourceKey::Name(std::move(name));
    return true;
  }

  void Data(uint32_t offset, Resource resource) {
    const uint8_t* entry = At(offset, kDataEntrySize);
    if (!entry) {
      Problem([&] {
        return "data entry of " + resource.type.ToString() + "/" + resource.name.ToString() + " at offset " +
               Hex(offset) + " is not inside the file's data";
      });
      return;
    }
    const ByteView d(entry, kDataEntrySize);
    resource.data_rva = *d.U32(0);
    resource.size = *d.U32(4);
    resources_.push_back(std::move(resource));
  }

  const PeImage& image_;
  uint32_t root_rva_;
  std::vector<std::string>* problems_;
  std::vector<Resource> resources_;
  size_t entries_seen_ = 0;
  size_t problem_count_ = 0;
  bool stopped_ = false;
};

}  // namespace

std::string ResourceKey::ToString() const { return named ? Printable(name) : "#" + std::to_string(id); }

std::vector<Resource> ReadResources(const PeImage& image, std::vector<std::string>* problems) {
  const uint32_t root = image.directory(kResourceDirectory).rva;
  if (root == 0) return {};
  return TreeWalk(image, root, problems).Run();
}

const Resource* FindResource(const std::vector<Resource>& resources, const ResourceKey& type, const ResourceKey& name) {
  for (const Resource& r : resources) {
    if (r.type == type && r.name == name) return &r;
  }
  return nullptr;
}

const uint8_t* ResourceBytes(const PeImage& image, const Resource& resource) {
  return image.BytesAt(resource.data_rva, resource.size);
}

}  // namespace volantis::pecheck
