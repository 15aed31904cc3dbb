#include "host/module_core.h"

#include <utility>

namespace volantis {

namespace {

ServerServices ServerServicesOf(const ModuleServices& services, SoundPlayer& sounds, HostPoster& poster,
                                CancelSignal& end) {
  ServerServices server{services.http, services.udp, services.clock, sounds, poster};
  server.cancel = &end;
  return server;
}

}  // namespace

std::shared_ptr<ModuleCore> ModuleCore::Create(std::shared_ptr<AppSettings> settings, const ModuleServices& services,
                                               std::unique_ptr<HostPoster> poster) {
  auto core = std::make_shared<ModuleCore>(CreateKey{}, std::move(settings), services, std::move(poster));
  core->workers.SetAnchor(core);
  return core;
}

ModuleCore::ModuleCore(CreateKey, std::shared_ptr<AppSettings> shared_settings, const ModuleServices& services,
                       std::unique_ptr<HostPoster> host_poster)
    : settings(std::move(shared_settings)),
      sounds(services.sounds, workers.cancel()),
      poster(std::move(host_poster), workers.cancel()),
      validate_window(services.clock),
      server(*settings, validate_window, ServerServicesOf(services, sounds, poster, workers.cancel())),
      validator(*settings, validate_window, server, services.memory, sounds, services.processes, services.files,
                services.profiles, workers),
      results_sender(*race.log, services.http, services.clock, sounds, workers),
      monitor(race,
              RaceServices{*settings, services.clock, sounds, poster, kGatesLockTimeoutMs,
                           [this](std::function<void()> body) { return workers.Start(std::move(body)); }},
              services.memory) {
  // Until results can be kept for later, the race log at least says they were lost.
  results_sender.SetUnsentResultsHandler([this](const RaceResults&, const ResultsSubmissionSettings&) {
    race.log->LogText(kLogNormal, kUnsentResultsLine);
  });
}

bool ModuleCore::End(uint32_t wait_ms) {
  workers.cancel().Cancel();
  race.stop_event.Set();
  sounds.Stop();
  return workers.WaitUntilNoneRuns(wait_ms);
}

}  // namespace volantis
