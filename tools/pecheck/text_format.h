#pragma once
// How the checker writes numbers in its problem lines.
#include <cstdint>
#include <cstdio>
#include <string>

namespace volantis::pecheck {

inline std::string Hex(uint64_t value) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%llx", static_cast<unsigned long long>(value));
  return text;
}

// Text taken from the file, made safe for a one-line message: bytes outside
// printable ASCII are written as \xNN.
inline std::string Printable(const std::string& text) {
  std::string out;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte < 0x7f) {
      out.push_back(c);
    } else {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
      out += escaped;
    }
  }
  return out;
}

}  // namespace volantis::pecheck
