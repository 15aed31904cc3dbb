#pragma once
// The judge: the speed check, the gate search, skipped gates, laps, the race time
// and the finish, for one new position sample. Runs on the monitor thread only.
#include <cstdint>

#include "race/race_services.h"
#include "race/race_state.h"

namespace volantis {

inline constexpr const char* kSoundGateCrossed = "WAVE_GATE_CROSSED_DING";
inline constexpr const char* kSoundGateSkipped = "WAVE_GATE_SKIPPED_CHORD";
inline constexpr const char* kSoundRaceFinished = "WAVE_RACE_FINISHED";

// state.prev_lat / prev_lon / prev_alt still hold the previous sample. Once the
// last lap is done (state.finished) nothing more is judged until the next reset;
// the finish posts Race Finished with the race's number as long parameter.
void GateCheck(RaceState& state, const RaceServices& services, double lat, double lon, double alt);

// "%dmin %.3fsec": whole minutes cut toward zero, then the seconds left.
std::string DurationText(double seconds);

// The counter and its rate as the judge reads them: a failed counter read is
// logged and counts as 0; a rate of 0 (or less) is taken as 1.
struct CounterReading {
  int64_t count = 0;
  int64_t frequency = 1;
};
CounterReading ReadCounter(Clock& clock, LogSink& log);

}  // namespace volantis
