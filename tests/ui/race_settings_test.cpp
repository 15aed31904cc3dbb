// The Race Settings dialog's values: the generic exchange table, its bounds, and
// the copies to and from AppSettings; the results address and the About text.
#include <gtest/gtest.h>

#include <map>

#include "ui/race_settings.h"

namespace volantis {
namespace {

class MapControls : public DialogControls {
 public:
  std::string GetText(int control) override { return texts[control]; }
  void SetText(int control, const std::string& text) override { texts[control] = text; }
  bool GetCheck(int control) override { return checks[control]; }
  void SetCheck(int control, bool checked) override { checks[control] = checked; }
  void LimitText(int control, std::size_t max_chars) override { limits[control] = max_chars; }

  std::map<int, std::string> texts;
  std::map<int, bool> checks;
  std::map<int, std::size_t> limits;
};

TEST(RaceSettingsExchange, FillsControlsAndLimitsTyping) {
  RaceSettingsValues values;
  EXPECT_EQ(values.server_port, 80);
  values.player_name = "Ann";
  values.server_ip = "10.0.0.2";
  values.server_port = -5;
  values.sound_skip = false;
  MapControls controls;
  FillControls(values.ExchangeTable(), controls);
  EXPECT_EQ(controls.texts[kControlPlayerName], "Ann");
  EXPECT_EQ(controls.texts[kControlServerIp], "10.0.0.2");
  EXPECT_EQ(controls.texts[kControlServerPort], "-5");
  EXPECT_FALSE(controls.checks[kControlSoundSkip]);
  EXPECT_TRUE(controls.checks[kControlSoundCross] && controls.checks[kControlSoundEnd] &&
              controls.checks[kControlSoundValidate] && controls.checks[kControlSoundRaceResults]);
  EXPECT_EQ(controls.limits, (std::map<int, std::size_t>{{kControlPlayerName, 30}, {kControlServerIp, 100}}));
}

TEST(RaceSettingsExchange, SaveChecksEveryBound) {
  struct Case {
    const char* name;
    std::string player;
    std::string ip;
    std::string port;
    int failing_control;  // 0: saved
    int32_t saved_port;
  };
  const Case cases[] = {
      {"plain", "Ann", "10.0.0.2", "8080", 0, 8080},
      {"port bounds inclusive", "", "", "65535", 0, 65535},
      {"port zero", "", "", "0", 0, 0},
      {"blanks around the port", "", "", " 81 ", 0, 81},
      {"port 65536", "", "", "65536", kControlServerPort, 0},
      {"negative port", "", "", "-1", kControlServerPort, 0},
      {"letters", "", "", "8o", kControlServerPort, 0},
      {"empty port", "", "", "", kControlServerPort, 0},
      {"huge port", "", "", "99999999999999999999", kControlServerPort, 0},
      {"name of 30", std::string(30, 'n'), "", "80", 0, 80},
      {"name of 31", std::string(31, 'n'), "", "80", kControlPlayerName, 0},
      {"address of 100", "", std::string(100, 'a'), "80", 0, 80},
      {"address of 101", "", std::string(101, 'a'), "80", kControlServerIp, 0},
      {"first broken bound wins", std::string(31, 'n'), "", "x", kControlPlayerName, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RaceSettingsValues values;
    values.player_name = "before";
    values.sound_cross = false;
    MapControls controls;
    FillControls(values.ExchangeTable(), controls);
    controls.texts[kControlPlayerName] = c.player;
    controls.texts[kControlServerIp] = c.ip;
    controls.texts[kControlServerPort] = c.port;
    controls.checks[kControlSoundCross] = true;
    const auto failure = ReadControls(values.ExchangeTable(), controls);
    if (c.failing_control == 0) {
      ASSERT_FALSE(failure.has_value()) << failure->message;
      EXPECT_EQ(values.player_name, c.player);
      EXPECT_EQ(values.server_port, c.saved_port);
      EXPECT_TRUE(values.sound_cross);
    } else {
      ASSERT_TRUE(failure.has_value());
      EXPECT_EQ(failure->control, c.failing_control);
      EXPECT_FALSE(failure->message.empty());
      EXPECT_EQ(values.player_name, "before") << "no field changes when a bound is broken";
      EXPECT_FALSE(values.sound_cross);
    }
  }
}

TEST(RaceSettingsExchange, BoundMessagesNameTheBound) {
  RaceSettingsValues values;
  MapControls controls;
  FillControls(values.ExchangeTable(), controls);
  controls.texts[kControlServerPort] = "65536";
  EXPECT_EQ(ReadControls(values.ExchangeTable(), controls)->message, "Please enter an integer between 0 and 65535.");
  controls.texts[kControlServerPort] = "80";
  controls.texts[kControlServerIp] = std::string(101, 'a');
  EXPECT_EQ(ReadControls(values.ExchangeTable(), controls)->message, "Please enter no more than 100 characters.");
}

TEST(RaceSettingsValues, CopiesLeaveTheHotKeyAlone) {
  AppSettings settings;
  settings.player_name = "Ann";
  settings.server_ip = "h";
  settings.server_port = 70000;
  settings.sound_end = true;
  settings.hot_key_code = 0x74;
  RaceSettingsValues values;
  values.CopyFrom(settings);
  EXPECT_EQ(values.server_port, 70000);
  EXPECT_FALSE(values.sound_cross);
  values.player_name = "Bob";
  values.sound_validate = true;
  AppSettings target;
  target.hot_key_code = 0x41;
  values.CopyTo(target);
  EXPECT_EQ(target.player_name, "Bob");
  EXPECT_EQ(target.server_ip, "h");
  EXPECT_EQ(target.server_port, 70000);
  EXPECT_TRUE(target.sound_end && target.sound_validate);
  EXPECT_FALSE(target.sound_cross || target.sound_skip || target.sound_race_results);
  EXPECT_EQ(target.hot_key_code, 0x41);
}

TEST(RaceSettingsValues, ResultsAddressAndAboutText) {
  AppSettings settings;
  settings.server_ip = "10.0.0.2";
  settings.server_port = 8080;
  EXPECT_EQ(ResultsPageAddress(settings), "http://10.0.0.2:8080/validate?op=show_race_results");
  settings.server_ip = "";
  settings.server_port = 80;
  EXPECT_EQ(ResultsPageAddress(settings), "http://:80/validate?op=show_race_results");
  settings.server_ip = "%s%n";
  EXPECT_EQ(ResultsPageAddress(settings), "http://%s%n:80/validate?op=show_race_results");
  EXPECT_EQ(AboutVersionText(settings), "Volantis.dll Version 2.6");
}

TEST(ParseInteger, AcceptsOnlyAPlainNumber) {
  EXPECT_EQ(ParseInteger("42"), 42);
  EXPECT_EQ(ParseInteger("\t-7 "), -7);
  EXPECT_EQ(ParseInteger("+3"), 3);
  for (const char* bad : {"", " ", "-", "4 2", "0x10", "1e3", "12a", "++1"}) {
    EXPECT_FALSE(ParseInteger(bad).has_value()) << bad;
  }
}

}  // namespace
}  // namespace volantis
