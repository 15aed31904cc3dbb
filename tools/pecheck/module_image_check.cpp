#include "module_image_check.h"

#include "module_checks.h"
#include "text_format.h"

namespace volantis::pecheck {

void CheckHeaders(const PeImage& image, Problems* problems) {
  if (image.machine() != kMachineI386) {
    problems->push_back("machine is " + Hex(image.machine()) + ", expected " + Hex(kMachineI386) +
                        " (i386): the simulator is a 32-bit program");
  }
  if (image.magic() != kMagicPe32) {
    problems->push_back("optional header magic is " + Hex(image.magic()) + ", expected " + Hex(kMagicPe32) + " (PE32)");
  }
  if (!image.IsDll()) {
    problems->push_back("not a DLL: characteristics " + Hex(image.characteristics()) + " lack " + Hex(kFileDll));
  }
  problems->insert(problems->end(), image.header_problems().begin(), image.header_problems().end());
}

std::vector<std::string> CheckModuleImage(const std::vector<uint8_t>& bytes) {
  Problems problems;
  std::string error;
  const auto image = PeImage::Parse(bytes, &error);
  if (!image) {
    problems.push_back(error);
    return problems;
  }
  CheckHeaders(*image, &problems);
  CheckModuleRecords(*image, &problems);
  CheckImports(*image, &problems);
  const std::vector<Resource> resources = ReadResources(*image, &problems);
  CheckUiResources(*image, resources, &problems);
  CheckSounds(*image, resources, &problems);
  return problems;
}

}  // namespace volantis::pecheck
