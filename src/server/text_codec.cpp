#include "server/text_codec.h"

#include <cstring>

namespace volantis {

namespace {

constexpr char kReserved[] = ";/?:@&= \"#%<>!*'(),\\";
constexpr char kHexDigits[] = "0123456789ABCDEF";

bool IsReserved(unsigned char byte) {
  // sizeof - 1: the terminating zero is not a reserved character.
  return std::memchr(kReserved, byte, sizeof(kReserved) - 1) != nullptr;
}

// A literal plus is escaped as well: a server reads a bare "+" in a query value
// as a space, so "Ann+Lee" and "Ann Lee" would arrive as the same name.
bool NeedsEscape(unsigned char byte) { return IsReserved(byte) || byte == '+' || byte < 0x20 || byte > 0x7E; }

}  // namespace

std::string UrlEncode(const std::string& text) {
  std::string encoded;
  encoded.reserve(text.size() * 3);
  for (char ch : text) {
    unsigned char byte = static_cast<unsigned char>(ch);
    if (byte == ' ') {
      encoded += '+';
    } else if (NeedsEscape(byte)) {
      encoded += '%';
      encoded += kHexDigits[byte >> 4];
      encoded += kHexDigits[byte & 0x0F];
    } else {
      encoded += ch;
    }
  }
  return encoded;
}

int32_t SplitString(const std::string& separators, const std::string& text, std::vector<std::string>& entries,
                    bool keep_empty, int32_t max_entries) {
  entries.clear();
  if (text.empty()) return 0;
  const bool limited = max_entries != -1;
  auto count = [&entries] { return static_cast<int64_t>(entries.size()); };

  std::size_t start = 0;
  bool scanned = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (limited && count() >= max_entries) break;
    scanned = true;
    if (separators.find(text[i]) == std::string::npos) continue;
    if (i > start) {
      entries.push_back(text.substr(start, i - start));
    } else if (keep_empty) {
      entries.emplace_back();
    }
    start = i + 1;
  }

  if (scanned) {
    if (start < text.size()) {
      if (limited && count() == max_entries && !entries.empty()) {
        entries.back() += text.substr(start);
      } else {
        entries.push_back(text.substr(start));
      }
    } else if (keep_empty && (!limited || count() < max_entries)) {
      entries.emplace_back();
    }
  }
  return static_cast<int32_t>(entries.size());
}

std::string DecodeServerData(const std::string& text) {
  const std::size_t n = text.size();
  std::string decoded;
  if (n < 2) return decoded;

  // Bytes, the key included, are signed 8-bit values.
  std::size_t key_index = n < 4 ? 0 : 2;
  int key = static_cast<signed char>(text[key_index]);
  decoded.reserve(n - 1);
  for (std::size_t i = 0; i < n; ++i) {
    if (i == key_index) continue;
    int c = static_cast<signed char>(text[i]);
    if (c < 32 || c > 126) {
      decoded += text[i];
      continue;
    }
    int p = c - key;
    if (p < 32) p += 95;
    decoded += static_cast<char>(static_cast<unsigned char>(p & 0xFF));
    key = (p + key) % 32;
  }
  return decoded;
}

}  // namespace volantis
