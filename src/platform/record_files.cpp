#include "platform/record_files.h"

#include <cstdio>

namespace volantis {

std::string RecordFiles::Join(const std::string& folder, const std::string& name) const {
  if (folder.empty()) return name;
  const char separator = Separator();
  if (folder.back() == separator || folder.back() == '/') return folder + name;
  return folder + separator + name;
}

bool WriteWholeFile(RecordFiles& files, const std::string& path, const std::string& text) {
  const std::string temporary = path + ".new";
  bool written = false;
  {
    UniqueFile file = files.Open(temporary, "wb");
    if (!file) return false;
    written = std::fwrite(text.data(), 1, text.size(), file.get()) == text.size() && files.Flush(file.get());
    written = std::fclose(file.release()) == 0 && written;
  }
  if (written && files.Replace(temporary, path)) return true;
  files.RemoveTree(temporary);
  return false;
}

}  // namespace volantis
