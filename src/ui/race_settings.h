#pragma once
// The values the Race Settings dialog edits, their exchange table with the
// dialog's controls and bounds, and the copies to and from AppSettings. The hot
// key is not among them: its Set and Clear buttons act on AppSettings at once.
#include <string>
#include <vector>

#include "core/app_settings.h"
#include "ui/data_exchange.h"

namespace volantis {

// Control identifiers of the Race Settings dialog.
inline constexpr int kControlPlayerName = 1003;
inline constexpr int kControlServerIp = 1004;
inline constexpr int kControlServerPort = 1006;
inline constexpr int kControlSoundCross = 1025;
inline constexpr int kControlSoundSkip = 1026;
inline constexpr int kControlSoundEnd = 1027;
inline constexpr int kControlSoundValidate = 1028;
inline constexpr int kControlSoundRaceResults = 1029;

inline constexpr std::size_t kPlayerNameMax = 30;
inline constexpr std::size_t kServerIpMax = 100;

struct RaceSettingsValues {
  bool sound_cross = true;
  bool sound_end = true;
  bool sound_skip = true;
  std::string player_name;
  std::string server_ip;
  int32_t server_port = 80;
  bool sound_race_results = true;
  bool sound_validate = true;

  void CopyFrom(const AppSettings& settings);
  void CopyTo(AppSettings& settings) const;
  // In the dialog's exchange order, with the bounds tested on Save.
  std::vector<ExchangeItem> ExchangeTable();
};

// The results page of the race server, e.g. "http://10.0.0.2:80/validate?op=show_race_results".
std::string ResultsPageAddress(const AppSettings& settings);

// "Volantis.dll Version 2.6".
std::string AboutVersionText(const AppSettings& settings);

}  // namespace volantis
