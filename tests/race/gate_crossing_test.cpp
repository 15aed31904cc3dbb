#include "race/gate_crossing.h"

#include <cmath>
#include <random>

#include <gtest/gtest.h>

#include "race/distance_bearing.h"

namespace volantis {
namespace {

std::vector<std::unique_ptr<Gate>> Gates(std::initializer_list<Gate> list) {
  std::vector<std::unique_ptr<Gate>> gates;
  for (const Gate& gate : list) gates.push_back(std::make_unique<Gate>(gate));
  return gates;
}

// Left end (0, 0), right end (0.01 N, 0): flown westward, the left end is on the pilot's left.
const Gate kNorthGate{0.0, 0.0, 0.01, 0.0, 0, 0};

struct CrossingCase {
  const char* name;
  Gate gate;
  Sample previous;
  Sample current;
  int32_t expected;
};

TEST(FindCrossedGateTest, WorkedGeometry) {
  Gate banded = kNorthGate;
  banded.min_alt = 500;
  banded.max_alt = 900;
  Gate floor_only = kNorthGate;
  floor_only.min_alt = 500;
  Gate ceiling_only = kNorthGate;
  ceiling_only.max_alt = 900;
  const CrossingCase cases[] = {
      {"westward through the middle", kNorthGate, {0.005, 0.0001, 0}, {0.005, -0.0001, 0}, 0},
      {"eastward: the wrong way", kNorthGate, {0.005, -0.0001, 0}, {0.005, 0.0001, 0}, -1},
      {"westward north of the right end", kNorthGate, {0.011, 0.0001, 0}, {0.011, -0.0001, 0}, -1},
      {"westward south of the left end", kNorthGate, {-0.001, 0.0001, 0}, {-0.001, -0.0001, 0}, -1},
      {"inside a 500-900 band", banded, {0.005, 0.0001, 700}, {0.005, -0.0001, 700}, 0},
      {"band edges are inclusive", banded, {0.005, 0.0001, 500}, {0.005, -0.0001, 900}, 0},
      {"above a 500-900 band", banded, {0.005, 0.0001, 1000}, {0.005, -0.0001, 1000}, -1},
      {"only the new sample above the band", banded, {0.005, 0.0001, 700}, {0.005, -0.0001, 1000}, -1},
      {"only the previous sample below the band", banded, {0.005, 0.0001, 400}, {0.005, -0.0001, 700}, -1},
      {"floor only, above it", floor_only, {0.005, 0.0001, 50000}, {0.005, -0.0001, 50000}, 0},
      {"floor only, below it", floor_only, {0.005, 0.0001, 499}, {0.005, -0.0001, 499}, -1},
      {"ceiling only, far below it", ceiling_only, {0.005, 0.0001, -200}, {0.005, -0.0001, -200}, 0},
      // Both samples beside the line, on the right sides, but the track meets the
      // line south of the left end.
      {"track passing outside the ends", kNorthGate, {-0.02, 0.0001, 0}, {0.001, -0.0001, 0}, -1},
  };
  for (const CrossingCase& c : cases) {
    EXPECT_EQ(FindCrossedGate(Gates({c.gate}), c.previous, c.current), c.expected) << c.name;
  }
}

// A gate in every direction (so every branch of the wrapped sector tests is
// taken), flown square across its middle: found from its right, not from its left.
TEST(FindCrossedGateTest, EveryGateDirection) {
  const double kHalfLength = 0.005;  // degrees
  for (double direction = 0; direction < 360; direction += 7.5) {
    const double r = direction * kRadiansPerDegree;
    const double north = std::cos(r);
    const double east = std::sin(r);
    const Gate gate{60 - kHalfLength * north, 10 - kHalfLength * east, 60 + kHalfLength * north,
                    10 + kHalfLength * east, 0, 0};
    // Seen from above, the left of (north, east) is (east, -north) and the right (-east, north).
    const Sample right{60 - 0.0002 * east, 10 + 0.0002 * north, 0};
    const Sample left{60 + 0.0002 * east, 10 - 0.0002 * north, 0};
    const auto gates = Gates({gate});
    EXPECT_EQ(FindCrossedGate(gates, right, left), 0) << "direction " << direction;
    EXPECT_EQ(FindCrossedGate(gates, left, right), -1) << "direction " << direction;
  }
}

TEST(FindCrossedGateTest, FirstMatchingGateInIndexOrder) {
  const Gate elsewhere{1.0, 1.0, 1.01, 1.0, 0, 0};
  const Sample from{0.005, 0.0001, 0};
  const Sample to{0.005, -0.0001, 0};
  EXPECT_EQ(FindCrossedGate(Gates({elsewhere, kNorthGate, kNorthGate}), from, to), 1);
  EXPECT_EQ(FindCrossedGate(Gates({}), from, to), -1);
}

// The judge that keeps the course between cycles gives FindCrossedGate's own
// answer for every pair of samples: far from the gates, across them, exactly
// at their ends, on the line through them and on its perpendiculars (where the
// shortcut cannot be sure and judges exactly), near the poles and across the
// date line.
TEST(GateCrossingJudgeTest, SameAnswersAsTheGateSearch) {
  const Gate gates_under_test[] = {
      kNorthGate,
      {60.0, 10.0, 60.003, 10.004, 0, 0},
      {-33.9, 151.2, -33.9, 151.21, 0, 0},
      {0.0, 179.998, 0.0, -179.998, 0, 0},   // across the date line
      {89.99, 0.0, 89.99, 90.0, 0, 0},       // beside the pole
      {45.0, 7.0, 45.0, 7.0, 0, 0},          // both ends at one place
      {-0.001, -0.001, 0.001, 0.001, 0, 0},  // across the equator and the meridian
  };
  for (const Gate& gate : gates_under_test) {
    const auto gates = Gates({gate});
    GateCrossingJudge judge;
    // Places around the gate: its ends, its middle, along its line and square to it at each end.
    const double d_lat = gate.right_lat - gate.left_lat;
    const double d_lon = gate.right_lon - gate.left_lon;
    std::vector<Sample> places;
    const double steps[] = {-1.5, -1, -0.5, -1e-9, 0, 1e-9, 0.25, 0.5, 1, 1.5, 2};
    for (double along : steps) {
      for (double across : steps) {
        places.push_back({gate.left_lat + along * d_lat - across * d_lon * 0.1,
                          gate.left_lon + along * d_lon + across * d_lat * 0.1, 0});
        places.push_back({gate.left_lat + along * 0.003 + across * 0.0002, gate.left_lon - along * 0.0001 + across * 0.003, 0});
      }
    }
    places.push_back({gate.left_lat, gate.left_lon, 0});
    places.push_back({gate.right_lat, gate.right_lon, 0});
    places.push_back({gate.left_lat, gate.left_lon + 360, 0});
    places.push_back({-gate.left_lat, gate.left_lon + 180, 0});  // the far side of the earth
    places.push_back({std::nan(""), gate.left_lon, 0});
    int found = 0;
    for (const Sample& previous : places) {
      for (const Sample& current : places) {
        const int32_t expected = FindCrossedGate(gates, previous, current);
        ASSERT_EQ(judge.Find(gates, previous, current), expected)
            << "gate at " << gate.left_lat << "," << gate.left_lon << " from " << previous.lat << "," << previous.lon
            << " to " << current.lat << "," << current.lon;
        if (expected == 0) ++found;
      }
    }
    if (gate.left_lat != gate.right_lat || gate.left_lon != gate.right_lon) {
      EXPECT_GT(found, 0) << "gate at " << gate.left_lat << "," << gate.left_lon;
    }
  }
}

// A flight wandering over a course of several gates, sample after sample, as
// the monitor judges it: the same gate at every step.
TEST(GateCrossingJudgeTest, SameAnswersAlongAWanderingFlight) {
  const auto gates = Gates({kNorthGate, {0.02, 0.0, 0.02, 0.01, 100, 2000}, {0.0, 0.02, 0.01, 0.02, 0, 0}});
  GateCrossingJudge judge;
  std::mt19937 bits(22);
  Sample previous{0.005, 0.005, 500};
  int crossings = 0;
  for (int step = 0; step < 200000; ++step) {
    const double turn = static_cast<double>(bits() % 2001) / 1000.0 - 1.0;
    const double climb = static_cast<double>(bits() % 201) - 100.0;
    Sample current{previous.lat + 0.0003 * std::sin(step * 0.01 + turn),
                   previous.lon + 0.0003 * std::cos(step * 0.013 - turn), previous.alt + climb};
    if (std::fabs(current.lat) > 0.04 || std::fabs(current.lon) > 0.04) current = {0.005, 0.005, 500};
    const int32_t expected = FindCrossedGate(gates, previous, current);
    ASSERT_EQ(judge.Find(gates, previous, current), expected) << "step " << step;
    if (expected != -1) ++crossings;
    previous = current;
  }
  EXPECT_GT(crossings, 10);
}

// What the judge keeps follows the course: a gate moved in place, a course
// replaced by one of another length, a gate removed.
TEST(GateCrossingJudgeTest, FollowsAChangedCourse) {
  const Sample from{0.005, 0.0001, 0};
  const Sample to{0.005, -0.0001, 0};
  GateCrossingJudge judge;
  auto gates = Gates({kNorthGate});
  EXPECT_EQ(judge.Find(gates, from, to), 0);
  *gates[0] = Gate{1.0, 1.0, 1.01, 1.0, 0, 0};  // moved away
  EXPECT_EQ(judge.Find(gates, from, to), -1);
  *gates[0] = Gate{0.01, 0.0, 0.0, 0.0, 0, 0};  // back, its ends swapped: now flown the wrong way
  EXPECT_EQ(judge.Find(gates, from, to), -1);
  EXPECT_EQ(judge.Find(gates, to, from), 0);
  gates = Gates({Gate{1.0, 1.0, 1.01, 1.0, 0, 0}, kNorthGate});
  EXPECT_EQ(judge.Find(gates, from, to), 1);
  gates[1]->min_alt = 100;  // a band the flight is below
  EXPECT_EQ(judge.Find(gates, from, to), -1);
  gates[1].reset();
  EXPECT_EQ(judge.Find(gates, from, to), -1);
  gates.clear();
  EXPECT_EQ(judge.Find(gates, from, to), -1);
}

}  // namespace
}  // namespace volantis
