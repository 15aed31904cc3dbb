#pragma once
// The 160-bit digest that proves a flight-model file is the reference one and
// signs every validation report and results submission. It is the first
// published Secure Hash Algorithm (no rotation in the message schedule) with
// little-endian words, so stored reference values and the race server depend on
// every bit of it; no library hash can stand in for it.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace volantis {

class CancelSignal;

struct Digest {
  uint32_t h0 = 0;
  uint32_t h1 = 0;
  uint32_t h2 = 0;
  uint32_t h3 = 0;
  uint32_t h4 = 0;
  bool operator==(const Digest& other) const {
    return h0 == other.h0 && h1 == other.h1 && h2 == other.h2 && h3 == other.h3 && h4 == other.h4;
  }
  bool operator!=(const Digest& other) const { return !(*this == other); }
};

// The digest of exactly length bytes (a negative length counts as 0).
Digest DigestBuffer(const void* data, int32_t length);
// Bytes per read of a stream: whole blocks, so a file of any size is read in
// few calls and nothing is held whole.
inline constexpr std::size_t kDigestReadSize = 64 * 1024;
// Reads an open binary stream from its position to its end, kDigestReadSize
// bytes per read (a short read ends the data). The caller closes the stream.
Digest DigestStream(std::FILE* stream);
// The same, looking at cancel before each read: false, with nothing more read,
// once it is set (the module is ending).
bool DigestStreamUnlessCancelled(std::FILE* stream, const CancelSignal& cancel, Digest* digest);

// The code text "%s-%s-%s": server code exactly as received, version, player name
// as stored (not encoded).
std::string ValidationCodeText(const std::string& server_code, const std::string& version,
                               const std::string& player_name);
// The five words in decimal, "%lu-%lu-%lu-%lu-%lu".
std::string FormatValidationCode(const Digest& digest);
// FormatValidationCode of DigestBuffer over ValidationCodeText.
std::string ValidationCode(const std::string& server_code, const std::string& version,
                           const std::string& player_name);

}  // namespace volantis
