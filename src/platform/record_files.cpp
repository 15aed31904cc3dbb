#include "platform/record_files.h"

namespace volantis {

std::string RecordFiles::Join(const std::string& folder, const std::string& name) const {
  if (folder.empty()) return name;
  const char separator = Separator();
  if (folder.back() == separator || folder.back() == '/') return folder + name;
  return folder + separator + name;
}

}  // namespace volantis
