// The Wine runner gives every Windows test a display and a quiet prefix that
// never opens a crash dialog and has no window-manager delays.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace {

std::string ReadUserString(const char* key, const char* name, bool* found) {
  char value[256] = {};
  DWORD size = sizeof(value);
  DWORD type = 0;
  *found = ::RegGetValueA(HKEY_CURRENT_USER, key, name, RRF_RT_ANY, &type, value, &size) == ERROR_SUCCESS;
  if (!*found) return {};
  if (type == REG_DWORD) return std::to_string(*reinterpret_cast<DWORD*>(value));
  return std::string(value);
}

TEST(WineHarness, PrefixCarriesTheQuietSettings) {
  struct Case {
    const char* key;
    const char* name;
    const char* expected;
  } cases[] = {
      {"Software\\Wine\\WineDbg", "ShowCrashDialog", "0"},
      {"Software\\Wine\\X11 Driver", "Managed", "N"},
      {"Software\\Wine\\Drivers", "Audio", ""},
  };
  for (const Case& c : cases) {
    bool found = false;
    std::string value = ReadUserString(c.key, c.name, &found);
    EXPECT_TRUE(found) << c.key << "\\" << c.name;
    EXPECT_EQ(value, c.expected) << c.key << "\\" << c.name;
  }
}

TEST(WineHarness, WindowsCanBeCreatedShownAndDestroyed) {
  HWND window = ::CreateWindowExA(0, "STATIC", "harness", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr,
                                  ::GetModuleHandleA(nullptr), nullptr);
  ASSERT_NE(window, nullptr) << "error " << ::GetLastError();
  ::ShowWindow(window, SW_SHOW);
  ::ShowWindow(window, SW_HIDE);
  EXPECT_TRUE(::DestroyWindow(window));
}

}  // namespace
