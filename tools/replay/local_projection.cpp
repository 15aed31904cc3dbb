#include "local_projection.h"

#include <cmath>

#include "race/distance_bearing.h"

namespace volantis::replay {
namespace {

void UnitVector(GeoPoint p, double v[3]) {
  const double phi = p.lat * kRadiansPerDegree;
  const double lambda = p.lon * kRadiansPerDegree;
  v[0] = std::cos(phi) * std::cos(lambda);
  v[1] = std::cos(phi) * std::sin(lambda);
  v[2] = std::sin(phi);
}

double Dot3(const double a[3], const double b[3]) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

}  // namespace

LocalProjection::LocalProjection(GeoPoint centre) : centre_(centre) {
  UnitVector(centre, c_);
  const double phi = centre.lat * kRadiansPerDegree;
  const double lambda = centre.lon * kRadiansPerDegree;
  east_[0] = -std::sin(lambda);
  east_[1] = std::cos(lambda);
  east_[2] = 0;
  north_[0] = -std::sin(phi) * std::cos(lambda);
  north_[1] = -std::sin(phi) * std::sin(lambda);
  north_[2] = std::cos(phi);
}

GeoPoint LocalProjection::MeanCentre(const std::vector<GeoPoint>& points) {
  if (points.empty()) return GeoPoint{};
  double sum[3] = {0, 0, 0};
  for (const GeoPoint& p : points) {
    double v[3];
    UnitVector(p, v);
    for (int i = 0; i < 3; ++i) sum[i] += v[i];
  }
  const double horizontal = std::hypot(sum[0], sum[1]);
  if (horizontal == 0 && sum[2] == 0) return points.front();
  GeoPoint mean;
  mean.lat = std::atan2(sum[2], horizontal) * kDegreesPerRadian;
  mean.lon = horizontal == 0 ? points.front().lon : std::atan2(sum[1], sum[0]) * kDegreesPerRadian;
  return mean;
}

PlanePoint LocalProjection::Project(GeoPoint point) const {
  double v[3];
  UnitVector(point, v);
  const double e = Dot3(v, east_);
  const double n = Dot3(v, north_);
  const double sideways = std::hypot(e, n);  // sine of the angle from the centre
  if (sideways == 0) return PlanePoint{};
  const double angle = std::atan2(sideways, Dot3(v, c_));
  const double scale = angle * kEarthRadiusNm / sideways;
  return PlanePoint{e * scale, n * scale};
}

double Length(PlanePoint a) { return std::hypot(a.x, a.y); }

double PlaneBearing(PlanePoint a) {
  double bearing = std::atan2(a.x, a.y) * kDegreesPerRadian;
  if (bearing < 0) bearing += 360;
  if (bearing >= 360) bearing -= 360;
  return bearing;
}

}  // namespace volantis::replay
