// Windows paths in their "\\?\" form: what the system no longer resolves in
// that form is resolved first, and the root is never taken for a folder to make.
#include <gtest/gtest.h>

#include <string>

#include "platform/long_path.h"

namespace volantis {
namespace {

TEST(LongPathTest, AbsolutePathsTakeTheExtendedForm) {
  struct Case {
    const char* path;
    const char* extended;
    std::size_t root;  // of the extended form
  };
  const Case cases[] = {
      {"C:\\Users\\Ann\\AppData\\Roaming\\Volantis\\races", "\\\\?\\C:\\Users\\Ann\\AppData\\Roaming\\Volantis\\races", 7},
      {"c:/data//races/./2026-12-10_16-40-05Z", "\\\\?\\c:\\data\\races\\2026-12-10_16-40-05Z", 7},
      {"C:\\a\\b\\..\\..\\..\\races", "\\\\?\\C:\\races", 7},  // never above the drive
      {"C:\\", "\\\\?\\C:\\", 7},
      {"\\\\server\\share\\Volantis\\races", "\\\\?\\UNC\\server\\share\\Volantis\\races", 21},
      {"//server/share/a/../races", "\\\\?\\UNC\\server\\share\\races", 21},
      {"\\\\server\\share", "\\\\?\\UNC\\server\\share\\", 21},
      {"\\\\server\\share\\..\\..\\races", "\\\\?\\UNC\\server\\share\\races", 21},  // never above the share
      // Already extended or a device: as they are.
      {"\\\\?\\C:\\a\\..\\b", "\\\\?\\C:\\a\\..\\b", 7},
      {"\\\\?\\UNC\\server\\share\\x", "\\\\?\\UNC\\server\\share\\x", 21},
      {"\\\\.\\pipe\\x", "\\\\.\\pipe\\x", 0},
      // Not absolute, or no share: as they are.
      {"races\\x", "races\\x", 0},
      {"\\races", "\\races", 0},
      {"\\\\server", "\\\\server", 0},
      {"\\\\server\\", "\\\\server\\", 0},
      {"", "", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    const std::string extended = ExtendedLengthPath(c.path);
    EXPECT_EQ(extended, c.extended);
    EXPECT_EQ(ExtendedPathRootLength(extended), c.root);
  }
  const std::string deep = "C:\\" + std::string(40, 'd') + "\\" + std::string(300, 'x');
  EXPECT_EQ(ExtendedLengthPath(deep), "\\\\?\\" + deep);
}

}  // namespace
}  // namespace volantis
