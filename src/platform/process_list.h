#pragma once
// The running processes and their first modules, as the executable search of a
// validation run needs them.
#include <cstdint>
#include <string>
#include <vector>

namespace volantis {

struct ProcessEntry {
  uint32_t process_id = 0;
  std::string exe_file;  // as the system lists it: a bare file name or a full path
};

struct ModuleEntry {
  std::string module_name;  // at most 256 characters
  std::string exe_path;     // at most 260 characters
};

enum class ModuleQuery { kFound, kSnapshotFailed, kFirstModuleFailed };

struct FirstModuleResult {
  ModuleQuery outcome = ModuleQuery::kSnapshotFailed;
  uint32_t error_code = 0;  // the system's last error when the snapshot failed
  ModuleEntry module;
};

class ProcessList {
 public:
  virtual ~ProcessList() = default;
  // A snapshot of all processes in the system's order; false when it cannot be taken.
  virtual bool SnapshotProcesses(std::vector<ProcessEntry>* processes) = 0;
  // The first module of a process (its executable).
  virtual FirstModuleResult FirstModule(uint32_t process_id) = 0;
  // The id of the process this program runs in.
  virtual uint32_t OwnProcessId() = 0;
};

// Windows half: toolhelp snapshots. Native half: /proc, with module paths written
// with '\' between folders.
ProcessList& SystemProcessList();

}  // namespace volantis
