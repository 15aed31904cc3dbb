#pragma once
// Command identifiers on the host's main window, in one place. Menu identifiers
// are also in resources/resource.h for the resource compiler; a test keeps the
// two in step.
#include <cstdint>

namespace volantis {

inline constexpr uint32_t kCmdPopupItem = 45001;      // the popup's item in the host menu bar
inline constexpr uint32_t kCmdStartRace = 45002;      // posted by the validation exchange
inline constexpr uint32_t kCmdRaceFinished = 45003;   // posted by gate checking
inline constexpr uint32_t kCmdHostWatched = 0x20006;  // the host's own; the monitor notes its time

inline constexpr uint32_t kCmdRaceSettings = 32773;
inline constexpr uint32_t kCmdRaceResults = 32774;
inline constexpr uint32_t kCmdStopRace = 1019;
inline constexpr uint32_t kCmdOpenLogWindow = 1020;
inline constexpr uint32_t kCmdClearLogWindow = 1021;
inline constexpr uint32_t kCmdOpenValidateWindow = 1023;
inline constexpr uint32_t kCmdValidateNow = 1024;
inline constexpr uint32_t kCmdAbout = 32772;

}  // namespace volantis
