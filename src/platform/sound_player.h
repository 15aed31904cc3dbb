#pragma once
// Plays the module's WAVE resources by name, asynchronously.
namespace volantis {

class SoundPlayer {
 public:
  virtual ~SoundPlayer() = default;
  // name: a WAVE resource of the module, e.g. "WAVE_GATE_CROSSED_DING".
  virtual void Play(const char* name) = 0;
  // Stops a sound that is still playing. A player whose sounds do not outlast
  // Play has nothing to stop.
  virtual void Stop() {}
};

// Windows half: PlaySoundA from the module "Volantis.dll" (SND_RESOURCE | SND_ASYNC).
// Native half: silent.
SoundPlayer& ModuleSoundPlayer();

}  // namespace volantis
