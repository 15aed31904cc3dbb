// Our own profile reader, on its own: the reading rules the configuration checks
// rely on. (The Windows half also compares it with the system's reader answer
// for answer; see profile_differential_test.cpp.)
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/file_system.h"
#include "platform/parsed_profile_reader.h"
#include "platform/profile_parser.h"
#include "validation_fakes.h"

namespace volantis {
namespace {

std::string Value(const std::string& file, const char* section, const char* key, uint32_t size = 1000,
                  uint32_t* length = nullptr) {
  ProfileDocument document(file);
  std::vector<char> buffer(size + 4, '\x7F');
  uint32_t got = document.Read(section, key, buffer.data(), size);
  if (length != nullptr) *length = got;
  return std::string(buffer.data());
}

TEST(ProfileDocument, ReadsValuesByTheHostRules) {
  struct Case {
    const char* name;
    const char* file;
    const char* section;
    const char* key;
    const char* value;
  } const cases[] = {
      {"plain", "[a]\nk=v\n", "a", "k", "v"},
      {"names ignore case", "[Flight_Tuning]\nCRUISE=1.0\n", "FLIGHT_tuning", "cruise", "1.0"},
      {"Windows-1252 letters fold", "[\xC9T\xC9]\n\xC0=1\n", "\xE9t\xE9", "\xE0", "1"},
      {"blanks around trimmed", "  [a]  \n \t k \t =  v w \t\r\n", "a", "k", "v w"},
      {"query blanks trimmed", "[a]\nk=v\n", " a\t", " k ", "v"},
      {"first key wins", "[a]\nk=1\nK=2\n", "a", "k", "1"},
      {"first section of a name only", "[a]\nx=1\n[A]\nk=2\n", "a", "k", ""},
      {"comment after value kept", "[a]\nk=1.0 ; c\n", "a", "k", "1.0 ; c"},
      {"outer double quotes go", "[a]\nk=\"1.0\"\n", "a", "k", "1.0"},
      {"outer single quotes go", "[a]\nk='x y'\n", "a", "k", "x y"},
      {"unmatched quotes stay", "[a]\nk=\"1.0'\n", "a", "k", "\"1.0'"},
      {"lone quote stays", "[a]\nk=\"\n", "a", "k", "\""},
      {"line without equals is no value", "[a]\nk\n", "a", "k", ""},
      {"second equals belongs to value", "[a]\nk==x\n", "a", "k", "=x"},
      {"missing key", "[a]\nk=v\n", "a", "other", ""},
      {"missing section", "[a]\nk=v\n", "b", "k", ""},
      {"CR only line ends", "[a]\rk=v\rj=w\r", "a", "j", "w"},
      {"header up to the last bracket", "[a]b]\nk=v\n", "a]b", "k", "v"},
      {"unclosed header is a key", "[a]\n[b\nk=v\n", "a", "k", "v"},
      {"keys before any section", "k=v\n[a]\n", "", "k", "v"},
      {"Ctrl-Z is a blank", "[a]\nk=v\x1a\n", "a", "k", "v"},
      {"UTF-8 marked file", "\xEF\xBB\xBF[a]\nk=caf\xC3\xA9 \xE2\x82\xAC\n", "a", "k", "caf\xE9 \x80"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Value(c.file, c.section, c.key), c.value) << c.name;
  }
  EXPECT_EQ(Value(std::string("[a]\nk=ab\0cd\n", 12), "a", "k"), "ab");
}

TEST(ProfileDocument, CutsValuesToTheBufferAndReturnsTheLength) {
  uint32_t length = 0;
  EXPECT_EQ(Value("[a]\nk=abcdef\n", "a", "k", 4, &length), "abc");
  EXPECT_EQ(length, 3u);
  EXPECT_EQ(Value("[a]\nk=abcdef\n", "a", "k", 1, &length), "");
  EXPECT_EQ(length, 0u);
  std::string long_title(150, 't');
  EXPECT_EQ(Value("[fltsim.0]\ntitle=" + long_title + "\n", "fltsim.0", "title", 100, &length),
            long_title.substr(0, 99));
  EXPECT_EQ(length, 99u);
  // A quoted value that just fills the buffer loses one more character, as the host's reader does.
  EXPECT_EQ(Value("[a]\nk=\"abcd\"\n", "a", "k", 5, &length), "abc");
  EXPECT_EQ(Value("[a]\nk=\"abcd\"\n", "a", "k", 6, &length), "abcd");
  EXPECT_EQ(Value("[a]\nk=\"abcd\"\n", "a", "k", 4, &length), "abc");
  EXPECT_EQ(Value("[a]\nk=\"abcd\"\n", "a", "k", 3, &length), "ab");
}

TEST(ProfileDocument, ListsSectionNamesInFileOrderAndCutsTheList) {
  ProfileDocument document("k=top\n[fltsim.0]\n[General]\n[FLTSIM.0]\n[x]\n");
  char buffer[64];
  uint32_t length = document.Read(nullptr, nullptr, buffer, sizeof buffer);
  EXPECT_EQ(std::string(buffer, length + 1), std::string("fltsim.0\0General\0FLTSIM.0\0x\0\0", 29));
  EXPECT_EQ(length, 28u);

  // Cut: size - 2 returned, the last name cut short and the list closed.
  length = document.Read(nullptr, nullptr, buffer, 14);
  EXPECT_EQ(length, 12u);
  EXPECT_EQ(std::string(buffer, 13), std::string("fltsim.0\0Gen\0", 13));

  std::string many;
  for (int i = 0; i < 3000; ++i) many += "[fltsim." + std::to_string(i) + "]\ntitle=t\n";
  ParsedProfileReader reader(SystemFileSystem());
  testing::StandInSim sim;
  std::string path = testing::HostPath(sim.root() / "many.cfg");
  testing::WriteFile(path, many);
  std::vector<std::string> names = ReadProfileSectionNames(reader, path, 10000);
  ASSERT_FALSE(names.empty());
  EXPECT_EQ(names.front(), "fltsim.0");
  std::size_t listed = 0;
  for (const std::string& name : names) listed += name.size() + 1;
  EXPECT_LE(listed, 9999u) << "nothing beyond the 10000-byte list is seen";
  EXPECT_LT(names.size(), 3000u);
}

TEST(ParsedProfileReader, ParsesEachFileOnceUntilToldToForget) {
  testing::StandInSim sim;
  std::string path = testing::HostPath(sim.root() / "cached.cfg");
  testing::WriteFile(path, "[a]\nk=1\n");
  ParsedProfileReader reader(SystemFileSystem());
  for (int i = 0; i < 50; ++i) EXPECT_EQ(ReadProfileValue(reader, path, "a", "k", 1000), "1");
  EXPECT_EQ(reader.parse_count(), 1);
  testing::WriteFile(path, "[a]\nk=2\n");
  EXPECT_EQ(ReadProfileValue(reader, path, "a", "k", 1000), "1");
  reader.ForgetFiles();
  EXPECT_EQ(ReadProfileValue(reader, path, "a", "k", 1000), "2");
  EXPECT_EQ(ReadProfileValue(reader, path + "missing", "a", "k", 1000), "");
}

}  // namespace
}  // namespace volantis
