// The sounds the build generates for the module: RIFF WAVE files of
// uncompressed 16-bit PCM at the rate, channel count and length each is
// promised with, audible, and without a click at either end.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

struct WaveInfo {
  bool ok = false;
  std::string error;
  uint16_t format = 0;
  uint16_t channels = 0;
  uint32_t rate = 0;
  uint32_t byte_rate = 0;
  uint16_t block_align = 0;
  uint16_t bits = 0;
  std::vector<int16_t> samples;  // interleaved
};

uint32_t U32(const std::vector<uint8_t>& b, size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}
uint16_t U16(const std::vector<uint8_t>& b, size_t at) { return static_cast<uint16_t>(b[at] | (b[at + 1] << 8)); }

// Walks the chunks rather than assuming a fixed header layout.
WaveInfo ReadWave(const std::string& path) {
  WaveInfo info;
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    info.error = "cannot open " + path;
    return info;
  }
  std::vector<uint8_t> b((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  if (b.size() < 12 || std::string(b.begin(), b.begin() + 4) != "RIFF" ||
      std::string(b.begin() + 8, b.begin() + 12) != "WAVE") {
    info.error = "not a RIFF WAVE file";
    return info;
  }
  if (U32(b, 4) != b.size() - 8) {
    info.error = "RIFF size does not match the file";
    return info;
  }
  bool have_format = false, have_data = false;
  for (size_t at = 12; at + 8 <= b.size();) {
    const std::string id(b.begin() + at, b.begin() + at + 4);
    const uint32_t size = U32(b, at + 4);
    if (at + 8 + size > b.size()) {
      info.error = "chunk " + id + " runs past the end";
      return info;
    }
    if (id == "fmt " && size >= 16) {
      info.format = U16(b, at + 8);
      info.channels = U16(b, at + 10);
      info.rate = U32(b, at + 12);
      info.byte_rate = U32(b, at + 16);
      info.block_align = U16(b, at + 20);
      info.bits = U16(b, at + 22);
      have_format = true;
    } else if (id == "data") {
      for (size_t i = 0; i + 1 < size; i += 2) info.samples.push_back(static_cast<int16_t>(U16(b, at + 8 + i)));
      have_data = true;
    }
    at += 8 + size + (size & 1);
  }
  if (!have_format || !have_data) {
    info.error = "fmt or data chunk missing";
    return info;
  }
  info.ok = true;
  return info;
}

TEST(WaveResources, FormatRateChannelsAndLength) {
  struct Case {
    const char* name;
    uint32_t rate;
    uint16_t channels;
    double seconds;
  } cases[] = {
      {"WAVE_VALIDATE_START", 11025, 1, 0.98},
      {"WAVE_VALIDATE_SEND_ERROR", 11025, 1, 1.48},
      {"WAVE_VALIDATE_ERROR", 11025, 1, 1.48},
      {"WAVE_VALIDATE_OK", 11025, 1, 3.41},
      {"WAVE_VALIDATE_OK_RACE_STARTED", 11025, 1, 3.00},
      {"WAVE_GATE_CROSSED_DING", 22050, 2, 0.92},
      {"WAVE_GATE_SKIPPED_CHORD", 22050, 2, 1.10},
      {"WAVE_RACE_FINISHED", 11025, 1, 1.07},
      {"WAVE_RACE_RESULTS_OK", 11025, 1, 1.89},
      {"WAVE_RACE_RESULTS_ERROR", 11025, 1, 1.81},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const WaveInfo wave = ReadWave(std::string(VOLANTIS_GENERATED_DIR) + "/" + c.name + ".wav");
    ASSERT_TRUE(wave.ok) << wave.error;
    EXPECT_EQ(wave.format, 1) << "uncompressed PCM";
    EXPECT_EQ(wave.bits, 16);
    EXPECT_EQ(wave.channels, c.channels);
    EXPECT_EQ(wave.rate, c.rate);
    EXPECT_EQ(wave.block_align, 2 * c.channels);
    EXPECT_EQ(wave.byte_rate, c.rate * 2 * c.channels);
    ASSERT_EQ(wave.samples.size() % c.channels, 0u);
    const double seconds = static_cast<double>(wave.samples.size() / c.channels) / c.rate;
    EXPECT_NEAR(seconds, c.seconds, 0.005);

    int peak = 0;
    for (int16_t s : wave.samples) peak = std::max(peak, std::abs(static_cast<int>(s)));
    EXPECT_GT(peak, 3000) << "audible";
    EXPECT_LT(peak, 32767) << "not clipped";
    for (uint16_t ch = 0; ch < c.channels; ++ch) {
      EXPECT_LT(std::abs(wave.samples[ch]), 500) << "starts without a click";
      EXPECT_LT(std::abs(wave.samples[wave.samples.size() - c.channels + ch]), 500) << "ends without a click";
    }
  }
}

}  // namespace
