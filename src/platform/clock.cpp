#include "platform/clock.h"

#include "platform/cancel_signal.h"

namespace volantis {

bool Clock::SleepUnlessCancelled(uint32_t milliseconds, CancelSignal& cancel) {
  return cancel.WaitCancelled(milliseconds);
}

}  // namespace volantis
