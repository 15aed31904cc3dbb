#pragma once
// The one program-wide settings object: the version text, the ten user settings
// kept in the profile, then the race definition.
#include <cstdint>
#include <string>

#include "core/race_definition.h"

namespace volantis {

inline constexpr const char* kVersionText = "2.6";

// Hot-key flags as the hot-key control reports them and the profile stores them.
inline constexpr uint16_t kHotKeyShift = 0x01;
inline constexpr uint16_t kHotKeyControl = 0x02;
inline constexpr uint16_t kHotKeyAlt = 0x04;
inline constexpr uint16_t kHotKeyExtended = 0x08;

struct AppSettings {
  std::string version = kVersionText;
  std::string player_name;
  std::string server_ip;
  int32_t server_port = 0;
  bool sound_cross = false;
  bool sound_skip = false;
  bool sound_end = false;
  bool sound_validate = false;
  bool sound_race_results = false;
  uint16_t hot_key_code = 0;
  uint16_t hot_key_modifiers = 0;

  RaceDefinition race_definition;
};

}  // namespace volantis
