// The stand-in profile of the native half: an INI-style file that keeps the
// registry's types, names without regard to case, and every line it does not own.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/settings_profile.h"
#include "fake_settings.h"
#include "platform/settings_store.h"

namespace volantis {
namespace {

class SettingsFile : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = std::filesystem::temp_directory_path() /
              ("volantis-settings-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(folder_);
    std::filesystem::create_directories(folder_);
    path_ = folder_ / "profile.ini";
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }

  void WriteFile(const std::string& content) { std::ofstream(path_, std::ios::binary) << content; }
  std::string ReadFile() const {
    std::ifstream in(path_, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

  std::filesystem::path folder_;
  std::filesystem::path path_;
};

TEST_F(SettingsFile, TextsAndIntegersRoundTripWithTheirTypes) {
  auto store = OpenSettingsStoreAt(path_.string());
  const std::string awkward = "say \"hi\"\\ there\r\nline two = [x]";
  ASSERT_TRUE(store->WriteText("Settings", "PlayerName", awkward));
  ASSERT_TRUE(store->WriteInteger("Settings", "ServerPort", 0xFFFFFFFFu));
  ASSERT_TRUE(store->WriteText("Settings", "Empty", ""));

  auto reopened = OpenSettingsStoreAt(path_.string());
  std::string text;
  uint32_t number = 0;
  ASSERT_TRUE(reopened->ReadText("Settings", "PlayerName", text));
  EXPECT_EQ(text, awkward);
  ASSERT_TRUE(reopened->ReadInteger("Settings", "ServerPort", number));
  EXPECT_EQ(number, 0xFFFFFFFFu);
  ASSERT_TRUE(reopened->ReadText("Settings", "Empty", text));
  EXPECT_EQ(text, "");

  text = "unchanged";
  number = 42;
  EXPECT_FALSE(reopened->ReadInteger("Settings", "PlayerName", number)) << "a text is not an integer";
  EXPECT_FALSE(reopened->ReadText("Settings", "ServerPort", text)) << "an integer is not a text";
  EXPECT_FALSE(reopened->ReadText("Other", "PlayerName", text)) << "sections are separate";
  EXPECT_EQ(text, "unchanged");
  EXPECT_EQ(number, 42u);
}

TEST_F(SettingsFile, MissingFileReadsAsMissingValues) {
  auto store = OpenSettingsStoreAt((folder_ / "absent" / "profile.ini").string());
  std::string text;
  uint32_t number = 0;
  EXPECT_FALSE(store->ReadText("Settings", "PlayerName", text));
  EXPECT_FALSE(store->ReadInteger("Settings", "ServerPort", number));
  EXPECT_TRUE(store->WriteInteger("Settings", "ServerPort", 81)) << "writing creates the folder";
  EXPECT_TRUE(store->ReadInteger("Settings", "ServerPort", number));
  EXPECT_EQ(number, 81u);
}

TEST_F(SettingsFile, HandWrittenFileIsReadLeniently) {
  WriteFile(
      "; comment\r\n"
      "[other]\n"
      "PlayerName=\"not this one\"\n"
      "  [ settings ]  \n"
      "  playername =  \"Bob\"  \n"
      "SERVERPORT=DWORD:1F90\n"
      "SoundCross=1\n"
      "SoundSkip=dword:123456789\n"
      "ServerIP=\"unterminated\n"
      "garbage line\n");
  auto store = OpenSettingsStoreAt(path_.string());
  std::string text;
  uint32_t number = 0;
  ASSERT_TRUE(store->ReadText("Settings", "PlayerName", text));
  EXPECT_EQ(text, "Bob");
  ASSERT_TRUE(store->ReadInteger("Settings", "ServerPort", number));
  EXPECT_EQ(number, 8080u);
  EXPECT_FALSE(store->ReadInteger("Settings", "SoundCross", number)) << "a bare number has no type";
  EXPECT_FALSE(store->ReadInteger("Settings", "SoundSkip", number)) << "more than 32 bits";
  EXPECT_FALSE(store->ReadText("Settings", "ServerIP", text));
}

TEST_F(SettingsFile, WritingKeepsEveryOtherLineAndReplacesInPlace) {
  WriteFile("; kept\n[Other]\nA=\"1\"\n[Settings]\nplayername=\"old\"\nUnknown=dword:00000007\n[Third]\nB=\"2\"\n");
  auto store = OpenSettingsStoreAt(path_.string());
  ASSERT_TRUE(store->WriteText("Settings", "PlayerName", "new"));
  ASSERT_TRUE(store->WriteInteger("Settings", "ServerPort", 80));
  EXPECT_EQ(ReadFile(),
            "; kept\n[Other]\nA=\"1\"\n[Settings]\nPlayerName=\"new\"\nUnknown=dword:00000007\n"
            "ServerPort=dword:00000050\n[Third]\nB=\"2\"\n");
}

TEST_F(SettingsFile, LoadAndSaveThroughTheFile) {
  auto store = OpenSettingsStoreAt(path_.string());
  testing::FakeHotKeys hot_keys;
  AppSettings settings;
  LoadSettings(settings, *store, hot_keys);
  EXPECT_EQ(settings.server_port, 80);
  EXPECT_TRUE(settings.sound_validate);

  WriteFile("[Settings]\nSoundEnd=dword:00000002\nHotKeyCode=dword:00010074\n");
  LoadSettings(settings, *store, hot_keys);
  EXPECT_FALSE(settings.sound_end);
  EXPECT_EQ(settings.hot_key_code, 0x74);
  settings.player_name = "Ann";
  SaveSettings(settings, *store);
  EXPECT_EQ(ReadFile(),
            "[Settings]\nSoundEnd=dword:00000000\nHotKeyCode=dword:00000074\nPlayerName=\"Ann\"\nServerIP=\"\"\n"
            "ServerPort=dword:00000050\nHotKeyModifiers=dword:00000000\nSoundCross=dword:00000001\n"
            "SoundSkip=dword:00000001\nSoundValidate=dword:00000001\nSoundRaceResults=dword:00000001\n");
}

TEST_F(SettingsFile, UserProfileLivesInTheConfigurationFolder) {
  const char* saved = std::getenv("XDG_CONFIG_HOME");
  const std::string previous = saved != nullptr ? saved : "";
  ::setenv("XDG_CONFIG_HOME", folder_.c_str(), 1);
  auto store = OpenUserSettingsStore();
  const bool wrote = store->WriteInteger("Settings", "ServerPort", 8080);
  if (saved != nullptr) ::setenv("XDG_CONFIG_HOME", previous.c_str(), 1);
  else ::unsetenv("XDG_CONFIG_HOME");
  ASSERT_TRUE(wrote);
  EXPECT_TRUE(std::filesystem::exists(folder_ / "tarvex" / "TarvexCheck.ini"));
}

}  // namespace
}  // namespace volantis
