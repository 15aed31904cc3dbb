#include "race_analysis.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "platform/text_format.h"

namespace volantis::replay {
namespace {

// Days since 1970-01-01 of a date of the proleptic Gregorian calendar.
int64_t DaysFromCivil(int64_t y, int64_t m, int64_t d) {
  y -= m <= 2 ? 1 : 0;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

// The lap a sample belongs to: 0 before the start, a lap's number, or one past
// the last completed lap.
int32_t LapOfSample(const RaceTrace& trace, std::size_t sample) {
  if (!trace.start_crossing || sample <= trace.crossings[*trace.start_crossing].sample) return 0;
  for (const TracedLap& lap : trace.laps) {
    if (sample <= trace.crossings[lap.crossing].sample) return lap.number;
  }
  return static_cast<int32_t>(trace.laps.size()) + 1;
}

std::string BestSplitList(const RaceAnalysis& analysis, bool interpolated) {
  std::string text;
  for (std::size_t g = 0; g < analysis.gates; ++g) {
    const std::optional<int64_t> best = BestSplitMillis(analysis, g, interpolated);
    text += (g == 0 ? "" : " ") + (best ? MillisText(*best) : std::string("-"));
  }
  return text;
}

std::string LapSplitList(const LapAnalysis& lap, bool interpolated) {
  std::string text;
  for (std::size_t g = 0; g < lap.splits.size(); ++g) {
    text += g == 0 ? "" : " ";
    text += lap.splits[g] ? MillisText(SplitMillis(lap, g, interpolated)) : std::string("-");
  }
  return text;
}

std::string FlagList(const std::vector<FairnessFlag>& flags) {
  std::string text;
  for (FairnessFlag flag : flags) text += std::string(text.empty() ? "" : ", ") + FlagName(flag);
  return text;
}

}  // namespace

std::string MillisText(int64_t millis) {
  const int64_t whole = (millis < 0 ? -millis : millis);
  return FormatText("%s%lld.%03lld", millis < 0 ? "-" : "", static_cast<long long>(whole / 1000),
                    static_cast<long long>(whole % 1000));
}

int64_t SplitMillis(const LapAnalysis& lap, std::size_t gate, bool interpolated) {
  if (gate >= lap.splits.size() || !lap.splits[gate]) return 0;
  const double from = interpolated ? lap.split_starts[gate].interpolated : lap.split_starts[gate].sampled;
  const double length = interpolated ? lap.splits[gate]->interpolated : lap.splits[gate]->sampled;
  const double lap_time = interpolated ? lap.time.interpolated : lap.time.sampled;
  const double to = gate + 1 == lap.splits.size() ? lap_time : from + length;
  return std::llround(to * 1000) - std::llround(from * 1000);
}

std::optional<int64_t> BestSplitMillis(const RaceAnalysis& analysis, std::size_t gate, bool interpolated) {
  std::optional<int64_t> best;
  for (const LapAnalysis& lap : analysis.laps) {
    if (gate >= lap.splits.size() || !lap.splits[gate]) continue;
    const int64_t millis = SplitMillis(lap, gate, interpolated);
    if (!best || millis < *best) best = millis;
  }
  return best;
}

std::optional<int64_t> TheoreticalBestMillis(const RaceAnalysis& analysis, bool interpolated) {
  if (analysis.gates == 0) return std::nullopt;
  int64_t sum = 0;
  for (std::size_t g = 0; g < analysis.gates; ++g) {
    const std::optional<int64_t> best = BestSplitMillis(analysis, g, interpolated);
    if (!best) return std::nullopt;
    sum += *best;
  }
  return sum;
}

std::string UtcTimeOfDay(double utc_seconds) {
  const int64_t whole = static_cast<int64_t>(std::floor(utc_seconds));
  const int64_t in_day = ((whole % 86400) + 86400) % 86400;
  return FormatText("%02d:%02d:%02d", static_cast<int>(in_day / 3600), static_cast<int>(in_day / 60 % 60),
                    static_cast<int>(in_day % 60));
}

std::optional<int64_t> ParseUtcStamp(const std::string& text) {
  int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
  char zone[4] = {};
  int used = 0;
  if (std::sscanf(text.c_str(), "%4d-%2d-%2d %2d:%2d:%2d %3s%n", &y, &mo, &d, &h, &mi, &s, zone, &used) != 7 ||
      static_cast<std::size_t>(used) != text.size() || std::string(zone) != "UTC") {
    return std::nullopt;
  }
  if (mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || s > 60 || h < 0 || mi < 0 || s < 0) {
    return std::nullopt;
  }
  return DaysFromCivil(y, mo, d) * 86400 + h * 3600 + mi * 60 + s;
}

RaceAnalysis AnalyseRace(const RaceTrace& trace, const RaceExplanation& explanation, const RaceClock& clock) {
  RaceAnalysis analysis;
  const std::size_t n = trace.course.gates.size();
  analysis.gates = n;
  analysis.best_splits.assign(n, std::nullopt);
  analysis.finished = trace.finished;
  analysis.race_time = trace.race_time;
  analysis.race_time_interpolated = explanation.race_time_interpolated;
  if (n == 0 || !trace.start_crossing) return analysis;

  for (std::size_t i = 0; i < trace.laps.size(); ++i) {
    const TracedLap& traced = trace.laps[i];
    const std::size_t begin = i == 0 ? *trace.start_crossing : trace.laps[i - 1].crossing;
    LapAnalysis lap;
    lap.number = traced.number;
    lap.time.sampled = traced.seconds;
    lap.time.interpolated = i < explanation.laps.size() ? explanation.laps[i].interpolated : traced.seconds;
    lap.skips = traced.skips;
    lap.splits.assign(n, std::nullopt);
    lap.split_starts.assign(n, TimePair{});
    lap.start_counter = trace.samples[trace.crossings[begin].sample].counter;
    if (clock.started_utc) {
      lap.start_utc = static_cast<double>(*clock.started_utc) +
                      static_cast<double>(lap.start_counter - clock.first_counter) /
                          static_cast<double>(clock.frequency > 0 ? clock.frequency : 1);
    }
    for (std::size_t j = begin; j < traced.crossing; ++j) {
      const TracedCrossing& from = trace.crossings[j];
      const TracedCrossing& to = trace.crossings[j + 1];
      if (!to.skipped.empty() || static_cast<std::size_t>(to.gate) != (static_cast<std::size_t>(from.gate) + 1) % n) {
        continue;
      }
      TimePair split;
      split.sampled = explanation.crossings[j + 1].sampled - explanation.crossings[j].sampled;
      split.interpolated = explanation.crossings[j + 1].interpolated - explanation.crossings[j].interpolated;
      lap.splits[static_cast<std::size_t>(from.gate)] = split;
      lap.split_starts[static_cast<std::size_t>(from.gate)] =
          TimePair{explanation.crossings[j].sampled - explanation.crossings[begin].sampled,
                   explanation.crossings[j].interpolated - explanation.crossings[begin].interpolated};
    }
    analysis.laps.push_back(std::move(lap));
  }

  const int32_t unfinished = static_cast<int32_t>(trace.laps.size()) + 1;
  for (const TracedCrossing& c : trace.crossings) {
    if (c.lap == unfinished) analysis.unfinished_lap_skips += static_cast<int32_t>(c.skipped.size());
  }
  for (const TracedFlag& flag : trace.flags) {
    const int32_t lap = LapOfSample(trace, flag.sample);
    if (lap == 0) {
      analysis.flags_before_start.push_back(flag.flag);
    } else if (static_cast<std::size_t>(lap) > analysis.laps.size()) {
      analysis.flags_unfinished_lap.push_back(flag.flag);
    } else {
      analysis.laps[static_cast<std::size_t>(lap) - 1].flags.push_back(flag.flag);
    }
  }

  for (std::size_t i = 0; i < analysis.laps.size(); ++i) {
    const LapAnalysis& lap = analysis.laps[i];
    if (lap.skips == 0 && (!analysis.best_lap || lap.time.sampled < analysis.laps[*analysis.best_lap].time.sampled)) {
      analysis.best_lap = i;
    }
    for (std::size_t g = 0; g < n; ++g) {
      if (!lap.splits[g]) continue;
      std::optional<TimePair>& best = analysis.best_splits[g];
      if (!best) {
        best = lap.splits[g];
        continue;
      }
      best->sampled = std::min(best->sampled, lap.splits[g]->sampled);
      best->interpolated = std::min(best->interpolated, lap.splits[g]->interpolated);
    }
  }
  TimePair sum;
  bool complete = true;
  for (const std::optional<TimePair>& best : analysis.best_splits) {
    if (!best) {
      complete = false;
      break;
    }
    sum.sampled += best->sampled;
    sum.interpolated += best->interpolated;
  }
  if (complete) analysis.theoretical_best = sum;
  return analysis;
}

void WriteAnalysis(const RaceAnalysis& analysis, std::ostream& out) {
  if (analysis.laps.empty()) {
    out << "SPLITS no lap was completed, so there are no splits.\n";
  }
  if (!analysis.flags_before_start.empty()) {
    out << "SPLITS before the start: flags first set: " << FlagList(analysis.flags_before_start) << ".\n";
  }
  for (const LapAnalysis& lap : analysis.laps) {
    std::string line = FormatText("SPLITS Lap %d: %s s (interpolated %s s)", lap.number,
                                  SecondsText(lap.time.sampled).c_str(), SecondsText(lap.time.interpolated).c_str());
    if (lap.start_utc) line += ", started " + UtcTimeOfDay(*lap.start_utc) + " UTC";
    if (lap.skips > 0) line += FormatText(", SKIPPED %d gate%s", lap.skips, lap.skips == 1 ? "" : "s");
    if (!lap.flags.empty()) line += "; flags first set: " + FlagList(lap.flags);
    out << line << ".\n";
    out << FormatText("SPLITS Lap %d sampled: ", lap.number) << LapSplitList(lap, false) << '\n';
    out << FormatText("SPLITS Lap %d interpolated: ", lap.number) << LapSplitList(lap, true) << '\n';
  }
  if (!analysis.flags_unfinished_lap.empty()) {
    out << "SPLITS unfinished lap: flags first set: " << FlagList(analysis.flags_unfinished_lap) << ".\n";
  }
  if (analysis.laps.empty()) return;
  if (analysis.best_lap) {
    const LapAnalysis& best = analysis.laps[*analysis.best_lap];
    std::string line = FormatText("BEST lap: lap %d, %s s (interpolated %s s)", best.number,
                                  SecondsText(best.time.sampled).c_str(), SecondsText(best.time.interpolated).c_str());
    if (best.start_utc) line += ", started " + UtcTimeOfDay(*best.start_utc) + " UTC";
    out << line << ".\n";
  } else {
    out << "BEST lap: none, every lap skipped a gate.\n";
  }
  out << "BEST splits sampled: " << BestSplitList(analysis, false) << '\n';
  out << "BEST splits interpolated: " << BestSplitList(analysis, true) << '\n';
  const std::optional<int64_t> sampled = TheoreticalBestMillis(analysis, false);
  const std::optional<int64_t> interpolated = TheoreticalBestMillis(analysis, true);
  if (sampled && interpolated) {
    out << "BEST theoretical lap: " << MillisText(*sampled) << " s (interpolated " << MillisText(*interpolated)
        << " s).\n";
  } else {
    out << "BEST theoretical lap: none, a gate has no split in any lap.\n";
  }
}

}  // namespace volantis::replay
