// Finding the simulator's folder from its running executable.
#include <vector>

#include "validation/validator.h"

namespace volantis {
namespace {

constexpr char kSimExeName[] = "fs9.exe";
constexpr std::size_t kSimExeNameLength = sizeof kSimExeName - 1;

bool EndsWithSimExe(const std::string& exe_file) {
  std::string tail = exe_file.size() > kSimExeNameLength ? exe_file.substr(exe_file.size() - kSimExeNameLength)
                                                         : exe_file;
  return TextsEqualIgnoringCase(tail, kSimExeName);
}

bool IsFullPathWithDrive(const std::string& exe_file) {
  return exe_file.size() > kSimExeNameLength && exe_file[1] == ':' && exe_file[2] == '\\';
}

}  // namespace

bool Validator::GetFirstModule(uint32_t process_id, ModuleEntry* module) {
  FirstModuleResult result = processes_.FirstModule(process_id);
  switch (result.outcome) {
    case ModuleQuery::kSnapshotFailed:
      log_.Log(kLogDetail, "Error 0x%08X calling CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, dwPID)\n",
               static_cast<unsigned>(result.error_code));
      return false;
    case ModuleQuery::kFirstModuleFailed:
      log_.Log(kLogDetail, "Error calling Module32First(hModuleSnap, &me32)\n");
      return false;
    case ModuleQuery::kFound:
      break;
  }
  *module = result.module;
  return true;
}

std::string Validator::FindSimExePath() {
  std::vector<ProcessEntry> processes;
  if (!processes_.SnapshotProcesses(&processes)) return std::string();
  // Only the simulator this module runs in counts: another copy of fs9.exe, with
  // an installation of its own, must not pass this one's validation.
  const uint32_t own = processes_.OwnProcessId();
  std::string result;
  for (const ProcessEntry& process : processes) {
    log_.Log(kLogDetail, "Process ExePath: '%s'.\n", process.exe_file.c_str());
    if (process.process_id != own || !EndsWithSimExe(process.exe_file)) continue;
    if (IsFullPathWithDrive(process.exe_file)) {
      result = process.exe_file;
      break;
    }
    ModuleEntry module;
    if (GetFirstModule(process.process_id, &module)) {
      log_.Log(kLogDetail, "Module: '%s', ExePath: '%s'\n", module.module_name.c_str(), module.exe_path.c_str());
      result = module.exe_path;
      break;
    }
  }
  log_.Log(kLogDetail, "Exe Path: %s\n", result.c_str());
  return result;
}

}  // namespace volantis
