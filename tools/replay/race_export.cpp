#include "race_export.h"

#include <cmath>

#include "platform/text_format.h"
#include "race_analysis.h"

namespace volantis::replay {
namespace {

std::string JsonString(const std::string& text) {
  std::string out = "\"";
  for (const char ch : text) {
    const unsigned char c = static_cast<unsigned char>(ch);
    switch (ch) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (c < 0x20) {
          out += FormatText("\\u%04x", static_cast<unsigned>(c));
        } else {
          out += ch;
        }
    }
  }
  return out + "\"";
}

std::string JsonOptionalString(const std::string& text) { return text.empty() ? "null" : JsonString(text); }

std::string FlagNames(const std::vector<FairnessFlag>& flags) {
  std::string text = "[";
  for (std::size_t i = 0; i < flags.size(); ++i) text += (i == 0 ? "" : ", ") + JsonString(FlagName(flags[i]));
  return text + "]";
}

std::string LapSplitsJson(const LapAnalysis& lap, bool interpolated) {
  std::string text = "[";
  for (std::size_t g = 0; g < lap.splits.size(); ++g) {
    text += g == 0 ? "" : ", ";
    text += lap.splits[g] ? MillisText(SplitMillis(lap, g, interpolated)) : std::string("null");
  }
  return text + "]";
}

std::string BestSplitsJson(const RaceAnalysis& analysis, bool interpolated) {
  std::string text = "[";
  for (std::size_t g = 0; g < analysis.gates; ++g) {
    const std::optional<int64_t> best = BestSplitMillis(analysis, g, interpolated);
    text += (g == 0 ? "" : ", ") + (best ? MillisText(*best) : std::string("null"));
  }
  return text + "]";
}

std::string OptionalMillis(const std::optional<int64_t>& millis) {
  return millis ? MillisText(*millis) : std::string("null");
}

// The lap a sample falls in: 0 before the start, else the lap's number (one past
// the last completed lap for the lap never completed).
int32_t LapAt(const RaceTrace& trace, std::size_t sample) {
  if (!trace.start_crossing || sample <= trace.crossings[*trace.start_crossing].sample) return 0;
  for (const TracedLap& lap : trace.laps) {
    if (sample <= trace.crossings[lap.crossing].sample) return lap.number;
  }
  return static_cast<int32_t>(trace.laps.size()) + 1;
}

// results.txt's fields as kept (the first line of each name) and its last status.
void WriteKeptResults(const RaceRecordFiles& record, std::ostream& out) {
  if (!record.results_recorded) {
    out << "null";
    return;
  }
  std::vector<std::pair<std::string, std::string>> fields;
  std::string status;
  std::size_t start = 0;
  const std::string& text = record.results_text;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    start = end + 1;
    const std::size_t equals = line.find('=');
    if (line.rfind("attempt ", 0) == 0 || equals == std::string::npos) continue;
    const std::string key = line.substr(0, equals);
    if (key == "status") {
      status = line.substr(equals + 1);
      continue;
    }
    bool seen = false;
    for (const auto& field : fields) seen = seen || field.first == key;
    if (!seen) fields.emplace_back(key, line.substr(equals + 1));
  }
  out << "{\"status\": " << JsonOptionalString(status) << ", \"fields\": {";
  for (std::size_t i = 0; i < fields.size(); ++i) {
    out << (i == 0 ? "" : ", ") << JsonString(fields[i].first) << ": " << JsonString(fields[i].second);
  }
  out << "}}";
}

}  // namespace

std::string CsvField(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (const char c : text) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
  return quoted + "\"";
}

std::string IsoStamp(const std::string& started) {
  const std::optional<int64_t> at = ParseUtcStamp(started);
  if (!at) return "";
  return started.substr(0, 10) + "T" + started.substr(11, 8) + "Z";
}

std::string FlagsText(const std::vector<FairnessFlag>& flags) {
  std::string text;
  for (const FairnessFlag flag : flags) text += std::string(text.empty() ? "" : ";") + FlagName(flag);
  return text;
}

std::string LapsCsvHeader(std::size_t gates) {
  std::string header = "pilot,race_start_utc,lap,lap_time,skips";
  for (std::size_t g = 1; g <= gates; ++g) header += ",split_" + std::to_string(g);
  return header + ",flags\n";
}

void WriteLapsCsvRows(const AnalysedRace& race, std::ostream& out) {
  const RaceAnalysis& analysis = race.report.analysis;
  const std::string head = CsvField(race.pilot) + "," + IsoStamp(race.started) + ",";
  for (std::size_t i = 0; i < analysis.laps.size(); ++i) {
    const LapAnalysis& lap = analysis.laps[i];
    std::vector<FairnessFlag> flags = lap.flags;
    if (i == 0) flags.insert(flags.begin(), analysis.flags_before_start.begin(), analysis.flags_before_start.end());
    out << head << lap.number << ',' << MillisText(std::llround(lap.time.sampled * 1000)) << ',' << lap.skips;
    for (std::size_t g = 0; g < lap.splits.size(); ++g) {
      out << ',';
      if (lap.splits[g]) out << MillisText(SplitMillis(lap, g, false));
    }
    out << ',' << FlagsText(flags) << '\n';
  }
  std::vector<FairnessFlag> left = analysis.flags_unfinished_lap;
  if (analysis.laps.empty()) left.insert(left.begin(), analysis.flags_before_start.begin(), analysis.flags_before_start.end());
  if (!left.empty()) {
    out << head << analysis.laps.size() + 1 << ",," << analysis.unfinished_lap_skips;
    for (std::size_t g = 0; g < analysis.gates; ++g) out << ',';
    out << ',' << FlagsText(left) << '\n';
  }
}

void WriteRaceJson(const AnalysedRace& race, std::ostream& out) {
  const RaceTrace& trace = race.report.trace;
  const RaceExplanation& explanation = race.report.explanation;
  const RaceAnalysis& analysis = race.report.analysis;
  const ReplayOptions& options = race.input.options;
  out << "{\n  \"race\": {\"name\": " << JsonString(race.name) << ", \"pilot\": " << JsonOptionalString(race.pilot)
      << ", \"started_utc\": " << JsonOptionalString(IsoStamp(race.started))
      << FormatText(", \"clock_offset\": %.17g, \"frequency\": %lld, \"sounds\": [%d, %d, %d]", options.clock_offset,
                    static_cast<long long>(options.frequency), options.sound_cross ? 1 : 0, options.sound_skip ? 1 : 0,
                    options.sound_end ? 1 : 0)
      << "},\n";
  out << FormatText("  \"course\": {\"laps\": %d, \"max_knots\": %.17g, \"gates\": [", trace.course.laps,
                    trace.course.max_speed * 3600);
  for (std::size_t g = 0; g < trace.course.gates.size(); ++g) {
    const Gate& gate = *trace.course.gates[g];
    out << (g == 0 ? "\n" : ",\n")
        << FormatText("    {\"gate\": %llu, \"left_lat\": %.17g, \"left_lon\": %.17g, \"right_lat\": %.17g, "
                      "\"right_lon\": %.17g, \"min_alt_ft\": %d, \"max_alt_ft\": %d}",
                      static_cast<unsigned long long>(g + 1), gate.left_lat, gate.left_lon, gate.right_lat, gate.right_lon, gate.min_alt, gate.max_alt);
  }
  out << "]},\n";
  out << "  \"finished\": " << (analysis.finished ? "true" : "false") << ",\n";
  out << "  \"race_time\": " << (analysis.finished ? SecondsText(analysis.race_time) : std::string("null")) << ",\n";
  out << "  \"race_time_interpolated\": "
      << (analysis.finished && analysis.race_time_interpolated ? SecondsText(*analysis.race_time_interpolated)
                                                                : std::string("null"))
      << ",\n";
  out << "  \"laps\": [";
  for (std::size_t i = 0; i < analysis.laps.size(); ++i) {
    const LapAnalysis& lap = analysis.laps[i];
    out << (i == 0 ? "\n" : ",\n") << "    {\"lap\": " << lap.number
        << ", \"time\": " << SecondsText(lap.time.sampled)
        << ", \"time_interpolated\": " << SecondsText(lap.time.interpolated) << ", \"skips\": " << lap.skips
        << ", \"start_utc\": " << (lap.start_utc ? JsonString(UtcTimeOfDay(*lap.start_utc)) : std::string("null"))
        << ", \"splits\": " << LapSplitsJson(lap, false)
        << ", \"splits_interpolated\": " << LapSplitsJson(lap, true) << ", \"flags\": " << FlagNames(lap.flags) << "}";
  }
  out << "],\n";
  if (analysis.best_lap) {
    const LapAnalysis& best = analysis.laps[*analysis.best_lap];
    out << "  \"best_lap\": {\"lap\": " << best.number << ", \"time\": " << SecondsText(best.time.sampled)
        << ", \"time_interpolated\": " << SecondsText(best.time.interpolated) << ", \"start_utc\": "
        << (best.start_utc ? JsonString(UtcTimeOfDay(*best.start_utc)) : std::string("null")) << "},\n";
  } else {
    out << "  \"best_lap\": null,\n";
  }
  out << "  \"best_splits\": " << BestSplitsJson(analysis, false) << ",\n";
  out << "  \"best_splits_interpolated\": " << BestSplitsJson(analysis, true) << ",\n";
  out << "  \"theoretical_best\": " << OptionalMillis(TheoreticalBestMillis(analysis, false)) << ",\n";
  out << "  \"theoretical_best_interpolated\": " << OptionalMillis(TheoreticalBestMillis(analysis, true)) << ",\n";
  out << "  \"crossings\": [";
  for (std::size_t i = 0; i < trace.crossings.size(); ++i) {
    const TracedCrossing& c = trace.crossings[i];
    std::string skipped = "[";
    for (std::size_t k = 0; k < c.skipped.size(); ++k) skipped += (k == 0 ? "" : ", ") + std::to_string(c.skipped[k] + 1);
    skipped += "]";
    out << (i == 0 ? "\n" : ",\n") << "    {\"gate\": " << c.gate + 1 << ", \"lap\": " << c.lap
        << ", \"line\": " << trace.samples[c.sample].line
        << ", \"sampled\": " << SecondsText(explanation.crossings[i].sampled)
        << ", \"interpolated\": " << SecondsText(explanation.crossings[i].interpolated)
        << ", \"skipped_before\": " << skipped << ", \"starts_timing\": " << (c.starts_timing ? "true" : "false")
        << ", \"completes_lap\": " << (c.completes_lap ? std::to_string(*c.completes_lap) : std::string("null"))
        << ", \"finishes\": " << (c.finishes ? "true" : "false") << "}";
  }
  out << "],\n";
  out << "  \"flags\": [";
  for (std::size_t i = 0; i < explanation.flags.size(); ++i) {
    const FlagExplanation& f = explanation.flags[i];
    out << (i == 0 ? "\n" : ",\n") << "    {\"flag\": " << JsonString(FlagName(f.flag.flag))
        << ", \"lap\": " << LapAt(trace, f.flag.sample) << ", \"line\": " << trace.samples[f.flag.sample].line
        << ", \"at\": " << SecondsText(f.at) << "}";
  }
  out << "],\n";
  out << "  \"results_replayed\": {";
  const std::vector<ResultField> fields = ResultFields(race.results);
  for (std::size_t i = 0; i < fields.size(); ++i) {
    out << (i == 0 ? "" : ", ") << JsonString(fields[i].name) << ": " << JsonString(fields[i].value);
  }
  out << "},\n  \"results_kept\": ";
  WriteKeptResults(race.input.record, out);
  out << "\n}\n";
}

}  // namespace volantis::replay
