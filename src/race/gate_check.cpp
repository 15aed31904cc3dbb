#include "race/gate_check.h"

#include "host/command_ids.h"
#include "platform/text_format.h"
#include "race/distance_bearing.h"
#include "race/gate_crossing.h"

namespace volantis {
namespace {

constexpr double kMinutesPerSecond = 0.016666666666666666;
constexpr double kSecondsPerHour = 3600;
constexpr double kSpeedWindowSeconds = 1.0;

const char* Plural(int32_t count) { return count == 1 ? "" : "s"; }

// Step 1: the speed limit, checked across a window of more than one second.
void CheckSpeed(RaceState& state, const RaceServices& services, double lat, double lon) {
  if (!state.race_running || state.moved_too_fast) return;
  const CounterReading reading = ReadCounter(services.clock, *state.log);
  const double now = static_cast<double>(reading.count) / static_cast<double>(reading.frequency);
  if (state.speed_ref_time == 0) {
    state.speed_ref_lat = lat;
    state.speed_ref_lon = lon;
    state.speed_ref_time = now;
    return;
  }
  const double dt = now - state.speed_ref_time;
  if (!(dt > kSpeedWindowSeconds)) return;  // the reference stays
  const double distance = DistanceBearing(state.speed_ref_lat, state.speed_ref_lon, lat, lon).distance;
  const double speed = distance / dt;
  // A limit of 0 or less (max_knots=0 from the server) is no limit at all.
  const double limit = services.settings.race_definition.max_speed.load();
  if (limit > 0 && speed > limit) {
    state.moved_too_fast = true;
    state.log->Log(kLogDetail, "Speed too fast: %f kts, %f nm, %f sec\n", speed * kSecondsPerHour, distance, dt);
  }
  state.speed_ref_lat = lat;
  state.speed_ref_lon = lon;
  state.speed_ref_time = now;
}

// Steps 3 to 8, with gates_lock held.
void JudgeCrossing(RaceState& state, const RaceServices& services, const std::vector<std::unique_ptr<Gate>>& gates,
                   const Sample& sample) {
  const Sample previous{state.prev_lat, state.prev_lon, state.prev_alt};
  const int32_t idx = state.crossing_judge.Find(gates, previous, sample);
  if (idx == -1) return;

  const int32_t n = static_cast<int32_t>(gates.size());
  const int32_t last = state.last_gate;
  // Before the start, one of the last three gates that is not also one of the
  // first three cannot start the race.
  if (last == -1 && idx > 2 && idx >= n - 3) return;
  if (idx == last) return;

  const AppSettings& settings = services.settings;
  bool chord_played = false;
  bool finish_played = false;
  bool start_gate_skipped = false;
  auto skip = [&](int32_t j) {
    ++state.lap_skip_count;
    ++state.total_skip_count;
    if (settings.sound_skip && !chord_played) {
      services.sounds.Play(kSoundGateSkipped);
      chord_played = true;
    }
    state.log->Log(kLogNormal, "Gate %d SKIPPED.\n", j + 1);
    if (j == 0) start_gate_skipped = true;
  };
  const bool in_order = idx == last + 1 || (last == n - 1 && idx == 0);
  if (!in_order) {
    if (idx > last + 1) {
      for (int32_t j = last + 1; j < idx; ++j) skip(j);
    } else {  // the course has wrapped
      for (int32_t j = last + 1; j < n; ++j) skip(j);
      for (int32_t j = 0; j < idx; ++j) skip(j);
    }
  }

  state.log->Log(kLogNormal, "Gate %d crossed.\n", idx + 1);
  state.last_gate = idx;
  services.settings.race_definition.race_under_way = true;  // under gates_lock

  if (idx == 0 || start_gate_skipped) {
    const CounterReading reading = ReadCounter(services.clock, *state.log);
    const double frequency = static_cast<double>(reading.frequency);
    if (last == -1) {
      state.lap_start_count = reading.count;
      state.race_start_count = reading.count;
      state.race_running = true;
    } else {
      ++state.laps_done;
      const double lap = static_cast<double>(reading.count - state.lap_start_count) / frequency;
      state.lap_times.push_back(lap);
      state.lap_skips.push_back(state.lap_skip_count);
      const std::string skip_text =
          state.lap_skip_count == 0
              ? std::string()
              : FormatText(" (skipped %d gate%s)", state.lap_skip_count, Plural(state.lap_skip_count));
      state.log->Log(kLogNormal, "Lap %d: %s%s.\n", state.laps_done, DurationText(lap).c_str(), skip_text.c_str());
      if (state.laps_done >= settings.race_definition.laps.load()) {
        state.race_time = static_cast<double>(reading.count - state.race_start_count) / frequency;
        // The offset the race started with: the one its record holds.
        state.finish_secs = static_cast<double>(reading.count) / frequency - state.clock_offset;
        state.race_running = false;
        state.finished = true;  // judging ends here
        const std::string total_text =
            state.total_skip_count == 0
                ? std::string()
                : FormatText(" (skipped %d gate%s total)", state.total_skip_count, Plural(state.total_skip_count));
        state.log->Log(kLogNormal, "Race time: %s%s.\n", DurationText(state.race_time).c_str(), total_text.c_str());
        if (settings.sound_end && !chord_played) {
          services.sounds.Play(kSoundRaceFinished);
          finish_played = true;
        }
        // The finished race is noted before the command goes out, so the
        // command's handler acts for this race only: not for a newer race
        // started first, nor for a Race Finished that came from elsewhere.
        // The results are handed to the record first: a quit before the
        // command is handled keeps them all the same.
        if (services.recorder != nullptr) services.recorder->KeepResults(state.Results());
        state.finished_serial.store(state.race_serial.load());
        services.poster.PostCommand(kCmdRaceFinished);
      }
    }
    state.lap_start_count = reading.count;
    state.lap_skip_count = 0;
  }

  if (settings.sound_cross && !chord_played && !finish_played) services.sounds.Play(kSoundGateCrossed);
}

}  // namespace

CounterReading ReadCounter(Clock& clock, LogSink& log) {
  CounterReading reading;
  if (!clock.QueryCounter(reading.count)) {
    log.Log(kLogNormal, "ERROR: QueryPerformanceCounter not supported on this hardware.\n");
    reading.count = 0;
  }
  reading.frequency = clock.QueryFrequency();
  if (reading.frequency <= 0) reading.frequency = 1;
  return reading;
}

std::string DurationText(double seconds) {
  const int minutes = static_cast<int>(seconds * kMinutesPerSecond);  // cut toward zero
  return FormatText("%dmin %.3fsec", minutes, seconds - 60 * minutes);
}

void GateCheck(RaceState& state, const RaceServices& services, double lat, double lon, double alt) {
  // A finished race is over: another pass of the start gate is no further lap.
  if (state.finished) return;
  RaceDefinition& definition = services.settings.race_definition;
  // A race whose course was replaced is judged no further: its laps, gates
  // and speed limit are gone, and the Start Race that follows stops it.
  if (definition.course_serial.load() != state.course_serial) return;
  CheckSpeed(state, services, lat, lon);

  GatesLockGuard guard(definition, services.gates_lock_timeout_ms);
  if (!guard.acquired()) {
    state.log->Log(kLogNormal, "ERROR: Timed out waiting for gates lock in GateCheck.\n");
    return;
  }
  // Seen again under the lock the loader replaces the course under.
  if (definition.course_serial.load() != state.course_serial) return;
  JudgeCrossing(state, services, definition.gates, Sample{lat, lon, alt});
}

}  // namespace volantis
