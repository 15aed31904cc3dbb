// Starting a run, the run thread and the order of its checks.
#include <cstring>

#include "host/host_values.h"
#include "validation/validator.h"

namespace volantis {

namespace {

// Shown at every run of a module built with the stand-in reference set, whose
// digests and values only a stand-in installation matches.
constexpr const char* kStandInSetNotice =
    "This build carries the stand-in reference data: it can only validate the stand-in installation, not the real "
    "race aircraft.\n";

}  // namespace

Validator::Validator(AppSettings& settings, ValidateWindow& log, ValidationServer& server, HostMemory& host,
                     SoundPlayer& sounds, ProcessList& processes, FileSystem& files, ProfileReader& profiles,
                     WorkerGroup& workers)
    : settings_(settings),
      log_(log),
      server_(server),
      host_(host),
      sounds_(sounds),
      processes_(processes),
      files_(files),
      profiles_(profiles),
      workers_(workers) {}

std::string Validator::sim_folder() const {
  ScopedCriticalSection hold(folder_lock_);
  return sim_folder_;
}

void Validator::set_sim_folder(const std::string& folder) {
  ScopedCriticalSection hold(folder_lock_);
  sim_folder_ = folder;
}

void Validator::PlaySound(const char* name) {
  if (run_.sound_validate) sounds_.Play(name);
}

void Validator::StartValidation() noexcept {
  ScopedCriticalSection hold(validate_lock_);
  if (validate_busy_) return;
  // A run takes a new clock offset and replaces the gates: not while a race is flown.
  if (settings_.race_definition.race_under_way) {
    log_.LogText(kLogNormal, kRaceUnderWayText);
    return;
  }
  validate_busy_ = true;
  bool started = false;
  try {
    // Copied here, on the user-interface thread that saves the settings.
    const ValidationSettings copy = ValidationSettings::From(settings_);
    started = workers_.Start([this, copy] { ValidationThread(copy); });
  } catch (...) {
    started = false;
  }
  if (!started) {
    validate_busy_ = false;
    log_.Log(kLogNormal, "Error creating validate thread.\n");
  }
}

void Validator::ValidationThread() noexcept { ValidationThread(ValidationSettings::From(settings_)); }

void Validator::BeginRun(const ValidationSettings& settings) {
  run_ = settings;
  server_.BeginRun(run_);
}

void Validator::ValidationThread(const ValidationSettings& settings) noexcept {
  try {
    BeginRun(settings);
    PlaySound("WAVE_VALIDATE_START");
    if (server_.TimeSync() && !workers_.ending()) RunValidation();
  } catch (...) {
    // Nothing may leave the run thread; a failed run still frees the next one.
  }
  validate_busy_ = false;
}

void Validator::RunValidation() {
  log_.Log(kLogNormal, "Validating...\n");
  if (std::strcmp(ReferenceSetName(), "standin") == 0) log_.LogText(kLogNormal, kStandInSetNotice);
  // Files are read afresh by every run and kept only for its length.
  profiles_.ForgetFiles();
  struct ForgetOnExit {
    ProfileReader& profiles;
    ~ForgetOnExit() { profiles.ForgetFiles(); }
  } forget{profiles_};

  // Without the host's core module both settings read as 0: crash detection then fails.
  host_.Attach();
  static_assert(ReadsAs<int8_t>(kHostCrashDetection) && ReadsAs<int8_t>(kHostCollisions),
                "both realism switches are signed bytes");
  int8_t crash_detection = host_.ReadInt8(kOffsetCrashDetection);
  if (crash_detection != 1) {
    server_.SendResults(false, "Crash detection is not enabled. Value: %d", crash_detection);
    return;
  }
  int8_t collisions = host_.ReadInt8(kOffsetCollisions);
  if (collisions != 0) {
    server_.SendResults(false, "Aircraft collisions are not disabled. Value: %d", collisions);
    return;
  }

  if (workers_.ending()) return;
  std::string folder = FindSimExePath();
  if (folder.empty()) {
    set_sim_folder(folder);
    server_.SendResults(false, "Error finding FS2004 path.");
    PlaySound("WAVE_VALIDATE_SEND_ERROR");
    return;
  }
  std::size_t backslash = folder.rfind('\\');
  if (backslash != std::string::npos) folder.resize(backslash);
  set_sim_folder(folder);
  log_.Log(kLogDetail, "Path: %s\n", folder.c_str());

  const ReferenceAircraft* aircraft = FindReferenceAircraft(settings_.race_definition.aircraft_type.load());
  if (aircraft == nullptr) {
    server_.SendResults(false, "Aircraft type not supported by this version of Volantis.dll. Using version %s",
                        run_.version.c_str());
    return;
  }
  if (ValidateAircraft(*aircraft)) {
    server_.SendResultsText(true, std::string());
    return;
  }
  if (!workers_.ending()) ReportOtherMismatches(*aircraft);
}

}  // namespace volantis
