#pragma once
// One validation run at a time: the clock synchronisation with the race server,
// the simulator's two realism settings, the simulator's folder from its running
// executable, and the check list of the race aircraft the server named. Every run
// that gets past the synchronisation ends with exactly one report to the server.
//
// All dependencies are injected; the module passes the platform's own objects:
//   Validator validator(settings, validate_window, server, ProcessHostMemory(),
//                       ModuleSoundPlayer(), SystemProcessList(), SystemFileSystem(),
//                       SystemProfileReader(), workers);
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/app_settings.h"
#include "core/validate_window.h"
#include "platform/file_system.h"
#include "platform/host_memory.h"
#include "platform/process_list.h"
#include "platform/profile_reader.h"
#include "platform/sound_player.h"
#include "platform/sync.h"
#include "platform/worker_group.h"
#include "server/digest.h"
#include "server/validation_server.h"
#include "server/validation_settings.h"
#include "validation/reference_aircraft.h"

namespace volantis {

inline constexpr uint32_t kConfigValueBufferSize = 1000;
inline constexpr uint32_t kTitleBufferSize = 100;
inline constexpr uint32_t kSectionListBufferSize = 10000;
inline constexpr uint32_t kUnreadableFileWord = 0xDEADBEEF;
// Once per validation when the build knows only some of the aircraft's values
// (the release before the real reference data is in): known, then all rows.
inline constexpr const char* kUncheckedValuesText =
    "This build knows %lu of the %lu configuration values of the race aircraft; the others were not checked.\n";
// Heads the mismatch that ended a failed check list, in the Validate window.
inline constexpr const char* kStoppedTheValidationText = "This one stopped the validation:\n";
// At most this many lines of other mismatches after a failed check list.
inline constexpr std::size_t kMismatchLinesShown = 50;

class Validator {
 public:
  // The run thread is one of workers and stops between its steps once their
  // cancel signal is set (the module is ending), reporting nothing more.
  Validator(AppSettings& settings, ValidateWindow& log, ValidationServer& server, HostMemory& host,
            SoundPlayer& sounds, ProcessList& processes, FileSystem& files, ProfileReader& profiles,
            WorkerGroup& workers);
  Validator(const Validator&) = delete;
  Validator& operator=(const Validator&) = delete;

  // Starts a run on a thread of its own unless one is under way or a race is
  // (then the Validate window says the race must be stopped first); never blocks
  // for the run. Called on the user-interface thread, where it copies the
  // settings the run works with.
  void StartValidation() noexcept;
  // The run thread's body with the settings copied at its start: start sound,
  // clock synchronisation, then the checks.
  void ValidationThread(const ValidationSettings& settings) noexcept;
  // The same with a copy taken now, on the calling thread (tests, tools).
  void ValidationThread() noexcept;
  // Takes the run's copy of the settings and hands it to the server side.
  void BeginRun(const ValidationSettings& settings);
  // The checks proper, in order, with the run's settings (BeginRun); the first
  // failure is reported and ends the run.
  void RunValidation();

  // The full path of the simulator's running executable, or an empty text.
  std::string FindSimExePath();
  bool GetFirstModule(uint32_t process_id, ModuleEntry* module);

  // The check list of one reference aircraft; on false the failing step has reported.
  bool ValidateAircraft(const ReferenceAircraft& aircraft);
  bool CheckAirFile(const std::string& relative_path, const Digest& expected);
  bool DigestFile(const std::string& path, Digest* digest);
  // Makes no report: on false `message` holds the failure text for the caller.
  bool CheckConfigValue(const std::string& path, const std::string& section, const std::string& key,
                        const std::string& expected, std::string* message);
  bool CheckSimLine(const std::string& path, const std::string& title, const std::string& sim_name);
  bool CheckTitleElsewhere(const std::string& own_folder, const std::string& title);
  // Every mismatch of the aircraft's installation in check-list order, one line
  // each (flight-model file, config file, value rows, sim= lines); reports nothing.
  std::vector<std::string> SurveyMismatches(const ReferenceAircraft& aircraft);
  // After a failed check list: names in the Validate window the mismatch that
  // ended it, then lists the others (at most kMismatchLinesShown, then a count).
  void ReportOtherMismatches(const ReferenceAircraft& aircraft);

  std::string sim_folder() const;
  void set_sim_folder(const std::string& folder);
  bool validate_busy() const { return validate_busy_.load(); }

 private:
  void PlaySound(const char* name);
  // Reads the section names and visits every variation section in file order;
  // visit returns false to stop (and makes this return false).
  bool ForEachVariation(const std::string& path, const std::function<bool(const std::string&)>& visit);

  AppSettings& settings_;
  ValidateWindow& log_;
  ValidationServer& server_;
  HostMemory& host_;
  SoundPlayer& sounds_;
  ProcessList& processes_;
  FileSystem& files_;
  ProfileReader& profiles_;
  WorkerGroup& workers_;

  ValidationSettings run_;  // the run's own copy; the run thread alone reads it
  mutable CriticalSection folder_lock_;
  std::string sim_folder_;
  CriticalSection validate_lock_;
  std::atomic<bool> validate_busy_{false};
};

// True when the name begins with "fltsim." in any case.
bool IsVariationSection(const std::string& name);
// True when `title` begins with `race_title`, ignoring case.
bool TitleCarriesRaceTitle(const std::string& title, const std::string& race_title);
// Whole texts equal ignoring case (sim names, folder names).
bool TextsEqualIgnoringCase(const std::string& a, const std::string& b);
// The value as CheckConfigValue compares it: cut at the first '/' or ';', trailing
// white space removed.
std::string CleanConfigValue(const std::string& value);

}  // namespace volantis
