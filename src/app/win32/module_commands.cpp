#include "app/win32/module_commands.h"

#include <cstdlib>

#include "core/settings_profile.h"
#include "host/win32/ensure_menu.h"
#include "host/win32/host_hook.h"
#include "host/win32/window_poster.h"
#include "platform/clock.h"
#include "platform/file_system.h"
#include "platform/host_memory.h"
#include "platform/http_transport.h"
#include "platform/process_list.h"
#include "platform/profile_reader.h"
#include "platform/record_files.h"
#include "platform/sound_player.h"
#include "platform/udp_channel.h"

namespace volantis::win32 {
namespace {

// The settings load (and the hot key is registered) before the race state, the
// windows and the workers that read them are built.
std::shared_ptr<ModuleCore> LoadSettingsAndCreateCore(HWND window, std::shared_ptr<AppSettings> settings,
                                                      SettingsStore& store, HotKeyRegistrar& hot_keys) {
  LoadSettings(*settings, store, hot_keys);
  return ModuleCore::Create(std::move(settings),
                            ModuleServices{SystemHttpTransport(), SystemUdpChannel(), SystemClock(), ModuleSoundPlayer(),
                                           ProcessHostMemory(), SystemProcessList(), SystemFileSystem(),
                                           SystemProfileReader(), SystemRecordFiles()},
                            std::make_unique<WindowPoster>(window));
}

// The stand-in simulator's tests shorten the pause between attempts to send
// results through VOLANTIS_RESULTS_RETRY_WAIT_MS; only a shorter pause is taken.
void ApplyTestRetryWait(RaceResultsSender& sender) {
  char text[16] = {};
  const DWORD length = ::GetEnvironmentVariableA("VOLANTIS_RESULTS_RETRY_WAIT_MS", text, sizeof(text));
  if (length == 0 || length >= sizeof(text)) return;
  char* end = nullptr;
  const unsigned long wait_ms = std::strtoul(text, &end, 10);
  if (*end == '\0' && wait_ms < kResultsRetryWaitMs) sender.SetRetryWaitForTesting(static_cast<uint32_t>(wait_ms));
}

}  // namespace

ModuleCommands::ModuleCommands(HWND window, std::shared_ptr<AppSettings> app_settings)
    : host_window(window),
      settings(*app_settings),
      store_(OpenUserSettingsStore()),
      hot_keys_(window),
      core_(LoadSettingsAndCreateCore(window, app_settings, *store_, hot_keys_)),
      race(core_->race),
      validate_window(core_->validate_window),
      server_(core_->server),
      validator_(core_->validator),
      results_sender_(core_->results_sender),
      monitor_(core_->monitor),
      windows_(ModuleInstance(), window, settings, *store_, hot_keys_, *race.log, validate_window,
               [this] { StartValidation(); }) {
  ApplyTestRetryWait(results_sender_);
}

ModuleCommands::~ModuleCommands() {
  if (!core_->ending()) core_->End(0);
}

void ModuleCommands::End() {
  core_->End(kEndWaitMs);
  hot_keys_.Unregister();
}

void ModuleCommands::EnsureMenu() { win32::EnsureMenu(host_window, ModuleInstance()); }

void ModuleCommands::StartValidation() { validator_.StartValidation(); }

bool ModuleCommands::IsMonitorRunning() { return monitor_.IsMonitorRunning(); }

void ModuleCommands::StartRace() { monitor_.StartRace(); }

void ModuleCommands::StopRace() { monitor_.StopRace(); }

uint32_t ModuleCommands::CurrentRaceSerial() { return race.race_serial.load(); }
uint32_t ModuleCommands::TakeFinishedRace() { return race.finished_serial.exchange(0); }

void ModuleCommands::StartResultsSubmission() {
  RaceResults results = race.Results();
  // A record another simulator made in the same second is left alone.
  if (core_->records.NotOurs(results.record_name)) results.record_name.clear();
  results_sender_.Start(results, ResultsSubmissionSettings::From(settings, results));
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
