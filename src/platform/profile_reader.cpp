#include "platform/profile_reader.h"

#include <vector>

namespace volantis {

std::string ReadProfileValue(ProfileReader& reader, const std::string& path, const char* section, const char* key,
                             uint32_t size) {
  std::vector<char> buffer(size + 1, '\0');
  uint32_t length = reader.ReadRaw(path, section, key, buffer.data(), size);
  if (length >= size) length = size > 0 ? size - 1 : 0;
  return std::string(buffer.data(), length);
}

std::vector<std::string> ReadProfileSectionNames(ProfileReader& reader, const std::string& path, uint32_t size) {
  std::vector<char> buffer(size + 1, '\0');
  uint32_t length = reader.ReadRaw(path, nullptr, nullptr, buffer.data(), size);
  if (length >= size) length = size > 0 ? size - 1 : 0;
  // Only the bytes up to and including the reported length are the reader's.
  std::vector<std::string> names;
  std::size_t pos = 0;
  while (pos < length) {
    std::size_t end = pos;
    while (end < length && buffer[end] != '\0') ++end;
    if (end == pos) break;
    names.emplace_back(buffer.data() + pos, end - pos);
    pos = end + 1;
  }
  return names;
}

}  // namespace volantis
