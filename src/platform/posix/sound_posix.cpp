#include "platform/sound_player.h"

namespace volantis {
namespace {
class SilentSoundPlayer : public SoundPlayer {
 public:
  void Play(const char*) override {}
};
}  // namespace

SoundPlayer& ModuleSoundPlayer() {
  static SilentSoundPlayer player;
  return player;
}

}  // namespace volantis
