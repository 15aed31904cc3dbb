// The one application object of the module and the library's entry point.
#include <windows.h>

#include <memory>

#include "app/win32/module_commands.h"
#include "core/app_settings.h"
#include "host/win32/host_hook.h"

namespace volantis::win32 {
namespace {

// Set when the library is detached because the process is ending.
bool g_process_exiting = false;

// Constructed when the library is loaded, destroyed when it is unloaded, with
// the other static objects and under the loader's lock: nothing here waits.
// The orderly end has run by then (the deinit entry); at process exit without
// it, the other threads are gone already and nothing is taken apart.
class ModuleApp {
 public:
  ModuleApp() = default;
  ~ModuleApp() {
    if (g_process_exiting) hook.Abandon();
  }

  // Shared with the workers, which may read them until they have ended.
  std::shared_ptr<AppSettings> settings = std::make_shared<AppSettings>();
  HostHook hook{[settings = settings](HWND host_window) -> std::unique_ptr<HookedCommands> {
    return std::make_unique<ModuleCommands>(host_window, settings);
  }};
};

ModuleApp g_app;

}  // namespace
}  // namespace volantis::win32

// Runs under the loader's lock, before the static objects' destructors on a
// detach: it only notes whether the process is ending, and waits for nothing.
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {
  if (reason == DLL_PROCESS_DETACH && reserved != nullptr) volantis::win32::g_process_exiting = true;
  return TRUE;
}
