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

void QuietAtEndPoster::PostCommand(uint32_t command) {
  if (end_.cancelled()) return;
  poster_->PostCommand(command);
}

}  // namespace volantis
