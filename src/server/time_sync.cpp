// RaceServerClient::TimeSync: up to five UDP round trips with the race server;
// the shortest gives the clock offset, and each accepted answer names the race
// aircraft.
#include "server/race_server_client.h"
#include "server/time_sync_text.h"

namespace volantis {

namespace {

constexpr int kAttempts = 5;
constexpr double kGoodEnoughRoundTripMs = 200;  // no further attempts needed

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
    : settings_(settings), log_(validate_log), services_(services) {}

RaceServerClient::~RaceServerClient() {
  if (sockets_started_) services_.udp.StopLibrary();
}

void RaceServerClient::PlayIfSwitchedOn(const char* sound) {
  if (settings_.sound_validate) services_.sound.Play(sound);
}

bool RaceServerClient::TimeSync() {
  RaceDefinition& race = settings_.race_definition;
  const int32_t port = settings_.server_port;
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
  if ((error = services_.udp.Resolve(settings_.server_ip, server)) != 0) {
    log_.Log(kLogNormal, "Error %d looking up Tarvex IP address by name.\n", error);
    return fail();
  }
  server.port = static_cast<uint16_t>(port);

  race.best_round_trip = 0;
  race.clock_offset = 0;
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
    const std::string request = TimeSyncRequestText(id, settings_.version, settings_.player_name);
    log_.Log(kLogDetail, "Sending UDP packet: %s\n", request.c_str());
    if ((error = socket->SendTo(server, request.c_str(), request.size() + 1)) != 0) {
      log_.Log(kLogNormal, "Error %d sending time sync packet.\n", error);
      break;
    }

    UdpWait wait = socket->WaitReadable(answer_wait_ms_, error);
    if (wait == UdpWait::kTimeout) {
      log_.Log(kLogNormal, kPortForwardingText, port, port);
      continue;
    }
    if (wait == UdpWait::kError) {
      log_.Log(kLogNormal, "Error: time sync select error: %d\n", error);
      continue;
    }

    char buffer[kTimeSyncAnswerMax] = {};
    std::size_t received = 0;
    UdpAddress sender;
    if ((error = socket->ReceiveFrom(buffer, sizeof(buffer), received, sender)) != 0) {
      log_.Log(kLogNormal, "Error %d receiving time sync response.%s\n", error,
               error == kSocketErrorConnectionReset ? " Maybe the Tarvex session isn't running?" : "");
      break;
    }
    clock.QueryCounter(count);
    const double received_time = static_cast<double>(count) / static_cast<double>(frequency);

    const std::string answer_text = TimeSyncAnswerText(buffer, received < sizeof(buffer) ? received : sizeof(buffer));
    if (answer_text.empty()) {
      log_.Log(kLogNormal, "Error: bad time sync data from Tarvex. Sent id %d, received: %s\n", id,
               answer_text.c_str());
      break;
    }

    const TimeSyncAnswer answer = ParseTimeSyncAnswer(answer_text);
    if (answer.kind == TimeSyncAnswer::Kind::kResponse && answer.id == id) {
      const double round_trip = received_time - sent_time;
      log_.Log(kLogNormal, "Time synchronized with Tarvex ok, delay: %d ms.\n", static_cast<int>(round_trip * 1000));
      log_.Log(kLogDetail, "%f sec - Sent our time\n", sent_time);
      log_.Log(kLogDetail, "%f sec - Received server time from %s\n", received_time, sender.DottedText().c_str());
      const double best = race.best_round_trip;
      if (best != 0 && round_trip >= best) {
        log_.Log(kLogDetail, "Round-trip delay longer than best so far, discarding.\n");
        continue;
      }
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

  const double best = race.best_round_trip;
  if (synced && best > 0) {
    log_.Log(kLogNormal, "Best overall round-trip delay: %d ms.\n", static_cast<int>(best * 1000));
  }
  if (!synced) PlayIfSwitchedOn("WAVE_VALIDATE_SEND_ERROR");
  return synced;
}

}  // namespace volantis
