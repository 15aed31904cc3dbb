#include "core/hot_key.h"

#include "core/app_settings.h"
#include "core/settings_profile.h"
#include "platform/text_format.h"

namespace volantis {

uint32_t HotKeyModifierKeys(uint16_t control_flags) {
  uint32_t keys = 0;
  if (control_flags & kHotKeyShift) keys |= kModifierShift;
  if (control_flags & kHotKeyControl) keys |= kModifierControl;
  if (control_flags & kHotKeyAlt) keys |= kModifierAlt;
  return keys;
}

HotKeyResult RegisterValidationHotKey(const AppSettings& settings, HotKeyRegistrar& hot_keys) {
  return hot_keys.Register(HotKeyModifierKeys(settings.hot_key_modifiers), settings.hot_key_code);
}

std::string SetValidationHotKey(AppSettings& settings, SettingsStore& store, HotKeyRegistrar& hot_keys,
                                uint16_t key_code, uint16_t control_flags) {
  if (key_code == 0 && control_flags == 0) return kHotKeyEmptyText;
  settings.hot_key_code = key_code;
  settings.hot_key_modifiers = control_flags;
  hot_keys.Unregister();
  const HotKeyResult result = RegisterValidationHotKey(settings, hot_keys);
  if (!result.ok && result.error != kErrorHotKeyAlreadyRegistered) {
    // The new key stays in memory but is not saved.
    return FormatText("Error %d setting Hot Key. %s", static_cast<int>(result.error),
                      hot_keys.ErrorText(result.error).c_str());
  }
  SaveSettings(settings, store);
  return kHotKeySetText;
}

std::string ClearValidationHotKey(AppSettings& settings, SettingsStore& store, HotKeyRegistrar& hot_keys) {
  settings.hot_key_code = 0;
  settings.hot_key_modifiers = 0;
  SaveSettings(settings, store);
  const HotKeyResult result = hot_keys.Unregister();
  if (!result.ok && result.error != kErrorHotKeyNotRegistered) {
    return FormatText("Error %d clearing Hot Key. %s", static_cast<int>(result.error),
                      hot_keys.ErrorText(result.error).c_str());
  }
  return kHotKeyClearedText;
}

}  // namespace volantis
