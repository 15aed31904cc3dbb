#include "race/race_monitor.h"

#include "host/host_values.h"
#include "race/gate_check.h"
#include "race/race_log_source.h"

namespace volantis {

namespace {

RaceServices WithClock(const RaceServices& services, Clock& clock) {
  RaceServices with{services.settings, clock, services.sounds, services.poster, services.gates_lock_timeout_ms,
                    services.start_thread, services.recorder};
  return with;
}

}  // namespace

RaceMonitor::RaceMonitor(RaceState& state, RaceServices services, HostMemory& memory)
    : state_(state),
      services_(services),
      cycle_clock_(services_.clock),
      judge_services_(WithClock(services_, cycle_clock_)),
      memory_(memory) {}

RaceMonitor::~RaceMonitor() {
  if (!IsMonitorRunning()) return;
  state_.stop_event.Set();
  state_.done_event.WaitServingSentMessages(kStopWaitMs);
}

bool RaceMonitor::IsMonitorRunning() { return state_.done_event.Wait(0) != WaitResult::kSignaled; }

bool RaceMonitor::SamplingAllowed() {
  if (state_.sampling_paused.load()) return false;
  const uint32_t since_command = services_.clock.TickCount() - state_.command_tick.load();
  return since_command >= kCommandQuietMs;
}

void RaceMonitor::StartRace() {
  // The course loaded last has no race to fly: the race it replaced has been
  // stopped before this, and nothing starts.
  if (services_.settings.race_definition.course_without_race) return;
  // A monitor that outlived an earlier stop would share the race state with the
  // new one: stop it once more, and start nothing while it still runs.
  if (IsMonitorRunning()) {
    state_.stop_event.Set();
    state_.done_event.WaitServingSentMessages(kStopWaitMs);
    if (IsMonitorRunning()) {
      state_.log->Log(kLogNormal, "Error: the previous race monitor has not ended; no new race started.\n");
      return;
    }
  }
  state_.race_serial = NextRaceSerial(state_.race_serial.load());
  state_.Reset();
  state_.BeginOn(services_.settings.race_definition);
  BeginRecord();
  services_.settings.race_definition.race_under_way = false;
  state_.stop_event.Reset();
  // done_event is reset here rather than by the thread, so a stop that comes
  // before the thread has run still waits for it.
  state_.done_event.Reset();
  if (!services_.start_thread([this] { MonitorThread(); })) {
    state_.done_event.Set();
    state_.log->Log(kLogNormal, "Error creating monitor thread.\n");
    return;
  }
  state_.log->Log(kLogNormal, "Race started.\n");
}

void RaceMonitor::StopRace() {
  state_.stop_event.Set();
  // Serving sent messages lets a monitor blocked in a window update finish, so
  // the stop ends as soon as the monitor has, not after the full bound.
  state_.done_event.WaitServingSentMessages(kStopWaitMs);
  services_.settings.race_definition.race_under_way = false;
  state_.log->BlankPosition();
  state_.log->Log(kLogNormal, "Race stopped.\n");
}

void RaceMonitor::BeginRecord() {
  state_.record_name.clear();
  last_sample_ = TrackSample{};
  if (services_.recorder == nullptr) return;
  RaceRecordFacts facts;
  const AppSettings& settings = services_.settings;
  facts.server_ip = settings.server_ip;
  facts.server_port = settings.server_port;
  facts.player_name = settings.player_name;
  facts.clock_offset = state_.clock_offset;
  facts.frequency = services_.clock.QueryFrequency();
  facts.version = settings.version;
  facts.sound_cross = settings.sound_cross;
  facts.sound_skip = settings.sound_skip;
  facts.sound_end = settings.sound_end;
  facts.best_round_trip = settings.race_definition.best_round_trip.load();
  {
    GatesLockGuard guard(services_.settings.race_definition, services_.gates_lock_timeout_ms);
    if (guard.acquired()) facts.course_text = services_.settings.race_definition.course_text;
  }
  state_.record_name = services_.recorder->BeginRace(facts);
}

void RaceMonitor::Record(bool paused) {
  if (services_.recorder == nullptr) return;
  last_sample_.paused = paused;
  last_sample_.counter = cycle_clock_.count();
  services_.recorder->RecordCycle(last_sample_);
}

void RaceMonitor::MonitorThread() {
  // What this monitor and its judge log belongs to its own race's record.
  const ScopedRaceLogSource source(state_.record_name);
  memory_attached_ = memory_.Attach();
  attach_reported_ = false;
  if (services_.recorder != nullptr) services_.recorder->BeginTrack();
  while (state_.stop_event.Wait(kMonitorPeriodMs) == WaitResult::kTimeout) {
    MonitorCycle();
  }
  if (services_.recorder != nullptr) services_.recorder->EndTrack();
  state_.done_event.Set();  // the last touch of anything shared
}

void RaceMonitor::MonitorCycle() {
  cycle_clock_.BeginCycle();
  if (!SamplingAllowed()) {
    Record(true);
    return;
  }
  if (!memory_attached_) {
    memory_attached_ = memory_.Attach();
    if (!memory_attached_) {
      if (!attach_reported_) {
        state_.log->Log(kLogNormal, "ERROR: global.dll is not loaded; no position can be read.\n");
        attach_reported_ = true;
      }
      Record(true);
      return;
    }
  }

  TrackSample& raw = last_sample_;
  static_assert(ReadsAs<int64_t>(kHostLatitude) && ReadsAs<int64_t>(kHostLongitude) && ReadsAs<int64_t>(kHostAltitude),
                "the position is three signed 64-bit values");
  static_assert(ReadsAs<int8_t>(kHostCrashDetection) && ReadsAs<uint16_t>(kHostSlew) &&
                    ReadsAs<int16_t>(kHostSimulationRate),
                "the monitor reads each value at its width");
  raw.lat_raw = memory_.ReadInt64(kOffsetLatitude);
  raw.crash = memory_.ReadInt8(kOffsetCrashDetection);
  raw.slew = memory_.ReadUInt16(kOffsetSlew);
  raw.lon_raw = memory_.ReadInt64(kOffsetLongitude);
  raw.alt_raw = memory_.ReadInt64(kOffsetAltitude);
  raw.rate_raw = memory_.ReadInt16(kOffsetSimulationRate);
  const double lat = LatitudeDegrees(raw.lat_raw);
  const double lon = LongitudeDegrees(raw.lon_raw);
  const double alt = AltitudeFeet(raw.alt_raw);
  Record(false);

  if (state_.race_running) {
    if (SimulationRate(raw.rate_raw) != 1.0) state_.cheated_sim_rate = true;
    if (raw.crash != 1) state_.cheated_crash_detect = true;
    if (raw.slew == 1) state_.slewed = true;
  }

  if (state_.first_sample) {
    state_.first_sample = false;
  } else if (lat != state_.prev_lat || lon != state_.prev_lon || alt != state_.prev_alt) {
    GateCheck(state_, judge_services_, lat, lon, alt);
  }

  state_.log->ShowPosition(lat, lon, alt);
  state_.prev_lat = lat;
  state_.prev_lon = lon;
  state_.prev_alt = alt;
}

}  // namespace volantis
