// The checker catches each kind of fault in a module file: a copy of the built
// Volantis.dll with one fault patched in gives exactly the expected problem lines.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "built_module.h"
#include "byte_view.h"
#include "module_image_check.h"
#include "module_locations.h"
#include "tiny_pe.h"

namespace volantis::pecheck::testing {
namespace {

using FileBytes = std::vector<uint8_t>;

struct Fault {
  const char* name;
  std::function<void(FileBytes*)> patch;
  std::vector<std::string> problems;  // each line holds one of these, one line each
};

void Overwrite(FileBytes* bytes, size_t offset, const std::string& text) {
  std::copy(text.begin(), text.end(), bytes->begin() + static_cast<std::ptrdiff_t>(offset));
}

void PutWord(FileBytes* bytes, const char* record, size_t word, uint32_t value) {
  Put32(bytes, ExportOffset(*bytes, record) + word * 4, value);
}

uint32_t Word(const FileBytes& bytes, const char* record, size_t word) {
  return ByteView(bytes).U32(ExportOffset(bytes, record) + word * 4).value();
}

std::vector<std::string> EverySoundMissing() {
  std::vector<std::string> lines;
  for (const char* name : {"WAVE_VALIDATE_START", "WAVE_VALIDATE_SEND_ERROR", "WAVE_VALIDATE_ERROR", "WAVE_VALIDATE_OK",
                           "WAVE_VALIDATE_OK_RACE_STARTED", "WAVE_GATE_CROSSED_DING", "WAVE_GATE_SKIPPED_CHORD",
                           "WAVE_RACE_FINISHED", "WAVE_RACE_RESULTS_OK", "WAVE_RACE_RESULTS_ERROR"}) {
    lines.push_back(std::string("missing sound WAVE/") + name);
  }
  return lines;
}

const Fault kFaults[] = {
    // The two records.
    {"ModuleId",
     [](FileBytes* b) { PutWord(b, "Linkage", 0, 0x64656668); },
     {"Linkage word 0 (module id) is 0x64656668, expected 0x64656667"}},
    {"HostVersion",
     [](FileBytes* b) { PutWord(b, "Linkage", 5, 0x800); },
     {"Linkage word 5 (host version) is 0x800, expected 0x900"}},
    {"Flags", [](FileBytes* b) { PutWord(b, "Linkage", 3, 1); }, {"Linkage word 3 (flags) is 0x1, expected 0x0"}},
    {"ModuleVersion",
     [](FileBytes* b) { PutWord(b, "Linkage", 4, 0x10000); },
     {"Linkage word 4 (module version) is 0x10000, expected 0x0"}},
    {"LastWord",
     [](FileBytes* b) { PutWord(b, "Linkage", 6, 0xFFFFFFFF); },
     {"Linkage word 6 (last word) is 0xffffffff, expected 0x0"}},
    {"InitOutsideTheImage",
     [](FileBytes* b) { PutWord(b, "Linkage", 1, 0x1000); },
     {"Linkage init entry 0x1000 lies outside the image"}},
    {"DeinitPastTheImage",
     [](FileBytes* b) { PutWord(b, "Linkage", 2, 0xFFFFFFF0); },
     {"Linkage deinit entry 0xfffffff0 lies outside the image"}},
    {"DeinitIsData",
     [](FileBytes* b) { PutWord(b, "Linkage", 2, AddressOf(*b, ExportRva(*b, "Linkage"))); },
     {"is not code: it lies in section ."}},
    {"SameEntries",
     [](FileBytes* b) { PutWord(b, "Linkage", 2, Word(*b, "Linkage", 1)); },
     {"Linkage init and deinit entries are the same address"}},
    {"CoreModuleNumber",
     [](FileBytes* b) { PutWord(b, "ImportTable", 0, 0x10); },
     {"ImportTable word 0 (entry 0 module number) is 0x10, expected 0xf"}},
    {"ImportTableNotEnded",
     [](FileBytes* b) { PutWord(b, "ImportTable", 2, 0x0F); },
     {"ImportTable word 2 (entry 1 module number) is 0xf, expected 0x0"}},
    // Export names.
    {"LinkageDecorated",
     [](FileBytes* b) { Overwrite(b, ExportNameOffset(*b, "Linkage"), "_Linkag"); },
     {"unexpected export \"_Linkag\": the module exports just ImportTable and Linkage, undecorated",
      "missing export \"Linkage\""}},
    {"ImportTableStdcall",
     [](FileBytes* b) { Overwrite(b, ExportNameOffset(*b, "ImportTable"), "ImportTab@0"); },
     {"unexpected export \"ImportTab@0\"", "missing export \"ImportTable\""}},
    {"NoExportDirectory",
     [](FileBytes* b) { Put32(b, OptionalHeaderOffset(*b) + 96, 0xFFFFFF00); },
     {"the export directory at RVA 0xffffff00 is not inside the file's data", "missing export \"ImportTable\"",
      "missing export \"Linkage\""}},
    // Headers.
    {"Machine64",
     [](FileBytes* b) { Put16(b, CoffHeaderOffset(*b), 0x8664); },
     {"machine is 0x8664, expected 0x14c (i386)"}},
    {"NotADll", [](FileBytes* b) { (*b)[CoffHeaderOffset(*b) + 19] &= 0xDF; }, {"not a DLL: characteristics 0x"}},
    // Imports.
    {"ForeignImport",
     [](FileBytes* b) { Overwrite(b, ImportNameOffset(*b, "KERNEL32.dll"), "KERNEL33.dll"); },
     {"imports KERNEL33.dll, which Windows does not ship"}},
    {"RuntimeImport",
     [](FileBytes* b) { Overwrite(b, ImportNameOffset(*b, "msvcrt.dll"), "libgcc.dll"); },
     {"imports libgcc.dll, which Windows does not ship"}},
    {"SystemImportInAnyCase",
     [](FileBytes* b) { Overwrite(b, ImportNameOffset(*b, "KERNEL32.dll"), "kernel32.DLL"); },
     {}},
    // Resources.
    {"MenuRenamed",
     [](FileBytes* b) { Overwrite(b, FindUnique(*b, CountedUtf16("MENU")) + 8, "V"); },
     {"missing menu \"MENU\" (resource type 4)"}},
    {"TitleChanged",
     [](FileBytes* b) { Overwrite(b, FindUnique(*b, CountedUtf16("TarvexCheck")) + 2 + 8 * 2, "o"); },
     {"string 57344 is \"TarvexChock\", expected \"TarvexCheck\""}},
    {"IconMissing",
     [](FileBytes* b) { Put16(b, ResourceOffset(*b, "14", "101") + 6 + 12, 999); },
     {"icon group 101 lists icon 999, which is missing"}},
    {"FileVersion",
     [](FileBytes* b) {
       Put32(b, FindUnique(*b, {0xBD, 0x04, 0xEF, 0xFE}) + 8, 0x00630063);
     },
     {"version record file version is 99.99."}},
    {"SoundRenamed",
     [](FileBytes* b) { Overwrite(b, FindUnique(*b, CountedUtf16("WAVE_RACE_FINISHED")) + 2 + 17 * 2, "E"); },
     {"missing sound WAVE/WAVE_RACE_FINISHED"}},
    {"SoundTypeRenamed", [](FileBytes* b) { Overwrite(b, FindUnique(*b, CountedUtf16("WAVE")) + 8, "F"); },
     EverySoundMissing()},
    {"SoundLanguage",
     [](FileBytes* b) { Put16(b, LanguageEntryOffset(*b, "WAVE", "WAVE_RACE_RESULTS_OK"), 1031); },
     {"missing sound WAVE/WAVE_RACE_RESULTS_OK in language 1033 (it has language 1031)"}},
    {"SoundNotRiff",
     [](FileBytes* b) { Overwrite(b, ResourceOffset(*b, "WAVE", "WAVE_GATE_CROSSED_DING"), "RIFX"); },
     {"sound WAVE/WAVE_GATE_CROSSED_DING is not a RIFF/WAVE file"}},
    {"SoundCutShort",
     [](FileBytes* b) {
       const size_t at = ResourceOffset(*b, "WAVE", "WAVE_VALIDATE_OK") + 4;
       Put32(b, at, static_cast<uint32_t>(ByteView(*b).U32(at).value() + 2));
     },
     {"sound WAVE/WAVE_VALIDATE_OK is cut short: its RIFF header says"}},
};

void PrintTo(const Fault& fault, std::ostream* out) { *out << fault.name; }

class ModuleFault : public BuiltModuleTest, public ::testing::WithParamInterface<Fault> {};

TEST_P(ModuleFault, GivesExactlyItsProblems) {
  FileBytes bytes = Bytes();
  GetParam().patch(&bytes);
  std::vector<::testing::Matcher<std::string>> expected;
  for (const std::string& line : GetParam().problems) expected.push_back(::testing::HasSubstr(line));
  EXPECT_THAT(CheckModuleImage(bytes), ::testing::UnorderedElementsAreArray(expected));
}

INSTANTIATE_TEST_SUITE_P(BuiltModule, ModuleFault, ::testing::ValuesIn(kFaults),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace volantis::pecheck::testing
