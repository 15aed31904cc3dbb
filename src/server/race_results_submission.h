#pragma once
// Sends a finished race's results to the race server on a worker thread of its
// own, retrying network failures for up to 15 attempts, and reports in the race
// log. Each submission works on a copy of the results and of the settings it
// needs, taken when it starts, so a new race or a settings change cannot alter
// what it sends. Submissions run one after the other: the server code is issued
// once per request, and two submissions interleaving their code requests could
// spoil each other's code, so a second one waits for the first to finish.
// The end of the module (the worker group's cancel signal) breaks off the retry
// wait and a request in flight; results that did not reach the server then go
// to the unsent-results handler.
//
// With a results journal, every submission of a race that has a record is kept
// before its first attempt, with each attempt and its final status. Results
// that did not reach the server are sent again (ResendUnsent, one attempt each
// occasion) only while the server can still place them in their own race (see
// resend_policy.h): at the module's start, and once a minute while it runs.
// Once the server has accepted a validation, a submission still retrying stops
// and no earlier results go again by themselves; they stay in their record,
// unsent, for a pilot to send on purpose (SendKept).
#include <atomic>
#include <cstdint>
#include <functional>
#include <set>
#include <vector>
#include <string>

#include "core/app_settings.h"
#include "core/log_sink.h"
#include "platform/clock.h"
#include "platform/http_transport.h"
#include "platform/sound_player.h"
#include "platform/sync.h"
#include "platform/worker_group.h"
#include "race/race_results.h"
#include "server/results_journal.h"
#include "server/submission_fields.h"

namespace volantis {

inline constexpr const char* kResultsAgent = "Volantis.dll";
inline constexpr int kResultsAttempts = 15;
inline constexpr uint32_t kResultsRetryWaitMs = 10000;
// Said once at the start in the Validate window for each race whose results
// are kept unsent and no longer go by themselves (at most kKeptResultsLinesMax).
inline constexpr const char* kKeptResultsText = "The results of the race of %s were not sent; they are kept in %s.\n";
inline constexpr const char* kKeptResultsMoreText =
    "The results of %d more races were not sent either; they are kept in their race records.\n";
inline constexpr int kKeptResultsLinesMax = 5;
// A submission still retrying when the server accepts a validation.
inline constexpr const char* kMovedOnText =
    "The race results were not sent: Tarvex has accepted a newer validation and would place them in another "
    "race; they are kept in %s.\n";
// A results file that is there but does not parse: said once, with the record's name.
inline constexpr const char* kUnreadableResultsText =
    "The results kept in the race record %s cannot be read; they are not sent again.\n";
inline constexpr const char* kJournalFailedLine =
    "The race results could not be kept in the race record; they are sent as usual but cannot be sent again later.\n";

// What one submission needs besides the results.
struct ResultsSubmissionSettings {
  std::string server_ip;
  int32_t server_port = 0;
  std::string player_name;
  std::string version;
  bool sound_race_results = false;
  double best_round_trip = 0;  // seconds, from the last time synchronisation

  static ResultsSubmissionSettings From(const AppSettings& settings);
  // For the results of a race: the round trip of the time sync the race was
  // timed with, not of one that ended while it was flown.
  static ResultsSubmissionSettings From(const AppSettings& settings, const RaceResults& results);
};

// Receives the results of a submission that the module's end broke off before
// the server had them (called on the submission's thread).
using UnsentResultsHandler = std::function<void(const RaceResults&, const ResultsSubmissionSettings&)>;

class RaceResultsSender {
 public:
  // All references must outlive every submission this sender starts (the module
  // keeps one sender for its whole life, and its workers keep it alive).
  // Submissions run on threads of workers and watch its cancel signal.
  RaceResultsSender(LogSink& race_log, HttpTransport& http, Clock& clock, SoundPlayer& sound, WorkerGroup& workers);
  RaceResultsSender(const RaceResultsSender&) = delete;
  RaceResultsSender& operator=(const RaceResultsSender&) = delete;

  // Set before the first submission starts.
  void SetUnsentResultsHandler(UnsentResultsHandler handler) { unsent_ = std::move(handler); }
  // Set before the first submission starts; null for none.
  void SetJournal(ResultsJournal* journal) { journal_ = journal; }
  // Set before the first resend: where the kept results that no longer go by
  // themselves are said (the Validate window); null for nowhere.
  void SetKeptResultsLog(LogSink* log) { kept_log_ = log; }
  // Set before the first resend: the UTC clock the resend window is measured by.
  void SetUtcClock(std::function<int64_t()> now_utc) { now_utc_ = std::move(now_utc); }
  // Set before the first submission: results left unsent in the window are
  // tried again once a minute (the module; tests drive ResendUnsent instead).
  void TryAgainEveryMinute(bool on) { every_minute_ = on; }

  // Starts SendRaceResults on its own thread with copies of both arguments and
  // returns at once. Logs "Error creating SendRaceResults thread." and returns
  // false when the thread cannot be created; once the module is ending, hands
  // the results to the unsent-results handler instead.
  bool Start(const RaceResults& results, const ResultsSubmissionSettings& settings);

  // The submission itself, on the calling thread (the thread body; tests call it).
  void SendRaceResults(const RaceResults& results, const ResultsSubmissionSettings& settings);

  // Starts ResendUnsent on a worker unless one is running already, after
  // first_wait_ms; with TryAgainEveryMinute, the worker goes on once a minute
  // while results in the window are left. False when nothing was started.
  bool StartResend(uint32_t first_wait_ms = 0);
  // The kept results that go again by themselves now (resend_policy.h): one
  // attempt, with a fresh code, to the server the race was flown against, and
  // one line in the race log. Waits for a running submission to finish first.
  // The first pass also says in the kept-results log which results stay kept,
  // and marks pending ones outside the window unsent. True when results in the
  // window are left to try again.
  bool ResendUnsent();

  // The server accepted a validation (on the validation's thread): a
  // submission still retrying stops before its next request, and no kept
  // results go again by themselves.
  void NoteValidationAccepted();

  // Sends record's kept results on purpose, whatever the window says (the
  // send tool): one attempt as a resend makes, journaled in the record, with
  // one line in log. kBusy: another submission holds the record; kNoResults:
  // the record keeps no results that can be read.
  enum class SendKeptOutcome { kSent, kNotSent, kRefused, kAlreadySent, kAlreadyRefused, kBusy, kNoResults };
  SendKeptOutcome SendKept(const std::string& record, LogSink& log);

  // Tests only: the pause after a network failure, 10 s in the product.
  void SetRetryWaitForTesting(uint32_t milliseconds) { retry_wait_ms_ = milliseconds; }

 private:
  enum class AttemptOutcome { kFinished, kRetry, kBrokenOff };
  // The live submission; true when it left kept results unsent.
  bool SubmitLive(const RaceResults& results, const ResultsSubmissionSettings& settings);
  // What one attempt came to, for the journal.
  struct AttemptReport {
    std::string outcome;  // a few words: "sent", "Error 503 ...", "refused: unknown player"
    SubmissionStatus status = SubmissionStatus::kUnsent;  // where the submission stands after it
    bool journaled = false;  // the attempt and its status are in the journal already
    bool moved_on = false;   // not tried: the server accepted a validation since epoch
  };
  // last_attempt: no pause after a failure, since nothing follows.
  // record: where the server's OK is journaled before anything else happens (empty: nowhere).
  // epoch: the count of accepted validations when the submission began.
  AttemptOutcome Attempt(const std::string& record, const SubmissionFields& fields,
                         const ResultsSubmissionSettings& settings, int attempt, bool last_attempt, uint64_t epoch,
                         bool& invalid_data, LogSink& log, AttemptReport& report);
  // After a failed request: the pause before the next attempt when the failure
  // is one to retry. kBrokenOff when the module's end cut the pause short.
  AttemptOutcome AfterFailure(const HttpResult& failed, bool last_attempt, LogSink& log);
  HttpResult Get(const ResultsSubmissionSettings& settings, const std::string& path, LogSink& log);
  void PlayIfSwitchedOn(const ResultsSubmissionSettings& settings, const char* sound);
  void HandOverUnsent(const RaceResults& results, const ResultsSubmissionSettings& settings);
  // Journal helpers: nothing when the results have no record or the journal failed.
  void JournalAttempt(const std::string& record, int attempt, const AttemptReport& report);
  void JournalStatus(const std::string& record, SubmissionStatus status);
  enum class Purpose { kAutomatic, kOnPurpose };
  // One attempt on kept results, with its line in line_log.
  SendKeptOutcome ResendOne(const StoredSubmission& listed, bool newest, Purpose purpose, LogSink& line_log);
  // When the next of the tries a minute apart would come.
  int64_t NextTry();
  void SayKeptResults(const std::vector<const StoredSubmission*>& staying);
  bool IsLive(const std::string& record);
  void SetLive(const std::string& record, bool live);

  LogSink& log_;
  HttpTransport& http_;
  Clock& clock_;
  SoundPlayer& sound_;
  WorkerGroup& workers_;
  UnsentResultsHandler unsent_;
  ResultsJournal* journal_ = nullptr;
  CriticalSection one_at_a_time_;
  uint32_t retry_wait_ms_ = kResultsRetryWaitMs;
  // Records whose submission this module runs or has queued: never resent meanwhile.
  CriticalSection live_lock_;
  std::set<std::string> live_;
  std::set<std::string> said_unreadable_;  // records whose unreadable results were said (under live_lock_)
  LogSink* kept_log_ = nullptr;
  std::function<int64_t()> now_utc_;
  bool every_minute_ = false;
  std::atomic<uint64_t> validations_{0};  // accepted validations so far
  std::atomic<bool> said_kept_{false};     // the first pass said the kept results
  std::atomic<bool> resend_running_{false};
  std::atomic<bool> resend_wanted_{false};  // asked for again while one ran: it goes once more
};

// The submit path for one attempt, with the validation code already formed.
std::string ResultsSubmitPath(const RaceResults& results, const ResultsSubmissionSettings& settings,
                              const std::string& code);

}  // namespace volantis
