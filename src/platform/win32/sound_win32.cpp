#include <windows.h>
#include <mmsystem.h>

#include "platform/sound_player.h"

namespace volantis {
namespace {
class ResourceSoundPlayer : public SoundPlayer {
 public:
  void Play(const char* name) override {
    ::PlaySoundA(name, ::GetModuleHandleA("Volantis.dll"), SND_RESOURCE | SND_ASYNC);
  }
};
}  // namespace

SoundPlayer& ModuleSoundPlayer() {
  static ResourceSoundPlayer player;
  return player;
}

}  // namespace volantis
