#include "built_module.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <optional>

namespace volantis::pecheck::testing {
namespace {

std::optional<std::vector<uint8_t>>& Cache() {
  static std::optional<std::vector<uint8_t>> bytes;
  return bytes;
}

}  // namespace

std::string BuiltModuleTest::Path() {
  const char* path = std::getenv("VOLANTIS_WIN32_DLL");
  return path ? path : "";
}

const std::vector<uint8_t>& BuiltModuleTest::Bytes() { return *Cache(); }

void BuiltModuleTest::SetUp() {
  const std::string path = Path();
  if (path.empty()) {
    GTEST_SKIP() << "VOLANTIS_WIN32_DLL is empty: configure with -DVOLANTIS_WIN32_DLL=<path to the built "
                    "32-bit Volantis.dll> (build the win32 preset first) to check it";
  }
  if (!Cache()) {
    std::ifstream in(path, std::ios::binary);
    ASSERT_TRUE(in) << "VOLANTIS_WIN32_DLL names " << path << ", which cannot be read (was the win32 preset built?)";
    Cache().emplace((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }
}

}  // namespace volantis::pecheck::testing
