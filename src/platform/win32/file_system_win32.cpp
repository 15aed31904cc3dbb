// File status, reading and directory search through the C runtime and the
// system's directory search. A path the system would not take whole fails
// plainly; it is never cut.
#include <windows.h>
#include <sys/stat.h>
#include <sys/types.h>

#include <ctime>

#include "platform/file_system.h"
#include "platform/win32/unique_handle.h"

namespace volantis {
namespace {

bool Fits(const std::string& path) { return path.size() < MAX_PATH && path.find('\0') == std::string::npos; }

class WindowsFileSystem : public FileSystem {
 public:
  bool Status(const std::string& path, FileStatus* status) override {
    if (!Fits(path)) return false;
    struct _stat info;
    if (::_stat(path.c_str(), &info) != 0) return false;
    status->size = static_cast<int64_t>(info.st_size);
    status->modified_time = static_cast<int64_t>(info.st_mtime);
    status->is_directory = (info.st_mode & _S_IFDIR) != 0;
    return true;
  }

  UniqueFile OpenForReading(const std::string& path) override {
    if (!Fits(path)) return UniqueFile();
    return UniqueFile(std::fopen(path.c_str(), "rb"));
  }

  bool SearchFolder(const std::string& folder, const std::function<bool(const DirectoryEntry&)>& visit) override {
    std::string pattern = folder + "\\*.*";
    if (!Fits(pattern)) return false;
    WIN32_FIND_DATAA data;
    win32::UniqueFind search(::FindFirstFileA(pattern.c_str(), &data));
    if (!search) return false;
    do {
      DirectoryEntry entry;
      entry.name = data.cFileName;
      entry.is_directory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
      if (!visit(entry)) break;
    } while (::FindNextFileA(search.get(), &data));
    return true;
  }

  std::string LocalTimeText(int64_t time) override {
    std::time_t value = static_cast<std::time_t>(time);
    const char* text = std::ctime(&value);  // the validation thread is its only user
    return text != nullptr ? std::string(text) : std::string();
  }
};

}  // namespace

FileSystem& SystemFileSystem() {
  static WindowsFileSystem files;
  return files;
}

}  // namespace volantis
