#pragma once
// Explains a replayed race in the judge's terms: every accepted crossing and lap
// with the crossing instant interpolated between its two samples beside the
// sampled instant the judge counted, the pilot's closest pass to every skipped
// gate with the condition that failed, and the first sample behind every
// fairness flag. An explanation only: the judged results are the trace's.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <ostream>
#include <vector>

#include "gate_pass.h"
#include "race_trace.h"

namespace volantis::replay {

struct CrossingExplanation {
  double sampled = 0;       // race-clock seconds of the sample at which the judge accepted it
  double interpolated = 0;  // race-clock seconds at which the stretch met the gate's line
  double fraction = 1;      // where on the stretch, 0 at the earlier sample
  bool placed = false;      // false when the meeting could not be placed (then interpolated = sampled)
};

struct LapExplanation {
  int32_t number = 0;
  std::size_t crossing = 0;  // the crossing that completed it
  double sampled = 0;        // seconds, as the judge recorded it
  double interpolated = 0;
  int32_t skips = 0;
};

struct SkipExplanation {
  int32_t gate = 0;
  int32_t lap = 0;           // the lap it counts in; 0 before the start
  std::size_t crossing = 0;  // the accepted crossing at which the judge counted it
  ClosestPass pass;
  double at = 0;  // race-clock seconds of the closest pass
};

struct FlagExplanation {
  TracedFlag flag;
  double at = 0;  // race-clock seconds of the sample
};

struct RaceExplanation {
  std::vector<CrossingExplanation> crossings;  // parallel to the trace's crossings
  std::vector<LapExplanation> laps;
  std::optional<double> race_time_interpolated;
  std::vector<SkipExplanation> skips;  // in the order the judge counted them
  std::vector<FlagExplanation> flags;
};

RaceExplanation ExplainRace(const RaceTrace& trace);

// "EXPLAIN ..." lines: the crossings, skips and laps in the order the judge
// logged them, then the flags.
void WriteExplanation(const RaceTrace& trace, const RaceExplanation& explanation, std::ostream& out);

// The conditions that failed, e.g. "outside the width", "outside the band and wrong direction".
std::string FailureText(const ClosestPass& pass);
// Where the pass was, e.g. "met its line 0.151 nm from its centre toward the left end, 0.001 nm beyond that end".
std::string PassPlaceText(const ClosestPass& pass);
// The two samples' altitudes against the gate's band, e.g. "altitude 2000 ft then 2000 ft, above the band 300-1500 ft".
std::string PassAltitudeText(const Gate& gate, const ClosestPass& pass);

// Seconds with three decimals, never "-0.000".
std::string SecondsText(double seconds);

}  // namespace volantis::replay
