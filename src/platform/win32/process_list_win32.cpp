// The process list through toolhelp snapshots.
#include <windows.h>
#include <tlhelp32.h>

#include "platform/process_list.h"
#include "platform/win32/unique_handle.h"

namespace volantis {
namespace {

class ToolhelpProcessList : public ProcessList {
 public:
  bool SnapshotProcesses(std::vector<ProcessEntry>* processes) override {
    processes->clear();
    win32::UniqueSnapshot snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return false;
    PROCESSENTRY32 entry;
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Process32First(snapshot.get(), &entry); more; more = ::Process32Next(snapshot.get(), &entry)) {
      ProcessEntry process;
      process.process_id = entry.th32ProcessID;
      process.exe_file = entry.szExeFile;
      processes->push_back(std::move(process));
    }
    return true;
  }

  FirstModuleResult FirstModule(uint32_t process_id) override {
    FirstModuleResult result;
    win32::UniqueSnapshot snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, process_id));
    if (!snapshot) {
      result.outcome = ModuleQuery::kSnapshotFailed;
      result.error_code = ::GetLastError();
      return result;
    }
    MODULEENTRY32 module;
    module.dwSize = sizeof module;
    if (!::Module32First(snapshot.get(), &module)) {
      result.outcome = ModuleQuery::kFirstModuleFailed;
      result.error_code = ::GetLastError();
      return result;
    }
    result.outcome = ModuleQuery::kFound;
    result.module.module_name = module.szModule;
    result.module.exe_path = module.szExePath;
    return result;
  }

  uint32_t OwnProcessId() override { return ::GetCurrentProcessId(); }
};

}  // namespace

ProcessList& SystemProcessList() {
  static ToolhelpProcessList list;
  return list;
}

}  // namespace volantis
