#include "server/race_start_info.h"

#include <climits>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <vector>

#include "platform/text_format.h"
#include "server/text_codec.h"

namespace volantis {

namespace {

constexpr char kInfoPrefix[] = "Race start info: ";
constexpr char kLapsKey[] = "laps=";
constexpr char kMaxKnotsKey[] = "max_knots=";
constexpr char kGateKey[] = "gate=";
constexpr int32_t kGateValues = 6;

bool StartsWith(const std::string& text, const char* prefix, std::size_t prefix_length) {
  return text.compare(0, prefix_length, prefix) == 0;
}

// atoi as the server's numbers are read (leading blanks, a sign, the digits up
// to the first other character, 0 when there are none), except that a number
// beyond the int range is held at its end instead of being undefined.
int32_t ReadInt(const char* text) {
  long value = std::strtol(text, nullptr, 10);
  if (value > INT32_MAX) return INT32_MAX;
  if (value < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(value);
}

// atof as the server's reals are read, except that a value spelled as not a
// number or as infinite ("nan", "-inf", "Infinity", any case) reads as such on
// both halves: the Windows C library would read it as 0, a gate in the ocean
// off Africa instead of bad data.
double ReadReal(const char* text) {
  const char* at = text;
  while (*at == ' ' || (*at >= '\t' && *at <= '\r')) ++at;
  const bool negative = *at == '-';
  if (*at == '+' || *at == '-') ++at;
  auto spelled = [at](const char* word) {
    for (int i = 0; i < 3; ++i) {
      if (at[i] == '\0' || (at[i] | 0x20) != word[i]) return false;
    }
    return true;
  };
  if (spelled("nan")) return std::numeric_limits<double>::quiet_NaN();
  if (spelled("inf")) {
    const double infinity = std::numeric_limits<double>::infinity();
    return negative ? -infinity : infinity;
  }
  return std::atof(text);
}

// A gate line holds exactly six comma-separated values. SplitString with a
// maximum of six glues a seventh value onto the sixth ("500,900,1" would read
// as a ceiling of 9001 feet), so extra values are counted separately and such a
// line is skipped like one with too few.
bool ParseGate(const std::string& values_text, Gate& gate) {
  std::vector<std::string> values;
  if (SplitString(",", values_text, values, false, kGateValues) != kGateValues) return false;
  std::vector<std::string> all_values;
  if (SplitString(",", values_text, all_values, false, -1) != kGateValues) return false;
  gate.left_lat = ReadReal(values[0].c_str());
  gate.left_lon = ReadReal(values[1].c_str());
  gate.right_lat = ReadReal(values[2].c_str());
  gate.right_lon = ReadReal(values[3].c_str());
  gate.min_alt = ReadInt(values[4].c_str());
  gate.max_alt = ReadInt(values[5].c_str());
  return true;
}

std::string EndProblem(const char* end, double lat, double lon) {
  if (!std::isfinite(lat) || !std::isfinite(lon)) return FormatText("its %s end is not a number", end);
  if (std::fabs(lat) > 90) return FormatText("its %s latitude %f is beyond 90 degrees", end, lat);
  if (std::fabs(lon) > 180) return FormatText("its %s longitude %f is beyond 180 degrees", end, lon);
  return std::string();
}

// One entry as read, applied to the definition only once all are found sound.
struct Entry {
  enum class Kind { kLaps, kMaxKnots, kGate } kind;
  int32_t number = 0;
  Gate gate;
};

}  // namespace

std::string GateProblem(const Gate& gate) {
  std::string problem = EndProblem("left", gate.left_lat, gate.left_lon);
  if (problem.empty()) problem = EndProblem("right", gate.right_lat, gate.right_lon);
  // 0 is no floor and no ceiling: a band exists only when both limits are set
  // (a floor of 0 under a ceiling below sea level is no band at all).
  if (problem.empty() && gate.min_alt != 0 && gate.max_alt != 0 && gate.min_alt > gate.max_alt) {
    problem = FormatText("its floor %d is above its ceiling %d", gate.min_alt, gate.max_alt);
  }
  return problem;
}

RaceStartInfoResult LoadRaceStartInfo(const std::string& text, RaceDefinition& definition, LogSink& log,
                                      uint32_t lock_timeout_ms, std::string* problem) {
  std::string info = text;
  if (StartsWith(info, kInfoPrefix, sizeof(kInfoPrefix) - 1)) info.erase(0, sizeof(kInfoPrefix) - 1);

  std::vector<std::string> texts;
  if (SplitString(";", info, texts, false, -1) == 0) return RaceStartInfoResult::kNoEntries;

  auto bad = [problem](const std::string& why) {
    if (problem != nullptr) *problem = why;
    return RaceStartInfoResult::kBadData;
  };
  std::vector<Entry> entries;
  std::size_t gates = 0;
  for (const std::string& entry : texts) {
    Entry read{};
    if (StartsWith(entry, kLapsKey, sizeof(kLapsKey) - 1)) {
      if (entry.size() <= sizeof(kLapsKey) - 1) continue;
      read.kind = Entry::Kind::kLaps;
      read.number = ReadInt(entry.c_str() + sizeof(kLapsKey) - 1);
      if (read.number > kMaxRaceLaps) return bad(FormatText("%d laps are more than %d", read.number, kMaxRaceLaps));
    } else if (StartsWith(entry, kMaxKnotsKey, sizeof(kMaxKnotsKey) - 1)) {
      if (entry.size() <= sizeof(kMaxKnotsKey) - 1) continue;
      read.kind = Entry::Kind::kMaxKnots;
      read.number = ReadInt(entry.c_str() + sizeof(kMaxKnotsKey) - 1);
    } else if (StartsWith(entry, kGateKey, sizeof(kGateKey) - 1)) {
      if (entry.size() <= sizeof(kGateKey) - 1) continue;
      read.kind = Entry::Kind::kGate;
      if (!ParseGate(entry.substr(sizeof(kGateKey) - 1), read.gate)) continue;
      if (++gates > kMaxRaceGates) return bad(FormatText("more than %u gates", static_cast<unsigned>(kMaxRaceGates)));
      const std::string gate_problem = GateProblem(read.gate);
      if (!gate_problem.empty()) return bad(FormatText("gate %u: ", static_cast<unsigned>(gates)) + gate_problem);
    } else {
      continue;
    }
    entries.push_back(read);
  }

  GatesLockGuard guard(definition, lock_timeout_ms);
  if (!guard.acquired()) {
    // The monitor may be reading the gates: leave the definition as it is.
    log.Log(kLogNormal, "ERROR: Timed out waiting for gates lock in SendResults.\n");
    return RaceStartInfoResult::kLockTimeout;
  }
  definition.gates.clear();
  definition.course_text = text;
  for (const Entry& entry : entries) {
    switch (entry.kind) {
      case Entry::Kind::kLaps:
        definition.laps = entry.number;
        log.Log(kLogDetail, "Laps: %d\n", entry.number);
        break;
      case Entry::Kind::kMaxKnots:
        // 0 or less is no speed limit (the speed check then never fires).
        definition.max_speed = entry.number * kKnotsToNmPerSecond;
        log.Log(kLogDetail, "Max knots: %d\n", entry.number);
        break;
      case Entry::Kind::kGate: {
        definition.gates.push_back(std::make_unique<Gate>(entry.gate));
        const Gate& added = *definition.gates.back();
        log.Log(kLogDetail, "Gate %d: %f, %f, %f, %f, %d, %d\n", static_cast<int>(definition.gates.size()),
                added.left_lat, added.left_lon, added.right_lat, added.right_lon, added.min_alt, added.max_alt);
        break;
      }
    }
  }
  definition.course_serial.store(definition.course_serial.load() + 1);
  definition.course_without_race = definition.gates.empty() || definition.laps.load() <= 0;
  return RaceStartInfoResult::kLoaded;
}

}  // namespace volantis
