#include "replay_report.h"

#include "explain.h"
#include "race_map.h"
#include "race_trace.h"

namespace volantis::replay {

RaceResults ReplayWithReport(AppSettings& settings, const ReplayOptions& options, const std::vector<TrackRow>& rows,
                             const ReportRequest& request, std::ostream& out, std::string& map_svg) {
  if (!request.explain && !request.map && !request.splits) return ReplayTrack(settings, options, rows, out);
  TraceRecorder recorder(settings.race_definition, options.frequency);
  const RaceResults results = ReplayTrack(settings, options, rows, out, &recorder);
  const RaceTrace& trace = recorder.trace();
  const RaceExplanation explanation = ExplainRace(trace);
  if (request.explain) WriteExplanation(trace, explanation, out);
  if (request.map) map_svg = DrawRaceMap(trace, explanation);
  if (request.splits) {
    RaceClock clock;
    clock.started_utc = request.started_utc;
    clock.first_counter = rows.empty() ? 0 : rows.front().counter;
    clock.frequency = options.frequency;
    WriteAnalysis(AnalyseRace(trace, explanation, clock), request.splits_out ? *request.splits_out : out);
  }
  return results;
}

}  // namespace volantis::replay
