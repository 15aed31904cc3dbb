#include "record_check.h"

#include <algorithm>
#include <cstdint>
#include <utility>

#include "replay.h"

namespace volantis::replay {
namespace {

constexpr const char* kStartedLine = "Race started.";
constexpr const char* kStoppedLine = "Race stopped.";
constexpr const char* kFinishPrefix = "Race time: ";
constexpr const char* kRecordOwnPrefix = "The race record ";

bool StartsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

// The text's lines without their line feeds (nor a carriage return before one);
// text after the last line feed is a line too.
std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (end < text.size() && !line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
    start = end + 1;
  }
  return lines;
}

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

// The longest common subsequence of the two stretches is beyond this many cells;
// such stretches pair up line by line instead.
constexpr std::size_t kDiffCellsMax = std::size_t{1} << 22;

// Which lines of a and b pair up as equal, in order: the longest common
// subsequence, or the lines at the same place when it would be too costly.
std::vector<std::pair<std::size_t, std::size_t>> EqualPairs(const std::vector<std::string>& a,
                                                            const std::vector<std::string>& b) {
  std::vector<std::pair<std::size_t, std::size_t>> pairs;
  if (a.size() * b.size() > kDiffCellsMax) {
    for (std::size_t i = 0; i < std::min(a.size(), b.size()); ++i) {
      if (a[i] == b[i]) pairs.emplace_back(i, i);
    }
    return pairs;
  }
  // longest[i][j]: the longest common subsequence of a[i..] and b[j..].
  const std::size_t width = b.size() + 1;
  std::vector<uint32_t> longest((a.size() + 1) * width, 0);
  for (std::size_t i = a.size(); i-- > 0;) {
    for (std::size_t j = b.size(); j-- > 0;) {
      longest[i * width + j] = a[i] == b[j] ? longest[(i + 1) * width + j + 1] + 1
                                            : std::max(longest[(i + 1) * width + j], longest[i * width + j + 1]);
    }
  }
  std::size_t i = 0;
  std::size_t j = 0;
  while (i < a.size() && j < b.size()) {
    if (a[i] == b[j]) {
      pairs.emplace_back(i++, j++);
    } else if (longest[(i + 1) * width + j] >= longest[i * width + j + 1]) {
      ++i;
    } else {
      ++j;
    }
  }
  return pairs;
}

void CompareLog(const std::vector<std::string>& replayed, const RaceLines& recorded, RecordVerdict& verdict) {
  if (recorded.started == 0) {
    verdict.differences.push_back("log.txt has no \"Race started.\" line; the replay logged " +
                                  std::to_string(replayed.size()) + " lines");
    return;
  }
  const std::vector<RecordedLine>& lines = recorded.lines;
  std::vector<std::string> texts;
  for (const RecordedLine& line : lines) texts.push_back(line.text);
  std::vector<std::pair<std::size_t, std::size_t>> pairs = EqualPairs(texts, replayed);
  verdict.events = pairs.size();
  pairs.emplace_back(texts.size(), replayed.size());  // the ends pair up too

  // Between two equal pairs, lines of both sides pair up as changed lines; the
  // rest are lines only one side has.
  std::size_t i = 0;
  std::size_t j = 0;
  for (const auto& [next_i, next_j] : pairs) {
    for (; i < next_i && j < next_j; ++i, ++j) {
      verdict.differences.push_back("log.txt line " + std::to_string(lines[i].number) + ": recorded " +
                                    Quoted(lines[i].text) + ", replayed " + Quoted(replayed[j]));
    }
    for (; i < next_i; ++i) {
      verdict.differences.push_back("log.txt line " + std::to_string(lines[i].number) + ": recorded " +
                                    Quoted(lines[i].text) + ", not replayed");
    }
    for (; j < next_j; ++j) {
      const std::size_t after = i == 0 ? recorded.started : lines[i - 1].number;
      verdict.differences.push_back("replayed " + Quoted(replayed[j]) + ", not in log.txt (after its line " +
                                    std::to_string(after) + ")");
    }
    i = next_i + 1;
    j = next_j + 1;
  }
}

void CompareResults(const RaceResults& results, const std::string& results_text, RecordVerdict& verdict) {
  const std::vector<std::string> lines = SplitLines(results_text);
  for (const ResultField& field : ResultFields(results)) {
    const std::string prefix = field.name + "=";
    const std::string* recorded = nullptr;
    for (const std::string& line : lines) {
      if (StartsWith(line, prefix.c_str())) {
        recorded = &line;
        break;
      }
    }
    if (recorded == nullptr) {
      verdict.differences.push_back("results.txt has no " + field.name + "; replayed " + Quoted(field.value));
    } else if (recorded->substr(prefix.size()) != field.value) {
      verdict.differences.push_back("results.txt " + field.name + ": recorded " +
                                    Quoted(recorded->substr(prefix.size())) + ", replayed " + Quoted(field.value));
    }
  }
}

}  // namespace

RaceLines RaceLinesOfLog(const std::string& log_text) {
  RaceLines race;
  const std::vector<std::string> lines = SplitLines(log_text);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    if (race.started == 0) {
      if (line == kStartedLine) race.started = i + 1;
      continue;
    }
    if (line == kStoppedLine) break;
    if (StartsWith(line, kRecordOwnPrefix)) continue;
    race.lines.push_back(RecordedLine{i + 1, line});
    if (StartsWith(line, kFinishPrefix)) break;
  }
  return race;
}

std::vector<std::string> ReplayedLogLines(const std::string& output) {
  std::vector<std::string> logged;
  for (const std::string& line : SplitLines(output)) {
    if (StartsWith(line, "LOG ")) logged.push_back(line.substr(4));
  }
  return logged;
}

RecordVerdict CompareWithRecord(const std::string& replay_output, const RaceResults& results,
                                const RaceRecordFiles& record) {
  RecordVerdict verdict;
  verdict.results_recorded = record.results_recorded;
  CompareLog(ReplayedLogLines(replay_output), RaceLinesOfLog(record.log_text), verdict);
  if (record.results_recorded) CompareResults(results, record.results_text, verdict);
  return verdict;
}

void WriteRecordVerdict(const RecordVerdict& verdict, std::ostream& out) {
  if (verdict.differences.empty() && verdict.events == 0 && !verdict.results_recorded) {
    // Nothing was compared: saying the record agrees would claim more than was checked.
    out << "RECORD has no crossings: no gate was crossed after \"Race started.\" in the record or the replay, "
           "and no results were recorded, nothing to compare.\n";
    return;
  }
  if (verdict.differences.empty()) {
    out << "RECORD agrees: " << verdict.events << " events and "
        << (verdict.results_recorded ? "the results match the record." : "no results were recorded.") << '\n';
    return;
  }
  for (const std::string& difference : verdict.differences) out << "RECORD differs: " << difference << '\n';
}

}  // namespace volantis::replay
