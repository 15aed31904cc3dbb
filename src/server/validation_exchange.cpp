// RaceServerClient::SendResultsText: the validation report that ends every
// validation run, and the race start that its answer may carry.
#include <vector>

#include "host/command_ids.h"
#include "server/digest.h"
#include "server/race_server_client.h"
#include "server/race_start_info.h"
#include "server/server_port.h"
#include "server/text_codec.h"

namespace volantis {

namespace {

constexpr char kRaceDataPrefix[] = "Tarvex data: ";
constexpr char kServerErrorPrefix[] = "Tarvex Error: ";

bool StartsWith(const std::string& text, const char* prefix, std::size_t prefix_length) {
  return text.compare(0, prefix_length, prefix) == 0;
}

}  // namespace

HttpResult RaceServerClient::Get(const std::string& path) {
  HttpRequest request;
  request.server = run_.server_ip;
  request.port = run_.server_port;
  request.path = path;
  request.agent = kValidationAgent;
  request.cancel = services_.cancel;
  HttpResult result = services_.http.HttpGet(request);
  NoteCutBody(result);
  return result;
}

void RaceServerClient::NoteCutBody(const HttpResult& result) {
  if (result.body_cut) {
    log_.Log(kLogNormal, "Warning: the answer from Tarvex was longer than %lu bytes; only its start was read.\n",
             static_cast<unsigned long>(kHttpBodyMax));
  }
}

void RaceServerClient::SendResultsText(bool success, const std::string& message_text) {
  // A step that was under way when the module began to end reports nothing.
  if (services_.cancel != nullptr && services_.cancel->cancelled()) return;
  const std::string message =
      message_text.size() > kLogMessageMax ? message_text.substr(0, kLogMessageMax) : message_text;
  log_.Log(kLogDetail, "SendResults: success: %d, %s\n", success ? 1 : 0, message.c_str());
  if (!PortUsable()) return;
  log_.Log(kLogNormal, "Sending validation to Tarvex at %s:%d...\n", run_.server_ip.c_str(),
           static_cast<int>(run_.server_port));
  if (ReportOnce(success, message, false) == ReportOutcome::kRepeat) ReportOnce(success, message, true);
}

RaceServerClient::ReportOutcome RaceServerClient::ReportOnce(bool success, const std::string& message,
                                                             bool repeated) {
  const std::string player = UrlEncode(run_.player_name);
  const int aircraft = settings_.race_definition.aircraft_type;
  std::string path;
  if (success) {
    HttpResult code_answer = Get(kGetCodePath);
    if (code_answer.status != 200) {
      PlayIfSwitchedOn("WAVE_VALIDATE_SEND_ERROR");
      log_.Log(kLogNormal, "Error %ld getting validation code from Tarvex. %s\n",
               static_cast<long>(code_answer.status), code_answer.error_text.c_str());
      return ReportOutcome::kDone;
    }
    log_.Log(kLogDetail, "Received validation code: %s\n", code_answer.body.c_str());
    const std::string code = ValidationCode(code_answer.body, run_.version, run_.player_name);
    path = FormatText("/validate?op=do_validate&type=1&aircraft=%d&ver=%s&result=1&player=%s&code=%s", aircraft,
                      run_.version.c_str(), player.c_str(), code.c_str());
  } else {
    path = FormatText("/validate?op=do_validate&type=1&aircraft=%d&ver=%s&result=0&player=%s&error=%s", aircraft,
                      run_.version.c_str(), player.c_str(), UrlEncode(message).c_str());
  }
  log_.Log(kLogDetail, "Validating with URL path: %s\n", path.c_str());

  HttpResult answer = Get(path);
  switch (answer.status) {
    case 200:
      log_.Log(kLogNormal, "Sent results to Tarvex ok.\n");
      if (success && services_.on_validated) services_.on_validated();
      if (!success) {
        // The one sound that plays whatever the switch says.
        services_.sound.Play("WAVE_VALIDATE_ERROR");
        log_.Log(kLogNormal, "Validation failed. Ask the Race Director for details.\n");
      } else if (!StartsWith(answer.body, kRaceDataPrefix, sizeof(kRaceDataPrefix) - 1)) {
        PlayIfSwitchedOn("WAVE_VALIDATE_OK");
        log_.Log(kLogNormal, "Validation test ok, race not running.\n");
      } else if (answer.body_cut) {
        // Only the start of a course arrived: none of it is loaded.
        BadRaceData("only the start of the course arrived");
      } else {
        LoadRace(answer.body.substr(sizeof(kRaceDataPrefix) - 1));
      }
      return ReportOutcome::kDone;
    case 400:
      if (!repeated) return ReportOutcome::kRepeat;
      PlayIfSwitchedOn("WAVE_VALIDATE_SEND_ERROR");
      log_.Log(kLogNormal, "Error sending results to Tarvex. Invalid data.\n");
      return ReportOutcome::kDone;
    case 403:
      PlayIfSwitchedOn("WAVE_VALIDATE_SEND_ERROR");
      log_.Log(kLogNormal,
               "Error: this version of Volantis.dll is no longer accepted. Please download the latest version from "
               "%s\n",
               kDownloadAddress);
      return ReportOutcome::kDone;
    case 406:
      PlayIfSwitchedOn("WAVE_VALIDATE_SEND_ERROR");
      log_.Log(kLogNormal,
               "Error: wrong aircraft. The aircraft required by the server probably just changed. Please try "
               "validating again.\n");
      return ReportOutcome::kDone;
    case 405:
      PlayIfSwitchedOn("WAVE_VALIDATE_SEND_ERROR");
      if (StartsWith(answer.body, kServerErrorPrefix, sizeof(kServerErrorPrefix) - 1)) {
        log_.Log(kLogNormal, "Error sending results to Tarvex: %s\n",
                 answer.body.c_str() + sizeof(kServerErrorPrefix) - 1);
      } else {
        log_.Log(kLogNormal, "Error 405 sending results to Tarvex.\n");
      }
      return ReportOutcome::kDone;
    default:
      PlayIfSwitchedOn("WAVE_VALIDATE_SEND_ERROR");
      log_.Log(kLogNormal, "Error %ld sending results to Tarvex. %s\n", static_cast<long>(answer.status),
               answer.error_text.c_str());
      return ReportOutcome::kDone;
  }
}

void RaceServerClient::BadRaceData(const std::string& reason) {
  PlayIfSwitchedOn("WAVE_VALIDATE_SEND_ERROR");
  log_.Log(kLogNormal, "Error: bad data from Tarvex.\n");
  log_.Log(kLogNormal, kBadDataReasonText, reason.c_str());
}

void RaceServerClient::LoadRace(const std::string& scrambled) {
  RaceDefinition& race = settings_.race_definition;
  std::string problem;
  const RaceStartInfoResult loaded =
      LoadRaceStartInfo(DecodeServerData(scrambled), race, log_, gates_lock_wait_ms_, &problem);
  if (loaded != RaceStartInfoResult::kLoaded) {
    // No entries, bad values, or the gates could not be taken from the
    // monitor: nothing was replaced, the race that may run goes on.
    if (loaded == RaceStartInfoResult::kLockTimeout) {
      // Its own line above says why; the course itself may be sound.
      PlayIfSwitchedOn("WAVE_VALIDATE_SEND_ERROR");
      log_.Log(kLogNormal, "Error: bad data from Tarvex.\n");
      return;
    }
    if (loaded == RaceStartInfoResult::kNoEntries) problem = "the race start info holds no entry";
    BadRaceData(problem);
    return;
  }
  // The course is replaced. Start Race stops the race that runs on the old
  // one, then starts the new race when this course has one. Only this thread
  // replaces the gates, so their count can be read here while the monitor may
  // be reading them.
  services_.poster.PostCommand(kCmdStartRace);
  if (race.gates.empty()) {
    BadRaceData("the course has no gate line of six values");
    return;
  }
  if (race.laps <= 0) {
    // A course with no lap to fly is the server's way of having no race yet.
    PlayIfSwitchedOn("WAVE_VALIDATE_OK");
    log_.Log(kLogNormal, "Validation test ok, race not running.\n");
    return;
  }
  log_.Log(kLogNormal, "%d lap race started.\n", race.laps.load());
  PlayIfSwitchedOn("WAVE_VALIDATE_OK_RACE_STARTED");
}

}  // namespace volantis
