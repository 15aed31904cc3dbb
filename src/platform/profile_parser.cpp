#include "platform/profile_parser.h"

#include <algorithm>
#include <cstring>

namespace volantis {
namespace {

unsigned char FoldCase(unsigned char c) {
  if (c >= 'A' && c <= 'Z') return static_cast<unsigned char>(c + 0x20);
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<unsigned char>(c + 0x20);
  switch (c) {
    case 0x8A: return 0x9A;  // S caron
    case 0x8C: return 0x9C;  // OE
    case 0x8E: return 0x9E;  // Z caron
    case 0x9F: return 0xFF;  // Y diaeresis
    default: return c;
  }
}

std::string_view Trim(std::string_view text) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && IsProfileBlank(static_cast<unsigned char>(text[begin]))) ++begin;
  while (end > begin && IsProfileBlank(static_cast<unsigned char>(text[end - 1]))) --end;
  return text.substr(begin, end - begin);
}

// A stored name or value is a C string: it ends at the first zero byte.
std::string UpToZero(std::string_view text) {
  std::size_t zero = text.find('\0');
  return std::string(zero == std::string_view::npos ? text : text.substr(0, zero));
}

}  // namespace

bool IsProfileBlank(unsigned char c) {
  return c == ' ' || (c >= 0x09 && c <= 0x0D) || c == 0x1A || c == 0xA0;
}

bool ProfileNamesEqual(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (FoldCase(static_cast<unsigned char>(a[i])) != FoldCase(static_cast<unsigned char>(b[i]))) return false;
  }
  return true;
}

ProfileDocument::ProfileDocument(std::string_view bytes) {
  if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
  sections_.emplace_back();
  Section* current = &sections_.back();
  std::size_t pos = 0;
  while (pos < bytes.size()) {
    std::size_t end = pos;
    while (end < bytes.size() && bytes[end] != '\n' && bytes[end] != '\r') ++end;
    std::string_view line = Trim(bytes.substr(pos, end - pos));
    pos = end;
    while (pos < bytes.size() && (bytes[pos] == '\n' || bytes[pos] == '\r')) ++pos;
    if (line.empty()) continue;

    if (line.front() == '[') {
      std::size_t close = line.rfind(']');
      if (close != std::string_view::npos) {
        sections_.emplace_back();
        current = &sections_.back();
        current->name = UpToZero(Trim(line.substr(1, close - 1)));
        continue;
      }
    }
    Entry entry;
    std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) {
      entry.name = UpToZero(line);
    } else {
      entry.name = UpToZero(Trim(line.substr(0, equals)));
      entry.value = UpToZero(Trim(line.substr(equals + 1)));
      entry.has_value = true;
    }
    current->entries.push_back(std::move(entry));
  }
}

const ProfileDocument::Section* ProfileDocument::FindSection(std::string_view name) const {
  for (const Section& section : sections_) {
    if (ProfileNamesEqual(section.name, name)) return &section;
  }
  return nullptr;
}

uint32_t ProfileDocument::ReadSectionNames(char* buffer, uint32_t size) const {
  if (buffer == nullptr || size == 0) return 0;
  if (size == 1) {
    buffer[0] = '\0';
    return 0;
  }
  uint32_t room = size - 1;
  char* out = buffer;
  for (const Section& section : sections_) {
    if (section.name.empty()) continue;
    uint32_t needed = static_cast<uint32_t>(section.name.size()) + 1;
    if (needed >= room) {
      if (room > 0) {
        std::memcpy(out, section.name.data(), room - 1);
        out += room - 1;
        *out++ = '\0';
      }
      *out = '\0';
      return size - 2;
    }
    std::memcpy(out, section.name.c_str(), needed);
    out += needed;
    room -= needed;
  }
  *out = '\0';
  return static_cast<uint32_t>(out - buffer);
}

uint32_t ProfileDocument::Read(const char* section, const char* key, char* buffer, uint32_t size) const {
  if (buffer == nullptr || size == 0) return 0;
  if (section == nullptr) return ReadSectionNames(buffer, size);
  buffer[0] = '\0';
  if (key == nullptr) return 0;

  std::string_view value;
  if (const Section* found = FindSection(Trim(section))) {
    std::string_view wanted = Trim(key);
    for (const Entry& entry : found->entries) {
      if (ProfileNamesEqual(entry.name, wanted)) {
        if (entry.has_value) value = entry.value;
        break;
      }
    }
  }

  // One pair of matching outer quotes goes. When the value without its opening
  // quote just fills the buffer, the reader drops one more character: kept as is.
  bool quoted = value.size() >= 2 && (value.front() == '\'' || value.front() == '"') &&
                value.back() == value.front();
  if (quoted) value.remove_prefix(1);
  std::size_t copied = std::min<std::size_t>(value.size(), size - 1);
  std::memcpy(buffer, value.data(), copied);
  buffer[copied] = '\0';
  if (quoted && size >= value.size() && copied > 0) buffer[--copied] = '\0';
  return static_cast<uint32_t>(copied);
}

}  // namespace volantis
