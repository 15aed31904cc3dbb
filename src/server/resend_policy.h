#pragma once
// When kept results are sent again without the pilot asking. The protocol
// names no race, so the server places results in the race it holds now: only
// the results of the race started last can still land in their own race, and
// only for a while after its finish, and never once the server has accepted a
// validation since (it has moved on to a new race for this pilot).
#include <cstdint>

#include "server/results_journal.h"

namespace volantis {

// How long after the finish results are still sent again automatically.
inline constexpr int64_t kResendWindowSeconds = 60 * 60;
// How often they are tried while the simulator runs.
inline constexpr uint32_t kResendIntervalMs = 60 * 1000;

// Whether kept's results go again now. newest: no race started after kept's.
// A clock that reads before the finish (set back since) is no clock to measure
// the window by: not sent. The finish is the UTC time the record says.
bool ResendsAutomatically(const StoredSubmission& kept, bool newest, int64_t now_utc);

}  // namespace volantis
