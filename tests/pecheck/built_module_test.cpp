// The built 32-bit Volantis.dll passes every check of its file.
#include "built_module.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "module_image_check.h"

namespace volantis::pecheck::testing {
namespace {

TEST_F(BuiltModuleTest, PassesEveryCheck) {
  const std::vector<std::string> problems = CheckModuleImage(Bytes());
  std::string listed;
  for (const std::string& problem : problems) listed += "\n  " + problem;
  EXPECT_TRUE(problems.empty()) << Path() << " has " << problems.size() << " problem(s):" << listed;
  std::printf("checked %s (%zu bytes): %zu problems\n", Path().c_str(), Bytes().size(), problems.size());
}

}  // namespace
}  // namespace volantis::pecheck::testing
