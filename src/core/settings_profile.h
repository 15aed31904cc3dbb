#pragma once
// Loading and saving the ten user settings of AppSettings in the profile's
// section "Settings". Nothing is bounded on load: what the profile holds is used
// as it is (only the hot-key values keep just their low 16 bits).
#include "core/app_settings.h"
#include "core/hot_key.h"
#include "platform/settings_store.h"

namespace volantis {

inline constexpr const char* kSettingsSection = "Settings";
inline constexpr int32_t kDefaultServerPort = 80;

// Reads the ten values in their fixed order (each missing or unreadable one takes
// its default), then attempts to register the hot key; its result is ignored.
void LoadSettings(AppSettings& settings, SettingsStore& store, HotKeyRegistrar& hot_keys);

// Writes all ten values in their fixed order; write failures are not reported.
void SaveSettings(const AppSettings& settings, SettingsStore& store);

}  // namespace volantis
