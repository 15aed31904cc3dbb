#pragma once
// Great-circle distance and initial bearing between two positions in degrees.
// The constants are fixed so every build of the judge gives the same bits.
namespace volantis {

inline constexpr double kEarthRadiusNm = 3438;
inline constexpr double kRadiansPerDegree = 0.017453292519943295;
inline constexpr double kDegreesPerRadian = 57.29577951308232;

struct DistanceBearingResult {
  double distance = 0;  // nautical miles; not a number when the acos argument leaves [-1, 1]
  double bearing = 0;   // degrees from true north, clockwise
};

// (0, 0) for exactly equal points. The acos argument is used as computed, unclamped.
DistanceBearingResult DistanceBearing(double lat1, double lon1, double lat2, double lon2);

// The bearing of DistanceBearing alone (same arithmetic, same bits), for the gate
// search, which needs no distances.
double InitialBearing(double lat1, double lon1, double lat2, double lon2);

}  // namespace volantis
