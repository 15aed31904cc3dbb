// The settings profile in the registry of a private Wine prefix, and the
// validation hot key registered with the system for real.
#include <windows.h>

#include <gtest/gtest.h>

#include "core/settings_profile.h"
#include "platform/settings_store.h"
#include "ui/win32/hot_key_win32.h"
#include "win_test_support.h"

namespace volantis {
namespace {

constexpr const char* kSettingsKey = "Software\\Tarvex\\TarvexCheck\\Settings";

struct RawValue {
  DWORD type = REG_NONE;
  std::string text;
  DWORD number = 0;
};

RawValue ReadRaw(const char* name) {
  RawValue value;
  HKEY key = nullptr;
  if (::RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return value;
  char data[512] = {};
  DWORD size = sizeof data;
  if (::RegQueryValueExA(key, name, nullptr, &value.type, reinterpret_cast<BYTE*>(data), &size) == ERROR_SUCCESS) {
    if (value.type == REG_DWORD) value.number = *reinterpret_cast<DWORD*>(data);
    if (value.type == REG_SZ) value.text = data;
  }
  ::RegCloseKey(key);
  return value;
}

void WriteRaw(const char* name, DWORD number) {
  HKEY key = nullptr;
  ASSERT_EQ(::RegCreateKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  ::RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);
  ::RegCloseKey(key);
}

void WriteRaw(const char* name, const char* text) {
  HKEY key = nullptr;
  ASSERT_EQ(::RegCreateKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  ::RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), static_cast<DWORD>(strlen(text) + 1));
  ::RegCloseKey(key);
}

void DeleteProfile() {
  for (const char* key : {kSettingsKey, "Software\\Tarvex\\TarvexCheck", "Software\\Tarvex"}) {
    ::RegDeleteKeyA(HKEY_CURRENT_USER, key);
  }
}

class RegistrySettings : public ::testing::Test {
 protected:
  void SetUp() override { DeleteProfile(); }
  void TearDown() override {
    ::UnregisterHotKey(host_.get(), 0);
    DeleteProfile();
  }

  // True when another window cannot take the combination, i.e. it is registered.
  static bool Taken(UINT modifiers, UINT key) {
    testing::HostWindow other;
    ::SetLastError(0);
    if (::RegisterHotKey(other.get(), 7, modifiers, key)) {
      ::UnregisterHotKey(other.get(), 7);
      return false;
    }
    return ::GetLastError() == kErrorHotKeyAlreadyRegistered;
  }

  testing::HostWindow host_;
  std::unique_ptr<SettingsStore> store_ = OpenUserSettingsStore();
  win32::WindowHotKey hot_keys_{host_.get()};
};

TEST_F(RegistrySettings, EmptyProfileLoadsDefaultsAndSaveWritesTypedValues) {
  AppSettings settings;
  LoadSettings(settings, *store_, hot_keys_);
  EXPECT_EQ(settings.server_port, 80);
  EXPECT_TRUE(settings.sound_cross && settings.sound_race_results);
  EXPECT_EQ(ReadRaw("ServerPort").type, static_cast<DWORD>(REG_NONE)) << "loading writes nothing";

  settings.player_name = "Ann";
  SaveSettings(settings, *store_);
  struct Expected {
    const char* name;
    DWORD type;
    const char* text;
    DWORD number;
  };
  const Expected expected[] = {
      {"PlayerName", REG_SZ, "Ann", 0},       {"ServerIP", REG_SZ, "", 0},           {"ServerPort", REG_DWORD, "", 80},
      {"HotKeyCode", REG_DWORD, "", 0},       {"HotKeyModifiers", REG_DWORD, "", 0}, {"SoundCross", REG_DWORD, "", 1},
      {"SoundSkip", REG_DWORD, "", 1},        {"SoundEnd", REG_DWORD, "", 1},        {"SoundValidate", REG_DWORD, "", 1},
      {"SoundRaceResults", REG_DWORD, "", 1},
  };
  for (const Expected& e : expected) {
    const RawValue raw = ReadRaw(e.name);
    EXPECT_EQ(raw.type, e.type) << e.name;
    EXPECT_EQ(raw.text, e.text) << e.name;
    EXPECT_EQ(raw.number, e.number) << e.name;
  }
}

TEST_F(RegistrySettings, StoredValuesLoadUnboundedAndRegisterTheMappedHotKey) {
  WriteRaw("PlayerName", "Bob");
  WriteRaw("ServerIP", "192.0.2.7");
  WriteRaw("ServerPort", 70000);
  WriteRaw("SoundSkip", 2);
  WriteRaw("HotKeyCode", 0x12340074);      // F5 with bits above 16
  WriteRaw("HotKeyModifiers", 0x00010001);  // Shift with bits above 16
  WriteRaw("SoundEnd", "1");                // a text where a number belongs

  AppSettings settings;
  LoadSettings(settings, *store_, hot_keys_);
  EXPECT_EQ(settings.player_name, "Bob");
  EXPECT_EQ(settings.server_ip, "192.0.2.7");
  EXPECT_EQ(settings.server_port, 70000);
  EXPECT_FALSE(settings.sound_skip);
  EXPECT_TRUE(settings.sound_end) << "unreadable value takes its default";
  EXPECT_EQ(settings.hot_key_code, 0x74);
  EXPECT_EQ(settings.hot_key_modifiers, 0x01);
  EXPECT_TRUE(Taken(MOD_SHIFT, VK_F5)) << "Shift (control flag 0x01) registers as MOD_SHIFT";

  SaveSettings(settings, *store_);
  EXPECT_EQ(ReadRaw("SoundSkip").number, 0u);
  EXPECT_EQ(ReadRaw("HotKeyCode").number, 0x74u);
  EXPECT_EQ(ReadRaw("HotKeyModifiers").number, 0x01u);
  EXPECT_EQ(ReadRaw("ServerPort").number, 70000u);
  EXPECT_EQ(ReadRaw("SoundEnd").type, static_cast<DWORD>(REG_DWORD));
}

TEST_F(RegistrySettings, AltAndControlFlagsRegisterAsTheSystemsBits) {
  WriteRaw("HotKeyCode", 'K');
  WriteRaw("HotKeyModifiers", 0x04 | 0x02 | 0x08);  // Alt + Ctrl + extended
  AppSettings settings;
  LoadSettings(settings, *store_, hot_keys_);
  EXPECT_TRUE(Taken(MOD_ALT | MOD_CONTROL, 'K'));
  EXPECT_FALSE(Taken(MOD_SHIFT | MOD_CONTROL, 'K')) << "0x04 must not pass through as MOD_SHIFT";
}

TEST_F(RegistrySettings, SetAndClearButtonsAgainstTheSystem) {
  AppSettings settings;
  LoadSettings(settings, *store_, hot_keys_);
  EXPECT_EQ(SetValidationHotKey(settings, *store_, hot_keys_, VK_F5, kHotKeyShift), "Hot Key set");
  EXPECT_TRUE(Taken(MOD_SHIFT, VK_F5));
  EXPECT_EQ(ReadRaw("HotKeyCode").number, static_cast<DWORD>(VK_F5));
  EXPECT_EQ(ReadRaw("HotKeyModifiers").number, 0x01u);

  // Another program holds Ctrl+F6: error 1409 still counts as set and is saved.
  testing::HostWindow other;
  ASSERT_TRUE(::RegisterHotKey(other.get(), 3, MOD_CONTROL, VK_F6));
  EXPECT_EQ(SetValidationHotKey(settings, *store_, hot_keys_, VK_F6, kHotKeyControl), "Hot Key set");
  EXPECT_EQ(ReadRaw("HotKeyCode").number, static_cast<DWORD>(VK_F6));
  ::UnregisterHotKey(other.get(), 3);

  EXPECT_EQ(ClearValidationHotKey(settings, *store_, hot_keys_), "Hot Key cleared") << "error 1419 is no error";
  EXPECT_EQ(ClearValidationHotKey(settings, *store_, hot_keys_), "Hot Key cleared");
  EXPECT_EQ(ReadRaw("HotKeyCode").number, 0u);
  EXPECT_EQ(ReadRaw("HotKeyCode").type, static_cast<DWORD>(REG_DWORD));
}

TEST(SystemErrorText, TextOfKnownAndUnknownErrors) {
  const std::string known = win32::SystemErrorText(kErrorHotKeyAlreadyRegistered);
  EXPECT_FALSE(known.empty());
  EXPECT_EQ(known.substr(known.size() - 2), "\r\n") << "the platform's line break stays";
  EXPECT_EQ(win32::SystemErrorText(0x2000FFFF), "");

  testing::HostWindow window;
  win32::WindowHotKey hot_key(window.get());
  const HotKeyResult result = hot_key.Unregister();
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.error, kErrorHotKeyNotRegistered);
}

}  // namespace
}  // namespace volantis
