#include "module_locations.h"

#include <algorithm>
#include <cctype>
#include <stdexcept>

#include "pe_exports.h"
#include "pe_image.h"
#include "pe_imports.h"
#include "pe_resources.h"

namespace volantis::pecheck::testing {
namespace {

PeImage Parse(const std::vector<uint8_t>& bytes) {
  std::string error;
  auto image = PeImage::Parse(bytes, &error);
  if (!image) throw std::runtime_error("not a PE file: " + error);
  return *image;
}

size_t Offset(const PeImage& image, uint32_t rva, const std::string& what) {
  const auto offset = image.RvaToOffset(rva, 1);
  if (!offset) throw std::runtime_error(what + " is not in the file");
  return *offset;
}

const Export& FindExport(const std::vector<Export>& exports, const std::string& name) {
  for (const Export& e : exports) {
    if (e.name == name) return e;
  }
  throw std::runtime_error("no export " + name);
}

ResourceKey Key(const std::string& text) {
  if (!text.empty() && std::isalpha(static_cast<unsigned char>(text[0]))) return ResourceKey::Name(text);
  return ResourceKey::Id(static_cast<uint16_t>(std::stoi(text)));
}

}  // namespace

size_t FindUnique(const std::vector<uint8_t>& bytes, const std::vector<uint8_t>& pattern) {
  const auto first = std::search(bytes.begin(), bytes.end(), pattern.begin(), pattern.end());
  if (first == bytes.end()) throw std::runtime_error("pattern not in the file");
  if (std::search(first + 1, bytes.end(), pattern.begin(), pattern.end()) != bytes.end()) {
    throw std::runtime_error("pattern occurs more than once in the file");
  }
  return static_cast<size_t>(first - bytes.begin());
}

std::vector<uint8_t> CountedUtf16(const std::string& text) {
  std::vector<uint8_t> bytes = {static_cast<uint8_t>(text.size()), static_cast<uint8_t>(text.size() >> 8)};
  for (char c : text) {
    bytes.push_back(static_cast<uint8_t>(c));
    bytes.push_back(0);
  }
  return bytes;
}

size_t CoffHeaderOffset(const std::vector<uint8_t>& bytes) {
  const auto pe = ByteView(bytes).U32(0x3c);
  if (!pe) throw std::runtime_error("no DOS header");
  return *pe + 4;
}

size_t OptionalHeaderOffset(const std::vector<uint8_t>& bytes) { return CoffHeaderOffset(bytes) + 20; }

uint32_t ExportRva(const std::vector<uint8_t>& bytes, const std::string& name) {
  std::vector<std::string> problems;
  return FindExport(ReadExports(Parse(bytes), &problems), name).rva;
}

size_t ExportOffset(const std::vector<uint8_t>& bytes, const std::string& name) {
  return Offset(Parse(bytes), ExportRva(bytes, name), "export " + name);
}

size_t ExportNameOffset(const std::vector<uint8_t>& bytes, const std::string& name) {
  const PeImage image = Parse(bytes);
  std::vector<std::string> problems;
  return Offset(image, FindExport(ReadExports(image, &problems), name).name_rva, "name of export " + name);
}

size_t ImportNameOffset(const std::vector<uint8_t>& bytes, const std::string& dll) {
  const PeImage image = Parse(bytes);
  std::vector<std::string> problems;
  for (const ImportedDll& imported : ReadImportedDlls(image, &problems)) {
    if (imported.name == dll) return Offset(image, imported.name_rva, "import " + dll);
  }
  throw std::runtime_error("no import of " + dll);
}

size_t ResourceOffset(const std::vector<uint8_t>& bytes, const std::string& type, const std::string& name) {
  const PeImage image = Parse(bytes);
  std::vector<std::string> problems;
  const std::vector<Resource> resources = ReadResources(image, &problems);
  const Resource* resource = FindResource(resources, Key(type), Key(name));
  if (!resource) throw std::runtime_error("no resource " + type + "/" + name);
  return Offset(image, resource->data_rva, "resource " + type + "/" + name);
}

size_t LanguageEntryOffset(const std::vector<uint8_t>& bytes, const std::string& type, const std::string& name) {
  const PeImage image = Parse(bytes);
  const auto root = image.RvaToOffset(image.directory(kResourceDirectory).rva, 16);
  if (!root) throw std::runtime_error("no resource directory");
  const ByteView file(bytes);
  // The entries of the directory at `directory` (an offset from the root).
  auto entry_named = [&](size_t directory, const std::string& wanted) -> size_t {
    const size_t count = file.U16(*root + directory + 12).value() + file.U16(*root + directory + 14).value();
    for (size_t i = 0; i < count; ++i) {
      const size_t entry = *root + directory + 16 + i * 8;
      const uint32_t key = file.U32(entry).value();
      if (!(key & 0x80000000u)) continue;
      const std::vector<uint8_t> counted = CountedUtf16(wanted);
      const size_t text = *root + (key & 0x7FFFFFFFu);
      if (file.Has(text, counted.size()) && std::equal(counted.begin(), counted.end(), bytes.begin() + text)) {
        return file.U32(entry + 4).value() & 0x7FFFFFFFu;
      }
    }
    throw std::runtime_error("no resource entry " + wanted);
  };
  const size_t languages = entry_named(entry_named(0, type), name);
  return *root + languages + 16;
}

uint32_t AddressOf(const std::vector<uint8_t>& bytes, uint32_t rva) {
  return static_cast<uint32_t>(Parse(bytes).image_base() + rva);
}

}  // namespace volantis::pecheck::testing
