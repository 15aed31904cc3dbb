#include "server/race_start_info.h"

#include <climits>
#include <cstdlib>
#include <vector>

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

// A gate line holds exactly six comma-separated values. SplitString with a
// maximum of six glues a seventh value onto the sixth ("500,900,1" would read
// as a ceiling of 9001 feet), so extra values are counted separately and such a
// line is skipped like one with too few.
bool ParseGate(const std::string& values_text, Gate& gate) {
  std::vector<std::string> values;
  if (SplitString(",", values_text, values, false, kGateValues) != kGateValues) return false;
  std::vector<std::string> all_values;
  if (SplitString(",", values_text, all_values, false, -1) != kGateValues) return false;
  gate.left_lat = std::atof(values[0].c_str());
  gate.left_lon = std::atof(values[1].c_str());
  gate.right_lat = std::atof(values[2].c_str());
  gate.right_lon = std::atof(values[3].c_str());
  gate.min_alt = ReadInt(values[4].c_str());
  gate.max_alt = ReadInt(values[5].c_str());
  return true;
}

}  // namespace

RaceStartInfoResult LoadRaceStartInfo(const std::string& text, RaceDefinition& definition, LogSink& log,
                                      uint32_t lock_timeout_ms) {
  std::string info = text;
  if (StartsWith(info, kInfoPrefix, sizeof(kInfoPrefix) - 1)) info.erase(0, sizeof(kInfoPrefix) - 1);

  std::vector<std::string> entries;
  if (SplitString(";", info, entries, false, -1) == 0) return RaceStartInfoResult::kNoEntries;

  GatesLockGuard guard(definition, lock_timeout_ms);
  if (!guard.acquired()) {
    // The monitor may be reading the gates: leave the definition as it is.
    log.Log(kLogNormal, "ERROR: Timed out waiting for gates lock in SendResults.\n");
    return RaceStartInfoResult::kLockTimeout;
  }

  definition.gates.clear();
  for (const std::string& entry : entries) {
    if (StartsWith(entry, kLapsKey, sizeof(kLapsKey) - 1)) {
      if (entry.size() <= sizeof(kLapsKey) - 1) continue;
      int32_t laps = ReadInt(entry.c_str() + sizeof(kLapsKey) - 1);
      definition.laps = laps;
      log.Log(kLogDetail, "Laps: %d\n", laps);
    } else if (StartsWith(entry, kMaxKnotsKey, sizeof(kMaxKnotsKey) - 1)) {
      if (entry.size() <= sizeof(kMaxKnotsKey) - 1) continue;
      int32_t knots = ReadInt(entry.c_str() + sizeof(kMaxKnotsKey) - 1);
      definition.max_speed = knots * kKnotsToNmPerSecond;
      log.Log(kLogDetail, "Max knots: %d\n", knots);
    } else if (StartsWith(entry, kGateKey, sizeof(kGateKey) - 1)) {
      if (entry.size() <= sizeof(kGateKey) - 1) continue;
      auto gate = std::make_unique<Gate>();
      if (!ParseGate(entry.substr(sizeof(kGateKey) - 1), *gate)) continue;
      definition.gates.push_back(std::move(gate));
      const Gate& added = *definition.gates.back();
      log.Log(kLogDetail, "Gate %d: %f, %f, %f, %f, %d, %d\n", static_cast<int>(definition.gates.size()),
              added.left_lat, added.left_lon, added.right_lat, added.right_lon, added.min_alt, added.max_alt);
    }
  }
  return RaceStartInfoResult::kLoaded;
}

}  // namespace volantis
