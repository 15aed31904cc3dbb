// Loading and saving the user settings, and the hot-key buttons, over an
// in-memory profile and a recording hot-key registrar.
#include <gtest/gtest.h>

#include "core/settings_profile.h"
#include "fake_settings.h"

namespace volantis {
namespace {

using testing::FakeHotKeys;
using testing::MemorySettingsStore;

const std::vector<std::string> kSaveOrder = {"PlayerName",   "ServerIP",  "ServerPort", "HotKeyCode",
                                             "HotKeyModifiers", "SoundCross", "SoundSkip", "SoundEnd",
                                             "SoundValidate", "SoundRaceResults"};

TEST(SettingsProfile, EmptyProfileGivesDefaultsAndStillRegistersKeyZero) {
  MemorySettingsStore store;
  FakeHotKeys hot_keys;
  AppSettings settings;
  settings.player_name = "left over";
  LoadSettings(settings, store, hot_keys);

  EXPECT_EQ(settings.version, "2.6");
  EXPECT_EQ(settings.player_name, "");
  EXPECT_EQ(settings.server_ip, "");
  EXPECT_EQ(settings.server_port, 80);
  EXPECT_EQ(settings.hot_key_code, 0);
  EXPECT_EQ(settings.hot_key_modifiers, 0);
  EXPECT_TRUE(settings.sound_cross && settings.sound_skip && settings.sound_end && settings.sound_validate &&
              settings.sound_race_results);
  ASSERT_EQ(hot_keys.calls.size(), 1u);
  EXPECT_EQ(hot_keys.calls[0].what, "register");
  EXPECT_EQ(hot_keys.calls[0].modifier_keys, 0u);
  EXPECT_EQ(hot_keys.calls[0].key_code, 0u);
  EXPECT_TRUE(store.written.empty()) << "loading must not write the profile";
}

TEST(SettingsProfile, StoredValuesAreUsedWithoutBoundsAndRoundTrip) {
  struct Case {
    const char* name;
    const char* value_name;
    uint32_t stored;
    uint32_t saved_back;
  };
  const Case cases[] = {
      {"sound switch 2 is off", "SoundSkip", 2, 0},
      {"sound switch 0 is off", "SoundEnd", 0, 0},
      {"sound switch 1 is on", "SoundCross", 1, 1},
      {"sound switch all ones is off", "SoundValidate", 0xFFFFFFFFu, 0},
      {"hot-key code keeps its low 16 bits", "HotKeyCode", 0x12340074u, 0x0074},
      {"hot-key modifiers keep their low 16 bits", "HotKeyModifiers", 0xFFFF0009u, 0x0009},
      {"port above 65535 used as stored", "ServerPort", 70000, 70000},
      {"negative port used as stored", "ServerPort", 0xFFFFFFFFu, 0xFFFFFFFFu},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MemorySettingsStore store;
    store.Put(c.value_name, c.stored);
    FakeHotKeys hot_keys;
    AppSettings settings;
    LoadSettings(settings, store, hot_keys);
    SaveSettings(settings, store);
    EXPECT_EQ(store.Integer(c.value_name), c.saved_back);
  }
}

TEST(SettingsProfile, PortOutsideRangeIsKeptInMemoryAsSigned) {
  MemorySettingsStore store;
  store.Put("ServerPort", uint32_t{0xFFFFFFFFu});
  FakeHotKeys hot_keys;
  AppSettings settings;
  LoadSettings(settings, store, hot_keys);
  EXPECT_EQ(settings.server_port, -1);
}

TEST(SettingsProfile, ValueOfTheWrongTypeTakesItsDefault) {
  MemorySettingsStore store;
  store.Put("ServerPort", std::string("8080"));
  store.Put("PlayerName", uint32_t{7});
  store.Put("SoundEnd", std::string("0"));
  FakeHotKeys hot_keys;
  AppSettings settings;
  LoadSettings(settings, store, hot_keys);
  EXPECT_EQ(settings.server_port, 80);
  EXPECT_EQ(settings.player_name, "");
  EXPECT_TRUE(settings.sound_end);
}

TEST(SettingsProfile, LoadRegistersStoredKeyWithMappedModifiers) {
  MemorySettingsStore store;
  store.Put("HotKeyCode", uint32_t{0x74});                  // F5
  store.Put("HotKeyModifiers", uint32_t{0x01 | 0x08});      // Shift + extended
  FakeHotKeys hot_keys;
  hot_keys.register_result = {false, 1409};  // ignored
  AppSettings settings;
  LoadSettings(settings, store, hot_keys);
  ASSERT_EQ(hot_keys.calls.size(), 1u);
  EXPECT_EQ(hot_keys.calls[0].modifier_keys, kModifierShift);
  EXPECT_EQ(hot_keys.calls[0].key_code, 0x74u);
  EXPECT_EQ(settings.hot_key_modifiers, 0x09);
}

TEST(SettingsProfile, SaveWritesAllTenValuesInOrderEveryTime) {
  MemorySettingsStore store;
  AppSettings settings;
  settings.player_name = "Ann";
  settings.server_ip = "10.0.0.2";
  settings.server_port = 8080;
  settings.hot_key_code = 0xFFFF;
  settings.hot_key_modifiers = 0x8001;
  settings.sound_cross = true;
  settings.sound_race_results = true;
  SaveSettings(settings, store);
  SaveSettings(settings, store);

  std::vector<std::string> twice = kSaveOrder;
  twice.insert(twice.end(), kSaveOrder.begin(), kSaveOrder.end());
  EXPECT_EQ(store.written, twice);
  EXPECT_EQ(store.Text("PlayerName"), "Ann");
  EXPECT_EQ(store.Text("ServerIP"), "10.0.0.2");
  EXPECT_EQ(store.Integer("ServerPort"), 8080u);
  EXPECT_EQ(store.Integer("HotKeyCode"), 0xFFFFu) << "widened without sign";
  EXPECT_EQ(store.Integer("HotKeyModifiers"), 0x8001u);
  EXPECT_EQ(store.Integer("SoundCross"), 1u);
  EXPECT_EQ(store.Integer("SoundSkip"), 0u);
  EXPECT_EQ(store.Integer("SoundEnd"), 0u);
  EXPECT_EQ(store.Integer("SoundValidate"), 0u);
  EXPECT_EQ(store.Integer("SoundRaceResults"), 1u);
}

TEST(HotKeyModifiers, ControlFlagsMapToRegistrationBits) {
  struct Case {
    uint16_t flags;
    uint32_t keys;
  };
  const Case cases[] = {
      {0x00, 0x00},
      {0x01, kModifierShift},
      {0x02, kModifierControl},
      {0x04, kModifierAlt},
      {0x08, 0x00},
      {0x03, kModifierShift | kModifierControl},
      {0x0F, kModifierShift | kModifierControl | kModifierAlt},
      {0xF0, 0x00},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(HotKeyModifierKeys(c.flags), c.keys) << "flags " << c.flags;
  }
  EXPECT_EQ(kModifierShift, 0x04u);
  EXPECT_EQ(kModifierAlt, 0x01u);
}

TEST(HotKeyButtons, SetCoversEveryBranch) {
  struct Case {
    const char* name;
    uint16_t code;
    uint16_t flags;
    HotKeyResult registered;
    const char* shown;
    bool saved;
    bool stored;
  };
  const Case cases[] = {
      {"no key", 0, 0, {true, 0}, kHotKeyEmptyText, false, false},
      {"registered", 0x74, 0x01, {true, 0}, "Hot Key set", true, true},
      {"already registered counts as set", 0x74, 0x01, {false, 1409}, "Hot Key set", true, true},
      {"other error shows its text", 0x74, 0x01, {false, 5}, "Error 5 setting Hot Key. Access is denied.\r\n", false,
       true},
      {"error without text", 0x74, 0x01, {false, 87}, "Error 87 setting Hot Key. ", false, true},
      {"modifier alone is a key", 0, 0x02, {true, 0}, "Hot Key set", true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MemorySettingsStore store;
    FakeHotKeys hot_keys;
    hot_keys.register_result = c.registered;
    AppSettings settings;
    settings.hot_key_code = 0x41;
    settings.hot_key_modifiers = 0x04;
    EXPECT_EQ(SetValidationHotKey(settings, store, hot_keys, c.code, c.flags), c.shown);
    EXPECT_EQ(!store.written.empty(), c.saved);
    if (c.saved) {
      EXPECT_EQ(store.Integer("HotKeyCode"), c.code);
      EXPECT_EQ(store.Integer("HotKeyModifiers"), c.flags);
    }
    EXPECT_EQ(settings.hot_key_code, c.stored ? c.code : 0x41);
    if (c.stored) {
      ASSERT_EQ(hot_keys.calls.size(), 2u);
      EXPECT_EQ(hot_keys.calls[0].what, "unregister");
      EXPECT_EQ(hot_keys.calls[1].what, "register");
      EXPECT_EQ(hot_keys.calls[1].modifier_keys, HotKeyModifierKeys(c.flags));
      EXPECT_EQ(hot_keys.calls[1].key_code, c.code);
    } else {
      EXPECT_TRUE(hot_keys.calls.empty());
    }
  }
}

TEST(HotKeyButtons, ClearAlwaysSavesZeroAndReportsUnregistering) {
  struct Case {
    const char* name;
    HotKeyResult unregistered;
    const char* shown;
  };
  const Case cases[] = {
      {"unregistered", {true, 0}, "Hot Key cleared"},
      {"nothing was registered", {false, 1419}, "Hot Key cleared"},
      {"other error", {false, 5}, "Error 5 clearing Hot Key. Access is denied.\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MemorySettingsStore store;
    FakeHotKeys hot_keys;
    hot_keys.unregister_result = c.unregistered;
    AppSettings settings;
    settings.hot_key_code = 0x74;
    settings.hot_key_modifiers = 0x01;
    EXPECT_EQ(ClearValidationHotKey(settings, store, hot_keys), c.shown);
    EXPECT_EQ(settings.hot_key_code, 0);
    EXPECT_EQ(settings.hot_key_modifiers, 0);
    EXPECT_EQ(store.written, kSaveOrder);
    EXPECT_EQ(store.Integer("HotKeyCode"), 0u);
    ASSERT_EQ(hot_keys.calls.size(), 1u);
    EXPECT_EQ(hot_keys.calls[0].what, "unregister");
  }
}

}  // namespace
}  // namespace volantis
