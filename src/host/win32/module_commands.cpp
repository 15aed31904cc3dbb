#include "host/win32/module_commands.h"

#include "host/win32/ensure_menu.h"
#include "host/win32/host_hook.h"
#include "platform/clock.h"
#include "platform/file_system.h"
#include "platform/host_memory.h"
#include "platform/http_transport.h"
#include "platform/process_list.h"
#include "platform/profile_reader.h"
#include "platform/sound_player.h"
#include "platform/udp_channel.h"
#include "ui/settings_profile.h"

namespace volantis::win32 {
namespace {

// The settings load (and the hot key is registered) before the windows and the
// workers that read them are built.
SettingsStore& LoadedSettings(SettingsStore& store, AppSettings& settings, HotKeyRegistrar& hot_keys) {
  LoadSettings(settings, store, hot_keys);
  return store;
}

}  // namespace

ModuleCommands::ModuleCommands(HWND window, AppSettings& app_settings)
    : host_window(window),
      settings(app_settings),
      store_(OpenUserSettingsStore()),
      hot_keys_(window),
      poster_(window),
      windows_(ModuleInstance(), window, app_settings, LoadedSettings(*store_, app_settings, hot_keys_), hot_keys_,
               *race.log, validate_window, [this] { StartValidation(); }),
      server_(app_settings, validate_window,
              ServerServices{SystemHttpTransport(), SystemUdpChannel(), SystemClock(), ModuleSoundPlayer(), poster_}),
      validator_(app_settings, validate_window, server_, ProcessHostMemory(), ModuleSoundPlayer(), SystemProcessList(),
                 SystemFileSystem(), SystemProfileReader()),
      results_sender_(*race.log, SystemHttpTransport(), SystemClock(), ModuleSoundPlayer()),
      monitor_(race, RaceServices{app_settings, SystemClock(), ModuleSoundPlayer(), poster_}, ProcessHostMemory()) {}

// The monitor stops first (its destructor waits for the thread), then the windows.
ModuleCommands::~ModuleCommands() = default;

void ModuleCommands::EnsureMenu() { win32::EnsureMenu(host_window, ModuleInstance()); }

void ModuleCommands::StartValidation() { validator_.StartValidation(); }

bool ModuleCommands::IsMonitorRunning() { return monitor_.IsMonitorRunning(); }

void ModuleCommands::StartRace() { monitor_.StartRace(); }

void ModuleCommands::StopRace() { monitor_.StopRace(); }

void ModuleCommands::StartResultsSubmission() {
  results_sender_.Start(race.Results(), ResultsSubmissionSettings::From(settings));
}

void ModuleCommands::OpenLogWindow() { windows_.OpenLogWindow(); }

void ModuleCommands::ClearLogWindow() { windows_.ClearLogWindow(); }

void ModuleCommands::OpenValidateWindow() { windows_.OpenValidateWindow(); }

void ModuleCommands::ShowResultsPage() { windows_.ShowResultsPage(); }

void ModuleCommands::RunAboutBox() { windows_.RunAboutBox(); }

// The dialog copies the settings back and saves them itself when the user saves.
void ModuleCommands::RunRaceSettings() { windows_.RunRaceSettings(); }

bool ModuleCommands::ConfirmStopRace() {
  return ::MessageBoxA(host_window, kStopRaceQuestion, kMessageBoxCaption, MB_YESNO) == IDYES;
}

void ModuleCommands::SetSamplingPaused(bool paused) { race.sampling_paused = paused; }

void ModuleCommands::SetCommandTick(uint32_t tick) { race.command_tick = tick; }

}  // namespace volantis::win32
