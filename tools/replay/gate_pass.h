#pragma once
// A gate and the pilot's passes by it: where a straight stretch between two
// samples met the gate's line, and which of the judge's conditions held there,
// each decided by the judge's own tests.
#include <cstddef>
#include <cstdint>
#include <optional>

#include "local_projection.h"
#include "race/gate_crossing.h"
#include "race_trace.h"

namespace volantis::replay {

// How far beyond an end of a gate a meeting with its line still counts as a pass
// by the gate: one gate width.
inline constexpr double kNearReachHalfWidths = 3;

// Where the stretch from q to p meets a gate's line.
struct LineMeeting {
  double fraction = 0;  // along q -> p, 0 to 1
  double offset = 0;    // nautical miles from the gate's centre along its line, + toward the left end
  bool gate_way = false;  // from the right of left end -> right end to its left: the way the gate is flown
};

// A gate in the plane of the projection about its own centre, where its line is straight.
class GateFrame {
 public:
  explicit GateFrame(const Gate& gate);

  GeoPoint centre() const { return projection_.centre(); }
  double half_width() const { return half_width_; }  // nautical miles
  double direction() const { return direction_; }    // degrees: the way the gate is flown
  PlanePoint Project(const Sample& s) const { return projection_.Project(GeoPoint{s.lat, s.lon}); }

  // Where the stretch meets the line, when its ends lie on the two sides (or one on it).
  std::optional<LineMeeting> Meet(const Sample& q, const Sample& p) const;
  // The same for a stretch the judge counted through the gate: its bounds are
  // inclusive, so an end that lies on the line within rounding still places the
  // meeting there.
  LineMeeting PlaceCrossing(const Sample& q, const Sample& p) const;
  // Along the gate (+ toward the left end) and across it (+ beyond the line, the
  // side the gate is flown to), in nautical miles.
  double Along(PlanePoint point) const { return Dot(point - middle_, toward_left_); }
  double Across(PlanePoint point) const { return Dot(point - middle_, ahead_); }

 private:
  LocalProjection projection_;
  PlanePoint left_;
  PlanePoint right_;
  PlanePoint middle_;
  PlanePoint toward_left_;  // unit
  PlanePoint ahead_;        // unit
  double half_width_ = 0;
  double direction_ = 0;
  // + on the left of left end -> right end
  double Side(PlanePoint point) const { return Cross(right_ - left_, point - left_); }
};

// The judge's conditions for one gate on the pair previous -> current.
struct PairVerdict {
  bool between_ends = false;         // sides and track hold: flown the gate's way between its ends
  bool between_ends_reversed = false;  // they hold with the samples swapped: the wrong way between its ends
  bool within_band = false;          // both samples
  bool counts() const { return between_ends && within_band; }
};
PairVerdict JudgePair(const Gate& gate, const Sample& previous, const Sample& current);

// The pilot's closest pass to a skipped gate in the judge's window for it.
struct ClosestPass {
  bool never_near = false;  // no meeting with the gate's line within reach: the closest approach instead
  bool outside_width = false;
  bool outside_band = false;
  bool wrong_direction = false;
  int32_t hidden_by = -1;  // the pair also passed this gate, which the judge tests first
  std::size_t sample = 0;  // the later sample of the pair
  double fraction = 0;     // along the pair, where the line was met or the approach was closest
  double offset = 0;       // nautical miles along the gate from its centre, + toward the left end
  double across = 0;       // nautical miles from the gate's line, + beyond it
  double distance = 0;     // nautical miles from the centre
  double half_width = 0;
  double track = 0;           // the judge's bearing from the earlier sample to the later
  double gate_direction = 0;  // the way the gate is flown
  double alt_before = 0;      // feet, both samples of the pair
  double alt_after = 0;
};

// window_begin..window_end: indexes of the later samples of the pairs the judge
// looked at (TracedCrossing::window_begin and sample).
ClosestPass FindClosestPass(const RaceTrace& trace, int32_t gate, std::size_t window_begin, std::size_t window_end);

// Where the judge's accepted crossing of `gate` with the pair ending at
// samples[sample] met the gate's line; nullopt for the first sample or a gate of
// no width.
std::optional<LineMeeting> CrossingAt(const RaceTrace& trace, int32_t gate, std::size_t sample);

// A counter value between samples[sample - 1] and samples[sample].
double CounterBetween(const RaceTrace& trace, std::size_t sample, double fraction);

}  // namespace volantis::replay
