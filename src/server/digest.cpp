#include "server/digest.h"

#include <cstring>
#include <vector>

#include "platform/cancel_signal.h"
#include "platform/text_format.h"

namespace volantis {

namespace {

constexpr std::size_t kBlockSize = 64;

inline uint32_t Rotl(uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }

inline uint32_t LoadLittleEndian(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}

inline void StoreLittleEndian(uint8_t* p, uint32_t value) {
  p[0] = static_cast<uint8_t>(value);
  p[1] = static_cast<uint8_t>(value >> 8);
  p[2] = static_cast<uint8_t>(value >> 16);
  p[3] = static_cast<uint8_t>(value >> 24);
}

inline uint32_t Choose(uint32_t b, uint32_t c, uint32_t d) { return d ^ (b & (c ^ d)); }
inline uint32_t Parity(uint32_t b, uint32_t c, uint32_t d) { return b ^ c ^ d; }
inline uint32_t Majority(uint32_t b, uint32_t c, uint32_t d) { return (b & c) | (d & (b | c)); }

// ShaDigest: the digest state over 64-byte blocks; DigestBuffer and DigestStream
// differ only in where the blocks come from.
class ShaDigest {
 public:
  void Block(const uint8_t* block);
  // Pads the last partial block (fewer than 64 bytes) and finishes.
  Digest Finish(const uint8_t* tail, std::size_t tail_length, uint64_t total_length);

 private:
  uint32_t h_[5] = {0x67452301u, 0xEFCDAB89u, 0x98BADCFEu, 0x10325476u, 0xC3D2E1F0u};
};

// Wt for t >= 16 overwrites W(t-16) in a ring of sixteen words, without rotation.
#define VOLANTIS_SCHEDULE(t) \
  (w[(t)&15] = w[((t) - 3) & 15] ^ w[((t) - 8) & 15] ^ w[((t) - 14) & 15] ^ w[(t)&15])
// One round with the roles of the five variables given explicitly; the caller
// rotates the names instead of moving values.
#define VOLANTIS_ROUND(a, b, c, d, e, f, k, wt) \
  do {                                          \
    e += Rotl(a, 5) + f(b, c, d) + (k) + (wt);  \
    b = Rotl(b, 30);                            \
  } while (0)
#define VOLANTIS_FIVE(t, f, k, w0, w1, w2, w3, w4)     \
  VOLANTIS_ROUND(a, b, c, d, e, f, k, w0((t) + 0)); \
  VOLANTIS_ROUND(e, a, b, c, d, f, k, w1((t) + 1)); \
  VOLANTIS_ROUND(d, e, a, b, c, f, k, w2((t) + 2)); \
  VOLANTIS_ROUND(c, d, e, a, b, f, k, w3((t) + 3)); \
  VOLANTIS_ROUND(b, c, d, e, a, f, k, w4((t) + 4))
#define VOLANTIS_LOADED(t) w[t]

void ShaDigest::Block(const uint8_t* block) {
  uint32_t w[16];
  for (int i = 0; i < 16; ++i) w[i] = LoadLittleEndian(block + 4 * i);
  uint32_t a = h_[0], b = h_[1], c = h_[2], d = h_[3], e = h_[4];

  constexpr uint32_t k1 = 0x5A827999u, k2 = 0x6ED9EBA1u, k3 = 0x8F1BBCDCu, k4 = 0xCA62C1D6u;
  VOLANTIS_FIVE(0, Choose, k1, VOLANTIS_LOADED, VOLANTIS_LOADED, VOLANTIS_LOADED, VOLANTIS_LOADED, VOLANTIS_LOADED);
  VOLANTIS_FIVE(5, Choose, k1, VOLANTIS_LOADED, VOLANTIS_LOADED, VOLANTIS_LOADED, VOLANTIS_LOADED, VOLANTIS_LOADED);
  VOLANTIS_FIVE(10, Choose, k1, VOLANTIS_LOADED, VOLANTIS_LOADED, VOLANTIS_LOADED, VOLANTIS_LOADED, VOLANTIS_LOADED);
  VOLANTIS_FIVE(15, Choose, k1, VOLANTIS_LOADED, VOLANTIS_SCHEDULE, VOLANTIS_SCHEDULE, VOLANTIS_SCHEDULE,
                VOLANTIS_SCHEDULE);
  VOLANTIS_FIVE(20, Parity, k2, VOLANTIS_SCHEDULE, VOLANTIS_SCHEDULE, VOLANTIS_SCHEDULE, VOLANTIS_SCHEDULE,
                VOLANTIS_SCHEDULE);
  VOLANTIS_FIVE(25, Parity, k2, VOLANTIS_SCHEDULE, VOLANTIS_SCHEDULE, VOLANTIS_SCHEDULE, VOLANTIS_SCHEDULE,
                VOLANTIS_SCHEDULE);
  VOLANTIS_FIVE(30, Parity, k2, VOLANTIS_SCHEDULE, VOLANTIS_SCHEDULE, VOLANTIS_SCHEDULE, VOLANTIS_SCHEDULE,
                VOLANTIS_SCHEDULE);
  VOLANTIS_FIVE(35, Parity, k2, VOLANTIS_SCHEDULE, VOLANTIS_SCHEDULE, VOLANTIS_SCHEDULE, VOLANTIS_SCHEDULE,
                VOLANTIS_SCHEDULE);
  VOLANTIS_FIVE(40, Majority, k3, VOLANTIS_SCHEDULE, VOLANTIS_SCHEDULE, VOLANTIS_SCHEDULE, VOLANTIS_SCHEDULE,
                VOLANTIS_SCHEDULE);
  VOLANTIS_FIVE(45, Majority, k3, VOLANTIS_SCHEDULE, VOLANTIS_SCHEDULE, VOLANTIS_SCHEDULE, VOLANTIS_SCHEDULE,
                VOLANTIS_SCHEDULE);
  VOLANTIS_FIVE(50, Majority, k3, VOLANTIS_SCHEDULE, VOLANTIS_SCHEDULE, VOLANTIS_SCHEDULE, VOLANTIS_SCHEDULE,
                VOLANTIS_SCHEDULE);
  VOLANTIS_FIVE(55, Majority, k3, VOLANTIS_SCHEDULE, VOLANTIS_SCHEDULE, VOLANTIS_SCHEDULE, VOLANTIS_SCHEDULE,
                VOLANTIS_SCHEDULE);
  VOLANTIS_FIVE(60, Parity, k4, VOLANTIS_SCHEDULE, VOLANTIS_SCHEDULE, VOLANTIS_SCHEDULE, VOLANTIS_SCHEDULE,
                VOLANTIS_SCHEDULE);
  VOLANTIS_FIVE(65, Parity, k4, VOLANTIS_SCHEDULE, VOLANTIS_SCHEDULE, VOLANTIS_SCHEDULE, VOLANTIS_SCHEDULE,
                VOLANTIS_SCHEDULE);
  VOLANTIS_FIVE(70, Parity, k4, VOLANTIS_SCHEDULE, VOLANTIS_SCHEDULE, VOLANTIS_SCHEDULE, VOLANTIS_SCHEDULE,
                VOLANTIS_SCHEDULE);
  VOLANTIS_FIVE(75, Parity, k4, VOLANTIS_SCHEDULE, VOLANTIS_SCHEDULE, VOLANTIS_SCHEDULE, VOLANTIS_SCHEDULE,
                VOLANTIS_SCHEDULE);

  h_[0] += a;
  h_[1] += b;
  h_[2] += c;
  h_[3] += d;
  h_[4] += e;
}

#undef VOLANTIS_LOADED
#undef VOLANTIS_FIVE
#undef VOLANTIS_ROUND
#undef VOLANTIS_SCHEDULE

Digest ShaDigest::Finish(const uint8_t* tail, std::size_t tail_length, uint64_t total_length) {
  // The data's last bytes, 0x80, zeros to 56 modulo 64, then the bit count as a
  // high and a low word, each least significant byte first.
  uint8_t last[2 * kBlockSize] = {};
  if (tail_length > 0) std::memcpy(last, tail, tail_length);
  last[tail_length] = 0x80;
  std::size_t padded = tail_length + 9 <= kBlockSize ? kBlockSize : 2 * kBlockSize;
  uint64_t bits = total_length * 8;
  StoreLittleEndian(last + padded - 8, static_cast<uint32_t>(bits >> 32));
  StoreLittleEndian(last + padded - 4, static_cast<uint32_t>(bits));
  for (std::size_t offset = 0; offset < padded; offset += kBlockSize) Block(last + offset);
  return Digest{h_[0], h_[1], h_[2], h_[3], h_[4]};
}

}  // namespace

Digest DigestBuffer(const void* data, int32_t length) {
  const auto* bytes = static_cast<const uint8_t*>(data);
  std::size_t remaining = length > 0 ? static_cast<std::size_t>(length) : 0;
  const uint64_t total = remaining;
  ShaDigest sha;
  while (remaining >= kBlockSize) {
    sha.Block(bytes);
    bytes += kBlockSize;
    remaining -= kBlockSize;
  }
  return sha.Finish(bytes, remaining, total);
}

namespace {

static_assert(kDigestReadSize % kBlockSize == 0, "a full read holds whole blocks");

// The stream from its position to its end, kDigestReadSize bytes per read (a
// short read ends the data); false, with nothing more read, once stop() says
// so before a read.
template <typename Stop>
bool DigestReads(std::FILE* stream, Stop stop, Digest* digest) {
  ShaDigest sha;
  std::vector<uint8_t> chunk(kDigestReadSize);
  uint64_t total = 0;
  std::size_t tail_offset = 0;
  std::size_t tail_length = 0;
  while (stream != nullptr) {
    if (stop()) return false;
    const std::size_t got = std::fread(chunk.data(), 1, chunk.size(), stream);
    total += got;
    const std::size_t whole = got / kBlockSize * kBlockSize;
    for (std::size_t at = 0; at < whole; at += kBlockSize) sha.Block(chunk.data() + at);
    if (got < chunk.size()) {
      tail_offset = whole;
      tail_length = got - whole;
      break;
    }
  }
  *digest = sha.Finish(chunk.data() + tail_offset, tail_length, total);
  return true;
}

}  // namespace

Digest DigestStream(std::FILE* stream) {
  Digest digest;
  DigestReads(stream, [] { return false; }, &digest);
  return digest;
}

bool DigestStreamUnlessCancelled(std::FILE* stream, const CancelSignal& cancel, Digest* digest) {
  return DigestReads(stream, [&cancel] { return cancel.cancelled(); }, digest);
}

std::string ValidationCodeText(const std::string& server_code, const std::string& version,
                               const std::string& player_name) {
  return FormatText("%s-%s-%s", server_code.c_str(), version.c_str(), player_name.c_str());
}

std::string FormatValidationCode(const Digest& digest) {
  return FormatText("%lu-%lu-%lu-%lu-%lu", static_cast<unsigned long>(digest.h0),
                    static_cast<unsigned long>(digest.h1), static_cast<unsigned long>(digest.h2),
                    static_cast<unsigned long>(digest.h3), static_cast<unsigned long>(digest.h4));
}

std::string ValidationCode(const std::string& server_code, const std::string& version,
                           const std::string& player_name) {
  std::string text = ValidationCodeText(server_code, version, player_name);
  return FormatValidationCode(DigestBuffer(text.data(), static_cast<int32_t>(text.size())));
}

}  // namespace volantis
