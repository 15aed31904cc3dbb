// RaceServerClient::TimeSync: up to five UDP round trips with the race server;
// the shortest gives the clock offset, and each accepted answer names the race
// aircraft.
#include <cstring>

#include "server/race_server_client.h"

#include "platform/abandonable_resolve.h"
#include "server/server_port.h"
#include "server/time_sync_text.h"

namespace volantis {

namespace {

constexpr int kAttempts = 5;
constexpr double kGoodEnoughRoundTripMs = 200;  // no further attempts needed
constexpr uint32_t kTimeSyncIdMask = 0x3FFFFFFF;  // first ids below 2^30: 2^30 requests before the int range ends

constexpr const char* kPortForwardingText =
    "Error: timed out waiting for time sync response from Tarvex. This error usually happens because UDP port %d "
    "is not forwarded from your router to your PC. Please refer to your router's help file to learn how to setup "
    "\"Port Forwarding\" (also sometimes called \"Virtual Hosts\"). You'll need to find out the \"local\" IP of "
    "your machine by opening a Command Prompt (Start / Programs / Accessories) and typing \"ipconfig\". Usually "
    "this will be an IP that starts with 192.168, indicating that it's a fake, internal IP, used only within your "
    "local network. In the configuration settings of your router, there should be a way to forward UDP port %d to "
    "your PC's local IP address. Also note that P2P file sharing programs can sometimes cause this error, because "
    "they lock the port.\n";

}  // namespace

RaceServerClient::RaceServerClient(AppSettings& settings, LogSink& validate_log, const ServerServices& services)
    : settings_(settings),
      log_(validate_log),
      services_(services),
      time_sync_id_(static_cast<int32_t>(services.unpredictable_word() & kTimeSyncIdMask)) {}

RaceServerClient::~RaceServerClient() {
  if (sockets_started_) services_.udp.StopLibrary();
}

void RaceServerClient::PlayIfSwitchedOn(const char* sound) {
  if (run_.sound_validate) services_.sound.Play(sound);
}

bool RaceServerClient::PortUsable() {
  if (IsServerPort(run_.server_port)) return true;
  log_.Log(kLogNormal, kNotAServerPortText, static_cast<int>(run_.server_port));
  PlayIfSwitchedOn("WAVE_VALIDATE_SEND_ERROR");
  return false;
}

bool RaceServerClient::TimeSync() {
  RaceDefinition& race = settings_.race_definition;
  // A stored number that is no port would be cut to 16 bits: nothing is sent.
  if (!PortUsable()) return false;
  const int32_t port = run_.server_port;
  auto fail = [this] {
    PlayIfSwitchedOn("WAVE_VALIDATE_SEND_ERROR");
    return false;
  };

  if (!sockets_started_) {
    switch (services_.udp.StartLibrary()) {
      case SocketLibraryStart::kNotFound:
        log_.Log(kLogNormal, "Error: could not find a winsock DLL.\n");
        return fail();
      case SocketLibraryStart::kWrongVersion:
        log_.Log(kLogNormal, "Error: could not find a winsock DLL version 1.1 or newer.\n");
        return fail();
      case SocketLibraryStart::kStarted:
        sockets_started_ = true;
        break;
    }
  }

  int error = 0;
  std::unique_ptr<UdpSocket> socket = services_.udp.OpenSocket(error);
  if (!socket) {
    log_.Log(kLogNormal, "Error %d creating time sync socket.\n", error);
    return fail();
  }
  // The socket closes on every way out from here.
  if ((error = socket->Bind(static_cast<uint16_t>(port))) != 0) {
    log_.Log(kLogNormal,
             "Error %d using port %d for time sync. Please check that no other applications are running that use "
             "UDP port 80 (including file-sharing applications such as Kazaa and Grokster), and if you're using a "
             "router, please forward UDP port 80 to your machine.\n",
             error, port);
    return fail();
  }
  UdpAddress server;
  // A name server that does not answer holds the look-up, not the end.
  const ResolveOutcome resolved = ResolveUnlessCancelled(services_.udp, run_.server_ip, server, services_.cancel);
  if (resolved.cancelled) return false;  // the module is ending: nothing more is said
  if ((error = resolved.error) != 0) {
    log_.Log(kLogNormal, "Error %d looking up Tarvex IP address by name.\n", error);
    return fail();
  }
  server.port = static_cast<uint16_t>(port);

  // The best round trip of this sync; the race definition's offset and round
  // trip are replaced only once one is accepted, so a sync that fails leaves
  // those of the last good one to the race being flown.
  double best = 0;
  bool synced = false;
  Clock& clock = services_.clock;

  for (int attempt = 1; attempt <= kAttempts; ++attempt) {
    log_.Log(kLogNormal, "Synchronizing the time with Tarvex (attempt %d/%d)...\n", attempt, kAttempts);
    int64_t count = 0;
    if (!clock.QueryCounter(count)) {
      log_.Log(kLogNormal, "Error: QueryPerformanceCounter not supported on this hardware.\n");
      break;
    }
    int64_t frequency = clock.QueryFrequency();
    if (frequency == 0) frequency = 1;
    const double sent_time = static_cast<double>(count) / static_cast<double>(frequency);

    const int32_t id = ++time_sync_id_;
    const std::string request = TimeSyncRequestText(id, run_.version, run_.player_name);
    log_.Log(kLogDetail, "Sending UDP packet: %s\n", request.c_str());
    if ((error = socket->SendTo(server, request.c_str(), request.size() + 1)) != 0) {
      log_.Log(kLogNormal, "Error %d sending time sync packet.\n", error);
      break;
    }

    // Waits for this request's answer. A datagram from another address or port,
    // or one answering another request (a late answer, or a stranger's guess),
    // is passed over, and the wait goes on for what is left of its time.
    const double deadline = sent_time + answer_wait_ms_ / 1000.0;
    uint32_t wait_ms = answer_wait_ms_;
    UdpWait wait = UdpWait::kTimeout;
    bool receive_failed = false;
    char buffer[kTimeSyncAnswerMax] = {};
    std::size_t received = 0;
    UdpAddress sender;
    double received_time = 0;
    std::string answer_text;
    TimeSyncAnswer answer;
    for (;;) {
      wait = socket->WaitReadable(wait_ms, services_.cancel, error);
      if (wait != UdpWait::kReadable) break;
      std::memset(buffer, 0, sizeof(buffer));
      received = 0;
      if ((error = socket->ReceiveFrom(buffer, sizeof(buffer), received, sender)) != 0) {
        receive_failed = true;
        break;
      }
      clock.QueryCounter(count);
      received_time = static_cast<double>(count) / static_cast<double>(frequency);
      answer_text = TimeSyncAnswerText(buffer, received < sizeof(buffer) ? received : sizeof(buffer));
      answer = ParseTimeSyncAnswer(answer_text);
      const bool other_request = answer.kind == TimeSyncAnswer::Kind::kResponse && answer.id != id;
      if (sender.SameEndpoint(server) && !other_request) break;
      log_.Log(kLogDetail, "Passed over a time sync datagram from %s:%u: %s\n", sender.DottedText().c_str(),
               static_cast<unsigned>(sender.port), answer_text.c_str());
      const double left_ms = (deadline - received_time) * 1000;
      if (left_ms <= 0) {
        wait = UdpWait::kTimeout;
        break;
      }
      wait_ms = static_cast<uint32_t>(left_ms);
    }
    if (wait == UdpWait::kCancelled) return false;  // the module is ending: nothing more to say
    if (receive_failed) {
      log_.Log(kLogNormal, "Error %d receiving time sync response.%s\n", error,
               error == kSocketErrorConnectionReset ? " Maybe the Tarvex session isn't running?" : "");
      break;
    }
    if (wait == UdpWait::kTimeout) {
      log_.Log(kLogNormal, kPortForwardingText, port, port);
      continue;
    }
    if (wait == UdpWait::kError) {
      log_.Log(kLogNormal, "Error: time sync select error: %d\n", error);
      continue;
    }
    if (wait != UdpWait::kReadable) break;

    if (answer_text.empty()) {
      log_.Log(kLogNormal, "Error: bad time sync data from Tarvex. Sent id %d, received: %s\n", id,
               answer_text.c_str());
      break;
    }

    if (answer.kind == TimeSyncAnswer::Kind::kResponse && answer.id == id) {
      const double round_trip = received_time - sent_time;
      log_.Log(kLogNormal, "Time synchronized with Tarvex ok, delay: %d ms.\n", static_cast<int>(round_trip * 1000));
      log_.Log(kLogDetail, "%f sec - Sent our time\n", sent_time);
      log_.Log(kLogDetail, "%f sec - Received server time from %s\n", received_time, sender.DottedText().c_str());
      if (best != 0 && round_trip >= best) {
        log_.Log(kLogDetail, "Round-trip delay longer than best so far, discarding.\n");
        continue;
      }
      best = round_trip;
      race.best_round_trip = round_trip;
      const double one_way = round_trip * 0.5;
      log_.Log(kLogDetail, "%f ms - One-way delay\n", one_way * 1000);
      log_.Log(kLogDetail, "%f sec - Server time\n", answer.server_time);
      const double adjusted = answer.server_time - one_way;
      log_.Log(kLogDetail, "%f sec - Server time minus one-way delay\n", adjusted);
      race.clock_offset = received_time - adjusted;
      log_.Log(kLogDetail, "%f sec - Diff our time from adjusted server time\n", race.clock_offset.load());
      log_.Log(kLogNormal, "Aircraft in use: %s\n", AircraftName(answer.aircraft));
      race.aircraft_type = answer.aircraft;
      synced = true;
      if (round_trip * 1000 < kGoodEnoughRoundTripMs) break;
      continue;
    }

    if (answer.kind == TimeSyncAnswer::Kind::kError) {
      if (answer.error_word == "old-version") {
        log_.Log(kLogNormal,
                 "Error: this version of Volantis.dll is no longer accepted. Please download the latest version "
                 "from %s\n",
                 kDownloadAddress);
      } else {
        log_.Log(kLogNormal, "Error synchronizing time with Tarvex: %s\n", answer.error_word.c_str());
      }
    } else {
      // Also an answer to an earlier request that arrived late, with its older id.
      log_.Log(kLogNormal, "Error: bad time sync data from Tarvex. Sent id %d, received: %s\n", id,
               answer_text.c_str());
    }
    break;
  }

  if (synced && best > 0) {
    log_.Log(kLogNormal, "Best overall round-trip delay: %d ms.\n", static_cast<int>(best * 1000));
  }
  if (!synced) PlayIfSwitchedOn("WAVE_VALIDATE_SEND_ERROR");
  return synced;
}

}  // namespace volantis
