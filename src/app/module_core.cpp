#include "app/module_core.h"

#include <utility>

#include "server/submission_fields.h"
#include "validation/reference_aircraft.h"

namespace volantis {

namespace {

ServerServices ServerServicesOf(const ModuleServices& services, SoundPlayer& sounds, HostPoster& poster,
                                CancelSignal& end, RaceResultsSender& results) {
  ServerServices server{services.http, services.udp, services.clock, sounds, poster};
  server.cancel = &end;
  // The server has moved on to a new race for this pilot: earlier results
  // would be placed in it, so none goes again by itself from now on.
  server.on_validated = [&results] { results.NoteValidationAccepted(); };
  return server;
}

RaceServices MonitorServicesOf(AppSettings& settings, const ModuleServices& services, SoundPlayer& sounds,
                               HostPoster& poster, WorkerGroup& workers, RaceRecorder& recorder) {
  RaceServices race{settings, services.clock, sounds, poster, kGatesLockTimeoutMs,
                    [&workers](std::function<void()> body) { return workers.Start(std::move(body)); }};
  race.recorder = &recorder;
  return race;
}

}  // namespace

std::shared_ptr<ModuleCore> ModuleCore::Create(std::shared_ptr<AppSettings> settings, const ModuleServices& services,
                                               std::unique_ptr<HostPoster> poster) {
  auto core = std::make_shared<ModuleCore>(CreateKey{}, std::move(settings), services, std::move(poster));
  core->workers.SetAnchor(core);
  // The one thread that writes the race records. At the end it writes what the
  // others handed it until it is the last worker.
  WorkerGroup& workers = core->workers;
  core->records.StartWriter([&workers](std::function<void()> body) { return workers.Start(std::move(body)); },
                            workers.cancel(), [&workers] { return workers.running() <= 1; });
  // Results of the last race that never reached the server go again now, while
  // the server can still place them; the Validate window says which stay kept.
  core->results_sender.StartResend();
  return core;
}

ModuleCore::ModuleCore(CreateKey, std::shared_ptr<AppSettings> shared_settings, const ModuleServices& services,
                       std::unique_ptr<HostPoster> host_poster)
    : settings(std::move(shared_settings)),
      sounds(services.sounds, workers.cancel()),
      poster(std::move(host_poster), workers.cancel()),
      records(services.records, *race.log, kReferenceSetName),
      journal(services.records),
      validate_window(services.clock),
      server(*settings, validate_window, ServerServicesOf(services, sounds, poster, workers.cancel(), results_sender)),
      validator(*settings, validate_window, server, services.memory, sounds, services.processes, services.files,
                services.profiles, workers),
      results_sender(*race.log, services.http, services.clock, sounds, workers),
      monitor(race, MonitorServicesOf(*settings, services, sounds, poster, workers, records), services.memory) {
  race.log->SetEcho(&records);
  // A finished race's results are kept (pending) before Race Finished is posted.
  records.SetResultsKeeper([this](const RaceResults& results, const RaceRecordFacts& facts) {
    ResultsSubmissionSettings kept;
    kept.server_ip = facts.server_ip;
    kept.server_port = facts.server_port;
    kept.player_name = facts.player_name;
    kept.version = facts.version;
    kept.best_round_trip = facts.best_round_trip;
    journal.KeepIfNone(results.record_name, SubmissionFieldsOf(results, kept), facts.server_ip, facts.server_port);
  });
  results_sender.SetJournal(&journal);
  results_sender.SetKeptResultsLog(&validate_window);
  results_sender.TryAgainEveryMinute(true);
  // Until results can be kept for later, the race log at least says they were lost.
  results_sender.SetUnsentResultsHandler([this](const RaceResults&, const ResultsSubmissionSettings&) {
    race.log->LogText(kLogNormal, kUnsentResultsLine);
  });
}

ModuleCore::~ModuleCore() { race.log->SetEcho(nullptr); }

bool ModuleCore::End(uint32_t wait_ms) {
  workers.cancel().Cancel();
  race.stop_event.Set();
  sounds.Stop();
  return workers.WaitUntilNoneRuns(wait_ms);
}

}  // namespace volantis
