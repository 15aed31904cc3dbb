#pragma once
// The module's one command router: decides what a message to the host's main
// window makes the module do. It never consumes a message; the window procedure
// passes every message on to the host unchanged, whatever happened here.
#include <cstdint>

#include "host/command_targets.h"
#include "platform/clock.h"

namespace volantis {

inline constexpr uint32_t kMsgNcPaint = 0x0085;
inline constexpr uint32_t kMsgCommand = 0x0111;
inline constexpr uint32_t kMsgHotKey = 0x0312;

class CommandRouter {
 public:
  CommandRouter(CommandTargets& targets, Clock& clock) : targets_(targets), clock_(clock) {}

  // message and word_param as the window procedure received them. A command is
  // matched against the whole 32-bit word parameter, so a notification code in
  // the high half makes it a different command. A Race Finished acts only
  // when the judge announced the finish of the current race; any other (none
  // announced, or an earlier race's) does nothing. Exceptions of the targets pass through to the caller; the paused flag
  // is cleared on the way out regardless.
  void Route(uint32_t message, uint32_t word_param);

 private:
  void RunCommand(uint32_t command);
  // Runs a modal dialog with sampling paused for exactly its duration.
  template <typename Dialog>
  void RunPaused(Dialog dialog);

  CommandTargets& targets_;
  Clock& clock_;
};

}  // namespace volantis
