#pragma once
// One replay with what a race director asked for besides the usual output: the
// explanation after it, the map. Any input, once its course is loaded and its
// track read, comes through here.
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "race_analysis.h"
#include "replay.h"

namespace volantis::replay {

// What the judge did and what it means, kept for the exports and comparisons.
struct RaceReport {
  RaceTrace trace;
  RaceExplanation explanation;
  RaceAnalysis analysis;
};

struct ReportRequest {
  bool explain = false;  // "EXPLAIN" lines after the usual output
  bool map = false;      // the SVG map into map_svg
  bool splits = false;   // "SPLITS" and "BEST" lines after the usual output (and the explanation)
  std::ostream* splits_out = nullptr;  // where those lines go; null: after the rest in out
  std::optional<int64_t> started_utc;  // the record's start time, to place the laps on the UTC clock
  RaceReport* report = nullptr;        // when given, receives the trace, explanation and analysis
};

RaceResults ReplayWithReport(AppSettings& settings, const ReplayOptions& options, RowSource& rows,
                             const ReportRequest& request, std::ostream& out, std::string& map_svg);

}  // namespace volantis::replay
