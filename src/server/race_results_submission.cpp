#include "server/race_results_submission.h"

#include "platform/text_format.h"
#include "platform/utc_time.h"
#include "race/race_log_source.h"
#include "server/digest.h"
#include "server/race_server_client.h"
#include "server/resend_policy.h"
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

ResultsSubmissionSettings ResultsSubmissionSettings::From(const AppSettings& settings, const RaceResults& results) {
  ResultsSubmissionSettings copy = From(settings);
  copy.best_round_trip = results.best_round_trip;
  return copy;
}

std::string ResultsSubmitPath(const RaceResults& results, const ResultsSubmissionSettings& settings,
                              const std::string& code) {
  return SubmitPathOf(SubmissionFieldsOf(results, settings), code);
}

namespace {

// Takes what a resend's attempt logs and shows none of it: a resend reports in one line of its own.
class SilentLog : public LogSink {
 protected:
  void Append(const std::string&) override {}
};

}  // namespace

RaceResultsSender::RaceResultsSender(LogSink& race_log, HttpTransport& http, Clock& clock, SoundPlayer& sound,
                                     WorkerGroup& workers)
    : log_(race_log), http_(http), clock_(clock), sound_(sound), workers_(workers), now_utc_(UtcNowSeconds) {}

bool RaceResultsSender::IsLive(const std::string& record) {
  ScopedCriticalSection hold(live_lock_);
  return live_.count(record) != 0;
}

void RaceResultsSender::SetLive(const std::string& record, bool live) {
  if (record.empty()) return;
  ScopedCriticalSection hold(live_lock_);
  if (live) {
    live_.insert(record);
  } else {
    live_.erase(record);
  }
}

bool RaceResultsSender::Start(const RaceResults& results, const ResultsSubmissionSettings& settings) {
  // Marked before the thread exists, so a resend that runs meanwhile leaves these results alone.
  SetLive(results.record_name, true);
  if (workers_.Start([this, results, settings] { SendRaceResults(results, settings); })) return true;
  SetLive(results.record_name, false);
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

void RaceResultsSender::JournalAttempt(const std::string& record, int attempt, const AttemptReport& report) {
  if (journal_ != nullptr && !record.empty() && !report.journaled) journal_->NoteAttempt(record, attempt, report.outcome);
}

void RaceResultsSender::JournalStatus(const std::string& record, SubmissionStatus status) {
  if (journal_ != nullptr && !record.empty()) journal_->SetStatus(record, status);
}

HttpResult RaceResultsSender::Get(const ResultsSubmissionSettings& settings, const std::string& path, LogSink& log) {
  HttpRequest request;
  request.server = settings.server_ip;
  request.port = settings.server_port;
  request.path = path;
  request.agent = kResultsAgent;
  request.cancel = &workers_.cancel();
  HttpResult result = http_.HttpGet(request);
  if (result.body_cut) {
    log.Log(kLogNormal, "Warning: the answer from Tarvex was longer than %lu bytes; only its start was read.\n",
            static_cast<unsigned long>(kHttpBodyMax));
  }
  return result;
}

void RaceResultsSender::SendRaceResults(const RaceResults& results, const ResultsSubmissionSettings& settings) {
  // Left unsent: tried again once a minute while the server can still place
  // them, once this submission has let go of them.
  if (SubmitLive(results, settings) && every_minute_) StartResend(kResendIntervalMs);
}

bool RaceResultsSender::SubmitLive(const RaceResults& results, const ResultsSubmissionSettings& settings) {
  struct LiveScope {
    RaceResultsSender& sender;
    const std::string& record;
    ~LiveScope() { sender.SetLive(record, false); }
  } live{*this, results.record_name};
  SetLive(results.record_name, true);
  // Its lines belong to its own race's record, whatever race runs meanwhile.
  const ScopedRaceLogSource source(results.record_name);

  const SubmissionFields fields = SubmissionFieldsOf(results, settings);
  const uint64_t epoch = validations_.load();
  // Kept before anything is tried: whatever happens next, the results are not lost.
  std::string record = journal_ != nullptr ? results.record_name : std::string();
  // Held through every attempt, so a resend of another module sharing the data
  // folder leaves these results alone. Not taken: sent all the same.
  std::unique_ptr<FileLock> sending;
  if (!record.empty()) journal_->HoldSending(record, sending);
  if (!record.empty() && !journal_->Begin(record, fields, settings.server_ip, settings.server_port)) {
    log_.LogText(kLogNormal, kJournalFailedLine);
    record.clear();
  }

  // A stored number that is no port is no network failure to retry: one
  // message, and nothing is sent.
  if (!IsServerPort(settings.server_port)) {
    PlayIfSwitchedOn(settings, "WAVE_RACE_RESULTS_ERROR");
    log_.Log(kLogNormal, kNotAServerPortText, static_cast<int>(settings.server_port));
    log_.Log(kLogNormal, "\n");
    JournalStatus(record, SubmissionStatus::kUnsent);
    return false;
  }
  ScopedCriticalSection one_at_a_time(one_at_a_time_);
  bool invalid_data = false;
  AttemptReport report;
  for (int attempt = 1; attempt <= kResultsAttempts; ++attempt) {
    report = AttemptReport{};
    const AttemptOutcome outcome = workers_.ending()
                                       ? AttemptOutcome::kBrokenOff
                                       : Attempt(record, fields, settings, attempt, attempt == kResultsAttempts,
                                                 epoch, invalid_data, log_, report);
    if (outcome == AttemptOutcome::kBrokenOff) {
      if (report.outcome.empty()) report.outcome = "broken off: the simulator closed";
      JournalAttempt(record, attempt, report);
      JournalStatus(record, SubmissionStatus::kUnsent);
      HandOverUnsent(results, settings);
      return false;
    }
    JournalAttempt(record, attempt, report);
    if (outcome == AttemptOutcome::kFinished) break;
  }
  if (report.moved_on) {
    // The server would place them in the race it started since: kept, never sent by themselves.
    if (!record.empty()) journal_->CloseAutomaticResend(record, "Tarvex accepted a validation since");
    const std::string folder = record.empty() ? std::string() : journal_->FolderOf(record);
    log_.Log(kLogNormal, kMovedOnText, folder.empty() ? "no race record" : folder.c_str());
    log_.Log(kLogNormal, "\n");
    return false;
  }
  if (!report.journaled) JournalStatus(record, report.status);
  log_.Log(kLogNormal, "\n");
  return !record.empty() && report.status == SubmissionStatus::kUnsent;
}

RaceResultsSender::AttemptOutcome RaceResultsSender::AfterFailure(const HttpResult& failed, bool last_attempt,
                                                                  LogSink& log) {
  if (!failed.TransportFailed() || last_attempt) return AttemptOutcome::kFinished;
  log.Log(kLogNormal, "Waiting %d seconds before automatic retry...\n", static_cast<int>(kResultsRetryWaitMs / 1000));
  return clock_.SleepUnlessCancelled(retry_wait_ms_, workers_.cancel()) ? AttemptOutcome::kBrokenOff
                                                                          : AttemptOutcome::kRetry;
}

RaceResultsSender::AttemptOutcome RaceResultsSender::Attempt(const std::string& record,
                                                             const SubmissionFields& fields,
                                                             const ResultsSubmissionSettings& settings, int attempt,
                                                             bool last_attempt, uint64_t epoch, bool& invalid_data,
                                                             LogSink& log, AttemptReport& report) {
  // A transport failure once the module is ending is the end breaking the
  // request off: the server has not got the results.
  auto broken_off = [this](const HttpResult& answer) { return answer.TransportFailed() && workers_.ending(); };
  auto failure = [](const char* what, const HttpResult& answer) {
    std::string text = FormatText("%s %ld", what, static_cast<long>(answer.status));
    if (!answer.error_text.empty()) text += " (" + answer.error_text + ")";
    return text;
  };
  // Checked before each request that could place the results.
  auto moved_on = [this, epoch, &report] {
    if (validations_.load() == epoch) return false;
    report.outcome = "not tried: Tarvex accepted a validation since";
    report.status = SubmissionStatus::kUnsent;
    report.moved_on = true;
    return true;
  };
  if (moved_on()) return AttemptOutcome::kFinished;
  log.Log(kLogNormal, "Sending race results to Tarvex at %s:%d (attempt %d/%d)...\n", settings.server_ip.c_str(),
          static_cast<int>(settings.server_port), attempt, kResultsAttempts);

  HttpResult code_answer = Get(settings, kGetCodePath, log);
  report.status = SubmissionStatus::kUnsent;
  if (broken_off(code_answer)) return AttemptOutcome::kBrokenOff;
  if (code_answer.status != 200) {
    report.outcome = failure("code request failed: error", code_answer);
    PlayIfSwitchedOn(settings, "WAVE_RACE_RESULTS_ERROR");
    log.Log(kLogNormal, "Error %ld sending race results to Tarvex. %s\n", static_cast<long>(code_answer.status),
            code_answer.error_text.c_str());
    return AfterFailure(code_answer, last_attempt, log);
  }
  log.Log(kLogDetail, "Received validation code: %s\n", code_answer.body.c_str());
  const std::string code =
      ValidationCode(code_answer.body, FieldValue(fields, "ver"), FieldValue(fields, "player"));
  const std::string path = SubmitPathOf(fields, code);
  log.Log(kLogDetail, "Validating with URL path: %s\n", path.c_str());
  if (moved_on()) return AttemptOutcome::kFinished;

  HttpResult answer = Get(settings, path, log);
  if (broken_off(answer)) return AttemptOutcome::kBrokenOff;
  if (answer.status == 200) {
    report.outcome = "sent";
    report.status = SubmissionStatus::kSent;
    // On the disk before the sound and the line: a crash from here on never sends these again.
    if (journal_ != nullptr && !record.empty()) report.journaled = journal_->NoteSent(record, attempt, report.outcome);
    PlayIfSwitchedOn(settings, "WAVE_RACE_RESULTS_OK");
    log.Log(kLogNormal, "Sent results to Tarvex ok.\n");
    return AttemptOutcome::kFinished;
  }
  if (answer.status == 400 && !invalid_data) {
    report.outcome = "invalid data: trying again at once with a new code";
    log.Log(kLogDetail, "Error sending results to Tarvex. Invalid data.\n");
    invalid_data = true;
    return AttemptOutcome::kRetry;  // at once, with a fresh code
  }
  PlayIfSwitchedOn(settings, "WAVE_RACE_RESULTS_ERROR");
  if (answer.status == 400) {
    report.outcome = "refused: invalid data";
    report.status = SubmissionStatus::kRefused;
    log.Log(kLogNormal, "Error sending results to Tarvex. Invalid data.\n");
    return AttemptOutcome::kFinished;
  }
  if (answer.status == 401) {
    report.outcome = "refused: unknown player";
    report.status = SubmissionStatus::kRefused;
    log.Log(kLogNormal,
            "Error: Unknown player. Please connect to Tarvex with the same name as on the Validate Window.\n");
    return AttemptOutcome::kFinished;
  }
  if (answer.status == 403) {
    report.outcome = "refused: this version is no longer accepted";
    report.status = SubmissionStatus::kRefused;
    log.Log(kLogNormal,
            "Error: this version of the program is no longer accepted. Please upgrade to the latest version.\n");
    return AttemptOutcome::kFinished;
  }
  report.outcome = failure("error", answer);
  log.Log(kLogNormal, "Error %ld sending results to Tarvex. %s\n", static_cast<long>(answer.status),
          answer.error_text.c_str());
  return AfterFailure(answer, last_attempt, log);
}

bool RaceResultsSender::StartResend(uint32_t first_wait_ms) {
  if (journal_ == nullptr) return false;
  resend_wanted_ = true;
  if (resend_running_.exchange(true)) return true;  // the running pass goes once more
  if (workers_.Start([this, first_wait_ms] {
        uint32_t wait_ms = first_wait_ms;
        while (!workers_.ending()) {
          if (wait_ms != 0 && clock_.SleepUnlessCancelled(wait_ms, workers_.cancel())) break;
          bool left = false;
          while (resend_wanted_.exchange(false) && !workers_.ending()) left = ResendUnsent();
          if (!left || !every_minute_) break;
          wait_ms = kResendIntervalMs;
          resend_wanted_ = true;
        }
        resend_running_ = false;
        // Asked for between the last pass and the line above: one more pass.
        if (resend_wanted_.load() && !workers_.ending()) StartResend();
      })) {
    return true;
  }
  resend_running_ = false;
  return false;
}

void RaceResultsSender::NoteValidationAccepted() {
  ++validations_;
  if (journal_ == nullptr) return;
  // Every kept result not closed yet; a submission of this module still
  // retrying closes its own when it sees the count has moved.
  const KeptResults kept = journal_->Kept();
  for (const StoredSubmission& each : kept.unsent) {
    if (each.resend_closed || IsLive(each.record)) continue;
    std::unique_ptr<FileLock> sending;
    if (journal_->HoldSending(each.record, sending) == LockTaking::kBusy) continue;
    journal_->CloseAutomaticResend(each.record, "Tarvex accepted a validation since");
  }
}

int64_t RaceResultsSender::NextTry() { return now_utc_() + kResendIntervalMs / 1000; }

bool RaceResultsSender::ResendUnsent() {
  if (journal_ == nullptr) return false;
  // A resend's lines belong to no race's record.
  const ScopedRaceLogSource source(std::string{});
  const KeptResults kept = journal_->Kept();
  for (const std::string& record : kept.unreadable) {
    {
      ScopedCriticalSection hold(live_lock_);
      if (!said_unreadable_.insert(record).second) continue;  // said once a session
    }
    log_.Log(kLogNormal, kUnreadableResultsText, record.c_str());
  }
  const bool first_pass = !said_kept_.exchange(true);
  std::vector<const StoredSubmission*> staying;
  bool left = false;
  for (const StoredSubmission& listed : kept.unsent) {
    if (workers_.ending()) return false;
    const bool newest = listed.record == kept.newest;
    if (!ResendsAutomatically(listed, newest, now_utc_())) {
      if (!first_pass || IsLive(listed.record)) continue;
      staying.push_back(&listed);
      if (listed.status == SubmissionStatus::kPending) {
        // Left by a crash and no longer going by themselves: the record says so.
        std::unique_ptr<FileLock> sending;
        if (journal_->HoldSending(listed.record, sending) != LockTaking::kBusy) {
          StoredSubmission now;
          if (journal_->Read(listed.record, now) && now.status == SubmissionStatus::kPending) {
            journal_->SetStatus(listed.record, SubmissionStatus::kUnsent);
          }
        }
      }
      continue;
    }
    if (ResendOne(listed, newest, Purpose::kAutomatic, log_) == SendKeptOutcome::kNotSent) {
      StoredSubmission after;
      left = left || (journal_->Read(listed.record, after) && ResendsAutomatically(after, newest, NextTry()));
    }
  }
  if (first_pass) SayKeptResults(staying);
  return left;
}

void RaceResultsSender::SayKeptResults(const std::vector<const StoredSubmission*>& staying) {
  if (kept_log_ == nullptr || staying.empty()) return;
  // The newest first: those are the ones a pilot asks about.
  int said = 0;
  for (auto each = staying.rbegin(); each != staying.rend() && said < kKeptResultsLinesMax; ++each, ++said) {
    const std::string race = UtcText((*each)->started_utc);
    const std::string folder = journal_->FolderOf((*each)->record);
    kept_log_->Log(kLogNormal, kKeptResultsText, race.c_str(), folder.c_str());
  }
  const int more = static_cast<int>(staying.size()) - said;
  if (more > 0) kept_log_->Log(kLogNormal, kKeptResultsMoreText, more);
}

RaceResultsSender::SendKeptOutcome RaceResultsSender::SendKept(const std::string& record, LogSink& log) {
  if (journal_ == nullptr) return SendKeptOutcome::kNoResults;
  StoredSubmission stored;
  if (!journal_->Read(record, stored)) return SendKeptOutcome::kNoResults;
  return ResendOne(stored, false, Purpose::kOnPurpose, log);
}

RaceResultsSender::SendKeptOutcome RaceResultsSender::ResendOne(const StoredSubmission& listed, bool newest,
                                                                Purpose purpose, LogSink& line_log) {
  if (!IsServerPort(listed.server_port)) {
    if (purpose == Purpose::kOnPurpose) {
      line_log.Log(kLogNormal, "The race record keeps the server port %d, which is no port number; nothing was sent.\n",
                   static_cast<int>(listed.server_port));
    }
    return SendKeptOutcome::kNotSent;
  }
  if (IsLive(listed.record)) return SendKeptOutcome::kBusy;
  const uint64_t epoch = validations_.load();
  ScopedCriticalSection one_at_a_time(one_at_a_time_);
  // Another module sharing the data folder sends them now. A lock that cannot
  // be taken at all (a folder that refuses it) does not keep results from being sent.
  std::unique_ptr<FileLock> sending;
  if (journal_->HoldSending(listed.record, sending) == LockTaking::kBusy) return SendKeptOutcome::kBusy;
  // Read again now that no other submission runs: one may have sent these meanwhile.
  StoredSubmission stored;
  if (IsLive(listed.record)) return SendKeptOutcome::kBusy;
  if (!journal_->Read(listed.record, stored)) return SendKeptOutcome::kNoResults;
  if (stored.status == SubmissionStatus::kSent) return SendKeptOutcome::kAlreadySent;
  if (stored.status == SubmissionStatus::kRefused) return SendKeptOutcome::kAlreadyRefused;
  if (purpose == Purpose::kAutomatic && !ResendsAutomatically(stored, newest, now_utc_())) {
    return SendKeptOutcome::kNotSent;
  }
  ResultsSubmissionSettings settings;
  settings.server_ip = stored.server_ip;
  settings.server_port = stored.server_port;
  settings.player_name = FieldValue(stored.fields, "player");
  settings.version = FieldValue(stored.fields, "ver");
  settings.sound_race_results = false;  // sent in the background: no sound

  SilentLog quiet;
  bool invalid_data = false;
  AttemptReport report;
  AttemptOutcome outcome =
      Attempt(stored.record, stored.fields, settings, 1, true, epoch, invalid_data, quiet, report);
  if (outcome == AttemptOutcome::kRetry && invalid_data && report.status == SubmissionStatus::kUnsent &&
      !workers_.ending()) {
    // A first "invalid data" is answered at once with a new code, as in a live submission.
    JournalAttempt(stored.record, 1, report);
    report = AttemptReport{};
    outcome = Attempt(stored.record, stored.fields, settings, 1, true, epoch, invalid_data, quiet, report);
  }
  if (outcome == AttemptOutcome::kBrokenOff && report.outcome.empty()) {
    report.outcome = "broken off: the simulator closed";
  }
  JournalAttempt(stored.record, 1, report);
  if (report.moved_on) {
    journal_->CloseAutomaticResend(stored.record, "Tarvex accepted a validation since");
  } else if (!report.journaled) {
    JournalStatus(stored.record, report.status);
  }

  const std::string race = UtcText(stored.started_utc);
  const char* ip = settings.server_ip.c_str();
  const int port = static_cast<int>(settings.server_port);
  switch (report.status) {
    case SubmissionStatus::kSent:
      line_log.Log(kLogNormal, "Resending the results of the race of %s to Tarvex at %s:%d: sent.\n", race.c_str(),
                   ip, port);
      return SendKeptOutcome::kSent;
    case SubmissionStatus::kRefused:
      line_log.Log(kLogNormal,
                   "Resending the results of the race of %s to Tarvex at %s:%d: %s; they will not be sent again.\n",
                   race.c_str(), ip, port, report.outcome.c_str());
      return SendKeptOutcome::kRefused;
    default: {
      StoredSubmission after;
      const bool again = purpose == Purpose::kAutomatic && !report.moved_on &&
                         journal_->Read(stored.record, after) && ResendsAutomatically(after, newest, NextTry());
      const std::string folder = journal_->FolderOf(stored.record);
      if (again) {
        line_log.Log(kLogNormal,
                     "Resending the results of the race of %s to Tarvex at %s:%d: not sent (%s); they are tried "
                     "again until an hour after the race's finish.\n",
                     race.c_str(), ip, port, report.outcome.c_str());
      } else {
        line_log.Log(kLogNormal,
                     "Resending the results of the race of %s to Tarvex at %s:%d: not sent (%s); they are kept in "
                     "%s.\n",
                     race.c_str(), ip, port, report.outcome.c_str(), folder.c_str());
      }
      return SendKeptOutcome::kNotSent;
    }
  }
}

}  // namespace volantis
