#pragma once
// Sends a finished race's results to the race server on a worker thread of its
// own, retrying network failures for up to 15 attempts, and reports in the race
// log. Each submission works on a copy of the results and of the settings it
// needs, taken when it starts, so a new race or a settings change cannot alter
// what it sends. Submissions run one after the other: the server code is issued
// once per request, and two submissions interleaving their code requests could
// spoil each other's code, so a second one waits for the first to finish.
#include <cstdint>
#include <memory>
#include <string>

#include "platform/clock.h"
#include "platform/http_transport.h"
#include "platform/sound_player.h"
#include "platform/sync.h"
#include "race/race_results.h"
#include "ui/app_settings.h"
#include "ui/log_sink.h"

namespace volantis {

inline constexpr const char* kResultsAgent = "Volantis.dll";
inline constexpr int kResultsAttempts = 15;
inline constexpr uint32_t kResultsRetryWaitMs = 10000;

// What one submission needs besides the results.
struct ResultsSubmissionSettings {
  std::string server_ip;
  int32_t server_port = 0;
  std::string player_name;
  std::string version;
  bool sound_race_results = false;
  double best_round_trip = 0;  // seconds, from the last time synchronisation

  static ResultsSubmissionSettings From(const AppSettings& settings);
};

class RaceResultsSender {
 public:
  // All references must outlive every submission this sender starts (the module
  // keeps one sender for its whole life).
  RaceResultsSender(LogSink& race_log, HttpTransport& http, Clock& clock, SoundPlayer& sound);
  RaceResultsSender(const RaceResultsSender&) = delete;
  RaceResultsSender& operator=(const RaceResultsSender&) = delete;

  // Starts SendRaceResults on its own thread with copies of both arguments and
  // returns at once. Logs "Error creating SendRaceResults thread." and returns
  // false when the thread cannot be created.
  bool Start(const RaceResults& results, const ResultsSubmissionSettings& settings);

  // The submission itself, on the calling thread (the thread body; tests call it).
  void SendRaceResults(const RaceResults& results, const ResultsSubmissionSettings& settings);

  // True once no started submission is running any more (false on time-out).
  bool WaitUntilIdle(uint32_t milliseconds);

  // Tests only: the pause after a network failure, 10 s in the product.
  void SetRetryWaitForTesting(uint32_t milliseconds) { retry_wait_ms_ = milliseconds; }

 private:
  HttpResult Get(const ResultsSubmissionSettings& settings, const std::string& path);
  void PlayIfSwitchedOn(const ResultsSubmissionSettings& settings, const char* sound);

  LogSink& log_;
  HttpTransport& http_;
  Clock& clock_;
  SoundPlayer& sound_;
  CriticalSection one_at_a_time_;
  uint32_t retry_wait_ms_ = kResultsRetryWaitMs;

  // Counts the started threads. Shared with them, so a thread's last step (saying
  // it has ended) never touches a sender that a waiter has already let go.
  struct Running {
    CriticalSection lock;
    int count = 0;
    Event idle{true, true};
  };
  std::shared_ptr<Running> running_ = std::make_shared<Running>();
};

// The submit path for one attempt, with the validation code already formed.
std::string ResultsSubmitPath(const RaceResults& results, const ResultsSubmissionSettings& settings,
                              const std::string& code);

}  // namespace volantis
