// The one application object of the module and the library's entry point.
#include <windows.h>

#include "host/win32/host_hook.h"
#include "ui/app_settings.h"

namespace volantis::win32 {
namespace {

// Constructed when the library is loaded, destroyed when it is unloaded.
class ModuleApp {
 public:
  ModuleApp() = default;
  // The hooked window and the objects that use the settings go first: the race
  // monitor must not outlive the race definition it reads.
  ~ModuleApp() { hook.Shutdown(false); }

  void Detach(bool process_exiting) { hook.Shutdown(process_exiting); }

  AppSettings settings;
  HostHook hook{settings};
};

ModuleApp g_app;

}  // namespace
}  // namespace volantis::win32

// Runs before the static objects' destructors on unload, so the host's window
// procedure is back in place before anything is taken apart.
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {
  if (reason == DLL_PROCESS_DETACH) {
    try {
      volantis::win32::g_app.Detach(reserved != nullptr);
    } catch (...) {
    }
  }
  return TRUE;
}
