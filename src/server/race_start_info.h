#pragma once
// Race start info as the server sends it after unscrambling: an optional
// "Race start info: ", then ";"-separated entries "laps=N", "max_knots=N" and
// "gate=left_lat,left_lon,right_lat,right_lon,min_alt,max_alt".
#include <string>

#include "race/race_definition.h"
#include "ui/log_sink.h"

namespace volantis {

enum class RaceStartInfoResult {
  kNoEntries,    // nothing to load: "Error: bad data from Tarvex."
  kLockTimeout,  // gates_lock not had within 10,000 ms; the definition is unchanged
  kLoaded,       // entries taken; the caller decides whether a race can start
};

// Replaces the gates (and laps / max_speed when present) under gates_lock.
// Detail lines ("Laps: %d", "Max knots: %d", "Gate %d: ...") and the lock
// time-out line go to log. A gate line with more or fewer than six values is
// skipped. lock_timeout_ms is shortened only by tests.
RaceStartInfoResult LoadRaceStartInfo(const std::string& text, RaceDefinition& definition, LogSink& log,
                                      uint32_t lock_timeout_ms = kGatesLockTimeoutMs);

}  // namespace volantis
