#pragma once
// Which gate, if any, the aircraft passed between two samples.
#include <array>
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

// FindCrossedGate for a judge that asks every cycle about the same course: the
// same answers, bit for bit, much faster. What does not change from one cycle
// to the next (each gate's own bearing, the directions at its ends) is worked
// out once per course and kept; each cycle then rules out the gates the
// aircraft is plainly not passing with a few multiplications, and judges the
// others exactly as FindCrossedGate does. Whatever lies too close to a side's
// edge for that shortcut to be sure, is judged exactly as well. The kept facts
// follow the gates: a gate whose ends or band differ from the ones kept is
// worked out again. One per judging thread (not shared).
class GateCrossingJudge {
 public:
  int32_t Find(const std::vector<std::unique_ptr<Gate>>& gates, const Sample& previous, const Sample& current);

  using Vector3 = std::array<double, 3>;

  // One gate's fixed facts. At each end, `ahead` is the unit direction the
  // judge's sector tests start from (left -> right at the left end, its
  // reverse at the right end) and `clockwise` the direction 90 degrees
  // clockwise of it, both in the plane touching the earth there.
  struct Frame {
    Gate gate;
    bool present = false;  // false: a null entry in the course
    double bearing_ab = 0;
    double bearing_ba = 0;
    Vector3 ahead_at_left{};
    Vector3 clockwise_at_left{};
    Vector3 ahead_at_right{};
    Vector3 clockwise_at_right{};
  };

 private:
  void Follow(const std::vector<std::unique_ptr<Gate>>& gates);
  Vector3 PointFor(const Sample& sample) const;

  std::vector<Frame> frames_;
  // The two samples last turned into points on the unit sphere: the current
  // sample of one cycle is the previous one of the next.
  struct KeptPoint {
    double lat = 0;
    double lon = 0;
    bool valid = false;
    Vector3 point{};
  };
  KeptPoint kept_[2];
};

}  // namespace volantis
