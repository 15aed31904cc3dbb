#pragma once
// One replay with what a race director asked for besides the usual output: the
// explanation after it, the map. Any input, once its course is loaded and its
// track read, comes through here.
#include <ostream>
#include <string>
#include <vector>

#include "replay.h"

namespace volantis::replay {

struct ReportRequest {
  bool explain = false;  // "EXPLAIN" lines after the usual output
  bool map = false;      // the SVG map into map_svg
};

RaceResults ReplayWithReport(AppSettings& settings, const ReplayOptions& options, const std::vector<TrackRow>& rows,
                             const ReportRequest& request, std::ostream& out, std::string& map_svg);

}  // namespace volantis::replay
