#include "race/distance_bearing.h"

#include <cmath>

namespace volantis {

double InitialBearing(double lat1, double lon1, double lat2, double lon2) {
  if (lat1 == lat2 && lon1 == lon2) return 0;
  const double phi1 = lat1 * kRadiansPerDegree;
  const double phi2 = lat2 * kRadiansPerDegree;
  const double delta_lambda = (lon2 - lon1) * kRadiansPerDegree;
  double bearing = std::atan2(std::sin(delta_lambda) * std::cos(phi2),
                              std::cos(phi1) * std::sin(phi2) - std::sin(phi1) * std::cos(phi2) * std::cos(delta_lambda)) *
                   kDegreesPerRadian;
  if (bearing < 0) bearing += 360;
  return bearing;
}

DistanceBearingResult DistanceBearing(double lat1, double lon1, double lat2, double lon2) {
  DistanceBearingResult result;
  if (lat1 == lat2 && lon1 == lon2) return result;
  const double phi1 = lat1 * kRadiansPerDegree;
  const double phi2 = lat2 * kRadiansPerDegree;
  const double delta_lambda = (lon2 - lon1) * kRadiansPerDegree;
  result.distance =
      std::acos(std::cos(phi1) * std::cos(phi2) * std::cos(delta_lambda) + std::sin(phi1) * std::sin(phi2)) * kEarthRadiusNm;
  result.bearing = InitialBearing(lat1, lon1, lat2, lon2);
  return result;
}

}  // namespace volantis
