// The two log models: what they keep, what they hand to the on-screen view, and
// that appends from several threads never interleave.
#include <gtest/gtest.h>

#include <sstream>
#include <thread>
#include <vector>

#include "core/log_window.h"
#include "core/validate_window.h"

namespace volantis {
namespace {

class FixedClock : public Clock {
 public:
  explicit FixedClock(LocalDateTime now) : now_(now) {}
  bool QueryCounter(int64_t& count) override {
    count = 0;
    return true;
  }
  int64_t QueryFrequency() override { return 1; }
  uint32_t TickCount() override { return 0; }
  void Sleep(uint32_t) override {}
  LocalDateTime LocalNow() override { return now_; }

 private:
  LocalDateTime now_;
};

const LocalDateTime kAprilSixth{2006, 4, 6, 9, 5, 3};

// Records what the model asks of the window.
class RecordingView : public LogView {
 public:
  void Open(const std::string& log_text) override {
    exists = true;
    shown_text = log_text;
    events.push_back("open");
  }
  bool Exists() override { return exists; }
  void AppendText(const std::string& text) override { shown_text += text; }
  void ClearText() override {
    shown_text.clear();
    events.push_back("clear");
  }
  bool PositionShown() override { return position_shown; }
  void SetPosition(const std::string& latitude, const std::string& longitude, const std::string& altitude) override {
    position = {latitude, longitude, altitude};
  }
  void BlankPosition() override { events.push_back("blank"); }

  bool exists = false;
  bool position_shown = false;
  std::string shown_text;
  std::vector<std::string> events;
  std::vector<std::string> position;
};

TEST(LogModel, ShowsEveryLevelButDetailWithDisplayLineBreaks) {
  LogWindow log;
  FixedClock clock(kAprilSixth);
  ValidateWindow validate(clock);
  for (LogSink* sink : std::vector<LogSink*>{&log, &validate}) {
    sink->Log(kLogDetail, "detail %d\n", 1);
    sink->LogText(kLogDetail, "detail text\n");
    sink->Log(0, "Race started.\n");
    sink->Log(2, "Lap %d of %d\nnext\n", 1, 3);
    sink->Log(-1, "no line feed");
  }
  EXPECT_EQ(log.log_text(), "Race started.\r\nLap 1 of 3\r\nnext\r\nno line feed");
  EXPECT_EQ(validate.log_text(),
            "04/06/06 09:05:03  Race started.\r\n"
            "04/06/06 09:05:03  Lap 1 of 3\r\nnext\r\n"
            "04/06/06 09:05:03  no line feed");
}

TEST(LogModel, LongMessagesAreCutAt999Characters) {
  const std::string long_text(1500, 'x');
  LogWindow log;
  log.Log(0, "%s", long_text.c_str());
  EXPECT_EQ(log.log_text(), std::string(999, 'x'));

  FixedClock clock(kAprilSixth);
  ValidateWindow validate(clock);
  validate.LogText(0, long_text + "\n");
  EXPECT_EQ(validate.log_text(), "04/06/06 09:05:03  " + std::string(999, 'x')) << "the cut drops the line feed too";
}

TEST(LogModel, FormattedTextIsNeverReadAsAFormatAgain) {
  LogWindow log;
  log.LogText(0, "100% done %s %n %d\n");
  EXPECT_EQ(log.log_text(), "100% done %s %n %d\r\n");
}

TEST(LogModel, TimestampPrefixUsesTwoDigitYears) {
  struct Case {
    LocalDateTime when;
    const char* prefix;
  };
  const Case cases[] = {
      {{2006, 4, 6, 9, 5, 3}, "04/06/06 09:05:03  "},
      {{1999, 12, 31, 23, 59, 59}, "12/31/99 23:59:59  "},
      {{2000, 1, 1, 0, 0, 0}, "01/01/00 00:00:00  "},
      {{2026, 12, 10, 5, 33, 17}, "12/10/26 05:33:17  "},
  };
  for (const Case& c : cases) EXPECT_EQ(ValidateWindow::TimestampPrefix(c.when), c.prefix);
}

TEST(LogModel, PositionTexts) {
  struct Case {
    const char* name;
    std::string text;
    const char* expected;
  };
  const Case cases[] = {
      {"latitude 47.5", LogWindow::LatitudeText(47.5), "N47 30.000000     (47.500000)"},
      {"longitude -122.25", LogWindow::LongitudeText(-122.25), "W122 15.000000     (-122.250000)"},
      {"latitude -0.5", LogWindow::LatitudeText(-0.5), "S00 30.000000     (-0.500000)"},
      {"latitude 0", LogWindow::LatitudeText(0.0), "N00 0.000000     (0.000000)"},
      {"longitude 0", LogWindow::LongitudeText(0.0), "E00 0.000000     (0.000000)"},
      {"latitude 5", LogWindow::LatitudeText(5.0), "N05 0.000000     (5.000000)"},
      {"longitude 7.75", LogWindow::LongitudeText(7.75), "E07 45.000000     (7.750000)"},
      {"altitude 1200", LogWindow::AltitudeText(1200.0), "1200.000000'"},
      {"altitude -3.5", LogWindow::AltitudeText(-3.5), "-3.500000'"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.text, c.expected) << c.name;
}

TEST(LogModel, LateOpenedWindowShowsEverythingInOrderThenNewLines) {
  LogWindow log;
  RecordingView view;
  log.SetView(&view);
  log.Log(0, "one\n");
  log.Clear();  // before the window exists: clears nothing
  log.Log(0, "two\n");
  EXPECT_EQ(view.shown_text, "") << "no window yet";
  EXPECT_TRUE(view.events.empty());
  log.Open();
  EXPECT_EQ(view.shown_text, "one\r\ntwo\r\n");
  log.Log(0, "three\n");
  EXPECT_EQ(view.shown_text, "one\r\ntwo\r\nthree\r\n");
}

TEST(LogModel, ClearEmptiesTheWindowButKeepsTheLog) {
  LogWindow log;
  RecordingView view;
  log.SetView(&view);
  log.Log(0, "before\n");
  log.Open();
  log.Clear();
  log.Log(0, "after\n");
  EXPECT_EQ(view.shown_text, "after\r\n");
  EXPECT_EQ(log.log_text(), "before\r\nafter\r\n");
}

TEST(LogModel, PositionReachesTheWindowOnlyWhenShown) {
  LogWindow log;
  RecordingView view;
  log.SetView(&view);
  log.ShowPosition(47.5, -122.25, 1200);
  EXPECT_TRUE(view.position.empty());
  view.position_shown = true;
  log.ShowPosition(47.5, -122.25, 1200);
  EXPECT_EQ(view.position,
            (std::vector<std::string>{"N47 30.000000     (47.500000)", "W122 15.000000     (-122.250000)",
                                      "1200.000000'"}));
  log.BlankPosition();
  EXPECT_EQ(view.events, std::vector<std::string>{"blank"});
}

TEST(LogModel, ValidateLogTextCanBeReplacedByTheWindowsText) {
  FixedClock clock(kAprilSixth);
  ValidateWindow validate(clock);
  validate.Log(0, "a\n");
  validate.SetLogText("from the window\r\n");
  validate.Log(0, "b\n");
  EXPECT_EQ(validate.log_text(), "from the window\r\n04/06/06 09:05:03  b\r\n");
}

// Several threads log at once: no line is torn, each thread's lines keep their
// order, and the window receives exactly what log_text holds.
TEST(LogModel, ThreadsNeverInterleave) {
  constexpr int kThreads = 4;
  constexpr int kLines = 400;
  LogWindow log;
  RecordingView view;
  log.SetView(&view);
  log.Open();
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&log, t] {
      for (int i = 0; i < kLines; ++i) log.Log(0, "thread %d line %d of a longer message\n", t, i);
    });
  }
  for (std::thread& thread : threads) thread.join();

  const std::string text = log.log_text();
  EXPECT_EQ(view.shown_text, text);
  std::istringstream lines(text);
  std::string line;
  int next[kThreads] = {};
  int count = 0;
  while (std::getline(lines, line)) {
    int t = -1;
    int i = -1;
    char tail[64] = {};
    ASSERT_EQ(std::sscanf(line.c_str(), "thread %d line %d of a longer %63s", &t, &i, tail), 3) << line;
    ASSERT_EQ(line, "thread " + std::to_string(t) + " line " + std::to_string(i) + " of a longer message\r");
    ASSERT_TRUE(t >= 0 && t < kThreads);
    EXPECT_EQ(i, next[t]) << "thread " << t << " out of order";
    next[t] = i + 1;
    ++count;
  }
  EXPECT_EQ(count, kThreads * kLines);
}

}  // namespace
}  // namespace volantis
