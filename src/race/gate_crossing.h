#pragma once
// Which gate, if any, the aircraft passed between two samples.
#include <cstdint>
#include <memory>
#include <vector>

#include "core/race_definition.h"

namespace volantis {

struct Sample {
  double lat = 0;  // degrees
  double lon = 0;  // degrees
  double alt = 0;  // feet
};

// Index of the first gate passed on the way from previous to current, or -1.
// A gate counts only when flown from the right of left end -> right end to its
// left (so the left end is on the pilot's left), with both samples beside the
// segment and inside its altitude band, and the track passing between its ends.
// The caller holds gates_lock.
int32_t FindCrossedGate(const std::vector<std::unique_ptr<Gate>>& gates, const Sample& previous, const Sample& current);

// The altitude band test for one sample: 0 means no floor / no ceiling.
bool WithinAltitudeBand(const Gate& gate, double alt);

}  // namespace volantis
