// The resources the module's user interface loads from its own file: the popup
// menu "MENU", the title string, the window icon and the version record.
#include <cstring>

#include "module_checks.h"

namespace volantis::pecheck {
namespace {

constexpr uint16_t kTitleStringId = 57344;
const char kTitle[] = "TarvexCheck";
constexpr uint16_t kIconGroupId = 101;
constexpr uint32_t kFixedInfoSignature = 0xFEEF04BD;

void CheckMenu(const std::vector<Resource>& resources, Problems* problems) {
  if (!FindResource(resources, ResourceKey::Id(kRtMenu), ResourceKey::Name("MENU"))) {
    problems->push_back("missing menu \"MENU\" (resource type 4)");
  }
}

// String tables hold sixteen strings a block, each a UTF-16 unit count and the
// units; string n is entry n % 16 of block n / 16 + 1.
void CheckTitleString(const PeImage& image, const std::vector<Resource>& resources, Problems* problems) {
  const uint16_t block_id = kTitleStringId / 16 + 1;
  const std::string what = "string table block " + std::to_string(block_id);
  const Resource* block = FindResource(resources, ResourceKey::Id(kRtString), ResourceKey::Id(block_id));
  if (!block) {
    problems->push_back("missing " + what + ", which holds string " + std::to_string(kTitleStringId));
    return;
  }
  const uint8_t* data = ResourceData(image, *block, what, problems);
  if (!data) return;
  const ByteView bytes(data, block->size);
  uint64_t at = 0;
  for (int index = 0;; ++index) {
    const auto length = bytes.U16(at);
    if (!length || !bytes.Has(at + 2, uint64_t{*length} * 2)) {
      problems->push_back(what + " is cut short before string " + std::to_string(kTitleStringId));
      return;
    }
    if (index == kTitleStringId % 16) {
      std::string text;
      for (uint16_t i = 0; i < *length; ++i) {
        const uint16_t unit = *bytes.U16(at + 2 + uint64_t{i} * 2);
        text.push_back(unit < 0x80 ? static_cast<char>(unit) : '?');
      }
      if (text != kTitle) {
        problems->push_back("string " + std::to_string(kTitleStringId) + " is \"" + Printable(text) +
                            "\", expected \"" + kTitle + "\"");
      }
      return;
    }
    at += 2 + uint64_t{*length} * 2;
  }
}

// An icon group lists its icons: a 6-byte header (reserved, type, count) and
// 14-byte entries ending with the icon's resource id.
void CheckIcon(const PeImage& image, const std::vector<Resource>& resources, Problems* problems) {
  bool any_icon = false;
  for (const Resource& r : resources) any_icon = any_icon || r.type == ResourceKey::Id(kRtIcon);
  if (!any_icon) problems->push_back("no icon (resource type 3)");

  const std::string what = "icon group " + std::to_string(kIconGroupId);
  const Resource* group = FindResource(resources, ResourceKey::Id(kRtGroupIcon), ResourceKey::Id(kIconGroupId));
  if (!group) {
    problems->push_back("missing " + what + " (resource type 14)");
    return;
  }
  const uint8_t* data = ResourceData(image, *group, what, problems);
  if (!data) return;
  const ByteView bytes(data, group->size);
  const auto count = bytes.U16(4);
  if (!count || *count == 0 || !bytes.Has(6, uint64_t{*count} * 14)) {
    problems->push_back(what + " lists no icons");
    return;
  }
  for (uint16_t i = 0; i < *count; ++i) {
    const uint16_t icon_id = *bytes.U16(6 + uint64_t{i} * 14 + 12);
    if (!FindResource(resources, ResourceKey::Id(kRtIcon), ResourceKey::Id(icon_id))) {
      problems->push_back(what + " lists icon " + std::to_string(icon_id) + ", which is missing");
    }
  }
}

// VS_VERSION_INFO: length, value length, type, the key "VS_VERSION_INFO" in
// UTF-16 with its NUL, padding to 4 bytes, then the fixed file info.
void CheckVersion(const PeImage& image, const std::vector<Resource>& resources, Problems* problems) {
  const Resource* version = nullptr;
  for (const Resource& r : resources) {
    if (r.type == ResourceKey::Id(kRtVersion)) {
      version = &r;
      break;
    }
  }
  if (!version) {
    problems->push_back("missing version record (resource type 16)");
    return;
  }
  const uint8_t* data = ResourceData(image, *version, "version record", problems);
  if (!data) return;
  const ByteView bytes(data, version->size);
  static const char kKey[] = "VS_VERSION_INFO";
  bool key_matches = bytes.Has(6, sizeof kKey * 2);
  for (size_t i = 0; key_matches && i < sizeof kKey; ++i) {
    key_matches = *bytes.U16(6 + i * 2) == static_cast<uint8_t>(kKey[i]);
  }
  const uint64_t fixed = (6 + sizeof kKey * 2 + 3) & ~uint64_t{3};
  if (!key_matches || !bytes.Has(fixed, 52) || *bytes.U32(fixed) != kFixedInfoSignature) {
    problems->push_back("version record is not a VS_VERSION_INFO with a fixed file info");
    return;
  }
  const uint32_t high = *bytes.U32(fixed + 8);
  const uint32_t low = *bytes.U32(fixed + 12);
  const std::string found = std::to_string(high >> 16) + "." + std::to_string(high & 0xffff) + "." +
                            std::to_string(low >> 16) + "." + std::to_string(low & 0xffff);
  const std::string expected = std::to_string(VOLANTIS_VERSION_MAJOR) + "." + std::to_string(VOLANTIS_VERSION_MINOR) +
                               "." + std::to_string(VOLANTIS_VERSION_PATCH) + ".0";
  if (found != expected) {
    problems->push_back("version record file version is " + found + ", expected " + expected);
  }
}

}  // namespace

void CheckUiResources(const PeImage& image, const std::vector<Resource>& resources, Problems* problems) {
  CheckMenu(resources, problems);
  CheckTitleString(image, resources, problems);
  CheckIcon(image, resources, problems);
  CheckVersion(image, resources, problems);
}

}  // namespace volantis::pecheck
