// Throughput of the validation digest against OpenSSL's SHA-1 over the same
// buffers, in one run. To compare against OpenSSL without its SHA instructions run
// with OPENSSL_ia32cap=":~0x20000000".
#include <benchmark/benchmark.h>
#include <openssl/evp.h>

#include <cstdint>
#include <vector>

#include "server/digest.h"

namespace {

std::vector<uint8_t> Data(std::size_t length) {
  std::vector<uint8_t> bytes(length);
  for (std::size_t i = 0; i < length; ++i) bytes[i] = static_cast<uint8_t>(i * 131 + 17);
  return bytes;
}

void BM_ValidationDigest(benchmark::State& state) {
  const auto bytes = Data(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) {
    volantis::Digest digest = volantis::DigestBuffer(bytes.data(), static_cast<int32_t>(bytes.size()));
    benchmark::DoNotOptimize(digest);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

void BM_OpenSslSha1(benchmark::State& state) {
  const auto bytes = Data(static_cast<std::size_t>(state.range(0)));
  unsigned char out[EVP_MAX_MD_SIZE];
  unsigned int out_length = 0;
  const EVP_MD* sha1 = EVP_sha1();
  for (auto _ : state) {
    EVP_Digest(bytes.data(), bytes.size(), out, &out_length, sha1, nullptr);
    benchmark::DoNotOptimize(out);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

// A code text (about 30 bytes), a typical flight-model file, and a large buffer.
BENCHMARK(BM_ValidationDigest)->Arg(32)->Arg(16 << 10)->Arg(1 << 20);
BENCHMARK(BM_OpenSslSha1)->Arg(32)->Arg(16 << 10)->Arg(1 << 20);

}  // namespace
