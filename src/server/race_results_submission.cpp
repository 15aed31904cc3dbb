#include "server/race_results_submission.h"

#include "server/digest.h"
#include "server/race_server_client.h"
#include "server/server_port.h"
#include "server/text_codec.h"

namespace volantis {

ResultsSubmissionSettings ResultsSubmissionSettings::From(const AppSettings& settings) {
  ResultsSubmissionSettings copy;
  copy.server_ip = settings.server_ip;
  copy.server_port = settings.server_port;
  copy.player_name = settings.player_name;
  copy.version = settings.version;
  copy.sound_race_results = settings.sound_race_results;
  copy.best_round_trip = settings.race_definition.best_round_trip;
  return copy;
}

std::string ResultsSubmitPath(const RaceResults& results, const ResultsSubmissionSettings& settings,
                              const std::string& code) {
  return FormatText(
      "/validate?op=submit_race_results&type=1&ver=%s&moved_too_fast=%d&cheated_crash_detect=%d&slewed=%d"
      "&cheated_sim_rate=%d&player=%s&lap_times=%s&lap_skips=%s&race_time=%f&finish_secs=%f&sync_delay=%f&code=%s",
      settings.version.c_str(), results.moved_too_fast ? 1 : 0, results.cheated_crash_detect ? 1 : 0,
      results.slewed ? 1 : 0, results.cheated_sim_rate ? 1 : 0, UrlEncode(settings.player_name).c_str(),
      FormatLapTimes(results).c_str(), FormatLapSkips(results).c_str(), results.race_time, results.finish_secs,
      settings.best_round_trip * 1000, code.c_str());
}

RaceResultsSender::RaceResultsSender(LogSink& race_log, HttpTransport& http, Clock& clock, SoundPlayer& sound,
                                     WorkerGroup& workers)
    : log_(race_log), http_(http), clock_(clock), sound_(sound), workers_(workers) {}

bool RaceResultsSender::Start(const RaceResults& results, const ResultsSubmissionSettings& settings) {
  if (workers_.Start([this, results, settings] { SendRaceResults(results, settings); })) return true;
  if (workers_.ending()) {
    HandOverUnsent(results, settings);
  } else {
    log_.Log(kLogNormal, "Error creating SendRaceResults thread.\n");
  }
  return false;
}

void RaceResultsSender::HandOverUnsent(const RaceResults& results, const ResultsSubmissionSettings& settings) {
  if (unsent_) unsent_(results, settings);
}

void RaceResultsSender::PlayIfSwitchedOn(const ResultsSubmissionSettings& settings, const char* sound) {
  if (settings.sound_race_results) sound_.Play(sound);
}

HttpResult RaceResultsSender::Get(const ResultsSubmissionSettings& settings, const std::string& path) {
  HttpRequest request;
  request.server = settings.server_ip;
  request.port = settings.server_port;
  request.path = path;
  request.agent = kResultsAgent;
  request.cancel = &workers_.cancel();
  HttpResult result = http_.HttpGet(request);
  if (result.body_cut) {
    log_.Log(kLogNormal, "Warning: the answer from Tarvex was longer than %lu bytes; only its start was read.\n",
             static_cast<unsigned long>(kHttpBodyMax));
  }
  return result;
}

void RaceResultsSender::SendRaceResults(const RaceResults& results, const ResultsSubmissionSettings& settings) {
  // A stored number that is no port is no network failure to retry: one
  // message, and nothing is sent.
  if (!IsServerPort(settings.server_port)) {
    PlayIfSwitchedOn(settings, "WAVE_RACE_RESULTS_ERROR");
    log_.Log(kLogNormal, kNotAServerPortText, static_cast<int>(settings.server_port));
    log_.Log(kLogNormal, "\n");
    return;
  }
  ScopedCriticalSection one_at_a_time(one_at_a_time_);
  bool invalid_data = false;
  for (int attempt = 1; attempt <= kResultsAttempts; ++attempt) {
    const AttemptOutcome outcome =
        workers_.ending() ? AttemptOutcome::kBrokenOff : Attempt(results, settings, attempt, invalid_data);
    if (outcome == AttemptOutcome::kBrokenOff) {
      HandOverUnsent(results, settings);
      return;
    }
    if (outcome == AttemptOutcome::kFinished) break;
  }
  log_.Log(kLogNormal, "\n");
}

RaceResultsSender::AttemptOutcome RaceResultsSender::AfterFailure(const HttpResult& failed, bool last_attempt) {
  if (!failed.TransportFailed() || last_attempt) return AttemptOutcome::kFinished;
  log_.Log(kLogNormal, "Waiting %d seconds before automatic retry...\n", static_cast<int>(kResultsRetryWaitMs / 1000));
  return clock_.SleepUnlessCancelled(retry_wait_ms_, workers_.cancel()) ? AttemptOutcome::kBrokenOff
                                                                          : AttemptOutcome::kRetry;
}

RaceResultsSender::AttemptOutcome RaceResultsSender::Attempt(const RaceResults& results,
                                                             const ResultsSubmissionSettings& settings, int attempt,
                                                             bool& invalid_data) {
  const bool last_attempt = attempt == kResultsAttempts;
  // A transport failure once the module is ending is the end breaking the
  // request off: the server has not got the results.
  auto broken_off = [this](const HttpResult& answer) { return answer.TransportFailed() && workers_.ending(); };
  log_.Log(kLogNormal, "Sending race results to Tarvex at %s:%d (attempt %d/%d)...\n", settings.server_ip.c_str(),
           static_cast<int>(settings.server_port), attempt, kResultsAttempts);

  HttpResult code_answer = Get(settings, kGetCodePath);
  if (broken_off(code_answer)) return AttemptOutcome::kBrokenOff;
  if (code_answer.status != 200) {
    PlayIfSwitchedOn(settings, "WAVE_RACE_RESULTS_ERROR");
    log_.Log(kLogNormal, "Error %ld sending race results to Tarvex. %s\n", static_cast<long>(code_answer.status),
             code_answer.error_text.c_str());
    return AfterFailure(code_answer, last_attempt);
  }
  log_.Log(kLogDetail, "Received validation code: %s\n", code_answer.body.c_str());
  const std::string code = ValidationCode(code_answer.body, settings.version, settings.player_name);
  const std::string path = ResultsSubmitPath(results, settings, code);
  log_.Log(kLogDetail, "Validating with URL path: %s\n", path.c_str());

  HttpResult answer = Get(settings, path);
  if (broken_off(answer)) return AttemptOutcome::kBrokenOff;
  if (answer.status == 200) {
    PlayIfSwitchedOn(settings, "WAVE_RACE_RESULTS_OK");
    log_.Log(kLogNormal, "Sent results to Tarvex ok.\n");
    return AttemptOutcome::kFinished;
  }
  if (answer.status == 400 && !invalid_data) {
    log_.Log(kLogDetail, "Error sending results to Tarvex. Invalid data.\n");
    invalid_data = true;
    return AttemptOutcome::kRetry;  // at once, with a fresh code
  }
  PlayIfSwitchedOn(settings, "WAVE_RACE_RESULTS_ERROR");
  if (answer.status == 400) {
    log_.Log(kLogNormal, "Error sending results to Tarvex. Invalid data.\n");
    return AttemptOutcome::kFinished;
  }
  if (answer.status == 401) {
    log_.Log(kLogNormal,
             "Error: Unknown player. Please connect to Tarvex with the same name as on the Validate Window.\n");
    return AttemptOutcome::kFinished;
  }
  if (answer.status == 403) {
    log_.Log(kLogNormal,
             "Error: this version of the program is no longer accepted. Please upgrade to the latest version.\n");
    return AttemptOutcome::kFinished;
  }
  log_.Log(kLogNormal, "Error %ld sending results to Tarvex. %s\n", static_cast<long>(answer.status),
           answer.error_text.c_str());
  return AfterFailure(answer, last_attempt);
}

}  // namespace volantis
