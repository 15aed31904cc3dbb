// Whatever follows "Tarvex data: " goes through the unscrambling and the race
// start info loader; the loaded gates must be exactly the well-formed gate lines,
// and only when every one of them is a sound gate (finite, on the earth, its
// floor not above its ceiling) and there are no more gates or laps than a race
// has. Otherwise the answer is bad data and the definition stays as it was. The
// same holds for the bytes read directly, without unscrambling.
#include <climits>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "server/race_start_info.h"
#include "server/text_codec.h"

namespace {

using volantis::Gate;
using volantis::RaceStartInfoResult;

class DiscardingLog : public volantis::LogSink {
 protected:
  void Append(const std::string&) override {}
};

// The same text split by hand, independently of SplitString.
std::vector<std::string> Fields(const std::string& text, char separator) {
  std::vector<std::string> fields;
  std::string field;
  for (char ch : text) {
    if (ch == separator) {
      if (!field.empty()) fields.push_back(field);
      field.clear();
    } else {
      field += ch;
    }
  }
  if (!field.empty()) fields.push_back(field);
  return fields;
}

int32_t Whole(const std::string& text) {
  const long value = std::strtol(text.c_str(), nullptr, 10);
  return value > INT32_MAX ? INT32_MAX : value < INT32_MIN ? INT32_MIN : static_cast<int32_t>(value);
}

bool Sound(const Gate& gate) {
  for (double lat : {gate.left_lat, gate.right_lat}) {
    if (!std::isfinite(lat) || std::fabs(lat) > 90) return false;
  }
  for (double lon : {gate.left_lon, gate.right_lon}) {
    if (!std::isfinite(lon) || std::fabs(lon) > 180) return false;
  }
  return gate.min_alt == 0 || gate.max_alt == 0 || gate.min_alt <= gate.max_alt;
}

struct Expected {
  RaceStartInfoResult result = RaceStartInfoResult::kLoaded;
  std::vector<Gate> gates;
  std::optional<int32_t> laps;
};

Expected Model(const std::string& text) {
  Expected expected;
  const std::string prefix = "Race start info: ";
  const std::string info = text.compare(0, prefix.size(), prefix) == 0 ? text.substr(prefix.size()) : text;
  const std::vector<std::string> entries = Fields(info, ';');
  if (entries.empty()) {
    expected.result = RaceStartInfoResult::kNoEntries;
    return expected;
  }
  bool bad = false;
  for (const std::string& entry : entries) {
    if (entry.compare(0, 5, "laps=") == 0 && entry.size() > 5) {
      expected.laps = Whole(entry.substr(5));
      bad = bad || *expected.laps > volantis::kMaxRaceLaps;
    } else if (entry.compare(0, 10, "max_knots=") == 0) {
      continue;
    } else if (entry.compare(0, 5, "gate=") == 0 && entry.size() > 5) {
      const std::vector<std::string> values = Fields(entry.substr(5), ',');
      if (values.size() != 6) continue;
      Gate gate;
      gate.left_lat = std::strtod(values[0].c_str(), nullptr);
      gate.left_lon = std::strtod(values[1].c_str(), nullptr);
      gate.right_lat = std::strtod(values[2].c_str(), nullptr);
      gate.right_lon = std::strtod(values[3].c_str(), nullptr);
      gate.min_alt = Whole(values[4]);
      gate.max_alt = Whole(values[5]);
      bad = bad || !Sound(gate);
      expected.gates.push_back(gate);
    }
  }
  if (bad || expected.gates.size() > volantis::kMaxRaceGates) expected.result = RaceStartInfoResult::kBadData;
  return expected;
}

bool Same(double a, double b) { return a == b || (std::isnan(a) && std::isnan(b)); }

void CheckLoad(const std::string& text) {
  volantis::RaceDefinition definition;
  DiscardingLog log;
  const RaceStartInfoResult result = volantis::LoadRaceStartInfo(text, definition, log);
  // The lock is free again afterwards.
  if (definition.gates_lock.Wait(0) != volantis::WaitResult::kSignaled) std::abort();
  definition.gates_lock.Set();

  const Expected expected = Model(text);
  if (result != expected.result) std::abort();
  if (result != RaceStartInfoResult::kLoaded) {
    // Nothing of a refused answer is loaded.
    if (!definition.gates.empty() || definition.laps.load() != 0) std::abort();
    if (definition.max_speed.load() != 0.1388888888888889) std::abort();
    return;
  }
  if (definition.gates.size() != expected.gates.size()) std::abort();
  for (std::size_t i = 0; i < expected.gates.size(); ++i) {
    const Gate& got = *definition.gates[i];
    const Gate& want = expected.gates[i];
    if (!Same(got.left_lat, want.left_lat) || !Same(got.left_lon, want.left_lon) ||
        !Same(got.right_lat, want.right_lat) || !Same(got.right_lon, want.right_lon) ||
        got.min_alt != want.min_alt || got.max_alt != want.max_alt || !Sound(got)) {
      std::abort();
    }
  }
  if (definition.laps.load() != expected.laps.value_or(0)) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string scrambled(reinterpret_cast<const char*>(data), size);
  const std::string info = volantis::DecodeServerData(scrambled);
  // One byte is the key; everything else comes out, one byte for one byte.
  if (info.size() != (scrambled.size() < 2 ? 0 : scrambled.size() - 1)) std::abort();
  CheckLoad(info);
  CheckLoad(scrambled);
  return 0;
}
