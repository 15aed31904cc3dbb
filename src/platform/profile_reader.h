#pragma once
// Reads values and section names from profile files (sections headed "[name]",
// lines "key=value"), with the platform profile reader's rules: sections and keys
// found ignoring case, the first matching key wins, blanks around names and values
// removed, one pair of matching outer quotes removed from a value, and an empty
// text as the default for anything missing.
#include <cstdint>
#include <string>
#include <vector>

namespace volantis {

class ProfileReader {
 public:
  virtual ~ProfileReader() = default;

  // The raw read into a caller's buffer of `size` bytes, always zero-terminated
  // when size > 0.
  //  - section == nullptr: the section names in file order, each ended by a zero
  //    byte, the list ended by one more zero byte. When they do not fit, the list
  //    is cut (the last name may be cut too) and size - 2 is returned.
  //  - otherwise the value of `key` in `section` (key must not be null), cut to
  //    size - 1 characters; returns the characters written.
  virtual uint32_t ReadRaw(const std::string& path, const char* section, const char* key, char* buffer,
                           uint32_t size) = 0;

  // Drops whatever the reader keeps of files it has read, so the next read sees
  // the files as they are now. Readers that keep nothing ignore it.
  virtual void ForgetFiles() {}
};

// A key's value as a text, read into `size` bytes (at most size - 1 characters).
std::string ReadProfileValue(ProfileReader& reader, const std::string& path, const char* section,
                             const char* key, uint32_t size);
// The section names read into `size` bytes, in file order, up to the first empty name.
std::vector<std::string> ReadProfileSectionNames(ProfileReader& reader, const std::string& path, uint32_t size);

// Windows half: GetPrivateProfileStringA. Native half: our own reader
// (profile_parser.h) over the files, keeping each parsed file until ForgetFiles.
ProfileReader& SystemProfileReader();

}  // namespace volantis
