#include "race/gate_crossing.h"

#include <cmath>
#include <cstring>

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

double ReverseBearing(double bearing_ab) {
  double b_ba = bearing_ab + 180;  // stands for the bearing from B back to A
  if (b_ba > 360) b_ba -= 360;
  return b_ba;
}

// The judge's test of one gate whose altitude band both samples are in; b_ab
// is InitialBearing from its left end to its right end.
bool PassesBetweenEnds(const Gate& gate, double b_ab, const Sample& p, const Sample& q) {
  const double b_ba = ReverseBearing(b_ab);

  // Each bearing is computed at most once and only when a test needs it.
  const double b_ap = InitialBearing(gate.left_lat, gate.left_lon, p.lat, p.lon);
  double b_bp = 0;
  bool have_b_bp = false;
  bool sides = false;
  if (WithinLeftQuarter(b_ab, b_ap)) {  // PA
    const double b_bq = InitialBearing(gate.right_lat, gate.right_lon, q.lat, q.lon);
    sides = WithinLeftQuarter(b_ba, b_bq);  // QB
  }
  if (!sides) {
    b_bp = InitialBearing(gate.right_lat, gate.right_lon, p.lat, p.lon);
    have_b_bp = true;
    if (WithinRightQuarter(b_ba, b_bp)) {  // PB
      const double b_aq = InitialBearing(gate.left_lat, gate.left_lon, q.lat, q.lon);
      sides = WithinRightQuarter(b_ab, b_aq);  // QA
    }
  }
  if (!sides) return false;
  if (!have_b_bp) b_bp = InitialBearing(gate.right_lat, gate.right_lon, p.lat, p.lon);

  const double track = InitialBearing(q.lat, q.lon, p.lat, p.lon);
  return OnClockwiseArc(b_bp, b_ap, track);
}

// --- The shortcut of GateCrossingJudge ---------------------------------------
//
// A bearing from an end E to a point P is atan2(east, north), where north and
// east are the dot products of P's unit vector with the unit north and east
// directions at E. So whether P's bearing lies within a quarter of a
// reference bearing r follows from the signs of two dot products: P with the
// direction of r at E (ahead: within 90 degrees either side) and P with the
// direction 90 degrees clockwise of it (clockwise: which side). Both are a
// few multiplications. The bearings the judge computes and these products
// differ by rounding only (far below 1e-13 of the unit vectors), so where both
// products are further than kSureMargin from zero the answer is the judge's
// own; nearer an edge (within about a millimetre on the ground), at an end
// itself, or with anything not a number, the shortcut gives no answer.
using Vector3 = GateCrossingJudge::Vector3;

constexpr double kSureMargin = 1e-10;

enum class Answer { kNo, kYes, kUnsure };

double Dot(const Vector3& a, const Vector3& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

Vector3 UnitPoint(double lat, double lon) {
  const double phi = lat * kRadiansPerDegree;
  const double lambda = lon * kRadiansPerDegree;
  return {std::cos(phi) * std::cos(lambda), std::cos(phi) * std::sin(lambda), std::sin(phi)};
}

// The directions `ahead` (bearing r) and `clockwise` (bearing r + 90) at the end (lat, lon).
void Directions(double lat, double lon, double bearing, Vector3& ahead, Vector3& clockwise) {
  const double phi = lat * kRadiansPerDegree;
  const double lambda = lon * kRadiansPerDegree;
  const Vector3 north{-std::sin(phi) * std::cos(lambda), -std::sin(phi) * std::sin(lambda), std::cos(phi)};
  const Vector3 east{-std::sin(lambda), std::cos(lambda), 0};
  const double r = bearing * kRadiansPerDegree;
  const double c = std::cos(r);
  const double s = std::sin(r);
  for (int k = 0; k < 3; ++k) {
    ahead[static_cast<std::size_t>(k)] = c * north[static_cast<std::size_t>(k)] + s * east[static_cast<std::size_t>(k)];
    clockwise[static_cast<std::size_t>(k)] = c * east[static_cast<std::size_t>(k)] - s * north[static_cast<std::size_t>(k)];
  }
}

// WithinLeftQuarter(r, bearing to point): ahead >= 0 and clockwise <= 0.
Answer LeftQuarter(const Vector3& ahead, const Vector3& clockwise, const Vector3& point) {
  const double along = Dot(point, ahead);
  const double side = Dot(point, clockwise);
  if (along < -kSureMargin || side > kSureMargin) return Answer::kNo;
  if (along > kSureMargin && side < -kSureMargin) return Answer::kYes;
  return Answer::kUnsure;
}

// WithinRightQuarter(r, bearing to point): ahead >= 0 and clockwise >= 0.
Answer RightQuarter(const Vector3& ahead, const Vector3& clockwise, const Vector3& point) {
  const double along = Dot(point, ahead);
  const double side = Dot(point, clockwise);
  if (along < -kSureMargin || side < -kSureMargin) return Answer::kNo;
  if (along > kSureMargin && side > kSureMargin) return Answer::kYes;
  return Answer::kUnsure;
}

// True when the judge's side tests are surely all false for this gate: the
// samples are not on opposite sides of it between its ends.
bool SidesRuledOut(const GateCrossingJudge::Frame& frame, const Vector3& p, const Vector3& q) {
  // sides = (PA and QB) or (PB and QA)
  const bool first_ruled_out = LeftQuarter(frame.ahead_at_left, frame.clockwise_at_left, p) == Answer::kNo ||
                               LeftQuarter(frame.ahead_at_right, frame.clockwise_at_right, q) == Answer::kNo;
  if (!first_ruled_out) return false;
  return RightQuarter(frame.ahead_at_right, frame.clockwise_at_right, p) == Answer::kNo ||
         RightQuarter(frame.ahead_at_left, frame.clockwise_at_left, q) == Answer::kNo;
}

bool SameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

bool SameGate(const Gate& a, const Gate& b) {
  return SameBits(a.left_lat, b.left_lat) && SameBits(a.left_lon, b.left_lon) && SameBits(a.right_lat, b.right_lat) &&
         SameBits(a.right_lon, b.right_lon) && a.min_alt == b.min_alt && a.max_alt == b.max_alt;
}

GateCrossingJudge::Frame MakeFrame(const Gate& gate) {
  GateCrossingJudge::Frame frame;
  frame.gate = gate;
  frame.present = true;
  frame.bearing_ab = InitialBearing(gate.left_lat, gate.left_lon, gate.right_lat, gate.right_lon);
  frame.bearing_ba = ReverseBearing(frame.bearing_ab);
  Directions(gate.left_lat, gate.left_lon, frame.bearing_ab, frame.ahead_at_left, frame.clockwise_at_left);
  Directions(gate.right_lat, gate.right_lon, frame.bearing_ba, frame.ahead_at_right, frame.clockwise_at_right);
  return frame;
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
    if (PassesBetweenEnds(*gate, b_ab, p, q)) return static_cast<int32_t>(i);
  }
  return -1;
}

void GateCrossingJudge::Follow(const std::vector<std::unique_ptr<Gate>>& gates) {
  if (frames_.size() != gates.size()) frames_.resize(gates.size());
  for (std::size_t i = 0; i < gates.size(); ++i) {
    const Gate* gate = gates[i].get();
    Frame& frame = frames_[i];
    if (gate == nullptr) {
      frame.present = false;
    } else if (!frame.present || !SameGate(frame.gate, *gate)) {
      frame = MakeFrame(*gate);
    }
  }
}

GateCrossingJudge::Vector3 GateCrossingJudge::PointFor(const Sample& sample) const {
  for (const KeptPoint& kept : kept_) {
    if (kept.valid && SameBits(kept.lat, sample.lat) && SameBits(kept.lon, sample.lon)) return kept.point;
  }
  return UnitPoint(sample.lat, sample.lon);
}

int32_t GateCrossingJudge::Find(const std::vector<std::unique_ptr<Gate>>& gates, const Sample& previous,
                                const Sample& current) {
  Follow(gates);
  const Sample& p = current;
  const Sample& q = previous;
  const Vector3 p_point = PointFor(p);
  const Vector3 q_point = PointFor(q);
  kept_[0] = KeptPoint{q.lat, q.lon, true, q_point};
  kept_[1] = KeptPoint{p.lat, p.lon, true, p_point};
  for (std::size_t i = 0; i < gates.size(); ++i) {
    const Gate* gate = gates[i].get();
    if (gate == nullptr) continue;
    if (!WithinAltitudeBand(*gate, p.alt) || !WithinAltitudeBand(*gate, q.alt)) continue;
    const Frame& frame = frames_[i];
    if (SidesRuledOut(frame, p_point, q_point)) continue;
    if (PassesBetweenEnds(*gate, frame.bearing_ab, p, q)) return static_cast<int32_t>(i);
  }
  return -1;
}

}  // namespace volantis
