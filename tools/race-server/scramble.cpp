#include "scramble.h"

namespace volantis::race_server {

std::string ScrambleServerData(const std::string& plain, uint32_t seed) {
  if (plain.empty()) return std::string();
  // The first key stays within 32..95 so that every printable byte can be
  // reached with the decoder's single wrap of 95.
  int key = 32 + static_cast<int>(seed % 64);
  const char key_byte = static_cast<char>(key);
  std::string body;
  body.reserve(plain.size());
  for (char ch : plain) {
    int p = static_cast<signed char>(ch);
    if (p < 32 || p > 126) {
      body += ch;  // passes the decoder unchanged and leaves the key alone
      continue;
    }
    int c = p + key;
    if (c > 126) c -= 95;
    body += static_cast<char>(c);
    key = (p + key) % 32;
  }
  // The decoder finds the key first in texts of two or three bytes, third otherwise.
  if (body.size() + 1 < 4) return key_byte + body;
  return body.substr(0, 2) + key_byte + body.substr(2);
}

}  // namespace volantis::race_server
