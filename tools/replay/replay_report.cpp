#include "replay_report.h"

#include "explain.h"
#include "race_map.h"
#include "race_trace.h"

namespace volantis::replay {

RaceResults ReplayWithReport(AppSettings& settings, const ReplayOptions& options, const std::vector<TrackRow>& rows,
                             const ReportRequest& request, std::ostream& out, std::string& map_svg) {
  if (!request.explain && !request.map && !request.splits && request.report == nullptr) return ReplayTrack(settings, options, rows, out);
  TraceRecorder recorder(settings.race_definition, options.frequency);
  const RaceResults results = ReplayTrack(settings, options, rows, out, &recorder);
  const RaceTrace& trace = recorder.trace();
  const RaceExplanation explanation = ExplainRace(trace);
  if (request.explain) WriteExplanation(trace, explanation, out);
  if (request.map) map_svg = DrawRaceMap(trace, explanation);
  if (request.splits || request.report != nullptr) {
    RaceClock clock;
    clock.started_utc = request.started_utc;
    clock.first_counter = rows.empty() ? 0 : rows.front().counter;
    clock.frequency = options.frequency;
    RaceAnalysis analysis = AnalyseRace(trace, explanation, clock);
    if (request.splits) WriteAnalysis(analysis, request.splits_out ? *request.splits_out : out);
    if (request.report != nullptr) {
      request.report->analysis = std::move(analysis);
      request.report->explanation = explanation;
      request.report->trace = recorder.TakeTrace();
    }
  }
  return results;
}

}  // namespace volantis::replay
