// A built Volantis.dll cut short or with its tables scribbled over: the checker
// says what is wrong and never reads outside the bytes it was given (the native
// tests run under AddressSanitizer).
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

#include "built_module.h"
#include "module_image_check.h"
#include "module_locations.h"
#include "pe_image.h"

namespace volantis::pecheck::testing {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

const Section& SectionNamed(const PeImage& image, const std::string& name) {
  for (const Section& s : image.sections()) {
    if (s.name == name) return s;
  }
  throw std::runtime_error("no section " + name);
}

TEST_F(BuiltModuleTest, CutHeadersGiveOneLineSayingWhere) {
  const size_t coff = CoffHeaderOffset(Bytes());
  struct Cut {
    size_t size;
    std::string problem;
  };
  const Cut cuts[] = {
      {0, "the file (0 bytes) ends inside the DOS header (64 bytes at 0x0)"},
      {0x3f, "ends inside the DOS header"},
      {coff - 2, "ends inside the PE signature"},
      {coff + 10, "ends inside the COFF header"},
      {coff + 20 + 100, "ends inside the optional header"},
      {coff + 20 + 224 + 60, "ends inside the section table"},
  };
  for (const Cut& cut : cuts) {
    SCOPED_TRACE("cut to " + std::to_string(cut.size) + " bytes");
    const std::vector<uint8_t> bytes(Bytes().begin(), Bytes().begin() + static_cast<std::ptrdiff_t>(cut.size));
    EXPECT_THAT(CheckModuleImage(bytes), ElementsAre(HasSubstr(cut.problem)));
  }
}

TEST_F(BuiltModuleTest, CutSectionsAreReportedAndWhatIsLeftStillChecked) {
  std::string error;
  const auto image = PeImage::Parse(Bytes(), &error);
  ASSERT_TRUE(image) << error;
  const Section& resources = SectionNamed(*image, ".rsrc");

  const std::vector<uint8_t> in_resources(Bytes().begin(),
                                          Bytes().begin() + resources.raw_offset + resources.raw_size / 2);
  const auto problems = CheckModuleImage(in_resources);
  EXPECT_THAT(problems, Contains(HasSubstr("section .rsrc: its data (")));
  EXPECT_THAT(problems, Contains(HasSubstr("runs past the end of the file")));
  // The records and imports come before the resources and are still read.
  EXPECT_THAT(problems, Not(Contains(HasSubstr("export"))));
  EXPECT_THAT(problems, Not(Contains(HasSubstr("import"))));

  // Cut one byte before the end of the last section's data (whatever follows
  // it, such as a symbol table, goes too).
  const Section& last = image->sections().back();
  const std::vector<uint8_t> one_short(Bytes().begin(), Bytes().begin() + last.raw_offset + last.raw_size - 1);
  EXPECT_THAT(CheckModuleImage(one_short), ElementsAre(HasSubstr("runs past the end of the file")));
}

TEST_F(BuiltModuleTest, ScribbledTablesNeverLeadOutsideTheFile) {
  std::vector<uint8_t> bytes = Bytes();
  std::string error;
  const auto image = PeImage::Parse(Bytes(), &error);
  ASSERT_TRUE(image) << error;
  struct Range {
    size_t offset;
    size_t size;
  };
  std::vector<Range> ranges = {{0, image->sections().front().raw_offset}};
  for (size_t directory : {kExportDirectory, kImportDirectory, kResourceDirectory}) {
    const DataDirectory d = image->directory(directory);
    const auto offset = image->RvaToOffset(d.rva, 1);
    ASSERT_TRUE(offset) << "directory " << directory;
    ranges.push_back({*offset, std::min<size_t>(d.size, 0x200)});
  }
  // Every line the checker gives stays one printable line, whatever it read.
  size_t checks = 0;
  size_t bad_lines = 0;
  std::string first_bad;
  for (const Range& range : ranges) {
    for (size_t at = range.offset; at < range.offset + range.size; ++at) {
      const uint8_t original = bytes[at];
      for (uint8_t value : {0x00, 0x7F, 0x80, 0xFF}) {
        bytes[at] = value;
        for (const std::string& line : CheckModuleImage(bytes)) {
          const bool printable = !line.empty() && std::all_of(line.begin(), line.end(), [](char c) {
            return static_cast<unsigned char>(c) >= 0x20 && static_cast<unsigned char>(c) < 0x7f;
          });
          if (!printable && bad_lines++ == 0)
            first_bad = "byte " + std::to_string(at) + " set to " + std::to_string(value) + ": \"" + line + "\"";
        }
        ++checks;
      }
      bytes[at] = original;
    }
  }
  EXPECT_EQ(bad_lines, 0u) << "over " << checks << " damaged copies; the first: " << first_bad;
}

}  // namespace
}  // namespace volantis::pecheck::testing
