// The native half's file system: host paths ("C:\Sim\Aircraft\X\aircraft.cfg")
// become native paths ('\' to '/', a drive letter dropped), and a folder or file
// name that does not exist as written is looked up ignoring case, as the host's
// file system does.
#include <dirent.h>
#include <sys/stat.h>

#include <ctime>

#include "platform/file_system.h"
#include "platform/profile_parser.h"

namespace volantis {
namespace {

bool Exists(const std::string& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0;
}

// The entry of `folder` whose name equals `name` ignoring case, or `name` itself.
std::string MatchName(const std::string& folder, const std::string& name) {
  DIR* dir = ::opendir(folder.empty() ? "/" : folder.c_str());
  if (dir == nullptr) return name;
  std::string match = name;
  while (dirent* entry = ::readdir(dir)) {
    if (ProfileNamesEqual(entry->d_name, name)) {
      match = entry->d_name;
      break;
    }
  }
  ::closedir(dir);
  return match;
}

std::string NativePath(const std::string& host_path) {
  std::string path = host_path;
  if (path.size() >= 2 && path[1] == ':' &&
      ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'))) {
    path.erase(0, 2);
  }
  for (char& c : path) {
    if (c == '\\') c = '/';
  }
  if (path.empty() || Exists(path)) return path;

  // Resolve folder by folder, ignoring case where the written form is missing.
  std::string resolved = path[0] == '/' ? "" : ".";
  std::size_t pos = 0;
  while (pos < path.size()) {
    std::size_t slash = path.find('/', pos);
    if (slash == std::string::npos) slash = path.size();
    std::string name = path.substr(pos, slash - pos);
    pos = slash + 1;
    if (name.empty()) continue;
    std::string candidate = resolved + "/" + name;
    if (!Exists(candidate)) candidate = resolved + "/" + MatchName(resolved.empty() ? "/" : resolved, name);
    resolved = candidate;
  }
  return resolved;
}

class PosixFileSystem : public FileSystem {
 public:
  bool Status(const std::string& path, FileStatus* status) override {
    struct stat info;
    if (::stat(NativePath(path).c_str(), &info) != 0) return false;
    status->size = static_cast<int64_t>(info.st_size);
    status->modified_time = static_cast<int64_t>(info.st_mtime);
    status->is_directory = S_ISDIR(info.st_mode);
    return true;
  }

  UniqueFile OpenForReading(const std::string& path) override {
    std::string native = NativePath(path);
    struct stat info;
    // Reading a folder is refused here as on the host.
    if (::stat(native.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) return UniqueFile();
    return UniqueFile(std::fopen(native.c_str(), "rb"));
  }

  bool SearchFolder(const std::string& folder, const std::function<bool(const DirectoryEntry&)>& visit) override {
    std::string native = NativePath(folder);
    DIR* dir = ::opendir(native.c_str());
    if (dir == nullptr) return false;
    while (dirent* found = ::readdir(dir)) {
      DirectoryEntry entry;
      entry.name = found->d_name;
      struct stat info;
      entry.is_directory = ::stat((native + "/" + entry.name).c_str(), &info) == 0 && S_ISDIR(info.st_mode);
      if (!visit(entry)) break;
    }
    ::closedir(dir);
    return true;
  }

  std::string LocalTimeText(int64_t time) override {
    std::time_t value = static_cast<std::time_t>(time);
    char text[64] = {};
    if (::ctime_r(&value, text) == nullptr) return std::string();
    return text;
  }
};

}  // namespace

FileSystem& SystemFileSystem() {
  static PosixFileSystem files;
  return files;
}

}  // namespace volantis
