#pragma once
// Draws a replayed race as an SVG map for a race director's report, sized to be
// read on a phone: the gates as directed lines of their width, numbered; each
// lap's track coloured by speed against the limit; crossings, skipped gates and
// fairness flags marked; a scale bar and a north arrow; a legend and notes below.
// The plane is the local azimuthal equidistant projection about the course.
#include <string>

#include "explain.h"
#include "race_trace.h"

namespace volantis::replay {

std::string DrawRaceMap(const RaceTrace& trace, const RaceExplanation& explanation);

}  // namespace volantis::replay
