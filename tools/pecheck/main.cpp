// volantis-pecheck FILE.dll: checks a built 32-bit Volantis.dll from its bytes.
// Prints one line per problem and exits 1, or a one-line summary and exits 0.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "module_image_check.h"
#include "pe_image.h"
#include "pe_imports.h"
#include "pe_resources.h"

namespace {

std::string Summary(const std::vector<uint8_t>& bytes) {
  using namespace volantis::pecheck;
  std::string error;
  const auto image = PeImage::Parse(bytes, &error);
  std::vector<std::string> ignored;
  std::string imports;
  for (const ImportedDll& dll : ReadImportedDlls(*image, &ignored)) imports += (imports.empty() ? "" : ", ") + dll.name;
  return "i386 DLL exporting ImportTable and Linkage; imports " + imports + "; " +
         std::to_string(ReadResources(*image, &ignored).size()) + " resources; all checks pass";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: volantis-pecheck FILE.dll\n");
    return 1;
  }
  const std::string path = argv[1];
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "volantis-pecheck: cannot open %s\n", path.c_str());
    return 1;
  }
  const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const std::vector<std::string> problems = volantis::pecheck::CheckModuleImage(bytes);
  if (problems.empty()) {
    std::printf("%s: %s\n", path.c_str(), Summary(bytes).c_str());
    return 0;
  }
  for (const std::string& problem : problems) std::printf("%s: %s\n", path.c_str(), problem.c_str());
  std::printf("%s: %zu problem%s\n", path.c_str(), problems.size(), problems.size() == 1 ? "" : "s");
  return 1;
}
