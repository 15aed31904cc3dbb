#pragma once
// Splits and bests of one judged race: the time between consecutive gates of
// every lap, from the sampled instants the judge counted and, beside them, the
// interpolated instants of the explanation; each lap's start on the UTC clock;
// the best lap, the best split of every gate and their sum (the theoretical
// best lap); and the lap in which each fairness flag was first set.
//
// Split k (gates counted from 1) is the time from the crossing of gate k to the
// next crossing in course order, so split N ends at the lap's end back at gate
// 1 and a lap's splits add up to its time. A split exists only when both of its
// crossings were accepted in that lap with no gate skipped between them. A lap
// with a skipped gate is marked and is not a candidate for the best lap (its
// own splits that exist still count toward the best splits).
#include <cstddef>
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "explain.h"
#include "race_trace.h"

namespace volantis::replay {

struct TimePair {
  double sampled = 0;       // seconds, from the instants the judge counted
  double interpolated = 0;  // seconds, from the interpolated instants
};

struct LapAnalysis {
  int32_t number = 0;
  TimePair time;                             // sampled: as the judge recorded it
  int32_t skips = 0;
  std::vector<std::optional<TimePair>> splits;  // one per gate
  std::vector<TimePair> split_starts;        // per gate: from the lap's start to the split's first crossing
  int64_t start_counter = 0;                 // the counter of the crossing that started it
  std::optional<double> start_utc;           // seconds since 1970 UTC, when the record's start time is known
  std::vector<FairnessFlag> flags;           // flags first set during it
};

// When the record started, to place counters on the UTC clock.
struct RaceClock {
  std::optional<int64_t> started_utc;  // seconds since 1970 UTC of the record's first row
  int64_t first_counter = 0;           // that row's counter
  int64_t frequency = 1;
};

struct RaceAnalysis {
  std::size_t gates = 0;
  std::vector<LapAnalysis> laps;  // the completed laps, in order
  std::optional<std::size_t> best_lap;  // index into laps: the fastest lap without a skip (sampled time)
  std::vector<std::optional<TimePair>> best_splits;  // one per gate
  std::optional<TimePair> theoretical_best;          // when every gate has a best split
  std::vector<FairnessFlag> flags_before_start;      // first set before timing started
  std::vector<FairnessFlag> flags_unfinished_lap;    // first set in the lap that was never completed
  int32_t unfinished_lap_skips = 0;                  // gates skipped in that lap
  bool finished = false;
  double race_time = 0;  // as the judge recorded it, when finished
  std::optional<double> race_time_interpolated;
};

RaceAnalysis AnalyseRace(const RaceTrace& trace, const RaceExplanation& explanation, const RaceClock& clock);

// A split in whole milliseconds, rounded so that the splits of a lap add up to
// its time rounded: each split is the rounded end minus the rounded start, both
// counted from the lap's start, the last one ending at the lap's time.
int64_t SplitMillis(const LapAnalysis& lap, std::size_t gate, bool interpolated);
// The best split of a gate as the laps show it (the least of their SplitMillis),
// and the theoretical best as the sum of those; nothing when a gate has no split.
std::optional<int64_t> BestSplitMillis(const RaceAnalysis& analysis, std::size_t gate, bool interpolated);
std::optional<int64_t> TheoreticalBestMillis(const RaceAnalysis& analysis, bool interpolated);
// "12.345" for a whole number of milliseconds.
std::string MillisText(int64_t millis);

// "16:42:03" for seconds since 1970 UTC (the fraction dropped).
std::string UtcTimeOfDay(double utc_seconds);
// Seconds since 1970 UTC of "YYYY-MM-DD HH:MM:SS UTC"; nothing for another text.
std::optional<int64_t> ParseUtcStamp(const std::string& text);

// "SPLITS ..." and "BEST ..." lines, after the usual output.
void WriteAnalysis(const RaceAnalysis& analysis, std::ostream& out);

}  // namespace volantis::replay
