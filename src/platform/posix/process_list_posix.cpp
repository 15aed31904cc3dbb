// The native half's process list, from /proc: a process's entry carries the bare
// name it was started as (like the host's process entries), and its first module
// is its executable's full path written with '\' between folders.
#include <dirent.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "platform/process_list.h"

namespace volantis {
namespace {

std::string BaseName(const std::string& path) {
  std::size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string StartName(uint32_t process_id) {
  std::ifstream in("/proc/" + std::to_string(process_id) + "/cmdline", std::ios::binary);
  std::string command((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return BaseName(command.substr(0, command.find('\0')));
}

class ProcProcessList : public ProcessList {
 public:
  bool SnapshotProcesses(std::vector<ProcessEntry>* processes) override {
    processes->clear();
    DIR* dir = ::opendir("/proc");
    if (dir == nullptr) return false;
    while (dirent* entry = ::readdir(dir)) {
      char* end = nullptr;
      unsigned long id = std::strtoul(entry->d_name, &end, 10);
      if (end == entry->d_name || *end != '\0') continue;
      ProcessEntry process;
      process.process_id = static_cast<uint32_t>(id);
      process.exe_file = StartName(process.process_id);
      processes->push_back(std::move(process));
    }
    ::closedir(dir);
    return true;
  }

  FirstModuleResult FirstModule(uint32_t process_id) override {
    FirstModuleResult result;
    std::string link = "/proc/" + std::to_string(process_id) + "/exe";
    char target[4096];
    ssize_t length = ::readlink(link.c_str(), target, sizeof target);
    if (length < 0 || static_cast<std::size_t>(length) >= sizeof target) {
      result.outcome = ModuleQuery::kSnapshotFailed;
      result.error_code = static_cast<uint32_t>(length < 0 ? errno : ENAMETOOLONG);
      return result;
    }
    std::string path(target, static_cast<std::size_t>(length));
    for (char& c : path) {
      if (c == '/') c = '\\';
    }
    result.outcome = ModuleQuery::kFound;
    result.module.module_name = BaseName(path);
    result.module.exe_path = path;
    return result;
  }

  uint32_t OwnProcessId() override { return static_cast<uint32_t>(::getpid()); }
};

}  // namespace

ProcessList& SystemProcessList() {
  static ProcProcessList list;
  return list;
}

}  // namespace volantis
