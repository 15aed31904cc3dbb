#include "core/settings_profile.h"

namespace volantis {
namespace {

std::string ReadText(SettingsStore& store, const char* name) {
  std::string value;
  if (!store.ReadText(kSettingsSection, name, value)) value.clear();
  return value;
}

uint32_t ReadInteger(SettingsStore& store, const char* name, uint32_t fallback) {
  uint32_t value = fallback;
  if (!store.ReadInteger(kSettingsSection, name, value)) value = fallback;
  return value;
}

// A sound switch is on only when the stored number is exactly 1.
bool ReadSwitch(SettingsStore& store, const char* name) { return ReadInteger(store, name, 1) == 1; }

}  // namespace

void LoadSettings(AppSettings& settings, SettingsStore& store, HotKeyRegistrar& hot_keys) {
  settings.player_name = ReadText(store, "PlayerName");
  settings.server_ip = ReadText(store, "ServerIP");
  settings.server_port = static_cast<int32_t>(ReadInteger(store, "ServerPort", kDefaultServerPort));
  settings.hot_key_code = static_cast<uint16_t>(ReadInteger(store, "HotKeyCode", 0));
  settings.hot_key_modifiers = static_cast<uint16_t>(ReadInteger(store, "HotKeyModifiers", 0));
  settings.sound_cross = ReadSwitch(store, "SoundCross");
  settings.sound_skip = ReadSwitch(store, "SoundSkip");
  settings.sound_end = ReadSwitch(store, "SoundEnd");
  settings.sound_validate = ReadSwitch(store, "SoundValidate");
  settings.sound_race_results = ReadSwitch(store, "SoundRaceResults");
  RegisterValidationHotKey(settings, hot_keys);
}

void SaveSettings(const AppSettings& settings, SettingsStore& store) {
  store.WriteText(kSettingsSection, "PlayerName", settings.player_name);
  store.WriteText(kSettingsSection, "ServerIP", settings.server_ip);
  store.WriteInteger(kSettingsSection, "ServerPort", static_cast<uint32_t>(settings.server_port));
  store.WriteInteger(kSettingsSection, "HotKeyCode", settings.hot_key_code);
  store.WriteInteger(kSettingsSection, "HotKeyModifiers", settings.hot_key_modifiers);
  store.WriteInteger(kSettingsSection, "SoundCross", settings.sound_cross ? 1 : 0);
  store.WriteInteger(kSettingsSection, "SoundSkip", settings.sound_skip ? 1 : 0);
  store.WriteInteger(kSettingsSection, "SoundEnd", settings.sound_end ? 1 : 0);
  store.WriteInteger(kSettingsSection, "SoundValidate", settings.sound_validate ? 1 : 0);
  store.WriteInteger(kSettingsSection, "SoundRaceResults", settings.sound_race_results ? 1 : 0);
}

}  // namespace volantis
