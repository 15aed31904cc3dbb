#pragma once
// The validation side of the race server: the UDP time synchronisation that
// opens every validation run and the validation report that ends it, with the
// race start that a report's answer may carry. Runs on the validation thread.
#include <cstdint>
#include <functional>
#include <string>

#include "core/app_settings.h"
#include "core/log_sink.h"
#include "platform/cancel_signal.h"
#include "platform/clock.h"
#include "platform/host_poster.h"
#include "platform/http_transport.h"
#include "platform/random.h"
#include "platform/sound_player.h"
#include "platform/udp_channel.h"
#include "server/validation_server.h"

namespace volantis {

// Where a pilot gets the current module; ends the "no longer accepted" texts.
inline constexpr const char* kDownloadAddress = "https://volantis.example.org/";
inline constexpr const char* kValidationAgent = "TarvexCheck";
inline constexpr const char* kGetCodePath = "/validate?op=get_code&type=1";
// Follows "Error: bad data from Tarvex." with the first problem found in the course.
inline constexpr const char* kBadDataReasonText = "The first problem found: %s.\n";

// The platform services the exchanges use; all must outlive the client.
struct ServerServices {
  HttpTransport& http;
  UdpChannel& udp;
  Clock& clock;
  SoundPlayer& sound;
  HostPoster& poster;
  // Where the time sync's request numbers start (tests give a fixed one).
  uint32_t (*unpredictable_word)() = UnpredictableWord;
  // The module's end: breaks off the time sync's wait and every request.
  CancelSignal* cancel = nullptr;
  // Called (on the validation's thread) when the server has accepted a passed
  // validation: the server is reachable now.
  std::function<void()> on_validated;
};

class RaceServerClient : public ValidationServer {
 public:
  // settings: the race definition that time sync and race start info write; the
  // server address and port, player name, version and sound switch come from
  // the copy each run hands over (BeginRun). validate_log: the Validate window's log.
  RaceServerClient(AppSettings& settings, LogSink& validate_log, const ServerServices& services);
  ~RaceServerClient() override;  // stops the socket library if this client started it
  RaceServerClient(const RaceServerClient&) = delete;
  RaceServerClient& operator=(const RaceServerClient&) = delete;

  void BeginRun(const ValidationSettings& settings) override { run_ = settings; }
  bool TimeSync() override;
  void SendResultsText(bool success, const std::string& message) override;

  int32_t time_sync_id() const { return time_sync_id_; }
  bool sockets_started() const { return sockets_started_; }

  // Tests only: the answer wait (10 s) and the gates lock wait (10 s).
  void SetWaitsForTesting(uint32_t answer_wait_ms, uint32_t gates_lock_wait_ms) {
    answer_wait_ms_ = answer_wait_ms;
    gates_lock_wait_ms_ = gates_lock_wait_ms;
  }

 private:
  enum class ReportOutcome { kDone, kRepeat };
  ReportOutcome ReportOnce(bool success, const std::string& message, bool repeated);
  void LoadRace(const std::string& body);
  // "Error: bad data from Tarvex." and the line that names why, for the race director.
  void BadRaceData(const std::string& reason);
  // Logs the bad-port message and plays the error sound when the run's port is
  // no port; true when it is one.
  bool PortUsable();
  void PlayIfSwitchedOn(const char* sound);
  HttpResult Get(const std::string& path);
  void NoteCutBody(const HttpResult& result);

  AppSettings& settings_;
  LogSink& log_;
  ServerServices services_;
  ValidationSettings run_;  // the run's own copy of the settings
  // Starts at an unpredictable number (below 2^30, so it never runs over), so
  // a stranger cannot answer a request they have not seen.
  int32_t time_sync_id_ = 0;
  bool sockets_started_ = false;
  uint32_t answer_wait_ms_ = 10000;
  uint32_t gates_lock_wait_ms_ = kGatesLockTimeoutMs;
};

}  // namespace volantis
