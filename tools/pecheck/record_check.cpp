// The simulator finds a module's two records by their undecorated export names
// and reads 32-bit words from them: ImportTable (which of its modules this one
// uses, two entries of {module number, slot}, the second ending the table) and
// Linkage (module id, init and deinit entries, flags, module version, host
// version, a last zero word). The file holds the entries as addresses at the
// preferred image base; base relocations cover them.
#include <cstdint>
#include <optional>

#include "module_checks.h"
#include "pe_exports.h"
#include "text_format.h"

namespace volantis::pecheck {
namespace {

struct Word {
  const char* what;
  std::optional<uint32_t> expected;  // none for the code entries, checked on their own
};

struct Record {
  const char* name;
  std::vector<Word> words;
};

const Record kImportTable{
    "ImportTable",
    {{"entry 0 module number", 0x0F}, {"entry 0 slot", 0}, {"entry 1 module number", 0}, {"entry 1 slot", 0}}};
const Record kLinkage{"Linkage",
                      {{"module id", 0x64656667},
                       {"init entry", std::nullopt},
                       {"deinit entry", std::nullopt},
                       {"flags", 0},
                       {"module version", 0},
                       {"host version", 0x900},
                       {"last word", 0}}};

// The record's export, when there is exactly one of that name and it is a
// record in this image.
const Export* RecordExport(const std::vector<Export>& exports, const char* name, Problems* problems) {
  const Export* found = nullptr;
  int count = 0;
  for (const Export& e : exports) {
    if (e.name == name) {
      found = &e;
      ++count;
    }
  }
  if (count == 0) {
    problems->push_back(std::string("missing export \"") + name + "\"");
    return nullptr;
  }
  if (count > 1) {
    problems->push_back(std::string("export \"") + name + "\" appears " + std::to_string(count) + " times");
    return nullptr;
  }
  if (found->forwarded) {
    problems->push_back(std::string("export \"") + name + "\" is forwarded to another DLL, not a record here");
    return nullptr;
  }
  return found;
}

// The words of the record, or nullopt (with a problem) when they are not in the file.
std::optional<std::vector<uint32_t>> RecordWords(const PeImage& image, const Record& record, const Export& e,
                                                 Problems* problems) {
  const uint64_t size = record.words.size() * 4;
  const auto offset = image.RvaToOffset(e.rva, size);
  if (!offset) {
    problems->push_back(std::string(record.name) + " record (" + std::to_string(size) + " bytes at RVA " + Hex(e.rva) +
                        ") is not inside the file's data");
    return std::nullopt;
  }
  std::vector<uint32_t> words;
  for (size_t i = 0; i < record.words.size(); ++i) words.push_back(*image.file().U32(*offset + i * 4));
  return words;
}

void CheckWords(const Record& record, const std::vector<uint32_t>& words, Problems* problems) {
  for (size_t i = 0; i < record.words.size(); ++i) {
    const Word& word = record.words[i];
    if (word.expected && words[i] != *word.expected) {
      problems->push_back(std::string(record.name) + " word " + std::to_string(i) + " (" + word.what + ") is " +
                          Hex(words[i]) + ", expected " + Hex(*word.expected));
    }
  }
}

void CheckEntry(const PeImage& image, const char* what, uint32_t address, Problems* problems) {
  const uint64_t base = image.image_base();
  const uint64_t end = base + image.size_of_image();
  if (address < base || address >= end) {
    problems->push_back(std::string("Linkage ") + what + " " + Hex(address) + " lies outside the image (" + Hex(base) +
                        " to " + Hex(end) + ")");
    return;
  }
  const Section* section = image.SectionAt(static_cast<uint32_t>(address - base));
  if (!section || !section->IsExecutable()) {
    problems->push_back(std::string("Linkage ") + what + " " + Hex(address) + " is not code: it lies in " +
                        (section ? "section " + Printable(section->name) : std::string("no section")));
  }
}

void CheckLinkageEntries(const PeImage& image, const std::vector<uint32_t>& words, Problems* problems) {
  CheckEntry(image, "init entry", words[1], problems);
  CheckEntry(image, "deinit entry", words[2], problems);
  if (words[1] == words[2]) {
    problems->push_back("Linkage init and deinit entries are the same address " + Hex(words[1]));
  }
}

}  // namespace

void CheckModuleRecords(const PeImage& image, Problems* problems) {
  const std::vector<Export> exports = ReadExports(image, problems);
  for (const Export& e : exports) {
    if (e.name.empty()) {
      problems->push_back("unexpected export by ordinal " + std::to_string(e.ordinal) +
                          " only: the module exports just ImportTable and Linkage");
    } else if (e.name != kImportTable.name && e.name != kLinkage.name) {
      problems->push_back("unexpected export \"" + Printable(e.name) +
                          "\": the module exports just ImportTable and Linkage, undecorated");
    }
  }
  if (const Export* e = RecordExport(exports, kImportTable.name, problems)) {
    if (const auto words = RecordWords(image, kImportTable, *e, problems)) CheckWords(kImportTable, *words, problems);
  }
  if (const Export* e = RecordExport(exports, kLinkage.name, problems)) {
    if (const auto words = RecordWords(image, kLinkage, *e, problems)) {
      CheckWords(kLinkage, *words, problems);
      CheckLinkageEntries(image, *words, problems);
    }
  }
}

}  // namespace volantis::pecheck
