#include "server/race_results_submission.h"

#include "server/digest.h"
#include "server/race_server_client.h"
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

RaceResultsSender::RaceResultsSender(LogSink& race_log, HttpTransport& http, Clock& clock, SoundPlayer& sound)
    : log_(race_log), http_(http), clock_(clock), sound_(sound) {}

namespace {

void EndOne(CriticalSection& lock, int& count, Event& idle) {
  ScopedCriticalSection guard(lock);
  if (--count == 0) idle.Set();
}

}  // namespace

bool RaceResultsSender::Start(const RaceResults& results, const ResultsSubmissionSettings& settings) {
  std::shared_ptr<Running> running = running_;
  {
    ScopedCriticalSection guard(running->lock);
    if (running->count++ == 0) running->idle.Reset();
  }
  bool started = StartDetachedThread([this, running, results, settings] {
    try {
      SendRaceResults(results, settings);
    } catch (...) {
    }
    EndOne(running->lock, running->count, running->idle);
  });
  if (!started) {
    EndOne(running->lock, running->count, running->idle);
    log_.Log(kLogNormal, "Error creating SendRaceResults thread.\n");
  }
  return started;
}

bool RaceResultsSender::WaitUntilIdle(uint32_t milliseconds) {
  return running_->idle.Wait(milliseconds) == WaitResult::kSignaled;
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
  HttpResult result = http_.HttpGet(request);
  if (result.body_cut) {
    log_.Log(kLogNormal, "Warning: the answer from Tarvex was longer than %lu bytes; only its start was read.\n",
             static_cast<unsigned long>(kHttpBodyMax));
  }
  return result;
}

void RaceResultsSender::SendRaceResults(const RaceResults& results, const ResultsSubmissionSettings& settings) {
  ScopedCriticalSection one_at_a_time(one_at_a_time_);
  bool invalid_data = false;
  for (int attempt = 1; attempt <= kResultsAttempts; ++attempt) {
    const bool last_attempt = attempt == kResultsAttempts;
    log_.Log(kLogNormal, "Sending race results to Tarvex at %s:%d (attempt %d/%d)...\n", settings.server_ip.c_str(),
             static_cast<int>(settings.server_port), attempt, kResultsAttempts);
    auto wait_before_retry = [&](const HttpResult& failed) {
      if (!failed.TransportFailed() || last_attempt) return false;
      log_.Log(kLogNormal, "Waiting %d seconds before automatic retry...\n", static_cast<int>(kResultsRetryWaitMs / 1000));
      clock_.Sleep(retry_wait_ms_);
      return true;
    };

    HttpResult code_answer = Get(settings, kGetCodePath);
    if (code_answer.status != 200) {
      PlayIfSwitchedOn(settings, "WAVE_RACE_RESULTS_ERROR");
      log_.Log(kLogNormal, "Error %ld sending race results to Tarvex. %s\n", static_cast<long>(code_answer.status),
               code_answer.error_text.c_str());
      if (wait_before_retry(code_answer)) continue;
      break;
    }
    log_.Log(kLogDetail, "Received validation code: %s\n", code_answer.body.c_str());
    const std::string code = ValidationCode(code_answer.body, settings.version, settings.player_name);
    const std::string path = ResultsSubmitPath(results, settings, code);
    log_.Log(kLogDetail, "Validating with URL path: %s\n", path.c_str());

    HttpResult answer = Get(settings, path);
    if (answer.status == 200) {
      PlayIfSwitchedOn(settings, "WAVE_RACE_RESULTS_OK");
      log_.Log(kLogNormal, "Sent results to Tarvex ok.\n");
      break;
    }
    if (answer.status == 400 && !invalid_data) {
      log_.Log(kLogDetail, "Error sending results to Tarvex. Invalid data.\n");
      invalid_data = true;
      continue;  // at once, with a fresh code
    }
    PlayIfSwitchedOn(settings, "WAVE_RACE_RESULTS_ERROR");
    if (answer.status == 400) {
      log_.Log(kLogNormal, "Error sending results to Tarvex. Invalid data.\n");
      break;
    }
    if (answer.status == 401) {
      log_.Log(kLogNormal,
               "Error: Unknown player. Please connect to Tarvex with the same name as on the Validate Window.\n");
      break;
    }
    if (answer.status == 403) {
      log_.Log(kLogNormal,
               "Error: this version of the program is no longer accepted. Please upgrade to the latest version.\n");
      break;
    }
    log_.Log(kLogNormal, "Error %ld sending results to Tarvex. %s\n", static_cast<long>(answer.status),
             answer.error_text.c_str());
    if (wait_before_retry(answer)) continue;
    break;
  }
  log_.Log(kLogNormal, "\n");
}

}  // namespace volantis
