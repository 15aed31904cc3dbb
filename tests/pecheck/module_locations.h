#pragma once
// Where the pieces the checker looks at sit in a module file, for tests that
// damage them. Byte patterns that occur once in the file are found by search;
// the rest through the reader. Each throws std::runtime_error when the piece
// is not there, which fails the test that asked.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace volantis::pecheck::testing {

// The offset of the only occurrence of `pattern`.
size_t FindUnique(const std::vector<uint8_t>& bytes, const std::vector<uint8_t>& pattern);
// A resource name as the resource tree stores it: a UTF-16 unit count and the units.
std::vector<uint8_t> CountedUtf16(const std::string& text);

size_t CoffHeaderOffset(const std::vector<uint8_t>& bytes);
size_t OptionalHeaderOffset(const std::vector<uint8_t>& bytes);
// The file offset of an exported record, and of the text of its name.
size_t ExportOffset(const std::vector<uint8_t>& bytes, const std::string& name);
size_t ExportNameOffset(const std::vector<uint8_t>& bytes, const std::string& name);
// The file offset of an imported DLL's name.
size_t ImportNameOffset(const std::vector<uint8_t>& bytes, const std::string& dll);
// The file offset of a resource's data; a type or name starting with a letter
// is a string, otherwise a number.
size_t ResourceOffset(const std::vector<uint8_t>& bytes, const std::string& type, const std::string& name);
// The file offset of the language entry (its id, then the offset of its data
// entry) of a resource whose type and name are both strings, found by walking
// the resource tree here rather than through the reader.
size_t LanguageEntryOffset(const std::vector<uint8_t>& bytes, const std::string& type, const std::string& name);
// The preferred image base plus `rva`: an address as the file holds it.
uint32_t AddressOf(const std::vector<uint8_t>& bytes, uint32_t rva);
uint32_t ExportRva(const std::vector<uint8_t>& bytes, const std::string& name);

}  // namespace volantis::pecheck::testing
