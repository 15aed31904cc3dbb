#pragma once
// What the judge and the monitor need from the program and the platform, passed
// in so tests and the replay tool can supply their own.
#include <cstdint>
#include <functional>

#include "core/app_settings.h"
#include "platform/clock.h"
#include "platform/host_poster.h"
#include "platform/sound_player.h"
#include "platform/sync.h"
#include "race/race_recorder.h"

namespace volantis {

struct RaceServices {
  AppSettings& settings;  // sound switches and the race definition
  Clock& clock;           // the high-resolution counter and the tick count
  SoundPlayer& sounds;
  HostPoster& poster;     // the host's main window: target of the race-finished command
  uint32_t gates_lock_timeout_ms = kGatesLockTimeoutMs;
  // How the monitor thread is started: through the module's worker group in
  // the module; tests make it fail.
  std::function<bool(std::function<void()> body)> start_thread = StartDetachedThread;
  // Where every race and every cycle is recorded; null for no record.
  RaceRecorder* recorder = nullptr;
};

}  // namespace volantis
