#pragma once
// The part of the module its worker threads use: the race state and its
// monitor, the Validate window's log, the race server client, the validation
// run and the results submission, and the sound player and host poster they
// share, all over the platform's services. It is shared: the user-interface
// side holds it, and every worker co-owns it while it runs (it is the worker
// group's anchor), so a worker that outlives the module's end never touches a
// freed object. Whoever lets go last frees it: the user-interface side after
// the end, or the last worker to finish.
//
//   auto core = ModuleCore::Create(settings, ModuleServices{...}, std::move(poster));
//   ...
//   core->End(kEndWaitMs);  // on the user-interface thread, before its windows go
#include <cstdint>
#include <memory>

#include "app/quiet_at_end.h"
#include "core/app_settings.h"
#include "core/validate_window.h"
#include "platform/clock.h"
#include "platform/file_system.h"
#include "platform/host_memory.h"
#include "platform/host_poster.h"
#include "platform/http_transport.h"
#include "platform/process_list.h"
#include "platform/profile_reader.h"
#include "platform/record_files.h"
#include "platform/sound_player.h"
#include "platform/udp_channel.h"
#include "platform/worker_group.h"
#include "race/race_monitor.h"
#include "race/race_records.h"
#include "race/race_state.h"
#include "server/race_results_submission.h"
#include "server/race_server_client.h"
#include "server/record_results_journal.h"
#include "validation/validator.h"

namespace volantis {

// The platform's process-wide objects. They outlive every worker: the module's
// are static objects, and a worker keeps the module mapped until it has ended.
struct ModuleServices {
  HttpTransport& http;
  UdpChannel& udp;
  Clock& clock;
  SoundPlayer& sounds;
  HostMemory& memory;
  ProcessList& processes;
  FileSystem& files;
  ProfileReader& profiles;
  RecordFiles& records;  // the race records in the pilot's data folder
};

// How long the end waits for the workers, in all.
inline constexpr uint32_t kEndWaitMs = 2000;

inline constexpr const char* kUnsentResultsLine =
    "The race results were not sent to Tarvex: the simulator closed before they reached the server.\n";

class ModuleCore {
  struct CreateKey {};

 public:
  // poster: the way to the host's main window (the core keeps it until freed).
  static std::shared_ptr<ModuleCore> Create(std::shared_ptr<AppSettings> settings, const ModuleServices& services,
                                            std::unique_ptr<HostPoster> poster);
  ModuleCore(CreateKey, std::shared_ptr<AppSettings> settings, const ModuleServices& services,
             std::unique_ptr<HostPoster> poster);
  ~ModuleCore();
  ModuleCore(const ModuleCore&) = delete;
  ModuleCore& operator=(const ModuleCore&) = delete;

  // The orderly end, on the user-interface thread: sets the workers' cancel
  // signal (every wait and blocking call of a worker ends, a validation stops
  // before its next step, a results submission hands its results to the
  // unsent-results handler, no new worker starts), tells the monitor to stop,
  // stops the sound and lets no new one start, then waits for the workers, at
  // most wait_ms in all. True when every worker has ended. Calling it again
  // only waits again.
  bool End(uint32_t wait_ms);
  bool ending() const { return workers.ending(); }

  const std::shared_ptr<AppSettings> settings;
  WorkerGroup workers;
  QuietAtEndSoundPlayer sounds;
  QuietAtEndPoster poster;
  RaceState race;
  RaceRecords records;            // every race's record; echoes the race log
  RecordResultsJournal journal;   // the results kept in the records
  ValidateWindow validate_window;
  RaceServerClient server;
  Validator validator;
  RaceResultsSender results_sender;
  RaceMonitor monitor;
};

}  // namespace volantis
