#pragma once
// The built 32-bit Volantis.dll that ctest names in the environment variable
// VOLANTIS_WIN32_DLL (from the CMake cache variable of the same name). Tests of
// it skip, saying why, when the variable is empty, and fail when it names a
// file that cannot be read.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace volantis::pecheck::testing {

class BuiltModuleTest : public ::testing::Test {
 protected:
  void SetUp() override;
  // The file's bytes, read once for the whole test program.
  static const std::vector<uint8_t>& Bytes();
  static std::string Path();
};

}  // namespace volantis::pecheck::testing
