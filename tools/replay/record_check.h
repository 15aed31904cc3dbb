#pragma once
// Compares a replay with what its race record says happened.
//
// The log: the replay's LOG lines, in order, must equal the lines of log.txt
// that tell the race: those after the first "Race started." line, up to and
// including the first "Race time: " line (the one that finishes the race), or
// up to the first "Race stopped." line or the end of the log when the race did
// not finish; lines the race record writes about itself ("The race record ...")
// are left out. A carriage return before a line feed is ignored. Differences are
// found as by a line diff: a line only one side has is one difference, and the
// lines around it still pair up.
//
// The results: each field of the RESULT line must equal results.txt's value of
// that name, compared as texts, when the record has a results.txt.
#include <cstddef>
#include <ostream>
#include <string>
#include <vector>

#include "race/race_results.h"
#include "race_record.h"

namespace volantis::replay {

struct RecordedLine {
  std::size_t number = 0;  // line of log.txt, from 1
  std::string text;        // without its line feed
};

struct RaceLines {
  std::size_t started = 0;  // the line of the first "Race started.", 0 when there is none
  std::vector<RecordedLine> lines;
};

// The lines of log.txt that tell the race, as above.
RaceLines RaceLinesOfLog(const std::string& log_text);

// The text of each "LOG " line of the replay's output.
std::vector<std::string> ReplayedLogLines(const std::string& output);

struct RecordVerdict {
  std::size_t events = 0;  // log lines compared
  bool results_recorded = false;
  std::vector<std::string> differences;  // each says what differs, recorded against replayed
};

RecordVerdict CompareWithRecord(const std::string& replay_output, const RaceResults& results,
                                const RaceRecordFiles& record);

// "RECORD agrees: ..." or one "RECORD differs: ..." line per difference.
void WriteRecordVerdict(const RecordVerdict& verdict, std::ostream& out);

}  // namespace volantis::replay
