#pragma once
// The exports a spreadsheet or a script reads: one CSV row per lap, and one
// JSON document with everything about a race. Column and key names are fixed
// (docs/race-analysis.md); times are seconds with three decimals.
#include <ostream>
#include <string>

#include "race_input.h"

namespace volantis::replay {

// "pilot,race_start_utc,lap,lap_time,skips,split_1,...,split_N,flags" and a line feed.
std::string LapsCsvHeader(std::size_t gates);
// One row per completed lap; flags first set before the start sit on lap 1's
// row; flags first set in a lap never completed get a row of their own with
// an empty lap_time and empty splits.
void WriteLapsCsvRows(const AnalysedRace& race, std::ostream& out);

void WriteRaceJson(const AnalysedRace& race, std::ostream& out);

// A CSV field, quoted when it holds a comma, a quote or a line break.
std::string CsvField(const std::string& text);
// "2026-12-10T16:40:05Z" for the record's "2026-12-10 16:40:05 UTC"; empty when it is not one.
std::string IsoStamp(const std::string& started);
// The flags' names joined by ';'.
std::string FlagsText(const std::vector<FairnessFlag>& flags);

}  // namespace volantis::replay
