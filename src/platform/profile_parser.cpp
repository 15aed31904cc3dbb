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

// Windows-1252 bytes 0x80 to 0x9F and the characters they stand for.
constexpr uint16_t kHighControls[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char ToWindows1252(uint32_t code_point) {
  if (code_point < 0x80 || (code_point >= 0xA0 && code_point <= 0xFF)) return static_cast<char>(code_point);
  for (int i = 0; i < 32; ++i) {
    if (kHighControls[i] == code_point) return static_cast<char>(0x80 + i);
  }
  return '?';
}

bool IsContinuation(std::string_view text, std::size_t at) {
  return at < text.size() && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80;
}

// A file marked as UTF-8 is read as such and handed out in Windows-1252, with
// '?' for what that cannot show (one per undecodable byte).
std::string Utf8ToWindows1252(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    unsigned char lead = static_cast<unsigned char>(text[i]);
    uint32_t code_point = 0xFFFD;
    std::size_t length = 1;
    if (lead < 0x80) {
      code_point = lead;
    } else if (lead >= 0xC2 && lead <= 0xDF && IsContinuation(text, i + 1)) {
      code_point = ((lead & 0x1Fu) << 6) | (static_cast<unsigned char>(text[i + 1]) & 0x3Fu);
      length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF && IsContinuation(text, i + 1) && IsContinuation(text, i + 2)) {
      code_point = ((lead & 0x0Fu) << 12) | ((static_cast<unsigned char>(text[i + 1]) & 0x3Fu) << 6) |
                   (static_cast<unsigned char>(text[i + 2]) & 0x3Fu);
      length = 3;
      if (code_point < 0x800) {
        code_point = 0xFFFD;
        length = 1;
      }
    } else if (lead >= 0xF0 && lead <= 0xF4 && IsContinuation(text, i + 1) && IsContinuation(text, i + 2) &&
               IsContinuation(text, i + 3)) {
      length = 4;
    }
    out += ToWindows1252(code_point);
    i += length;
  }
  return out;
}

}  // namespace

bool IsProfileBlank(unsigned char c) {
  return c == ' ' || (c >= 0x09 && c <= 0x0D) || c == 0x1A;
}

bool ProfileNamesEqual(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (FoldCase(static_cast<unsigned char>(a[i])) != FoldCase(static_cast<unsigned char>(b[i]))) return false;
  }
  return true;
}

ProfileDocument::ProfileDocument(std::string_view bytes) {
  std::string decoded;
  if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") {
    decoded = Utf8ToWindows1252(bytes.substr(3));
    bytes = decoded;
  }
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
  if (copied > 0) std::memcpy(buffer, value.data(), copied);
  buffer[copied] = '\0';
  if (quoted && size >= value.size() && copied > 0) buffer[--copied] = '\0';
  return static_cast<uint32_t>(copied);
}

}  // namespace volantis
