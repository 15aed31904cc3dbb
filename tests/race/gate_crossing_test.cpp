#include "race/gate_crossing.h"

#include <cmath>

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

}  // namespace
}  // namespace volantis
