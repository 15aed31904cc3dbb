#include "race/race_results.h"

#include "platform/text_format.h"

namespace volantis {

std::string FormatLapTimes(const RaceResults& results) {
  std::string text;
  for (std::size_t i = 0; i < results.lap_times.size(); ++i) {
    if (i > 0) text += ',';
    text += FormatText("%f", results.lap_times[i]);
  }
  return text;
}

std::string FormatLapSkips(const RaceResults& results) {
  std::string text;
  for (std::size_t i = 0; i < results.lap_times.size(); ++i) {
    if (i > 0) text += ',';
    text += FormatText("%d", i < results.lap_skips.size() ? results.lap_skips[i] : 0);
  }
  return text;
}

}  // namespace volantis
