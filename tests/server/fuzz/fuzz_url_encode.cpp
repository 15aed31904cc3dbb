// UrlEncode over any bytes: the output is plain query text that a server,
// reading "+" as a space, decodes back to exactly the input.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "server/text_codec.h"

namespace {
int Hex(char ch) {
  if (ch >= '0' && ch <= '9') return ch - '0';
  if (ch >= 'A' && ch <= 'F') return ch - 'A' + 10;
  return -1;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  const std::string encoded = volantis::UrlEncode(input);
  std::string decoded;
  for (size_t i = 0; i < encoded.size(); ++i) {
    const char ch = encoded[i];
    if (ch <= 0x20 || ch >= 0x7F || std::strchr(";/?:@&=\"#<>!*'(),\\", ch) != nullptr) std::abort();
    if (ch == '%') {
      if (i + 2 >= encoded.size()) std::abort();
      const int high = Hex(encoded[i + 1]);
      const int low = Hex(encoded[i + 2]);
      if (high < 0 || low < 0) std::abort();
      decoded += static_cast<char>(high * 16 + low);
      i += 2;
    } else {
      decoded += ch == '+' ? ' ' : ch;
    }
  }
  if (decoded != input) std::abort();
  return 0;
}
