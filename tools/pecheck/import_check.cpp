// The module runs on pilots' machines that have nothing but Windows: every DLL
// it imports must be one Windows ships (no compiler runtime DLLs).
#include <algorithm>
#include <cctype>
#include <set>

#include "module_checks.h"
#include "pe_imports.h"
#include "text_format.h"

namespace volantis::pecheck {
namespace {

const std::set<std::string> kSystemDlls = {
    "kernel32.dll", "user32.dll",  "gdi32.dll",   "advapi32.dll", "msvcrt.dll",   "winmm.dll",
    "wininet.dll",  "ws2_32.dll",  "wsock32.dll", "ole32.dll",    "oleaut32.dll", "comctl32.dll",
    "comdlg32.dll", "shell32.dll", "version.dll", "atl.dll",      "shlwapi.dll"};

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

}  // namespace

void CheckImports(const PeImage& image, Problems* problems) {
  for (const ImportedDll& dll : ReadImportedDlls(image, problems)) {
    if (kSystemDlls.count(Lower(dll.name)) == 0) {
      problems->push_back(std::string(dll.delayed ? "delay-loads " : "imports ") + Printable(dll.name) +
                          ", which Windows does not ship");
    }
  }
}

}  // namespace volantis::pecheck
