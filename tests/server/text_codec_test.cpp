#include "server/text_codec.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace volantis {
namespace {

struct UrlCase {
  const char* name;
  std::string input;
  std::string expected;
};

TEST(UrlEncodeTest, EncodesReservedAndUnprintableBytesOnly) {
  const UrlCase cases[] = {
      {"space becomes plus, a plus sign is escaped", "Ann Lee+1", "Ann+Lee%2B1"},
      {"plus signs only", "++", "%2B%2B"},
      {"slash and question mark", "a/b?c", "a%2Fb%3Fc"},
      {"high byte", "\xE9", "%E9"},
      {"tab", "\t", "%09"},
      {"percent", "%", "%25"},
      {"delete", "\x7F", "%7F"},
      {"zero byte", std::string("a\0b", 3), "a%00b"},
      {"every reserved character", ";/?:@&=\"#%<>!*'(),\\",
       "%3B%2F%3F%3A%40%26%3D%22%23%25%3C%3E%21%2A%27%28%29%2C%5C"},
      {"unreserved punctuation", "-._~$[]{}|^`", "-._~$[]{}|^`"},
      {"empty", "", ""},
      {"line feed", "a\nb", "a%0Ab"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(UrlEncode(c.input), c.expected) << c.name;
  }
}

TEST(UrlEncodeTest, EveryByteRoundTripsThroughPercentDecoding) {
  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  std::string encoded = UrlEncode(all);
  std::string decoded;
  for (std::size_t i = 0; i < encoded.size(); ++i) {
    if (encoded[i] == '+') {
      decoded += ' ';
    } else if (encoded[i] == '%') {
      ASSERT_LE(i + 2, encoded.size() - 1);
      decoded += static_cast<char>(std::stoi(encoded.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else {
      ASSERT_GE(static_cast<unsigned char>(encoded[i]), 0x21);
      ASSERT_LE(static_cast<unsigned char>(encoded[i]), 0x7E);
      decoded += encoded[i];
    }
  }
  // Decoded the way a server reads a query value ("+" a space), every byte comes
  // back as it was, the plus sign included.
  EXPECT_EQ(decoded, all);
}

struct SplitCase {
  const char* name;
  const char* separators;
  std::string text;
  bool keep_empty;
  int32_t max_entries;
  std::vector<std::string> expected;
};

TEST(SplitStringTest, SplitsAsWritten) {
  const SplitCase cases[] = {
      {"empty text", ";", "", true, -1, {}},
      {"no separator", ";", "abc", false, -1, {"abc"}},
      {"drops empty fields", ";", "laps=3;;gate=x;", false, -1, {"laps=3", "gate=x"}},
      {"keeps empty fields", ";", "laps=3;;gate=x;", true, -1, {"laps=3", "", "gate=x", ""}},
      {"leading separator kept empty", ",", ",a", true, -1, {"", "a"}},
      {"only separators", ",", ",,", false, -1, {}},
      {"only separators kept", ",", ",,", true, -1, {"", "", ""}},
      {"six of six", ",", "1,2,3,4,5,6", false, 6, {"1", "2", "3", "4", "5", "6"}},
      {"seventh glued on", ",", "1,2,3,4,5,6,7", false, 6, {"1", "2", "3", "4", "5", "67"}},
      {"rest glued with separators", ",", "1,2,3,4,5,6,7,8", false, 6, {"1", "2", "3", "4", "5", "67,8"}},
      {"trailing separator at the maximum", ",", "1,2,", true, 2, {"1", "2"}},
      {"trailing separator below the maximum", ",", "1,2,", true, 3, {"1", "2", ""}},
      {"maximum zero", ",", "1,2", false, 0, {}},
      {"maximum one", ",", "1,2,3", false, 1, {"12,3"}},
      {"several separators", ",;", "a,b;c", false, -1, {"a", "b", "c"}},
      {"zero byte is ordinary", ";", std::string("a\0b;c", 5), false, -1, {std::string("a\0b", 3), "c"}},
  };
  for (const auto& c : cases) {
    std::vector<std::string> entries = {"stale"};
    int32_t count = SplitString(c.separators, c.text, entries, c.keep_empty, c.max_entries);
    EXPECT_EQ(entries, c.expected) << c.name;
    EXPECT_EQ(count, static_cast<int32_t>(entries.size())) << c.name;
  }
}

TEST(DecodeServerDataTest, ShortInputs) {
  EXPECT_EQ(DecodeServerData(""), "");
  EXPECT_EQ(DecodeServerData("x"), "");
  // Two or three characters: the first is the key. Key '!' (33): 'b' (98) - 33 = 65 'A',
  // then the key becomes (65 + 33) % 32 = 2 and 'D' (68) - 2 = 66 'B'.
  EXPECT_EQ(DecodeServerData("!b"), "A");
  EXPECT_EQ(DecodeServerData("!bD"), "AB");
}

TEST(DecodeServerDataTest, LongerInputUsesThirdCharacterAsKey) {
  // Key ' ' (32) sits third. 'a' - 32 = 65 'A', key (65 + 32) % 32 = 1;
  // 'C' - 1 = 66 'B', key (66 + 1) % 32 = 3; 'F' - 3 = 67 'C'.
  EXPECT_EQ(DecodeServerData("aC F"), "ABC");
}

TEST(DecodeServerDataTest, WrapsBelowSpaceAndPassesUnprintableBytes) {
  // Key 'z' (122): '!' (33) - 122 = -89, below 32, + 95 = 6: wrapped once only, the
  // byte 6 comes out as computed.
  std::string out = DecodeServerData("!!z!");
  ASSERT_EQ(out.size(), 3u);
  EXPECT_EQ(static_cast<unsigned char>(out[0]), 6);
  // A line feed and a high byte pass unchanged and leave the key alone.
  std::string mixed = DecodeServerData(std::string("\n\xE9 a", 4));
  ASSERT_EQ(mixed.size(), 3u);
  EXPECT_EQ(mixed[0], '\n');
  EXPECT_EQ(mixed[1], '\xE9');
  EXPECT_EQ(mixed[2], 'A');
}

}  // namespace
}  // namespace volantis
