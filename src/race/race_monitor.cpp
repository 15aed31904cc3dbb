#include "race/race_monitor.h"

#include "host/host_values.h"
#include "race/gate_check.h"

namespace volantis {

RaceMonitor::RaceMonitor(RaceState& state, RaceServices services, HostMemory& memory)
    : state_(state), services_(services), memory_(memory) {}

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

void RaceMonitor::MonitorThread() {
  memory_attached_ = memory_.Attach();
  attach_reported_ = false;
  while (state_.stop_event.Wait(kMonitorPeriodMs) == WaitResult::kTimeout) {
    MonitorCycle();
  }
  state_.done_event.Set();  // the last touch of anything shared
}

void RaceMonitor::MonitorCycle() {
  if (!SamplingAllowed()) return;
  if (!memory_attached_) {
    memory_attached_ = memory_.Attach();
    if (!memory_attached_) {
      if (!attach_reported_) {
        state_.log->Log(kLogNormal, "ERROR: global.dll is not loaded; no position can be read.\n");
        attach_reported_ = true;
      }
      return;
    }
  }

  const double lat = LatitudeDegrees(memory_.ReadInt64(kOffsetLatitude));
  const int8_t crash_detection = memory_.ReadInt8(kOffsetCrashDetection);
  const uint16_t slew = memory_.ReadUInt16(kOffsetSlew);
  const double lon = LongitudeDegrees(memory_.ReadInt64(kOffsetLongitude));
  const double alt = AltitudeFeet(memory_.ReadInt64(kOffsetAltitude));

  if (state_.race_running) {
    if (SimulationRate(memory_.ReadInt16(kOffsetSimulationRate)) != 1.0) state_.cheated_sim_rate = true;
    if (crash_detection != 1) state_.cheated_crash_detect = true;
    if (slew == 1) state_.slewed = true;
  }

  if (state_.first_sample) {
    state_.first_sample = false;
  } else if (lat != state_.prev_lat || lon != state_.prev_lon || alt != state_.prev_alt) {
    GateCheck(state_, services_, lat, lon, alt);
  }

  state_.log->ShowPosition(lat, lon, alt);
  state_.prev_lat = lat;
  state_.prev_lon = lon;
  state_.prev_alt = alt;
}

}  // namespace volantis
