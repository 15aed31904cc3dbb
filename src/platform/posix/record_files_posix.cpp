// The native half's pilot data: $XDG_DATA_HOME/volantis/races, or
// ~/.local/share/volantis/races when XDG_DATA_HOME is not set (or not absolute).
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/record_files.h"

namespace volantis {
namespace {

bool IsFolder(const std::string& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// flock's lock: held on its own open file description, so two holders in one
// process exclude each other as two processes do.
class PosixFileLock : public FileLock {
 public:
  explicit PosixFileLock(int handle) : handle_(handle) {}
  ~PosixFileLock() override { ::close(handle_); }
  PosixFileLock(const PosixFileLock&) = delete;
  PosixFileLock& operator=(const PosixFileLock&) = delete;

 private:
  int handle_;
};

class PosixRecordFiles : public RecordFiles {
 public:
  std::string RacesFolder() override {
    const char* data_home = std::getenv("XDG_DATA_HOME");
    if (data_home != nullptr && data_home[0] == '/') return std::string(data_home) + "/volantis/races";
    const char* home = std::getenv("HOME");
    if (home == nullptr || home[0] != '/') return std::string();
    return std::string(home) + "/.local/share/volantis/races";
  }

  char Separator() const override { return '/'; }

  FolderCreation CreateFolder(const std::string& path) override {
    if (path.empty()) return FolderCreation::kFailed;
    for (std::size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1)) {
      const std::string parent = path.substr(0, slash);
      if (::mkdir(parent.c_str(), 0755) != 0 && errno != EEXIST) return FolderCreation::kFailed;
    }
    if (::mkdir(path.c_str(), 0755) == 0) return FolderCreation::kCreated;
    if (errno == EEXIST && IsFolder(path)) return FolderCreation::kExists;
    return FolderCreation::kFailed;
  }

  UniqueFile Open(const std::string& path, const char* mode) override {
    return UniqueFile(std::fopen(path.c_str(), mode));
  }

  bool ListFolders(const std::string& folder, std::vector<std::string>& names) override {
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) return false;
    while (dirent* entry = ::readdir(dir)) {
      const std::string name = entry->d_name;
      if (name == "." || name == "..") continue;
      if (IsFolder(folder + "/" + name)) names.push_back(name);
    }
    ::closedir(dir);
    return true;
  }

  bool Flush(std::FILE* file) override {
    return std::fflush(file) == 0 && ::fsync(::fileno(file)) == 0;
  }

  bool Replace(const std::string& from, const std::string& to) override {
    if (::rename(from.c_str(), to.c_str()) != 0) return false;
    // The rename itself is on the disk only once its folder is.
    const std::size_t slash = to.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : to.substr(0, slash);
    const int handle = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (handle < 0) return true;  // renamed; the folder cannot be synced here
    ::fsync(handle);
    ::close(handle);
    return true;
  }

  LockTaking TryLock(const std::string& path, std::unique_ptr<FileLock>& lock) override {
    const int handle = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (handle < 0) return LockTaking::kFailed;
    if (::flock(handle, LOCK_EX | LOCK_NB) != 0) {
      const bool busy = errno == EWOULDBLOCK;
      ::close(handle);
      return busy ? LockTaking::kBusy : LockTaking::kFailed;
    }
    lock = std::make_unique<PosixFileLock>(handle);
    return LockTaking::kHeld;
  }

  bool RemoveTree(const std::string& path) override {
    struct stat info;
    if (::lstat(path.c_str(), &info) != 0) return errno == ENOENT;
    if (!S_ISDIR(info.st_mode)) return ::unlink(path.c_str()) == 0;
    bool all_gone = true;
    if (DIR* dir = ::opendir(path.c_str())) {
      std::vector<std::string> entries;
      while (dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") entries.push_back(path + "/" + name);
      }
      ::closedir(dir);
      for (const std::string& entry : entries) all_gone = RemoveTree(entry) && all_gone;
    }
    return ::rmdir(path.c_str()) == 0 && all_gone;
  }
};

}  // namespace

RecordFiles& SystemRecordFiles() {
  static PosixRecordFiles files;
  return files;
}

}  // namespace volantis
