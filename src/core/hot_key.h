#pragma once
// The validation hot key: identifier 0 on the host's main window. The hot-key
// control reports modifiers as Shift 0x01, Ctrl 0x02, Alt 0x04 (extended key
// 0x08), and the profile stores them that way; registering wants the system's
// own modifier bits (Alt 0x01, Ctrl 0x02, Shift 0x04), so they are mapped, never
// passed through.
#include <cstdint>
#include <string>

namespace volantis {

struct AppSettings;
class SettingsStore;

// Modifier bits as the system's hot-key registration takes them.
inline constexpr uint32_t kModifierAlt = 0x01;
inline constexpr uint32_t kModifierControl = 0x02;
inline constexpr uint32_t kModifierShift = 0x04;

// Errors the Set and Clear buttons accept as success.
inline constexpr uint32_t kErrorHotKeyAlreadyRegistered = 1409;
inline constexpr uint32_t kErrorHotKeyNotRegistered = 1419;

// Shift/Ctrl/Alt of the control's flags as registration modifier bits; the
// extended-key flag and any other bit name no modifier.
uint32_t HotKeyModifierKeys(uint16_t control_flags);

struct HotKeyResult {
  bool ok = false;
  uint32_t error = 0;  // the system error when not ok
};

// Registers and unregisters hot-key identifier 0 on one window (the host's).
class HotKeyRegistrar {
 public:
  virtual ~HotKeyRegistrar() = default;
  virtual HotKeyResult Register(uint32_t modifier_keys, uint32_t key_code) = 0;
  virtual HotKeyResult Unregister() = 0;
  // The system's text for an error number in the default language, with the line
  // break it ends in; empty when the system has none.
  virtual std::string ErrorText(uint32_t error) = 0;
};

// Registers the hot key that settings holds (also key 0), returning the result.
HotKeyResult RegisterValidationHotKey(const AppSettings& settings, HotKeyRegistrar& hot_keys);

// The Set button: key code and modifier flags as the hot-key control reports
// them. Returns the text to show the user.
std::string SetValidationHotKey(AppSettings& settings, SettingsStore& store, HotKeyRegistrar& hot_keys,
                                uint16_t key_code, uint16_t control_flags);

// The Clear button (the caller empties the control). Returns the text to show.
std::string ClearValidationHotKey(AppSettings& settings, SettingsStore& store, HotKeyRegistrar& hot_keys);

inline constexpr const char* kHotKeyEmptyText =
    "Please click in the box and press the key(s) you want to use for validating, then click Set again.";
inline constexpr const char* kHotKeySetText = "Hot Key set";
inline constexpr const char* kHotKeyClearedText = "Hot Key cleared";

}  // namespace volantis
