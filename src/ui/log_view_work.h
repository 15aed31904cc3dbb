#pragma once
// The work a log window's view has queued for its user-interface thread, and
// how a batch of it is shortened before the window carries it out: every
// append, scroll and repaint of an edit control costs the simulator's thread
// time, so one batch makes at most one append per run of appends and shows only
// the newest position.
#include <string>
#include <vector>

namespace volantis {

struct LogViewWork {
  enum Kind { kAppend, kClear, kPosition, kBlank } kind;
  std::string text;  // the appended text, or the latitude
  std::string longitude;
  std::string altitude;
};

// The same batch, so that the window ends up showing exactly what carrying out
// every item in order would show:
// - the text work (appends and clears) keeps its order; consecutive appends
//   become one, and whatever a clear empties is never appended;
// - of the position work (positions and blanks) only the last item stays,
//   after the text work, since the position fields and the log are apart.
std::vector<LogViewWork> CoalesceLogViewWork(std::vector<LogViewWork> work);

}  // namespace volantis
