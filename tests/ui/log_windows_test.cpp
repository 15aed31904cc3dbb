// The Log and Validate windows as real dialogs from the module's templates,
// driven with window messages through a host loop that never calls
// IsDialogMessage, with worker threads logging into them.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "core/log_window.h"
#include "core/validate_window.h"
#include "resource.h"
#include "ui/win32/log_dialog.h"
#include "ui/win32/validate_dialog.h"
#include "win_test_support.h"

namespace volantis {
namespace {

using testing::HostWindow;
using testing::ItemText;
using testing::PostKey;
using testing::Pump;
using testing::PumpUntil;
using testing::WindowText;

HINSTANCE Module() { return ::GetModuleHandleA(nullptr); }

class LogWindowTest : public ::testing::Test {
 protected:
  LogWindowTest() : dialog_(Module(), host_.get(), log_) {}

  HWND window() const { return dialog_.window(); }
  std::string EditText() const { return ItemText(window(), IDC_LOG_EDIT); }
  // Open as the pilot's command does, then the host's loop until the window shows.
  void Open() {
    log_.Open();
    ASSERT_TRUE(PumpUntil([&] { return !dialog_.showing(); }));
  }

  HostWindow host_;
  LogWindow log_;
  win32::LogDialog dialog_;
};

TEST_F(LogWindowTest, CreatedOnFirstOpenWithEarlierLinesThenOnlyHiddenAndShown) {
  log_.Log(0, "one\n");
  log_.Log(kLogDetail, "detail\n");
  log_.Log(0, "two %d%%\n", 2);
  EXPECT_EQ(window(), nullptr) << "no window before the first Open";

  log_.Open();
  HWND first = window();
  ASSERT_NE(first, nullptr);
  // Created hidden; the next message of the host's loop shows it.
  EXPECT_FALSE(::IsWindowVisible(first));
  EXPECT_TRUE(dialog_.showing());
  ASSERT_TRUE(PumpUntil([&] { return !dialog_.showing(); }));
  EXPECT_TRUE(::IsWindowVisible(first));
  EXPECT_EQ(EditText(), "one\r\ntwo 2%\r\n");
  EXPECT_EQ(WindowText(first), "Volantis Log");
  EXPECT_NE(::SendMessageA(first, WM_GETICON, ICON_SMALL, 0), 0) << "icon 101 at 16x16";
  EXPECT_NE(::GetWindowLongA(first, GWL_EXSTYLE) & WS_EX_APPWINDOW, 0) << "own taskbar button";
  EXPECT_EQ(::GetParent(first) == host_.get() || ::GetWindow(first, GW_OWNER) == host_.get(), true);

  log_.Log(0, "three\n");
  EXPECT_EQ(EditText(), "one\r\ntwo 2%\r\nthree\r\n");

  ::SendMessageA(first, WM_SYSCOMMAND, SC_CLOSE, 0);
  Pump();
  EXPECT_FALSE(::IsWindowVisible(first)) << "the close box hides";
  log_.Log(0, "while hidden\n");
  ::ShowWindow(first, SW_MINIMIZE);
  Open();
  EXPECT_EQ(window(), first) << "the same window comes back";
  EXPECT_TRUE(::IsWindowVisible(first));
  EXPECT_FALSE(::IsIconic(first)) << "shown in its normal state";
  EXPECT_EQ(EditText(), log_.log_text());
}

TEST_F(LogWindowTest, WorkerThreadsNeverWaitForTheWindowAndKeepTheirOrder) {
  Open();
  log_.Log(0, "from the user-interface thread\n");
  // The user-interface thread does not serve messages while the workers log: a
  // worker that waited for the window would never finish.
  std::atomic<int> finished{0};
  std::vector<std::thread> workers;
  for (int t = 0; t < 3; ++t) {
    workers.emplace_back([this, t, &finished] {
      for (int i = 0; i < 200; ++i) log_.Log(0, "worker %d line %03d\n", t, i);
      finished++;
    });
  }
  for (std::thread& worker : workers) worker.join();
  EXPECT_EQ(finished.load(), 3);
  EXPECT_NE(EditText(), log_.log_text()) << "queued, not yet shown";

  ::ShowWindow(window(), SW_HIDE);  // lines also reach a hidden window
  ASSERT_TRUE(PumpUntil([&] { return EditText() == log_.log_text(); }));
  log_.Log(0, "last\n");
  EXPECT_EQ(EditText(), log_.log_text());
}

TEST_F(LogWindowTest, UserInterfaceCallsKeepOrderWithQueuedText) {
  Open();
  std::thread worker([this] { log_.Log(0, "queued\n"); });
  worker.join();
  log_.Log(0, "direct\n");  // the queued line must come first
  EXPECT_EQ(EditText(), "queued\r\ndirect\r\n");

  std::thread again([this] { log_.Log(0, "before clear\n"); });
  again.join();
  log_.Clear();
  EXPECT_EQ(EditText(), "") << "a line logged before Clear is cleared too";
  Pump();
  EXPECT_EQ(EditText(), "");
}

TEST_F(LogWindowTest, ClearEmptiesTheWindowOnly) {
  log_.Clear();  // before the window exists: nothing happens
  log_.Log(0, "old\n");
  Open();
  log_.Clear();
  EXPECT_EQ(EditText(), "");
  EXPECT_EQ(log_.log_text(), "old\r\n");
  ::ShowWindow(window(), SW_HIDE);
  Open();
  EXPECT_EQ(EditText(), "") << "reopening does not bring cleared lines back";
  log_.Log(0, "new\n");
  EXPECT_EQ(EditText(), "new\r\n");
}

TEST_F(LogWindowTest, LongLogIsNeverCutByTheEditLimit) {
  const std::string line(99, 'x');
  for (int i = 0; i < 500; ++i) log_.Log(0, "%s\n", line.c_str());  // 50,500 characters
  Open();
  for (int i = 0; i < 500; ++i) log_.Log(0, "%s\n", line.c_str());
  EXPECT_EQ(EditText().size(), 101000u);
}

TEST_F(LogWindowTest, PositionShownOnlyWhenVisibleAndNotMinimised) {
  log_.ShowPosition(47.5, -122.25, 1200);  // no window: nothing
  Open();
  log_.ShowPosition(47.5, -122.25, 1200);
  EXPECT_EQ(ItemText(window(), IDC_LATITUDE), "N47 30.000000     (47.500000)");
  EXPECT_EQ(ItemText(window(), IDC_LONGITUDE), "W122 15.000000     (-122.250000)");
  EXPECT_EQ(ItemText(window(), IDC_ALTITUDE), "1200.000000'");

  ::ShowWindow(window(), SW_MINIMIZE);
  log_.ShowPosition(5, 0, 1);
  EXPECT_EQ(ItemText(window(), IDC_LATITUDE), "N47 30.000000     (47.500000)") << "minimised: unchanged";
  ::ShowWindow(window(), SW_HIDE);
  log_.ShowPosition(5, 0, 1);
  EXPECT_EQ(ItemText(window(), IDC_LATITUDE), "N47 30.000000     (47.500000)") << "hidden: unchanged";

  Open();
  std::thread monitor([this] {
    for (int i = 0; i < 50; ++i) log_.ShowPosition(-0.5, i, 10);
  });
  monitor.join();
  ASSERT_TRUE(PumpUntil([&] { return ItemText(window(), IDC_LONGITUDE) == "E49 0.000000     (49.000000)"; }));
  EXPECT_EQ(ItemText(window(), IDC_LATITUDE), "S00 30.000000     (-0.500000)");

  ::SetDlgItemTextA(window(), IDC_GATES_FILE, "kept");
  log_.BlankPosition();
  EXPECT_EQ(ItemText(window(), IDC_LATITUDE), "");
  EXPECT_EQ(ItemText(window(), IDC_LONGITUDE), "");
  EXPECT_EQ(ItemText(window(), IDC_ALTITUDE), "");
  EXPECT_EQ(ItemText(window(), IDC_GATES_FILE), "kept");
}

// Counts the texts a field is given.
std::atomic<int> g_latitude_texts{0};
WNDPROC g_static_procedure = nullptr;
LRESULT CALLBACK CountingField(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_SETTEXT) ++g_latitude_texts;
  return ::CallWindowProcA(g_static_procedure, window, message, wparam, lparam);
}

// The monitor gives 25 positions a second; the fields repaint at most ten times
// a second, always end on the newest position, and a blank is never undone by
// a position that was still waiting.
TEST_F(LogWindowTest, PositionsFromTheMonitorArePacedAndTheNewestIsShown) {
  Open();
  HWND latitude = ::GetDlgItem(window(), IDC_LATITUDE);
  g_static_procedure = reinterpret_cast<WNDPROC>(
      ::SetWindowLongPtrA(latitude, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(CountingField)));
  g_latitude_texts = 0;

  std::atomic<bool> done{false};
  const DWORD started = ::GetTickCount();
  std::thread monitor([&] {
    for (int i = 1; i <= 25; ++i) {
      log_.ShowPosition(i, 0, 10);
      ::Sleep(40);
    }
    done = true;
  });
  PumpUntil([&] { return done.load(); }, 20000);
  monitor.join();
  const DWORD elapsed = ::GetTickCount() - started;
  ASSERT_TRUE(PumpUntil([&] { return ItemText(window(), IDC_LATITUDE) == "N25 0.000000     (25.000000)"; }))
      << "the newest position is shown once its time comes";
  const int limit = static_cast<int>(elapsed / win32::LogDialog::kPositionIntervalMs) + 2;
  EXPECT_LE(g_latitude_texts.load(), limit) << "over " << elapsed << " ms";
  EXPECT_GE(g_latitude_texts.load(), 2);

  // A position that waits, then the stop's blank on the user-interface thread.
  std::thread([&] { log_.ShowPosition(30, 0, 10); }).join();
  ASSERT_TRUE(PumpUntil([&] { return ItemText(window(), IDC_LATITUDE) == "N30 0.000000     (30.000000)"; }));
  const int before_waiting = g_latitude_texts.load();
  const DWORD seen = ::GetTickCount();
  std::thread([&] { log_.ShowPosition(31, 0, 10); }).join();
  Pump();
  // (A machine so slow that the time was up already shows it at once.)
  if (::GetTickCount() - seen + 20 < win32::LogDialog::kPositionIntervalMs) {
    EXPECT_EQ(g_latitude_texts.load(), before_waiting) << "a position right after another waits";
  }
  log_.BlankPosition();
  const DWORD blanked = ::GetTickCount();
  PumpUntil([&] { return ::GetTickCount() - blanked > 3 * win32::LogDialog::kPositionIntervalMs; });
  EXPECT_EQ(ItemText(window(), IDC_LATITUDE), "") << "the blank stays";
  ::SetWindowLongPtrA(latitude, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_static_procedure));
}

TEST_F(LogWindowTest, EscapeHidesAndEnterDoesNot) {
  Open();
  HWND edit = ::GetDlgItem(window(), IDC_LOG_EDIT);
  ::SetFocus(edit);
  PostKey(edit, VK_RETURN);
  Pump();
  Pump();
  EXPECT_TRUE(::IsWindowVisible(window()));
  PostKey(edit, VK_ESCAPE);
  ASSERT_TRUE(PumpUntil([&] { return !::IsWindowVisible(window()); }));
  EXPECT_NE(window(), nullptr) << "hidden, not destroyed";
}

TEST_F(LogWindowTest, EditFollowsTheWindowSize) {
  Open();
  ::SetWindowPos(window(), nullptr, 0, 0, 640, 520, SWP_NOMOVE | SWP_NOZORDER);
  Pump();
  RECT client;
  ::GetClientRect(window(), &client);
  HWND edit = ::GetDlgItem(window(), IDC_LOG_EDIT);
  RECT rect;
  ::GetWindowRect(edit, &rect);
  ::MapWindowPoints(HWND_DESKTOP, window(), reinterpret_cast<POINT*>(&rect), 2);
  RECT expected_origin = {6, 53, 0, 0};
  ::MapDialogRect(window(), &expected_origin);
  EXPECT_EQ(rect.left, expected_origin.left) << "the top-left corner stays";
  EXPECT_EQ(rect.top, expected_origin.top);
  EXPECT_EQ(rect.right - rect.left, client.right - 19);
  EXPECT_EQ(rect.bottom - rect.top, client.bottom - rect.top - 12);
}

class ValidateWindowTest : public ::testing::Test {
 protected:
  ValidateWindowTest() : dialog_(Module(), host_.get(), validate_, [this] { ++validate_now_; }) {}

  HWND window() const { return dialog_.window(); }
  std::string EditText() const { return ItemText(window(), IDC_VALIDATE_EDIT); }
  void Open() {
    validate_.Open();
    ASSERT_TRUE(PumpUntil([&] { return !dialog_.showing(); }));
  }

  HostWindow host_;
  ValidateWindow validate_;
  int validate_now_ = 0;
  win32::ValidateDialog dialog_;
};

TEST_F(ValidateWindowTest, EnterAndEscapeLeaveItOpenAndTheButtonValidates) {
  validate_.Log(0, "Starting validation\n");
  Open();
  ASSERT_NE(window(), nullptr);
  EXPECT_EQ(WindowText(window()), "Volantis Validate");
  EXPECT_NE(::SendMessageA(window(), WM_GETICON, ICON_BIG, 0), 0);
  EXPECT_EQ(EditText(), validate_.log_text());
  EXPECT_EQ(EditText().substr(17, 2), "  ") << "the timestamp prefix";

  HWND edit = ::GetDlgItem(window(), IDC_VALIDATE_EDIT);
  HWND button = ::GetDlgItem(window(), IDC_VALIDATE_NOW);
  for (HWND target : {edit, button}) {
    PostKey(target, VK_ESCAPE);
    Pump();
    Pump();
    EXPECT_TRUE(::IsWindowVisible(window())) << "Escape on " << testing::ClassOf(target);
  }
  PostKey(edit, VK_RETURN);
  Pump();
  Pump();
  EXPECT_TRUE(::IsWindowVisible(window()));
  EXPECT_EQ(validate_now_, 0) << "Enter in the log does not validate";

  ::SendMessageA(button, BM_CLICK, 0, 0);
  Pump();
  EXPECT_EQ(validate_now_, 1);
  ::SetFocus(button);
  PostKey(button, VK_RETURN);
  Pump();
  Pump();
  EXPECT_EQ(validate_now_, 2) << "Enter on the focused button presses it";
  EXPECT_TRUE(::IsWindowVisible(window()));
}

TEST_F(ValidateWindowTest, MinimisedWindowUsesTheWindowIcon) {
  Open();
  ::ShowWindow(window(), SW_MINIMIZE);
  Pump();
  const LRESULT icon = ::SendMessageA(window(), WM_GETICON, ICON_BIG, 0);
  ASSERT_NE(icon, 0);
  EXPECT_EQ(::SendMessageA(window(), WM_QUERYDRAGICON, 0, 0), icon) << "dragged minimised, it shows its icon";
  ::RedrawWindow(window(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);  // paints without failing
  Open();
  EXPECT_FALSE(::IsIconic(window()));
}

TEST_F(ValidateWindowTest, CloseBoxReadsTheTextBackAndHides) {
  Open();
  validate_.Log(0, "first\n");
  ::SetWindowTextA(::GetDlgItem(window(), IDC_VALIDATE_EDIT), "as the window shows it\r\n");
  std::thread worker([this] { validate_.Log(0, "queued before the close\n"); });
  worker.join();
  ::SendMessageA(window(), WM_SYSCOMMAND, SC_CLOSE, 0);
  Pump();
  EXPECT_FALSE(::IsWindowVisible(window()));
  const std::string text = validate_.log_text();
  EXPECT_EQ(text.rfind("as the window shows it\r\n", 0), 0u) << text;
  EXPECT_NE(text.find("queued before the close\r\n"), std::string::npos) << "nothing queued is lost";

  // A run that goes on after the close keeps arriving in the hidden window.
  std::thread run([this] { validate_.Log(0, "still running\n"); });
  run.join();
  ASSERT_TRUE(PumpUntil([&] { return EditText() == validate_.log_text(); }));
  Open();
  EXPECT_TRUE(::IsWindowVisible(window()));
  EXPECT_NE(EditText().find("still running"), std::string::npos);
}

}  // namespace
}  // namespace volantis
