// The Windows half reads profile files with the system's own reader.
#include <windows.h>

#include "platform/profile_reader.h"

namespace volantis {
namespace {

class WindowsProfileReader : public ProfileReader {
 public:
  uint32_t ReadRaw(const std::string& path, const char* section, const char* key, char* buffer,
                   uint32_t size) override {
    if (buffer == nullptr || size == 0) return 0;
    buffer[0] = '\0';
    // A path the system would not take whole is not read at all: never a cut path.
    if (path.size() >= MAX_PATH || path.find('\0') != std::string::npos) return 0;
    if (section != nullptr && key == nullptr) return 0;
    return ::GetPrivateProfileStringA(section, key, "", buffer, size, path.c_str());
  }
};

}  // namespace

ProfileReader& SystemProfileReader() {
  static WindowsProfileReader reader;
  return reader;
}

}  // namespace volantis
