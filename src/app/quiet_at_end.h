#pragma once
// The sound player and the host poster as the module's workers see them: once
// the module is ending, no sound starts and no command goes to the host's
// window any more. A sound plays from the module's own resources, so none may
// outlast the module; a command posted after the end would reach a host that
// no longer has the module.
#include <cstdint>
#include <memory>

#include "platform/cancel_signal.h"
#include "platform/host_poster.h"
#include "platform/sound_player.h"
#include "platform/sync.h"

namespace volantis {

class QuietAtEndSoundPlayer : public SoundPlayer {
 public:
  // end: set when the module is ending; player outlives this object.
  QuietAtEndSoundPlayer(SoundPlayer& player, CancelSignal& end) : player_(player), end_(end) {}

  void Play(const char* name) override;
  // Stops the sound playing now. Called once end is set, it also makes sure no
  // Play that was already under way starts a sound after it.
  void Stop() override;

 private:
  SoundPlayer& player_;
  CancelSignal& end_;
  CriticalSection lock_;  // a Play and the Stop of the end never interleave
};

class QuietAtEndPoster : public HostPoster {
 public:
  QuietAtEndPoster(std::unique_ptr<HostPoster> poster, CancelSignal& end) : poster_(std::move(poster)), end_(end) {}
  void PostCommand(uint32_t command) override;

 private:
  std::unique_ptr<HostPoster> poster_;
  CancelSignal& end_;
};

}  // namespace volantis
