#include "host/win32/module_records.h"

#include "host/win32/host_hook.h"

namespace {

// Called by the host after it has loaded the module, on its user-interface thread.
void ModuleInit() noexcept {
  try {
    if (volantis::win32::HostHook* hook = volantis::win32::HostHook::Current()) hook->Init();
  } catch (...) {
    // The module stays inert; nothing may reach the host.
  }
}

// Called by the host before it unloads the module, on its user-interface
// thread and outside the loader's lock: the module's orderly end.
void ModuleDeinit() noexcept {
  try {
    if (volantis::win32::HostHook* hook = volantis::win32::HostHook::Current()) hook->End();
  } catch (...) {
    // Nothing may reach the host.
  }
}

}  // namespace

extern "C" {
volantis::win32::ImportEntry ImportTable[2] = {
    {volantis::win32::kCoreModuleNumber, 0},
    {0, 0},
};

volantis::win32::LinkageRecord Linkage = {
    volantis::win32::kModuleId, &ModuleInit, &ModuleDeinit, 0, 0, volantis::win32::kHostVersion, 0,
};
}
