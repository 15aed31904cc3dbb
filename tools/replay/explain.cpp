#include "explain.h"

#include <cmath>
#include <string>

#include "platform/text_format.h"
#include "race/gate_check.h"

namespace volantis::replay {
namespace {

constexpr double kSecondsPerHour = 3600;

// "line 123" for a row read from a CSV, else "row 124" counting from 1.
std::string SampleName(const RaceTrace& trace, std::size_t sample) {
  const TracedSample& s = trace.samples[sample];
  if (s.line > 0) return FormatText("line %llu", static_cast<unsigned long long>(s.line));
  return FormatText("row %llu", static_cast<unsigned long long>(s.row + 1));
}

std::string Between(const RaceTrace& trace, std::size_t sample) {
  if (sample == 0) return "at " + SampleName(trace, sample);
  const std::string earlier = SampleName(trace, sample - 1);
  const std::string later = SampleName(trace, sample);
  // "between lines 4 and 5"
  if (earlier.compare(0, 5, "line ") == 0 && later.compare(0, 5, "line ") == 0) {
    return "between lines " + earlier.substr(5) + " and " + later.substr(5);
  }
  return "between rows " + earlier.substr(4) + " and " + later.substr(4);
}

double AngleOff(double a, double b) {
  double d = std::fmod(std::fabs(a - b), 360.0);
  return d > 180 ? 360 - d : d;
}

std::string BandText(const Gate& gate) {
  if (gate.min_alt == 0 && gate.max_alt == 0) return "no band";
  if (gate.max_alt == 0) return FormatText("the floor %d ft", gate.min_alt);
  if (gate.min_alt == 0) return FormatText("the ceiling %d ft", gate.max_alt);
  return FormatText("the band %d-%d ft", gate.min_alt, gate.max_alt);
}

// "inside", "above" or "below" for the two altitudes of a pair, as the judge tests each.
const char* BandVerdict(const Gate& gate, double before, double after) {
  auto above = [&](double alt) { return gate.max_alt != 0 && alt > static_cast<double>(gate.max_alt); };
  auto below = [&](double alt) { return gate.min_alt != 0 && alt < static_cast<double>(gate.min_alt); };
  if (above(before) || above(after)) return "above";
  if (below(before) || below(after)) return "below";
  return "inside";
}

// " toward the left end", or nothing for an offset that shows as 0.000.
std::string Toward(double offset) {
  if (std::fabs(offset) < 0.0005) return "";
  return offset >= 0 ? " toward the left end" : " toward the right end";
}

std::string SkipLine(const RaceTrace& trace, const SkipExplanation& skip) {
  const Gate& gate = *trace.course.gates[static_cast<std::size_t>(skip.gate)];
  const ClosestPass& pass = skip.pass;
  const std::string lap = skip.lap == 0 ? std::string("before the start") : FormatText("lap %d", skip.lap);
  return FormatText("EXPLAIN Gate %d SKIPPED (%s): closest pass at %s s, %s: ", skip.gate + 1, lap.c_str(),
                    SecondsText(skip.at).c_str(), Between(trace, pass.sample).c_str()) +
         PassPlaceText(pass) + "; " + PassAltitudeText(gate, pass) +
         FormatText("; track %.0f deg against the gate's %.0f deg (%.0f deg off); failed: ", pass.track,
                    pass.gate_direction, AngleOff(pass.track, pass.gate_direction)) +
         FailureText(pass) + ".\n";
}

std::string FlagLine(const RaceTrace& trace, const FlagExplanation& f) {
  const TracedFlag& flag = f.flag;
  std::string value;
  switch (flag.flag) {
    case FairnessFlag::kMovedTooFast:
      value = FormatText("%.1f kts over the last %.6f s (%.4f nm), limit %.1f kts", flag.speed * kSecondsPerHour,
                         flag.window, flag.distance, trace.course.max_speed * kSecondsPerHour);
      break;
    case FairnessFlag::kCheatedSimRate:
      value = FormatText("simulation rate %g (raw %d), not 1", static_cast<double>(flag.rate_raw) * 0.00390625,
                         static_cast<int>(flag.rate_raw));
      break;
    case FairnessFlag::kCheatedCrashDetect:
      value = FormatText("crash detection %d (off), not 1", static_cast<int>(flag.crash));
      break;
    case FairnessFlag::kSlewed:
      value = FormatText("slew %u (slewing)", static_cast<unsigned>(flag.slew));
      break;
  }
  return FormatText("EXPLAIN Flag %s: first set at %s (%s s): ", FlagName(flag.flag),
                    SampleName(trace, flag.sample).c_str(), SecondsText(f.at).c_str()) +
         value + ".\n";
}

}  // namespace

std::string PassAltitudeText(const Gate& gate, const ClosestPass& pass) {
  std::string text = FormatText("altitude %.0f ft then %.0f ft, ", pass.alt_before, pass.alt_after);
  if (gate.min_alt == 0 && gate.max_alt == 0) return text + "no band";
  return text + BandVerdict(gate, pass.alt_before, pass.alt_after) + " " + BandText(gate);
}

std::string PassPlaceText(const ClosestPass& pass) {
  if (pass.never_near) {
    return FormatText("never near: closest approach %.3f nm from its centre (%.3f nm along it%s, %.3f nm %s its line)",
                      pass.distance, std::fabs(pass.offset), Toward(pass.offset).c_str(), std::fabs(pass.across),
                      pass.across >= 0 ? "beyond" : "before");
  }
  std::string text =
      FormatText("met its line %.3f nm from its centre%s", std::fabs(pass.offset), Toward(pass.offset).c_str());
  const double beyond = std::fabs(pass.offset) - pass.half_width;
  if (beyond > 0) {
    text += FormatText(", %.3f nm beyond that end", beyond);
  } else {
    text += FormatText(", within the width (%.3f nm inside the nearer end)", -beyond);
  }
  return text;
}

std::string FailureText(const ClosestPass& pass) {
  if (pass.never_near) return "never near";
  std::vector<std::string> failed;
  if (pass.outside_width) failed.push_back("outside the width");
  if (pass.outside_band) failed.push_back("outside the band");
  if (pass.wrong_direction) failed.push_back("wrong direction");
  if (failed.empty()) {
    if (pass.hidden_by >= 0) return FormatText("none, but the same samples passed gate %d, which the judge tests first",
                                               pass.hidden_by + 1);
    return "none";
  }
  std::string text = failed[0];
  for (std::size_t i = 1; i < failed.size(); ++i) text += (i + 1 == failed.size() ? " and " : ", ") + failed[i];
  return text;
}

RaceExplanation ExplainRace(const RaceTrace& trace) {
  RaceExplanation explanation;
  for (const TracedCrossing& crossing : trace.crossings) {
    CrossingExplanation c;
    const double sampled_counter = static_cast<double>(trace.samples[crossing.sample].counter);
    c.sampled = trace.RaceSeconds(sampled_counter);
    c.interpolated = c.sampled;
    if (const auto meeting = CrossingAt(trace, crossing.gate, crossing.sample)) {
      c.placed = true;
      c.fraction = meeting->fraction;
      c.interpolated = trace.RaceSeconds(CounterBetween(trace, crossing.sample, meeting->fraction));
    }
    explanation.crossings.push_back(c);

    for (int32_t gate : crossing.skipped) {
      SkipExplanation skip;
      skip.gate = gate;
      skip.lap = crossing.lap;
      skip.crossing = explanation.crossings.size() - 1;
      skip.pass = FindClosestPass(trace, gate, crossing.window_begin, crossing.sample);
      skip.at = trace.RaceSeconds(CounterBetween(trace, skip.pass.sample, skip.pass.fraction));
      explanation.skips.push_back(skip);
    }
  }

  // A lap runs from the previous lap boundary (the start first) to the crossing that completed it.
  std::optional<std::size_t> boundary = trace.start_crossing;
  for (const TracedLap& lap : trace.laps) {
    LapExplanation l;
    l.number = lap.number;
    l.crossing = lap.crossing;
    l.sampled = lap.seconds;
    l.skips = lap.skips;
    const double end = explanation.crossings[lap.crossing].interpolated;
    const double begin = boundary ? explanation.crossings[*boundary].interpolated : 0;
    l.interpolated = end - begin;
    explanation.laps.push_back(l);
    boundary = lap.crossing;
  }
  if (trace.finished && trace.start_crossing && !trace.laps.empty()) {
    explanation.race_time_interpolated = explanation.crossings[trace.laps.back().crossing].interpolated -
                                         explanation.crossings[*trace.start_crossing].interpolated;
  }

  for (const TracedFlag& flag : trace.flags) {
    explanation.flags.push_back(
        FlagExplanation{flag, trace.RaceSeconds(static_cast<double>(trace.samples[flag.sample].counter))});
  }
  return explanation;
}

void WriteExplanation(const RaceTrace& trace, const RaceExplanation& explanation, std::ostream& out) {
  if (trace.start_crossing) {
    out << "EXPLAIN Race clock: seconds from the sample that started the timing, "
        << SampleName(trace, trace.crossings[*trace.start_crossing].sample) << ".\n";
  } else {
    out << "EXPLAIN The timing never started: no crossing of the start gate was accepted.\n";
    if (!trace.samples.empty()) {
      out << "EXPLAIN Race clock: seconds from the first sample, " << SampleName(trace, 0) << ".\n";
    }
  }

  std::size_t next_skip = 0;
  std::size_t next_lap = 0;
  for (std::size_t i = 0; i < trace.crossings.size(); ++i) {
    const TracedCrossing& crossing = trace.crossings[i];
    const CrossingExplanation& c = explanation.crossings[i];
    while (next_skip < explanation.skips.size() && explanation.skips[next_skip].crossing == i) {
      out << SkipLine(trace, explanation.skips[next_skip++]);
    }
    out << FormatText("EXPLAIN Gate %d crossed at %s: sampled %s s, interpolated %s s%s.\n", crossing.gate + 1,
                      SampleName(trace, crossing.sample).c_str(), SecondsText(c.sampled).c_str(),
                      SecondsText(c.interpolated).c_str(),
                      c.placed ? "" : " (the meeting with its line could not be placed)");
    while (next_lap < explanation.laps.size() && explanation.laps[next_lap].crossing == i) {
      const LapExplanation& lap = explanation.laps[next_lap++];
      out << FormatText("EXPLAIN Lap %d: sampled %s, interpolated %s.\n", lap.number, DurationText(lap.sampled).c_str(),
                        DurationText(lap.interpolated).c_str());
    }
    if (crossing.finishes && explanation.race_time_interpolated) {
      out << FormatText("EXPLAIN Race time: sampled %s, interpolated %s.\n", DurationText(trace.race_time).c_str(),
                        DurationText(*explanation.race_time_interpolated).c_str());
    }
  }
  if (explanation.skips.empty()) out << "EXPLAIN No gate skipped.\n";
  if (!trace.finished) {
    out << FormatText("EXPLAIN The track ends before the finish: %d of %d laps done.\n",
                      static_cast<int>(trace.laps.size()), trace.course.laps);
  }

  for (const FlagExplanation& flag : explanation.flags) out << FlagLine(trace, flag);
  if (explanation.flags.empty()) out << "EXPLAIN No fairness flag set.\n";
}

std::string SecondsText(double seconds) {
  const double shown = std::round(seconds * 1000) / 1000;
  return FormatText("%.3f", shown == 0 ? 0.0 : shown);  // never "-0.000"
}

}  // namespace volantis::replay
