#include "replay_report.h"

#include "explain.h"
#include "race_map.h"
#include "race_trace.h"

namespace volantis::replay {

namespace {

// Remembers the first row's counter, where the record's start time stands.
class FirstCounter : public RowSource {
 public:
  explicit FirstCounter(RowSource& rows) : rows_(rows) {}
  bool Next(TrackRow& row) override {
    if (!rows_.Next(row)) return false;
    if (!first_) first_ = row.counter;
    return true;
  }
  int64_t first() const { return first_.value_or(0); }

 private:
  RowSource& rows_;
  std::optional<int64_t> first_;
};

}  // namespace

RaceResults ReplayWithReport(AppSettings& settings, const ReplayOptions& options, RowSource& source,
                             const ReportRequest& request, std::ostream& out, std::string& map_svg) {
  FirstCounter rows(source);
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
    clock.first_counter = rows.first();
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
