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
// before its first attempt, with each attempt and its final status; results
// that did not reach the server are sent again later (ResendUnsent), one
// attempt each occasion, until the server has them or gives a final answer.
#include <atomic>
#include <cstdint>
#include <functional>
#include <set>
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
// Unsent results of races older than this are no longer sent.
inline constexpr int64_t kResendMaxAgeSeconds = 7 * 24 * 3600;
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

  // Starts SendRaceResults on its own thread with copies of both arguments and
  // returns at once. Logs "Error creating SendRaceResults thread." and returns
  // false when the thread cannot be created; once the module is ending, hands
  // the results to the unsent-results handler instead.
  bool Start(const RaceResults& results, const ResultsSubmissionSettings& settings);

  // The submission itself, on the calling thread (the thread body; tests call it).
  void SendRaceResults(const RaceResults& results, const ResultsSubmissionSettings& settings);

  // Starts ResendUnsent on a worker unless one is running already; false when
  // nothing was started.
  bool StartResend();
  // Every result of the journal still unsent, oldest first: one attempt each,
  // with a fresh code, to the server the race was flown against, and one line
  // in the race log for each. Waits for a running submission to finish first.
  void ResendUnsent();

  // Tests only: the pause after a network failure, 10 s in the product.
  void SetRetryWaitForTesting(uint32_t milliseconds) { retry_wait_ms_ = milliseconds; }

 private:
  enum class AttemptOutcome { kFinished, kRetry, kBrokenOff };
  // What one attempt came to, for the journal.
  struct AttemptReport {
    std::string outcome;  // a few words: "sent", "Error 503 ...", "refused: unknown player"
    SubmissionStatus status = SubmissionStatus::kUnsent;  // where the submission stands after it
    bool journaled = false;  // the attempt and its status are in the journal already
  };
  // last_attempt: no pause after a failure, since nothing follows.
  // record: where the server's OK is journaled before anything else happens (empty: nowhere).
  AttemptOutcome Attempt(const std::string& record, const SubmissionFields& fields,
                         const ResultsSubmissionSettings& settings, int attempt, bool last_attempt, bool& invalid_data,
                         LogSink& log, AttemptReport& report);
  // After a failed request: the pause before the next attempt when the failure
  // is one to retry. kBrokenOff when the module's end cut the pause short.
  AttemptOutcome AfterFailure(const HttpResult& failed, bool last_attempt, LogSink& log);
  HttpResult Get(const ResultsSubmissionSettings& settings, const std::string& path, LogSink& log);
  void PlayIfSwitchedOn(const ResultsSubmissionSettings& settings, const char* sound);
  void HandOverUnsent(const RaceResults& results, const ResultsSubmissionSettings& settings);
  // Journal helpers: nothing when the results have no record or the journal failed.
  void JournalAttempt(const std::string& record, int attempt, const AttemptReport& report);
  void JournalStatus(const std::string& record, SubmissionStatus status);
  void ResendOne(const StoredSubmission& stored);
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
  std::atomic<bool> resend_running_{false};
  std::atomic<bool> resend_wanted_{false};  // asked for again while one ran: it goes once more
};

// The submit path for one attempt, with the validation code already formed.
std::string ResultsSubmitPath(const RaceResults& results, const ResultsSubmissionSettings& settings,
                              const std::string& code);

}  // namespace volantis
