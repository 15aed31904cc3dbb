// The Race Settings dialog, the About box and the Results window as real
// dialogs, driven with window messages: typing into the edits, pressing the
// buttons and keys, reading message boxes, checking what lands in the registry.
#include <winsock2.h>
#include <windows.h>
#include <commctrl.h>
#include <docobj.h>
#include <mshtmhst.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/settings_profile.h"
#include "fake_settings.h"
#include "platform/settings_store.h"
#include "resource.h"
#include "ui/win32/browser_host.h"
#include "ui/win32/com_ptr.h"
#include "ui/win32/hot_key_win32.h"
#include "ui/win32/module_windows.h"
#include "ui/win32/results_window.h"
#include "ui/win32/settings_dialog.h"
#include "win_test_support.h"

namespace volantis {
namespace {

using testing::FindThreadWindow;
using testing::HostWindow;
using testing::ItemText;
using testing::ModalScript;
using testing::Pump;
using testing::PumpUntil;
using Step = ModalScript::Step;

HINSTANCE Module() { return ::GetModuleHandleA(nullptr); }

constexpr const char* kSettingsCaption = "Race Settings";

HWND SettingsWindow() { return FindThreadWindow(kSettingsCaption); }

// Steps of a script.
Step WaitFor(const char* caption) {
  return [caption] { return FindThreadWindow(caption) != nullptr; };
}

Step Check(std::function<void()> body) {
  return [body] {
    body();
    return true;
  };
}

Step Press(int control) {
  return [control] {
    ::PostMessageA(::GetDlgItem(SettingsWindow(), control), BM_CLICK, 0, 0);
    return true;
  };
}

// Selects the edit's text and types over it, one character message at a time.
Step Type(int control, std::string text) {
  return [control, text] {
    HWND edit = ::GetDlgItem(SettingsWindow(), control);
    ::SendMessageA(edit, EM_SETSEL, 0, -1);
    for (char c : text) ::PostMessageA(edit, WM_CHAR, static_cast<unsigned char>(c), 1);
    return true;
  };
}

// Waits for the module's message box, checks it and presses its OK button.
Step ExpectMessage(std::string expected) {
  return [expected] {
    HWND box = FindThreadWindow("TarvexCheck");
    if (box == nullptr) return false;
    const testing::MessageBoxView view = testing::ReadMessageBox(box);
    EXPECT_EQ(view.text, expected);
    EXPECT_EQ(view.buttons, std::vector<int>{IDOK}) << expected;
    EXPECT_FALSE(view.has_icon) << expected;
    ::PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    return true;
  };
}

Step WaitClosed(const char* caption) {
  return [caption] { return FindThreadWindow(caption) == nullptr; };
}

Step Screenshot(std::string name) {
  return [name] {
    testing::Screenshot(name);
    return true;
  };
}

// Real key presses: the keys go down in order and come up in reverse, through
// the system's input queue to the focused hot-key control.
Step PressKeysInHotKeyControl(std::vector<WORD> keys) {
  return [keys] {
    HWND dialog = SettingsWindow();
    ::SetForegroundWindow(dialog);
    ::SendMessageA(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(::GetDlgItem(dialog, IDC_HOT_KEY)), TRUE);
    std::vector<INPUT> inputs;
    for (WORD key : keys) {
      INPUT input = {};
      input.type = INPUT_KEYBOARD;
      input.ki.wVk = key;
      inputs.push_back(input);
    }
    for (auto key = keys.rbegin(); key != keys.rend(); ++key) {
      INPUT input = {};
      input.type = INPUT_KEYBOARD;
      input.ki.wVk = *key;
      input.ki.dwFlags = KEYEVENTF_KEYUP;
      inputs.push_back(input);
    }
    ::SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
    return true;
  };
}

// Lets the dialog's loop handle what is queued before the next step.
Step Settle() {
  return [count = 0]() mutable { return ++count > 5; };
}

WORD HotKeyShown() {
  return static_cast<WORD>(::SendDlgItemMessageA(SettingsWindow(), IDC_HOT_KEY, HKM_GETHOTKEY, 0, 0));
}

// A value of the profile as stored, or a marker when missing or of another type.
bool ReadProfileValue(const char* name, DWORD wanted_type, void* data, DWORD size) {
  HKEY key = nullptr;
  if (::RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Tarvex\\TarvexCheck\\Settings", 0, KEY_QUERY_VALUE, &key) !=
      ERROR_SUCCESS) {
    return false;
  }
  DWORD type = 0;
  const bool read = ::RegQueryValueExA(key, name, nullptr, &type, static_cast<BYTE*>(data), &size) == ERROR_SUCCESS &&
                    type == wanted_type;
  ::RegCloseKey(key);
  return read;
}

DWORD RegistryNumber(const char* name) {
  DWORD value = 0;
  return ReadProfileValue(name, REG_DWORD, &value, sizeof value) ? value : 0xDEADBEEF;
}

std::string RegistryText(const char* name) {
  char value[256] = {};
  return ReadProfileValue(name, REG_SZ, value, sizeof value - 1) ? value : "<missing>";
}

class RaceSettingsTest : public ::testing::Test {
 protected:
  RaceSettingsTest() {
    for (const char* key : {"Software\\Tarvex\\TarvexCheck\\Settings", "Software\\Tarvex\\TarvexCheck",
                            "Software\\Tarvex"}) {
      ::RegDeleteKeyA(HKEY_CURRENT_USER, key);
    }
    LoadSettings(settings_, *store_, hot_keys_);
  }
  ~RaceSettingsTest() override { ::UnregisterHotKey(host_.get(), 0); }

  bool Run() { return win32::RunRaceSettings(Module(), host_.get(), settings_, *store_, hot_keys_); }

  HostWindow host_;
  AppSettings settings_;
  std::unique_ptr<SettingsStore> store_ = OpenUserSettingsStore();
  win32::WindowHotKey hot_keys_{host_.get()};
};

TEST_F(RaceSettingsTest, OpensFilledFromTheSettingsAndSavesTheWholeProfile) {
  settings_.player_name = "Ann";
  settings_.server_ip = "192.0.2.7";
  settings_.server_port = 8080;
  settings_.sound_skip = false;
  settings_.sound_validate = false;
  settings_.hot_key_code = VK_F5;
  settings_.hot_key_modifiers = kHotKeyShift;
  ModalScript script({
      WaitFor(kSettingsCaption),
      Check([] {
        HWND dialog = SettingsWindow();
        EXPECT_EQ(ItemText(dialog, IDC_PLAYER_NAME), "Ann");
        EXPECT_EQ(ItemText(dialog, IDC_SERVER_IP), "192.0.2.7");
        EXPECT_EQ(ItemText(dialog, IDC_SERVER_PORT), "8080");
        EXPECT_EQ(::IsDlgButtonChecked(dialog, IDC_SOUND_CROSS), BST_CHECKED);
        EXPECT_EQ(::IsDlgButtonChecked(dialog, IDC_SOUND_SKIP), BST_UNCHECKED);
        EXPECT_EQ(::IsDlgButtonChecked(dialog, IDC_SOUND_VALIDATE), BST_UNCHECKED);
        EXPECT_EQ(HotKeyShown(), MAKEWORD(VK_F5, HOTKEYF_SHIFT)) << "Shift+F5 shown again";
      }),
      Screenshot("race-settings"),
      Type(IDC_PLAYER_NAME, "Bob"),
      Press(IDC_SOUND_SKIP),
      Press(IDOK),
      WaitClosed(kSettingsCaption),
  });
  EXPECT_TRUE(Run());
  EXPECT_EQ(settings_.player_name, "Bob");
  EXPECT_TRUE(settings_.sound_skip);
  EXPECT_EQ(RegistryText("PlayerName"), "Bob");
  EXPECT_EQ(RegistryText("ServerIP"), "192.0.2.7");
  EXPECT_EQ(RegistryNumber("ServerPort"), 8080u);
  EXPECT_EQ(RegistryNumber("SoundSkip"), 1u);
  EXPECT_EQ(RegistryNumber("SoundValidate"), 0u);
  EXPECT_EQ(RegistryNumber("HotKeyCode"), static_cast<DWORD>(VK_F5)) << "Save rewrites the hot key as it stands";
  EXPECT_EQ(RegistryNumber("HotKeyModifiers"), 1u);
}

TEST_F(RaceSettingsTest, BrokenBoundsKeepTheDialogOpenAndFocusTheField) {
  ModalScript script({
      WaitFor(kSettingsCaption),
      Type(IDC_PLAYER_NAME, std::string(31, 'x')),
      Check([] { EXPECT_EQ(ItemText(SettingsWindow(), IDC_PLAYER_NAME), std::string(30, 'x')) << "31st refused"; }),
      Type(IDC_SERVER_PORT, "65536"),
      Press(IDOK),
      ExpectMessage("Please enter an integer between 0 and 65535."),
      Check([] {
        ASSERT_NE(SettingsWindow(), nullptr) << "still open";
        EXPECT_EQ(::GetFocus(), ::GetDlgItem(SettingsWindow(), IDC_SERVER_PORT));
      }),
      Type(IDC_SERVER_PORT, "80a"),
      Press(IDOK),
      ExpectMessage("Please enter an integer between 0 and 65535."),
      Type(IDC_SERVER_PORT, "65535"),
      Press(IDOK),
      WaitClosed(kSettingsCaption),
  });
  EXPECT_TRUE(Run());
  EXPECT_EQ(settings_.player_name, std::string(30, 'x'));
  EXPECT_EQ(settings_.server_port, 65535);
  EXPECT_EQ(RegistryNumber("ServerPort"), 65535u);
}

TEST_F(RaceSettingsTest, CancelChangesNothingButSetAndClearAlreadyActed) {
  settings_.player_name = "Ann";
  ModalScript script({
      WaitFor(kSettingsCaption),
      Press(IDC_HOT_KEY_SET),  // the control is empty
      ExpectMessage(kHotKeyEmptyText),
      PressKeysInHotKeyControl({VK_SHIFT, VK_F5}),
      Settle(),
      Check([] { EXPECT_EQ(HotKeyShown(), MAKEWORD(VK_F5, HOTKEYF_SHIFT)) << "the control took Shift+F5"; }),
      Press(IDC_HOT_KEY_SET),
      ExpectMessage("Hot Key set"),
      Type(IDC_PLAYER_NAME, "Changed"),
      Press(IDCANCEL),
      WaitClosed(kSettingsCaption),
  });
  EXPECT_FALSE(Run());
  EXPECT_EQ(settings_.player_name, "Ann") << "Cancel keeps the old values";
  EXPECT_EQ(settings_.hot_key_code, VK_F5);
  EXPECT_EQ(settings_.hot_key_modifiers, kHotKeyShift);
  EXPECT_EQ(RegistryNumber("HotKeyCode"), static_cast<DWORD>(VK_F5));
  EXPECT_EQ(RegistryNumber("HotKeyModifiers"), 0x01u);
  EXPECT_EQ(RegistryText("PlayerName"), "Ann") << "Set saved the settings as they stood, not the typed name";

  testing::HostWindow other;
  EXPECT_FALSE(::RegisterHotKey(other.get(), 9, MOD_SHIFT, VK_F5)) << "Shift+F5 is registered";

  ModalScript reopen({
      WaitFor(kSettingsCaption),
      Check([] { EXPECT_EQ(HotKeyShown(), MAKEWORD(VK_F5, HOTKEYF_SHIFT)); }),
      Press(IDC_HOT_KEY_CLEAR),
      ExpectMessage("Hot Key cleared"),
      Check([] { EXPECT_EQ(HotKeyShown(), 0); }),
      Press(IDCANCEL),
      WaitClosed(kSettingsCaption),
  });
  EXPECT_FALSE(Run());
  EXPECT_EQ(settings_.hot_key_code, 0);
  EXPECT_EQ(RegistryNumber("HotKeyCode"), 0u);
  EXPECT_TRUE(::RegisterHotKey(other.get(), 9, MOD_SHIFT, VK_F5)) << "unregistered";
  ::UnregisterHotKey(other.get(), 9);
}

TEST_F(RaceSettingsTest, HotKeyErrorsShowTheSystemText) {
  testing::FakeHotKeys failing;
  failing.register_result = {false, ERROR_ACCESS_DENIED};
  failing.unregister_result = {false, ERROR_ACCESS_DENIED};
  ModalScript script({
      WaitFor(kSettingsCaption),
      Check([] { ::SendDlgItemMessageA(SettingsWindow(), IDC_HOT_KEY, HKM_SETHOTKEY, MAKEWORD('K', HOTKEYF_ALT), 0); }),
      Press(IDC_HOT_KEY_SET),
      ExpectMessage("Error 5 setting Hot Key. Access is denied.\r\n"),
      Press(IDC_HOT_KEY_CLEAR),
      ExpectMessage("Error 5 clearing Hot Key. Access is denied.\r\n"),
      Press(IDCANCEL),
      WaitClosed(kSettingsCaption),
  });
  EXPECT_FALSE(win32::RunRaceSettings(Module(), host_.get(), settings_, *store_, failing));
  ASSERT_GE(failing.calls.size(), 2u);
  EXPECT_EQ(failing.calls[1].modifier_keys, static_cast<uint32_t>(MOD_ALT));
}

TEST(AboutBox, ShowsTheVersionAndClosesWithOk) {
  HostWindow host;
  AppSettings settings;
  ModalScript script({
      WaitFor("About Volantis.dll"),
      Check([] { EXPECT_EQ(ItemText(FindThreadWindow("About Volantis.dll"), IDC_VERSION), "Volantis.dll Version 2.6"); }),
      Screenshot("about-box"),
      [] {
        ::PostMessageA(::GetDlgItem(FindThreadWindow("About Volantis.dll"), IDOK), BM_CLICK, 0, 0);
        return true;
      },
      WaitClosed("About Volantis.dll"),
  });
  win32::RunAboutBox(Module(), host.get(), settings);
}

// A loopback listener that records the first request line it is sent.
class RequestCatcher {
 public:
  RequestCatcher() {
    WSADATA data;
    ::WSAStartup(MAKEWORD(1, 1), &data);
    socket_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::listen(socket_, 4);
    int length = sizeof address;
    ::getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
  }
  ~RequestCatcher() {
    ::closesocket(socket_);
    ::WSACleanup();
  }
  int port() const { return port_; }

  // Pumps messages until a request arrives; its first line, or empty text.
  std::string NextRequestLine(int milliseconds) {
    std::string line;
    PumpUntil(
        [&] {
          fd_set ready;
          FD_ZERO(&ready);
          FD_SET(socket_, &ready);
          timeval none = {0, 0};
          if (::select(0, &ready, nullptr, nullptr, &none) != 1) return false;
          SOCKET client = ::accept(socket_, nullptr, nullptr);
          char buffer[1024] = {};
          const int got = ::recv(client, buffer, sizeof buffer - 1, 0);
          const char answer[] = "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n<html><body>results</body></html>";
          ::send(client, answer, sizeof answer - 1, 0);
          ::closesocket(client);
          line = std::string(buffer, got > 0 ? got : 0);
          line = line.substr(0, line.find("\r\n"));
          return true;
        },
        milliseconds);
    return line;
  }

 private:
  SOCKET socket_ = INVALID_SOCKET;
  int port_ = 0;
};

TEST(ResultsWindow, HostsTheBrowserNavigatesAndShowsTheAddress) {
  HostWindow host;
  RequestCatcher server;
  AppSettings settings;
  settings.server_ip = "127.0.0.1";
  settings.server_port = server.port();
  win32::ResultsWindow results(Module(), host.get(), settings);
  EXPECT_EQ(results.window(), nullptr);
  results.ShowResultsPage();
  HWND window = results.window();
  ASSERT_NE(window, nullptr);
  // The first opening runs in steps, one message each, so the command itself
  // only made the window, hidden and still without its control.
  EXPECT_TRUE(results.opening());
  EXPECT_FALSE(::IsWindowVisible(window));
  EXPECT_FALSE(win32::BrowserControlCreated(::GetDlgItem(window, IDC_BROWSER)));
  // A second command meanwhile neither starts over nor makes a second window.
  results.ShowResultsPage();
  EXPECT_EQ(results.window(), window);
  ASSERT_TRUE(PumpUntil([&] { return !results.opening(); }));
  EXPECT_TRUE(::IsWindowVisible(window));
  EXPECT_EQ(testing::WindowText(window), "Volantis Results");
  EXPECT_TRUE(win32::BrowserControlCreated(::GetDlgItem(window, IDC_BROWSER))) << "the web browser control is hosted";
  EXPECT_EQ(results.last_navigation(), S_OK);
  const std::string address =
      "http://127.0.0.1:" + std::to_string(server.port()) + "/validate?op=show_race_results";
  EXPECT_EQ(ItemText(window, IDC_ADDRESS), address);
  const std::string request = server.NextRequestLine(8000);
  EXPECT_EQ(request, "GET /validate?op=show_race_results HTTP/1.1");
  EXPECT_EQ(server.NextRequestLine(1000), "") << "the page was requested once";
  testing::Screenshot("results-window");

  // Enter in the address edit presses Go, which navigates to the text as typed.
  HWND edit = ::GetDlgItem(window, IDC_ADDRESS);
  ::SetWindowTextA(edit, ("http://127.0.0.1:" + std::to_string(server.port()) + "/typed").c_str());
  ::SetFocus(edit);
  testing::PostKey(edit, VK_RETURN);
  const std::string typed = server.NextRequestLine(8000);
  EXPECT_EQ(results.last_navigation(), S_OK);
  EXPECT_EQ(typed, "GET /typed HTTP/1.1");

  testing::PostKey(edit, VK_ESCAPE);
  ASSERT_TRUE(PumpUntil([&] { return !::IsWindowVisible(window); }));
  ::SetWindowTextA(edit, "");
  results.ShowResultsPage();
  EXPECT_EQ(results.window(), window) << "shown again, not created again";
  EXPECT_TRUE(::IsWindowVisible(window));
  EXPECT_EQ(ItemText(window, IDC_ADDRESS), address) << "and navigated again";
}

TEST(ResultsWindow, EmptyServerAddressGivesAnEmptyHostPart) {
  HostWindow host;
  AppSettings settings;
  settings.server_port = 80;
  win32::ResultsWindow results(Module(), host.get(), settings);
  results.ShowResultsPage();
  ASSERT_TRUE(PumpUntil([&] { return !results.opening(); }));
  EXPECT_EQ(ItemText(results.window(), IDC_ADDRESS), "http://:80/validate?op=show_race_results");
}

struct WindowListSearch {
  const std::vector<HWND>* known;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectNewProcessWindow(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<WindowListSearch*>(data);
  DWORD process = 0;
  ::GetWindowThreadProcessId(window, &process);
  if (process == ::GetCurrentProcessId() && ::IsWindowVisible(window) &&
      std::find(search->known->begin(), search->known->end(), window) == search->known->end()) {
    search->found.push_back(window);
  }
  return TRUE;
}

// The visible top-level windows of this process (any thread), other than those given.
std::vector<HWND> NewProcessWindows(const std::vector<HWND>& known) {
  WindowListSearch search{&known, {}};
  ::EnumWindows(CollectNewProcessWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// Boxes that a call opened while it ran (seen and closed by a thread timer,
// which a box's own loop serves), so a box fails the test instead of hanging it.
std::vector<std::string> g_boxes_seen;
std::vector<HWND> g_windows_before;
void CALLBACK CloseNewBoxes(HWND, UINT, UINT_PTR, DWORD) {
  for (HWND box : NewProcessWindows(g_windows_before)) {
    g_boxes_seen.push_back(testing::WindowText(box));
    g_windows_before.push_back(box);
    ::PostMessageA(box, WM_COMMAND, IDCANCEL, 0);
    ::PostMessageA(box, WM_CLOSE, 0, 0);
  }
}

// A results page's engine asks the control's client site before it shows a
// box of the page: alert() and confirm() go to IDocHostShowUI::ShowMessage, a
// script error to IOleCommandTarget::Exec(OLECMDID_SHOWSCRIPTERROR) of the
// host's command group. (This Wine has no engine to run a page, so the test
// asks the site the control holds the way the engine does.) Each is answered
// by the site itself: no window opens anywhere in the process, a script error
// lets the page's scripts go on, and the control is silent for boxes of its own.
TEST(ResultsWindow, ThePageCannotOpenDialogBoxes) {
  // {C4D244B0-D43E-11CF-893B-00AA00BDCE1A} and {F38BC242-B950-11D1-8918-00C04FC2C836}
  const IID show_ui_id = {0xC4D244B0, 0xD43E, 0x11CF, {0x89, 0x3B, 0x00, 0xAA, 0x00, 0xBD, 0xCE, 0x1A}};
  const GUID host_commands = {0xF38BC242, 0xB950, 0x11D1, {0x89, 0x18, 0x00, 0xC0, 0x4F, 0xC2, 0xC8, 0x36}};
  HostWindow host;
  AppSettings settings;
  settings.server_ip = "127.0.0.1";
  settings.server_port = 9;
  win32::ResultsWindow results(Module(), host.get(), settings);
  results.ShowResultsPage();
  ASSERT_TRUE(PumpUntil([&] { return !results.opening(); }));
  HWND browser = ::GetDlgItem(results.window(), IDC_BROWSER);
  ASSERT_TRUE(win32::BrowserControlCreated(browser));
  EXPECT_TRUE(win32::BrowserControlSilent(browser));
  win32::ComPtr<IDocHostShowUI> show_ui;
  ASSERT_EQ(win32::QueryBrowserControlSite(browser, show_ui_id, show_ui.put()), S_OK)
      << "the site the control holds answers the page's boxes";
  win32::ComPtr<IOleCommandTarget> commands;
  ASSERT_EQ(win32::QueryBrowserControlSite(browser, IID_IOleCommandTarget, commands.put()), S_OK)
      << "and the engine's questions";

  Pump();
  g_boxes_seen.clear();
  g_windows_before = NewProcessWindows({});
  const UINT_PTR timer = ::SetTimer(nullptr, 0, 50, CloseNewBoxes);
  wchar_t text[] = L"Are you sure?";
  wchar_t caption[] = L"Message from webpage";
  const struct {
    const char* name;
    DWORD type;
  } boxes[] = {{"alert()", MB_OK | MB_ICONWARNING}, {"confirm()", MB_OKCANCEL | MB_ICONQUESTION}};
  for (const auto& box : boxes) {
    LRESULT answer = -1;
    EXPECT_EQ(show_ui->ShowMessage(browser, text, caption, box.type, nullptr, 0, &answer), S_OK)
        << box.name << ": the host took the box";
    EXPECT_TRUE(answer == IDOK || answer == IDCANCEL) << box.name << ": the page reads an answer, " << answer;
  }
  VARIANT go_on;
  ::VariantInit(&go_on);
  EXPECT_EQ(commands->Exec(&host_commands, OLECMDID_SHOWSCRIPTERROR, OLECMDEXECOPT_DODEFAULT, nullptr, &go_on), S_OK)
      << "the host took the script error";
  EXPECT_EQ(go_on.vt, VT_BOOL);
  EXPECT_EQ(go_on.boolVal, VARIANT_TRUE) << "the page's scripts go on";
  VARIANT ignored;
  ::VariantInit(&ignored);
  EXPECT_NE(commands->Exec(&host_commands, OLECMDID_PRINT, OLECMDEXECOPT_DODEFAULT, nullptr, &ignored), S_OK)
      << "other questions are left to the control";
  EXPECT_NE(commands->Exec(nullptr, OLECMDID_SHOWSCRIPTERROR, OLECMDEXECOPT_DODEFAULT, nullptr, &ignored), S_OK)
      << "the script error is answered only in the host's command group";
  Pump();
  CloseNewBoxes(nullptr, 0, 0, 0);
  ::KillTimer(nullptr, timer);
  EXPECT_EQ(g_boxes_seen, std::vector<std::string>{}) << "no window opened";
  EXPECT_TRUE(::IsWindowVisible(results.window()));
}

// Escape hides the window wherever the focus is: in the address box, and inside
// the page (a window the browser control made for it).
TEST(ResultsWindow, EscapeInsideThePageHidesTheWindow) {
  HostWindow host;
  AppSettings settings;
  settings.server_ip = "127.0.0.1";
  settings.server_port = 9;
  win32::ResultsWindow results(Module(), host.get(), settings);
  results.ShowResultsPage();
  ASSERT_TRUE(PumpUntil([&] { return !results.opening(); }));
  HWND window = results.window();
  HWND browser = ::GetDlgItem(window, IDC_BROWSER);
  // The page's own window, two levels below the browser host, as a browser makes them.
  HWND frame = ::CreateWindowExA(0, "Static", "", WS_CHILD | WS_VISIBLE, 0, 0, 100, 100, browser, nullptr,
                                 Module(), nullptr);
  HWND page = ::CreateWindowExA(0, "Edit", "", WS_CHILD | WS_VISIBLE, 0, 0, 100, 100, frame, nullptr, Module(),
                                nullptr);
  ASSERT_NE(page, nullptr);
  ::SetFocus(page);
  testing::PostKey(page, 'A');
  Pump();
  EXPECT_TRUE(::IsWindowVisible(window)) << "other keys belong to the page";
  testing::PostKey(page, VK_ESCAPE);
  ASSERT_TRUE(PumpUntil([&] { return !::IsWindowVisible(window); }));
  ::DestroyWindow(frame);
}

// A stored number that is no port: one message, no window, no request.
TEST(ResultsWindow, AStoredNumberThatIsNoPortSaysSoAndRequestsNothing) {
  HostWindow host;
  RequestCatcher server;
  AppSettings settings;
  settings.server_ip = "127.0.0.1";
  settings.server_port = 65536 + server.port();  // what a 16-bit cut would turn into the listener's port
  win32::ResultsWindow results(Module(), host.get(), settings);
  {
    ModalScript script({ExpectMessage("Error: the web port " + std::to_string(settings.server_port) +
                                      " in Race Settings is not a port number (0 to 65535); nothing was sent to "
                                      "Tarvex. Please enter the race server's port in Race Settings."),
                        WaitClosed("TarvexCheck")});
    results.ShowResultsPage();
  }
  EXPECT_EQ(results.window(), nullptr);
  EXPECT_EQ(server.NextRequestLine(1500), "") << "nothing reached the server";
}

TEST(ResultsWindow, ControlsFollowTheWindowSize) {
  HostWindow host;
  AppSettings settings;
  win32::ResultsWindow results(Module(), host.get(), settings);
  results.ShowResultsPage();
  ASSERT_TRUE(PumpUntil([&] { return !results.opening(); }));
  HWND window = results.window();
  auto rect_of = [window](int id) {
    RECT rect;
    ::GetWindowRect(::GetDlgItem(window, id), &rect);
    ::MapWindowPoints(HWND_DESKTOP, window, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
  };
  const RECT go_before = rect_of(IDC_GO);
  const RECT edit_before = rect_of(IDC_ADDRESS);
  const RECT browser_before = rect_of(IDC_BROWSER);
  ::SetWindowPos(window, nullptr, 0, 0, 700, 420, SWP_NOMOVE | SWP_NOZORDER);
  Pump();
  RECT client;
  ::GetClientRect(window, &client);
  const RECT go = rect_of(IDC_GO);
  const RECT edit = rect_of(IDC_ADDRESS);
  const RECT browser = rect_of(IDC_BROWSER);
  const int go_width = go_before.right - go_before.left;
  EXPECT_EQ(go.left, client.right - go_width - 13);
  EXPECT_EQ(go.top, go_before.top);
  EXPECT_EQ(go.right - go.left, go_width);
  EXPECT_EQ(go.bottom - go.top, go_before.bottom - go_before.top);
  EXPECT_EQ(edit.left, edit_before.left);
  EXPECT_EQ(edit.top, edit_before.top);
  EXPECT_EQ(edit.right - edit.left, client.right - go_width - edit_before.left - 19);
  EXPECT_EQ(edit.right, go.left - 6) << "the edit ends 6 left of the button";
  EXPECT_EQ(edit.bottom - edit.top, edit_before.bottom - edit_before.top);
  EXPECT_EQ(browser.left, browser_before.left);
  EXPECT_EQ(browser.top, browser_before.top);
  EXPECT_EQ(browser.right - browser.left, client.right - 24);
  EXPECT_EQ(browser.bottom - browser.top, client.bottom - browser_before.top - 12);
}

}  // namespace
}  // namespace volantis

namespace volantis {
namespace {

TEST(ModuleWindows, CommandsReachTheirWindows) {
  HostWindow host;
  AppSettings settings;
  testing::MemorySettingsStore store;
  testing::FakeHotKeys hot_keys;
  LogWindow log;
  ValidateWindow validate;
  int started = 0;
  win32::ModuleWindows windows(Module(), host.get(), settings, store, hot_keys, log, validate, [&] { ++started; });

  log.Log(0, "Race started.\n");
  log.Log(0, "Gate 1 crossed at 12.345 sec\n");
  validate.Log(0, "Time sync with 127.0.0.1:8080 took 1 ms\n");
  validate.Log(0, "Validation passed, race aircraft %s\n", "RD_P-51D_Mustang");
  windows.OpenLogWindow();
  windows.OpenValidateWindow();
  ASSERT_NE(windows.log_window(), nullptr);
  ASSERT_NE(windows.validate_window(), nullptr);
  ASSERT_TRUE(PumpUntil(
      [&] { return ::IsWindowVisible(windows.log_window()) && ::IsWindowVisible(windows.validate_window()); }));
  ::SetWindowPos(windows.log_window(), nullptr, 10, 10, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  ::SetWindowPos(windows.validate_window(), nullptr, 400, 60, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  log.ShowPosition(47.5, -122.25, 1200);
  EXPECT_EQ(ItemText(windows.log_window(), IDC_LATITUDE), "N47 30.000000     (47.500000)");
  EXPECT_EQ(ItemText(windows.log_window(), IDC_LOG_EDIT), log.log_text());
  EXPECT_EQ(ItemText(windows.validate_window(), IDC_VALIDATE_EDIT), validate.log_text());
  testing::Screenshot("log-and-validate-windows");

  windows.ClearLogWindow();
  EXPECT_EQ(ItemText(windows.log_window(), IDC_LOG_EDIT), "");
  EXPECT_EQ(ItemText(windows.log_window(), IDC_LATITUDE), "");
  EXPECT_FALSE(log.log_text().empty());

  ::SendMessageA(::GetDlgItem(windows.validate_window(), IDC_VALIDATE_NOW), BM_CLICK, 0, 0);
  EXPECT_EQ(started, 1) << "Validate Now starts a run";

  ModalScript script({
      WaitFor("About Volantis.dll"),
      [] {
        ::PostMessageA(FindThreadWindow("About Volantis.dll"), WM_COMMAND, IDOK, 0);
        return true;
      },
  });
  windows.RunAboutBox();
}

}  // namespace
}  // namespace volantis
