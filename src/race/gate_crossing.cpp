#include "race/gate_crossing.h"

#include "race/distance_bearing.h"

namespace volantis {
namespace {

// Inclusive arc tests on bearings in degrees, written as the judge states them.
// True when b lies within 90 degrees counter-clockwise of reference (the left side).
bool WithinLeftQuarter(double reference, double b) {
  const double lo = reference - 90;
  if (lo >= 0) return lo <= b && b <= reference;
  return b <= reference || b >= lo + 360;
}

// True when b lies within 90 degrees clockwise of reference (the right side).
bool WithinRightQuarter(double reference, double b) {
  const double hi = reference + 90;
  if (hi <= 360) return reference <= b && b <= hi;
  return b >= reference || b <= hi - 360;
}

// True when t lies on the arc running clockwise from from_bearing to to_bearing, ends included.
bool OnClockwiseArc(double from_bearing, double to_bearing, double t) {
  if (to_bearing < from_bearing) return t >= from_bearing || t <= to_bearing;
  return from_bearing <= t && t <= to_bearing;
}

}  // namespace

bool WithinAltitudeBand(const Gate& gate, double alt) {
  return (gate.min_alt == 0 || static_cast<double>(gate.min_alt) <= alt) &&
         (gate.max_alt == 0 || alt <= static_cast<double>(gate.max_alt));
}

int32_t FindCrossedGate(const std::vector<std::unique_ptr<Gate>>& gates, const Sample& previous, const Sample& current) {
  const Sample& p = current;
  const Sample& q = previous;
  for (std::size_t i = 0; i < gates.size(); ++i) {
    const Gate* gate = gates[i].get();
    if (gate == nullptr) continue;
    // The cheap band test first; the result is the same as testing it last.
    if (!WithinAltitudeBand(*gate, p.alt) || !WithinAltitudeBand(*gate, q.alt)) continue;

    const double b_ab = InitialBearing(gate->left_lat, gate->left_lon, gate->right_lat, gate->right_lon);
    double b_ba = b_ab + 180;  // stands for the bearing from B back to A
    if (b_ba > 360) b_ba -= 360;

    // Each bearing is computed at most once and only when a test needs it.
    const double b_ap = InitialBearing(gate->left_lat, gate->left_lon, p.lat, p.lon);
    double b_bp = 0;
    bool have_b_bp = false;
    bool sides = false;
    if (WithinLeftQuarter(b_ab, b_ap)) {  // PA
      const double b_bq = InitialBearing(gate->right_lat, gate->right_lon, q.lat, q.lon);
      sides = WithinLeftQuarter(b_ba, b_bq);  // QB
    }
    if (!sides) {
      b_bp = InitialBearing(gate->right_lat, gate->right_lon, p.lat, p.lon);
      have_b_bp = true;
      if (WithinRightQuarter(b_ba, b_bp)) {  // PB
        const double b_aq = InitialBearing(gate->left_lat, gate->left_lon, q.lat, q.lon);
        sides = WithinRightQuarter(b_ab, b_aq);  // QA
      }
    }
    if (!sides) continue;
    if (!have_b_bp) b_bp = InitialBearing(gate->right_lat, gate->right_lon, p.lat, p.lon);

    const double track = InitialBearing(q.lat, q.lon, p.lat, p.lon);
    if (OnClockwiseArc(b_bp, b_ap, track)) return static_cast<int32_t>(i);
  }
  return -1;
}

}  // namespace volantis
