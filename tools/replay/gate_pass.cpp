#include "gate_pass.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "race/distance_bearing.h"

namespace volantis::replay {

GateFrame::GateFrame(const Gate& gate)
    : projection_(LocalProjection::MeanCentre({GeoPoint{gate.left_lat, gate.left_lon},
                                               GeoPoint{gate.right_lat, gate.right_lon}})) {
  left_ = projection_.Project(GeoPoint{gate.left_lat, gate.left_lon});
  right_ = projection_.Project(GeoPoint{gate.right_lat, gate.right_lon});
  middle_ = (left_ + right_) * 0.5;
  const PlanePoint across_gate = right_ - left_;
  const double width = Length(across_gate);
  half_width_ = width / 2;
  if (width > 0) {
    toward_left_ = (left_ - right_) * (1 / width);
    ahead_ = PlanePoint{-across_gate.y / width, across_gate.x / width};  // left of left -> right
    direction_ = PlaneBearing(ahead_);
  }
}

std::optional<LineMeeting> GateFrame::Meet(const Sample& q, const Sample& p) const {
  if (half_width_ <= 0) return std::nullopt;
  const double side_q = Side(Project(q));
  const double side_p = Side(Project(p));
  if ((side_q > 0 && side_p > 0) || (side_q < 0 && side_p < 0) || side_q == side_p) return std::nullopt;
  return PlaceCrossing(q, p);
}

LineMeeting GateFrame::PlaceCrossing(const Sample& q, const Sample& p) const {
  const PlanePoint qp = Project(q);
  const PlanePoint pp = Project(p);
  const double side_q = Side(qp);
  const double side_p = Side(pp);
  LineMeeting meeting;
  meeting.fraction = side_q == side_p ? 1.0 : std::clamp(side_q / (side_q - side_p), 0.0, 1.0);
  meeting.offset = Along(qp + (pp - qp) * meeting.fraction);
  meeting.gate_way = side_q < side_p;
  return meeting;
}

PairVerdict JudgePair(const Gate& gate, const Sample& previous, const Sample& current) {
  std::vector<std::unique_ptr<Gate>> unbanded;
  unbanded.push_back(std::make_unique<Gate>(gate));
  unbanded.front()->min_alt = 0;
  unbanded.front()->max_alt = 0;
  PairVerdict verdict;
  verdict.between_ends = FindCrossedGate(unbanded, previous, current) == 0;
  verdict.between_ends_reversed = FindCrossedGate(unbanded, current, previous) == 0;
  verdict.within_band = WithinAltitudeBand(gate, previous.alt) && WithinAltitudeBand(gate, current.alt);
  return verdict;
}

std::optional<LineMeeting> CrossingAt(const RaceTrace& trace, int32_t gate, std::size_t sample) {
  if (sample == 0 || sample >= trace.samples.size()) return std::nullopt;
  const GateFrame frame(*trace.course.gates[static_cast<std::size_t>(gate)]);
  if (frame.half_width() <= 0) return std::nullopt;
  return frame.PlaceCrossing(trace.samples[sample - 1].position, trace.samples[sample].position);
}

double CounterBetween(const RaceTrace& trace, std::size_t sample, double fraction) {
  const double later = static_cast<double>(trace.samples[sample].counter);
  if (sample == 0) return later;
  const double earlier = static_cast<double>(trace.samples[sample - 1].counter);
  return earlier + (later - earlier) * fraction;
}

ClosestPass FindClosestPass(const RaceTrace& trace, int32_t gate_index, std::size_t window_begin,
                            std::size_t window_end) {
  const Gate& gate = *trace.course.gates[static_cast<std::size_t>(gate_index)];
  const GateFrame frame(gate);
  ClosestPass pass;
  pass.half_width = frame.half_width();
  pass.gate_direction = frame.direction();
  if (trace.samples.size() < 2) {
    pass.never_near = true;
    return pass;
  }
  const double reach = frame.half_width() * kNearReachHalfWidths;
  const std::size_t first = std::max<std::size_t>(window_begin, 1);
  const std::size_t last = std::min(window_end, trace.samples.size() - 1);

  // The meeting with the gate's line nearest its centre.
  std::optional<std::size_t> best;
  LineMeeting best_meeting;
  for (std::size_t i = first; i <= last; ++i) {
    if (!trace.samples[i].judged) continue;
    const auto meeting = frame.Meet(trace.samples[i - 1].position, trace.samples[i].position);
    if (!meeting || std::fabs(meeting->offset) > reach) continue;
    if (!best || std::fabs(meeting->offset) < std::fabs(best_meeting.offset)) {
      best = i;
      best_meeting = *meeting;
    }
  }

  if (best) {
    const Sample& q = trace.samples[*best - 1].position;
    const Sample& p = trace.samples[*best].position;
    const PairVerdict verdict = JudgePair(gate, q, p);
    pass.sample = *best;
    pass.fraction = best_meeting.fraction;
    pass.offset = best_meeting.offset;
    pass.distance = std::fabs(best_meeting.offset);
    pass.outside_width = !verdict.between_ends && !verdict.between_ends_reversed;
    pass.wrong_direction = verdict.between_ends_reversed || (pass.outside_width && !best_meeting.gate_way);
    pass.outside_band = !verdict.within_band;
    if (verdict.counts()) pass.hidden_by = FindCrossedGate(trace.course.gates, q, p);
  } else {
    // Never near: the closest approach of the flight in the window.
    pass.never_near = true;
    double best_distance = std::numeric_limits<double>::infinity();
    PlanePoint best_point;
    for (std::size_t i = first; i <= last; ++i) {
      if (!trace.samples[i].judged) continue;
      const PlanePoint q = frame.Project(trace.samples[i - 1].position);
      const PlanePoint p = frame.Project(trace.samples[i].position);
      const PlanePoint step = p - q;
      const double length2 = Dot(step, step);
      const double f = length2 > 0 ? std::clamp(-Dot(q, step) / length2, 0.0, 1.0) : 1.0;
      const PlanePoint point = q + step * f;  // the plane's origin is the gate's centre
      const double distance = Length(point);
      if (distance < best_distance) {
        best_distance = distance;
        best_point = point;
        pass.sample = i;
        pass.fraction = f;
      }
    }
    if (std::isinf(best_distance)) {
      pass.sample = last;
      pass.fraction = 1;
      best_point = frame.Project(trace.samples[last].position);
      best_distance = Length(best_point);
    }
    pass.distance = best_distance;
    pass.offset = frame.Along(best_point);
    pass.across = frame.Across(best_point);
  }
  const std::size_t later = pass.sample;
  const std::size_t earlier = later > 0 ? later - 1 : later;
  const Sample& q = trace.samples[earlier].position;
  const Sample& p = trace.samples[later].position;
  pass.track = InitialBearing(q.lat, q.lon, p.lat, p.lon);
  pass.alt_before = q.alt;
  pass.alt_after = p.alt;
  return pass;
}

}  // namespace volantis::replay
