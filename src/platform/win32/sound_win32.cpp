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
  // The asynchronous sound plays straight from the module's resources, so it
  // must end before the module can be unmapped.
  void Stop() override { ::PlaySoundA(nullptr, nullptr, 0); }
};
}  // namespace

SoundPlayer& ModuleSoundPlayer() {
  static ResourceSoundPlayer player;
  return player;
}

}  // namespace volantis
