#include "app/quiet_at_end.h"

namespace volantis {

void QuietAtEndSoundPlayer::Play(const char* name) {
  ScopedCriticalSection hold(lock_);
  if (end_.cancelled()) return;
  player_.Play(name);
}

void QuietAtEndSoundPlayer::Stop() {
  ScopedCriticalSection hold(lock_);
  player_.Stop();
}

void QuietAtEndPoster::PostCommand(uint32_t command, uint32_t long_param) {
  if (end_.cancelled()) return;
  poster_->PostCommand(command, long_param);
}

}  // namespace volantis
