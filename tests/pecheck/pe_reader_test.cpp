// The PE reader on small hand-made files: it rejects damaged headers with a
// reason, maps RVAs only to bytes the file has, and reads exports, imports and
// the resource tree without stepping outside the buffer however the tables lie.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "pe_exports.h"
#include "pe_image.h"
#include "pe_imports.h"
#include "pe_resources.h"
#include "tiny_pe.h"

namespace volantis::pecheck {
namespace {

using testing::BuildTinyPe;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;
using testing::Put16;
using testing::Put32;
using testing::PutText;
using testing::TinyPe;
using testing::TinySection;

// One data section at 0x1000 (0x200 bytes from the file, 0x400 in the image)
// and one code section at 0x2000.
TinyPe TwoSections() {
  TinyPe pe;
  TinySection data{".data", 0x1000, 0x400, std::vector<uint8_t>(0x200, 0xAA)};
  TinySection code{".text", 0x2000, 0, std::vector<uint8_t>(0x200, 0xCC), 0x60000020};
  pe.sections = {data, code};
  return pe;
}

PeImage ParseOrDie(const std::vector<uint8_t>& bytes) {
  std::string error;
  auto image = PeImage::Parse(bytes, &error);
  if (!image) throw std::runtime_error("parse failed: " + error);
  return *image;
}

struct HeaderCase {
  const char* name;
  std::function<void(std::vector<uint8_t>*)> damage;
  const char* error;
};

class DamagedHeaders : public ::testing::TestWithParam<HeaderCase> {};

TEST_P(DamagedHeaders, AreRejectedWithTheReason) {
  std::vector<uint8_t> bytes = BuildTinyPe(TwoSections());
  GetParam().damage(&bytes);
  std::string error;
  EXPECT_FALSE(PeImage::Parse(bytes, &error).has_value());
  EXPECT_THAT(error, HasSubstr(GetParam().error));
}

INSTANTIATE_TEST_SUITE_P(
    Reader, DamagedHeaders,
    ::testing::Values(HeaderCase{"Empty", [](auto* b) { b->clear(); }, "the file (0 bytes) ends inside the DOS header"},
                      HeaderCase{"NoMz", [](auto* b) { (*b)[0] = 'Z'; }, "no \"MZ\""},
                      HeaderCase{"SignatureBeyondTheEnd", [](auto* b) { Put32(b, 0x3c, 0xFFFFFFFE); },
                                 "ends inside the PE signature (4 bytes at 0xfffffffe)"},
                      HeaderCase{"WrongSignature", [](auto* b) { (*b)[testing::kTinyPeSignature + 1] = 'X'; },
                                 "no \"PE\\0\\0\" signature at 0x40"},
                      HeaderCase{"CutInCoffHeader", [](auto* b) { b->resize(testing::kTinyCoffHeader + 10); },
                                 "ends inside the COFF header"},
                      HeaderCase{"CutInOptionalHeader", [](auto* b) { b->resize(testing::kTinyOptionalHeader + 100); },
                                 "ends inside the optional header (224 bytes"},
                      HeaderCase{"UnknownMagic", [](auto* b) { Put16(b, testing::kTinyOptionalHeader, 0x107); },
                                 "unknown optional header magic 0x107"},
                      HeaderCase{"OptionalHeaderTooShortForDirectories",
                                 [](auto* b) { Put16(b, testing::kTinyCoffHeader + 16, 64); },
                                 "optional header is too short"},
                      HeaderCase{"SectionCountPastTheEnd",
                                 [](auto* b) { Put16(b, testing::kTinyCoffHeader + 2, 0xFFFF); },
                                 "ends inside the section table"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Reader, EveryCutOfTheFileIsRejectedOrReportedNeverOverread) {
  const std::vector<uint8_t> whole = BuildTinyPe(TwoSections());
  const size_t table_end = testing::kTinySectionTable + 2 * 40;
  for (size_t size = 0; size < whole.size(); ++size) {
    SCOPED_TRACE("file cut to " + std::to_string(size) + " bytes");
    const std::vector<uint8_t> cut(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(size));
    std::string error;
    const auto image = PeImage::Parse(cut, &error);
    if (size < table_end) {
      EXPECT_FALSE(image.has_value());
      EXPECT_THAT(error, HasSubstr("ends inside the"));
      continue;
    }
    ASSERT_TRUE(image.has_value()) << error;
    EXPECT_THAT(image->header_problems(), Not(IsEmpty()));
    EXPECT_THAT(image->header_problems().back(), HasSubstr("runs past the end of the file"));
    // Nothing past the cut is handed out.
    EXPECT_EQ(image->BytesAt(0x2000 + 0x1ff, 1) != nullptr, size > 0x400 + 0x1ff);
  }
  EXPECT_THAT(ParseOrDie(whole).header_problems(), IsEmpty());
}

struct RvaCase {
  uint32_t rva;
  uint64_t length;
  std::optional<size_t> offset;
};

TEST(Reader, MapsRvasOnlyToBytesTheFileHolds) {
  const std::vector<uint8_t> bytes = BuildTinyPe(TwoSections());
  const PeImage image = ParseOrDie(bytes);
  const RvaCase cases[] = {
      {0x1000, 4, 0x200},             // start of .data
      {0x11fc, 4, 0x3fc},             // last word .data has in the file
      {0x11fe, 4, std::nullopt},      // runs into the zero-filled part
      {0x1300, 1, std::nullopt},      // zero-filled: in the image, not in the file
      {0x2000, 0x200, 0x400},         // all of .text
      {0x2000, 0x201, std::nullopt},  // one byte past .text
      {0x1800, 1, std::nullopt},      // between sections
      {0x10, 4, 0x10},                // inside the headers
      {0x1fe, 4, std::nullopt},       // across the end of the headers
      {0xFFFFFFFE, 4, std::nullopt},  // wraps around 32 bits
      {0x1000, uint64_t{1} << 32, std::nullopt},
  };
  for (const RvaCase& c : cases) {
    SCOPED_TRACE(::testing::Message() << "rva 0x" << std::hex << c.rva << " length 0x" << c.length);
    EXPECT_EQ(image.RvaToOffset(c.rva, c.length), c.offset);
  }
  ASSERT_NE(image.SectionAt(0x13ff), nullptr);
  EXPECT_EQ(image.SectionAt(0x13ff)->name, ".data");
  EXPECT_EQ(image.SectionAt(0x1400), nullptr);
  EXPECT_TRUE(image.SectionAt(0x2000)->IsExecutable());
  EXPECT_FALSE(image.SectionAt(0x1000)->IsExecutable());
}

TEST(Reader, StringsEndInsideTheFileBackedBytes) {
  TinyPe pe = TwoSections();
  PutText(&pe.sections[0].data, 0x10, "Linkage");
  std::fill(pe.sections[0].data.end() - 4, pe.sections[0].data.end(), 'x');  // no NUL before the end
  const std::vector<uint8_t> bytes = BuildTinyPe(pe);
  const PeImage image = ParseOrDie(bytes);
  EXPECT_EQ(image.CStringAt(0x1010), "Linkage");
  EXPECT_EQ(image.CStringAt(0x1010, 6), std::nullopt);  // longer than allowed
  EXPECT_EQ(image.CStringAt(0x11fc), std::nullopt);
}

TEST(Reader, LongSectionNamesComeFromTheStringTable) {
  TinyPe pe = TwoSections();
  pe.sections[1].name = "/4";
  pe.trailer = {0, 0, 0, 0};
  PutText(&pe.trailer, 4, ".debug_rnglists");
  pe.symbol_table = static_cast<uint32_t>(BuildTinyPe(pe).size() - pe.trailer.size());
  const std::vector<uint8_t> bytes = BuildTinyPe(pe);
  EXPECT_EQ(ParseOrDie(bytes).sections()[1].name, ".debug_rnglists");
}

// An export section at 0x3000: the directory, then the address, name and
// ordinal tables, then the names.
struct ExportFixture {
  TinyPe pe = TwoSections();
  std::vector<uint8_t>* data;

  ExportFixture() {
    pe.sections.push_back({".edata", 0x3000, 0, std::vector<uint8_t>(0x100, 0)});
    data = &pe.sections.back().data;
    pe.directories[kExportDirectory] = {0x3000, 0x100};
    Put32(data, 16, 1);       // ordinal base
    Put32(data, 20, 3);       // functions
    Put32(data, 24, 2);       // names
    Put32(data, 28, 0x3040);  // address table
    Put32(data, 32, 0x3050);  // name table
    Put32(data, 36, 0x3060);  // ordinal table
    Put32(data, 0x40, 0x1004);
    Put32(data, 0x44, 0x1000);
    Put32(data, 0x48, 0x2000);  // exported by ordinal only
    Put32(data, 0x50, 0x3070);
    Put32(data, 0x54, 0x3080);
    Put16(data, 0x60, 0);
    Put16(data, 0x62, 1);
    PutText(data, 0x70, "ImportTable");
    PutText(data, 0x80, "Linkage");
  }
  std::vector<Export> Read(std::vector<std::string>* problems) {
    bytes = BuildTinyPe(pe);
    image.emplace(ParseOrDie(bytes));
    return ReadExports(*image, problems);
  }
  std::vector<uint8_t> bytes;
  std::optional<PeImage> image;
};

std::vector<std::string> Names(const std::vector<Export>& exports) {
  std::vector<std::string> names;
  for (const Export& e : exports) names.push_back(e.name.empty() ? "#" + std::to_string(e.ordinal) : e.name);
  return names;
}

TEST(Reader, ReadsNamedAndOrdinalOnlyExports) {
  ExportFixture f;
  std::vector<std::string> problems;
  const auto exports = f.Read(&problems);
  EXPECT_THAT(problems, IsEmpty());
  EXPECT_THAT(Names(exports), ElementsAre("ImportTable", "Linkage", "#3"));
  EXPECT_EQ(exports[0].rva, 0x1004u);
  EXPECT_EQ(exports[0].name_rva, 0x3070u);
  EXPECT_EQ(exports[1].rva, 0x1000u);
  EXPECT_FALSE(exports[1].forwarded);
}

TEST(Reader, ExportsPointingIntoTheirDirectoryAreForwarders) {
  ExportFixture f;
  Put32(f.data, 0x44, 0x3090);
  PutText(f.data, 0x90, "OTHER.Linkage");
  std::vector<std::string> problems;
  EXPECT_TRUE(f.Read(&problems)[1].forwarded);
}

TEST(Reader, DamagedExportTablesAreReportedAndTheRestRead) {
  struct Case {
    const char* name;
    std::function<void(std::vector<uint8_t>*)> damage;
    std::vector<std::string> exports;
    const char* problem;
  };
  const Case cases[] = {
      {"name outside the file",
       [](auto* d) { Put32(d, 0x50, 0x9000); },
       {"Linkage", "#1", "#3"},
       "export name 0 at RVA 0x9000 is not a string"},
      {"ordinal past the address table",
       [](auto* d) { Put16(d, 0x62, 7); },
       {"ImportTable", "#2", "#3"},
       "export name 1 refers to entry 7 of 3"},
      {"huge function count", [](auto* d) { Put32(d, 20, 0x7FFFFFFF); }, {}, "claims 2147483647 entries"},
      {"name table outside", [](auto* d) { Put32(d, 32, 0x30FE); }, {}, "not inside the file's data"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ExportFixture f;
    c.damage(f.data);
    std::vector<std::string> problems;
    EXPECT_THAT(Names(f.Read(&problems)), ::testing::ElementsAreArray(c.exports));
    EXPECT_THAT(problems, ElementsAre(HasSubstr(c.problem)));
  }
  ExportFixture outside;
  outside.pe.directories[kExportDirectory] = {0x7000, 40};
  std::vector<std::string> problems;
  EXPECT_THAT(outside.Read(&problems), IsEmpty());
  EXPECT_THAT(problems, ElementsAre("the export directory at RVA 0x7000 is not inside the file's data"));
}

// An import section at 0x3000 with the descriptors at its start and the DLL
// names at 0x80.
TinyPe WithImports(const std::vector<std::string>& dlls, size_t section_size = 0x100) {
  TinyPe pe = TwoSections();
  pe.sections.push_back({".idata", 0x3000, 0, std::vector<uint8_t>(section_size, 0)});
  auto* data = &pe.sections.back().data;
  pe.directories[kImportDirectory] = {0x3000, 0x80};
  for (size_t i = 0; i < dlls.size(); ++i) {
    Put32(data, i * 20 + 12, static_cast<uint32_t>(0x3080 + i * 0x20));
    PutText(data, 0x80 + i * 0x20, dlls[i]);
  }
  return pe;
}

std::vector<std::string> DllNames(const TinyPe& pe, std::vector<std::string>* problems) {
  const std::vector<uint8_t> bytes = BuildTinyPe(pe);
  std::vector<std::string> names;
  for (const ImportedDll& dll : ReadImportedDlls(ParseOrDie(bytes), problems)) {
    names.push_back((dll.delayed ? "delayed " : "") + dll.name);
  }
  return names;
}

TEST(Reader, ReadsImportedDllNamesUpToTheEmptyDescriptor) {
  std::vector<std::string> problems;
  EXPECT_THAT(DllNames(WithImports({"KERNEL32.dll", "libstdc++-6.dll"}), &problems),
              ElementsAre("KERNEL32.dll", "libstdc++-6.dll"));
  EXPECT_THAT(problems, IsEmpty());
}

TEST(Reader, ReadsDelayLoadedDllsInBothForms) {
  TinyPe pe = WithImports({"KERNEL32.dll"}, 0x200);
  auto* data = &pe.sections.back().data;
  pe.directories[kDelayImportDirectory] = {0x3100, 0x60};
  Put32(data, 0x100, 1);  // RVAs
  Put32(data, 0x104, 0x3180);
  PutText(data, 0x180, "libgcc_s_dw2-1.dll");
  Put32(data, 0x120, 0);  // addresses at the image base: the old form
  Put32(data, 0x124, 0x10000000 + 0x31A0);
  PutText(data, 0x1A0, "WINMM.DLL");
  std::vector<std::string> problems;
  EXPECT_THAT(DllNames(pe, &problems), ElementsAre("KERNEL32.dll", "delayed libgcc_s_dw2-1.dll", "delayed WINMM.DLL"));
  EXPECT_THAT(problems, IsEmpty());
}

TEST(Reader, ImportTablesWithoutAnEndOrWithBadNamesAreReported) {
  // Four descriptors fill the end of the section; the empty one that should
  // follow is not there.
  TinyPe endless = WithImports({"KERNEL32.dll"});
  endless.directories[kImportDirectory] = {0x30B0, 0x50};
  for (size_t at = 0xB0; at < 0x100; at += 20) Put32(&endless.sections.back().data, at + 12, 0x3080);
  std::vector<std::string> problems;
  EXPECT_THAT(DllNames(endless, &problems),
              ElementsAre("KERNEL32.dll", "KERNEL32.dll", "KERNEL32.dll", "KERNEL32.dll"));
  EXPECT_THAT(problems, ElementsAre("the import directory at RVA 0x30b0 runs out of the file's data after 4 entries"));

  TinyPe bad_name = WithImports({"KERNEL32.dll", "USER32.dll"});
  Put32(&bad_name.sections.back().data, 12, 0xFFFFFF00);
  problems.clear();
  EXPECT_THAT(DllNames(bad_name, &problems), ElementsAre("USER32.dll"));
  EXPECT_THAT(problems,
              ElementsAre("an import names its DLL at RVA 0xffffff00, which is not a string inside the file's data"));
}

// A resource section at 0x3000 holding one menu "MENU" in language 1031:
// root (0x00) -> type 4 (0x18) -> name "MENU" (0x30) -> language (0x48) -> data (0x60).
struct ResourceFixture {
  TinyPe pe = TwoSections();
  std::vector<uint8_t>* data;
  std::vector<uint8_t> bytes;

  ResourceFixture() {
    pe.sections.push_back({".rsrc", 0x3000, 0, std::vector<uint8_t>(0x100, 0)});
    data = &pe.sections.back().data;
    pe.directories[kResourceDirectory] = {0x3000, 0x100};
    Directory(0x00, 0, 1);
    Put32(data, 0x10, kRtMenu);
    Put32(data, 0x14, 0x80000018);
    Directory(0x18, 1, 0);
    Put32(data, 0x28, 0x80000080);  // the name's offset
    Put32(data, 0x2C, 0x80000030);
    Directory(0x30, 0, 1);
    Put32(data, 0x40, 1031);
    Put32(data, 0x44, 0x60);
    Put32(data, 0x60, 0x30A0);  // data RVA
    Put32(data, 0x64, 8);       // data size
    Put16(data, 0x80, 4);
    for (int i = 0; i < 4; ++i) Put16(data, 0x82 + 2 * i, static_cast<uint16_t>("MENU"[i]));
  }
  void Directory(size_t at, uint16_t named, uint16_t ids) {
    Put16(data, at + 12, named);
    Put16(data, at + 14, ids);
  }
  std::vector<Resource> Read(std::vector<std::string>* problems) {
    bytes = BuildTinyPe(pe);
    return ReadResources(ParseOrDie(bytes), problems);
  }
};

TEST(Reader, ReadsTheResourceTreeToItsData) {
  ResourceFixture f;
  std::vector<std::string> problems;
  const auto resources = f.Read(&problems);
  EXPECT_THAT(problems, IsEmpty());
  ASSERT_EQ(resources.size(), 1u);
  EXPECT_EQ(resources[0].type, ResourceKey::Id(kRtMenu));
  EXPECT_EQ(resources[0].name, ResourceKey::Name("MENU"));
  EXPECT_EQ(resources[0].language, 1031);
  EXPECT_EQ(resources[0].data_rva, 0x30A0u);
  EXPECT_EQ(resources[0].size, 8u);
  EXPECT_NE(FindResource(resources, ResourceKey::Id(kRtMenu), ResourceKey::Name("MENU")), nullptr);
  EXPECT_EQ(FindResource(resources, ResourceKey::Id(kRtMenu), ResourceKey::Id(1)), nullptr);
}

TEST(Reader, DamagedResourceTreesAreReported) {
  struct Case {
    const char* name;
    std::function<void(ResourceFixture*)> damage;
    const char* problem;
  };
  const Case cases[] = {
      {"entries past the section", [](auto* f) { f->Directory(0x30, 0, 0x4000); },
       "the 16384 entries of the directory at offset 0x30 are not inside the file's data"},
      {"name past the section", [](auto* f) { Put16(f->data, 0x80, 0x7FFF); },
       "name at offset 0x80 is not inside the file's data"},
      {"subdirectory outside", [](auto* f) { Put32(f->data, 0x14, 0x80FFFFF0); },
       "directory at offset 0xfffff0 is not inside the file's data"},
      {"directory where data belongs", [](auto* f) { Put32(f->data, 0x44, 0x80000000); },
       "entry #1031 at level 3 is a directory where data belongs"},
      {"data where a directory belongs", [](auto* f) { Put32(f->data, 0x14, 0x60); },
       "entry #4 at level 1 is data where a directory belongs"},
      {"data entry outside", [](auto* f) { Put32(f->data, 0x44, 0x7FFFFFF0); },
       "data entry of #4/MENU at offset 0x7ffffff0 is not inside the file's data"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ResourceFixture f;
    c.damage(&f);
    std::vector<std::string> problems;
    EXPECT_THAT(f.Read(&problems), IsEmpty());
    EXPECT_THAT(problems, ElementsAre("resource tree: " + std::string(c.problem)));
  }
}

TEST(Reader, ResourceTreeNamingItselfStopsAfterABoundedWalk) {
  // Every root entry names the root itself as its subdirectory: a hundred
  // entries would make a million visits if the walk did not stop.
  ResourceFixture f;
  f.pe.sections.back().data.assign(0x400, 0);
  f.data = &f.pe.sections.back().data;
  f.Directory(0, 0, 100);
  for (uint32_t i = 0; i < 100; ++i) {
    Put32(f.data, 16 + i * 8, i + 1);
    Put32(f.data, 16 + i * 8 + 4, 0x80000000);
  }
  std::vector<std::string> problems;
  EXPECT_THAT(f.Read(&problems), IsEmpty());
  EXPECT_LE(problems.size(), 52u);
  EXPECT_THAT(problems, ::testing::Contains("resource tree: more problems not listed"));
  EXPECT_THAT(problems.back(), HasSubstr("entries; stopped reading"));
}

}  // namespace
}  // namespace volantis::pecheck
