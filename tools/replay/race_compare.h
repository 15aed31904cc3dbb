#pragma once
// Several races of one course side by side: the ranking as the race server
// ranks results (race time; unfinished races after the finished ones, more laps
// first), each pilot's laps, best lap and flags; one map with every pilot's
// track in its own colour; a chart of the time behind the leader at every gate
// of every lap; and one self-contained page holding all of it.
#include <string>
#include <utility>
#include <vector>

#include "race_input.h"

namespace volantis::replay {

struct ComparisonFiles {
  std::vector<std::pair<std::string, std::string>> files;  // name inside the output folder, its text
  std::string summary;                                     // "COMPARE ..." lines for the terminal
};

// The same course: the race start info texts equal once their prefix, spaces
// and line ends are set aside.
bool SameCourse(const std::string& a, const std::string& b);
// A course in words for a message, e.g. "10 gates, 2 laps, gate 1 at 78.9202351,11.8658492".
std::string CourseName(const std::string& course_text);

// Keeps of the race's samples only what the comparison draws, so twenty long
// races fit in memory: points closer than about a pixel of the map to the last
// one kept are left out.
void ThinForComparison(AnalysedRace& race);

// The order of the ranking: indexes into races.
std::vector<std::size_t> RankRaces(const std::vector<AnalysedRace>& races);

// index.html, ranking.csv, laps.csv, map.svg and gaps.svg. The races fly one course.
ComparisonFiles CompareRaces(const std::vector<AnalysedRace>& races);

}  // namespace volantis::replay
