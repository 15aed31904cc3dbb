#include "replay_report.h"

#include "explain.h"
#include "race_map.h"
#include "race_trace.h"

namespace volantis::replay {

RaceResults ReplayWithReport(AppSettings& settings, const ReplayOptions& options, const std::vector<TrackRow>& rows,
                             const ReportRequest& request, std::ostream& out, std::string& map_svg) {
  if (!request.explain && !request.map) return ReplayTrack(settings, options, rows, out);
  TraceRecorder recorder(settings.race_definition, options.frequency);
  const RaceResults results = ReplayTrack(settings, options, rows, out, &recorder);
  const RaceTrace& trace = recorder.trace();
  const RaceExplanation explanation = ExplainRace(trace);
  if (request.explain) WriteExplanation(trace, explanation, out);
  if (request.map) map_svg = DrawRaceMap(trace, explanation);
  return results;
}

}  // namespace volantis::replay
