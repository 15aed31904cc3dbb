#pragma once
// Race start info as the server sends it after unscrambling: an optional
// "Race start info: ", then ";"-separated entries "laps=N", "max_knots=N" and
// "gate=left_lat,left_lon,right_lat,right_lon,min_alt,max_alt".
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/log_sink.h"
#include "core/race_definition.h"

namespace volantis {

// What a course may hold at most. More is not a race anyone flies: it is bad data.
inline constexpr int32_t kMaxRaceLaps = 100;
inline constexpr std::size_t kMaxRaceGates = 200;

enum class RaceStartInfoResult {
  kNoEntries,    // nothing to load: "Error: bad data from Tarvex."
  kBadData,      // a gate value not finite or out of its range, or too many laps or gates;
                 // the definition is unchanged: "Error: bad data from Tarvex."
  kLockTimeout,  // gates_lock not had within 10,000 ms; the definition is unchanged
  kLoaded,       // entries taken, a new course_serial, course_without_race set
};

// Replaces the gates (and laps / max_speed when present) under gates_lock, once
// every entry has been read and found sound, also while a race is flown: that
// race is judged no further (course_serial). Detail lines ("Laps: %d",
// "Max knots: %d", "Gate %d: ...") and the lock time-out line go to log. A gate
// line with more or fewer than six values is skipped. A gate is sound when its
// four ends are finite numbers, latitudes within +-90 and longitudes within
// +-180 degrees, and its floor is not above its ceiling when it has both (0 is
// neither floor nor ceiling).
// problem, when given, receives why the info is bad data. lock_timeout_ms is
// shortened only by tests.
RaceStartInfoResult LoadRaceStartInfo(const std::string& text, RaceDefinition& definition, LogSink& log,
                                      uint32_t lock_timeout_ms = kGatesLockTimeoutMs, std::string* problem = nullptr);

// Why a gate is not sound, or empty text when it is.
std::string GateProblem(const Gate& gate);

}  // namespace volantis
