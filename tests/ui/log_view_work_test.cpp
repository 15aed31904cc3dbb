// A log window's queued work, shortened per batch: the window must end up
// showing exactly what carrying out every item would show, with as few edit
// operations as that allows.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/log_view_work.h"

namespace volantis {
namespace {

LogViewWork Append(const std::string& text) { return {LogViewWork::kAppend, text, {}, {}}; }
LogViewWork Clear() { return {LogViewWork::kClear, {}, {}, {}}; }
LogViewWork Position(const std::string& latitude) { return {LogViewWork::kPosition, latitude, "E", "100"}; }
LogViewWork Blank() { return {LogViewWork::kBlank, {}, {}, {}}; }

// What a window shows after carrying out a batch, starting from some earlier text.
struct Shown {
  std::string log = "earlier\n";
  std::string latitude = "old";
  int edit_operations = 0;
  void Apply(const std::vector<LogViewWork>& work) {
    for (const LogViewWork& item : work) {
      switch (item.kind) {
        case LogViewWork::kAppend: log += item.text; ++edit_operations; break;
        case LogViewWork::kClear: log.clear(); ++edit_operations; break;
        case LogViewWork::kPosition: latitude = item.text + "|" + item.longitude + "|" + item.altitude; break;
        case LogViewWork::kBlank: latitude.clear(); break;
      }
    }
  }
};

struct Case {
  const char* name;
  std::vector<LogViewWork> batch;
  int edit_operations;  // after coalescing
};

TEST(LogViewWork, ShowsWhatEveryItemWouldWithOneAppendPerRun) {
  const std::vector<Case> cases = {
      {"empty", {}, 0},
      {"lines of a validation", {Append("a\n"), Append("b\n"), Append("c\n")}, 1},
      {"positions of a race", {Position("1"), Position("2"), Position("3")}, 0},
      {"lines between positions", {Position("1"), Append("gate\n"), Position("2"), Append("lap\n")}, 1},
      {"clear drops the text before it", {Append("a\n"), Append("b\n"), Clear(), Append("c\n"), Append("d\n")}, 2},
      {"clear at the end", {Append("a\n"), Clear()}, 1},
      {"blank after a position", {Position("1"), Append("stopped\n"), Blank()}, 1},
      {"position after a blank", {Blank(), Position("2")}, 0},
      {"two clears", {Clear(), Append("a\n"), Clear()}, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Shown every_item, coalesced;
    every_item.Apply(c.batch);
    const std::vector<LogViewWork> shortened = CoalesceLogViewWork(c.batch);
    coalesced.Apply(shortened);
    EXPECT_EQ(coalesced.log, every_item.log);
    EXPECT_EQ(coalesced.latitude, every_item.latitude);
    EXPECT_EQ(coalesced.edit_operations, c.edit_operations);
  }
}

}  // namespace
}  // namespace volantis
