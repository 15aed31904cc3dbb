#include "host/win32/module_commands.h"

#include "host/win32/ensure_menu.h"
#include "host/win32/host_hook.h"
#include "platform/clock.h"
#include "platform/host_memory.h"
#include "platform/sound_player.h"

namespace volantis::win32 {

ModuleCommands::ModuleCommands(HWND window, AppSettings& app_settings)
    : host_window(window),
      settings(app_settings),
      poster_(window),
      monitor_(race, RaceServices{app_settings, SystemClock(), ModuleSoundPlayer(), poster_}, ProcessHostMemory()) {}

// The monitor stops first (its destructor waits for the thread), then the windows.
ModuleCommands::~ModuleCommands() = default;

void ModuleCommands::EnsureMenu() { win32::EnsureMenu(host_window, ModuleInstance()); }

void ModuleCommands::StartValidation() {
  // wired when the validation run lands
}

bool ModuleCommands::IsMonitorRunning() { return monitor_.IsMonitorRunning(); }

void ModuleCommands::StartRace() { monitor_.StartRace(); }

void ModuleCommands::StopRace() { monitor_.StopRace(); }

void ModuleCommands::StartResultsSubmission() {
  // wired when the results submission lands
}

void ModuleCommands::OpenLogWindow() { race.OpenLog(); }

void ModuleCommands::ClearLogWindow() {
  race.ClearLog();
  race.BlankPosition();
}

void ModuleCommands::OpenValidateWindow() { validate_window.Open(); }

void ModuleCommands::ShowResultsPage() {
  // wired when the Results window lands
}

void ModuleCommands::RunAboutBox() {
  // wired when the About box lands
}

void ModuleCommands::RunRaceSettings() {
  // wired when the Race Settings dialog lands
}

bool ModuleCommands::ConfirmStopRace() {
  return ::MessageBoxA(host_window, kStopRaceQuestion, kMessageBoxCaption, MB_YESNO) == IDYES;
}

void ModuleCommands::SetSamplingPaused(bool paused) { race.sampling_paused = paused; }

void ModuleCommands::SetCommandTick(uint32_t tick) { race.command_tick = tick; }

}  // namespace volantis::win32
