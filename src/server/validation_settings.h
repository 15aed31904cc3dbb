#pragma once
// What one validation run reads of the settings: copied on the user-interface
// thread when the run starts, so saving the Race Settings while the run is under
// way can neither change what it sends nor free what it reads.
#include <cstdint>
#include <string>

#include "core/app_settings.h"

namespace volantis {

struct ValidationSettings {
  std::string server_ip;
  int32_t server_port = 0;
  std::string player_name;
  std::string version;
  bool sound_validate = false;

  static ValidationSettings From(const AppSettings& settings);
};

}  // namespace volantis
