#include "ui/race_settings.h"

#include "platform/text_format.h"

namespace volantis {

void RaceSettingsValues::CopyFrom(const AppSettings& settings) {
  sound_cross = settings.sound_cross;
  sound_end = settings.sound_end;
  sound_skip = settings.sound_skip;
  player_name = settings.player_name;
  server_ip = settings.server_ip;
  server_port = settings.server_port;
  sound_race_results = settings.sound_race_results;
  sound_validate = settings.sound_validate;
}

void RaceSettingsValues::CopyTo(AppSettings& settings) const {
  settings.sound_cross = sound_cross;
  settings.sound_end = sound_end;
  settings.sound_skip = sound_skip;
  settings.player_name = player_name;
  settings.server_ip = server_ip;
  settings.server_port = server_port;
  settings.sound_race_results = sound_race_results;
  settings.sound_validate = sound_validate;
}

std::vector<ExchangeItem> RaceSettingsValues::ExchangeTable() {
  return {
      {kControlSoundCross, &sound_cross, {}},
      {kControlSoundEnd, &sound_end, {}},
      {kControlSoundSkip, &sound_skip, {}},
      {kControlPlayerName, &player_name, TextBound{kPlayerNameMax}},
      {kControlServerIp, &server_ip, TextBound{kServerIpMax}},
      {kControlServerPort, &server_port, IntegerBound{0, 65535}},
      {kControlSoundRaceResults, &sound_race_results, {}},
      {kControlSoundValidate, &sound_validate, {}},
  };
}

std::string ResultsPageAddress(const AppSettings& settings) {
  return FormatText("http://%s:%d/validate?op=show_race_results", settings.server_ip.c_str(),
                    static_cast<int>(settings.server_port));
}

std::string AboutVersionText(const AppSettings& settings) {
  return FormatText("%s Version %s", "Volantis.dll", settings.version.c_str());
}

}  // namespace volantis
