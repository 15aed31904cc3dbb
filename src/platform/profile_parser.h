#pragma once
// Our own profile file reader, portable: parses a profile file's bytes once and
// answers reads the way the Windows profile reader answers them for the same
// file (the native half reads aircraft.cfg files through it; the Windows half's
// tests compare the two answer for answer).
//
// The rules kept:
//  - lines end at CR or LF; blanks (space, tab, CR, LF, VT, FF and Ctrl-Z,
//    nothing else) around a line, a name and a value are removed;
//  - "[name]" (up to the last ']' of the line) starts a section; a line starting
//    with '[' without ']' is an ordinary line; lines before the first section
//    belong to a section without a name, which is never listed;
//  - "key=value" splits at the first '='; a line without '=' is a key without a
//    value, which reads like a missing key;
//  - a name or value ends at a zero byte;
//  - names are compared ignoring case (Windows-1252 letters included); of sections
//    with the same name only the first is searched; of keys the first wins;
//  - a value that starts and ends with the same quote (' or ") loses the pair;
//  - a file that starts with a UTF-8 byte-order mark is read as UTF-8 and
//    answered in Windows-1252, '?' standing for what that cannot show.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace volantis {

class ProfileDocument {
 public:
  ProfileDocument() = default;
  explicit ProfileDocument(std::string_view bytes);

  // Same contract as ProfileReader::ReadRaw.
  uint32_t Read(const char* section, const char* key, char* buffer, uint32_t size) const;

 private:
  struct Entry {
    std::string name;
    std::string value;
    bool has_value = false;
  };
  struct Section {
    std::string name;
    std::vector<Entry> entries;
  };
  const Section* FindSection(std::string_view name) const;
  uint32_t ReadSectionNames(char* buffer, uint32_t size) const;

  std::vector<Section> sections_;  // the first is the unnamed one
};

// True for the characters the profile reader removes around names and values.
bool IsProfileBlank(unsigned char c);
// Case-insensitive equality over Windows-1252 text.
bool ProfileNamesEqual(std::string_view a, std::string_view b);

}  // namespace volantis
