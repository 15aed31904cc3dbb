#include "server/digest.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/cancel_signal.h"

namespace volantis {
namespace {

std::vector<uint8_t> Pattern(std::size_t length) {
  std::vector<uint8_t> bytes(length);
  for (std::size_t i = 0; i < length; ++i) bytes[i] = static_cast<uint8_t>(i * 7 + 3);
  return bytes;
}

Digest OfBuffer(const std::vector<uint8_t>& bytes) {
  return DigestBuffer(bytes.data(), static_cast<int32_t>(bytes.size()));
}

// Reference values from an independent straight-line implementation of the
// same algorithm; the lengths cover every way the padding can fall.
TEST(DigestTest, KnownAnswersAndEveryPaddingCase) {
  struct Case {
    std::size_t length;
    Digest expected;
  };
  const Case cases[] = {
      {55, {0xDA80B91Cu, 0xB408E3B4u, 0x2FBA7CA0u, 0x7FFDE1D2u, 0xE3101A2Au}},
      {56, {0x6E1845C7u, 0xE93C0D1Eu, 0x2441DD63u, 0x625F6C94u, 0xC291DA1Au}},
      {63, {0xFA1E7291u, 0xEEBD6F61u, 0x7AFA89CDu, 0xAFE9E1C3u, 0x44D00C1Fu}},
      {64, {0x16087D80u, 0xB0F0E213u, 0x14DC2194u, 0x2EB15ECDu, 0xC7057F77u}},
      {65, {0xD9D7B9F6u, 0x01F0C4C5u, 0x14D8198Au, 0xBFB5FBA5u, 0xA023CB04u}},
      {128, {0xEA29D73Eu, 0x71A5CAA6u, 0xF0FF7A90u, 0xC2B87252u, 0x94639B6Cu}},
      {1000, {0xE95FC73Bu, 0x2EBE40E7u, 0x7E482367u, 0x1B04375Fu, 0x1FD70F16u}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FormatValidationCode(OfBuffer(Pattern(c.length))), FormatValidationCode(c.expected))
        << c.length << " bytes";
  }
  const Digest abc = DigestBuffer("abc", 3);
  EXPECT_EQ(abc, (Digest{0xA4B16818u, 0x092988CCu, 0xCF171C4Eu, 0xE2CA9A26u, 0xEA0B8E7Fu}));
  EXPECT_EQ(FormatValidationCode(abc), "2763089944-153716940-3474398286-3804928550-3926625919");
  EXPECT_EQ(FormatValidationCode(DigestBuffer(nullptr, 0)), "2647995588-228602521-326405048-856001362-13516329");
  EXPECT_EQ(DigestBuffer("abc", -5), DigestBuffer(nullptr, 0));
}

TEST(DigestTest, StreamEqualsBufferFromTheCurrentPosition) {
  // Lengths about the padding cases and about the reads' size, where a block
  // or the tail straddles two reads.
  for (std::size_t length : {std::size_t{0}, std::size_t{1}, std::size_t{55}, std::size_t{56}, std::size_t{63},
                             std::size_t{64}, std::size_t{65}, std::size_t{127}, std::size_t{128}, std::size_t{4099},
                             kDigestReadSize - 1, kDigestReadSize, kDigestReadSize + 1, kDigestReadSize + 64,
                             3 * kDigestReadSize + 17}) {
    std::vector<uint8_t> bytes = Pattern(length + 10);
    std::FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fseek(file, 10, SEEK_SET);
    EXPECT_EQ(DigestStream(file), OfBuffer(std::vector<uint8_t>(bytes.begin() + 10, bytes.end()))) << length;
    std::fclose(file);
  }
}

TEST(DigestTest, TheCancelStopsTheReadingAndOtherwiseChangesNothing) {
  std::vector<uint8_t> bytes = Pattern(2 * kDigestReadSize + 5);
  std::FILE* file = std::tmpfile();
  ASSERT_NE(file, nullptr);
  std::fwrite(bytes.data(), 1, bytes.size(), file);
  std::rewind(file);
  CancelSignal running;
  Digest digest;
  ASSERT_TRUE(DigestStreamUnlessCancelled(file, running, &digest));
  EXPECT_EQ(digest, OfBuffer(bytes));
  std::rewind(file);
  CancelSignal ended;
  ended.Cancel();
  EXPECT_FALSE(DigestStreamUnlessCancelled(file, ended, &digest));
  EXPECT_EQ(std::ftell(file), 0) << "nothing is read once the cancel has come";
  std::fclose(file);
}

TEST(DigestTest, ValidationCodeTextKeepsLineFeedsAndSpaces) {
  EXPECT_EQ(ValidationCodeText("12345\n", "2.6", "Ann"), "12345\n-2.6-Ann");
  EXPECT_EQ(ValidationCode("12345\n", "2.6", "Ann"), "661902394-3949908490-1098796165-1429767285-289474182");
  // The player name enters with its space, not as the "+" of the query.
  EXPECT_EQ(ValidationCode("12345", "2.6", "Ann Lee"), "2251150340-3784980385-2092067059-3642123269-3777590317");
  EXPECT_NE(ValidationCode("12345", "2.6", "Ann Lee"), ValidationCode("12345", "2.6", "Ann+Lee"));
}

}  // namespace
}  // namespace volantis
