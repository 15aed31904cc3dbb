#pragma once
// A local azimuthal equidistant projection on the judge's sphere (radius 3438
// nautical miles): distances and bearings from the centre are true, and a
// great circle through the centre is a straight line. Worked on unit vectors, so
// the antimeridian and high latitudes need no special case.
#include <vector>

namespace volantis::replay {

// A point of the plane: nautical miles east and north of the centre.
struct PlanePoint {
  double x = 0;
  double y = 0;
};

struct GeoPoint {
  double lat = 0;  // degrees, north positive
  double lon = 0;  // degrees, east positive
};

class LocalProjection {
 public:
  explicit LocalProjection(GeoPoint centre);

  // The spherical mean of the points (their unit vectors averaged); the first
  // point when they cancel out, (0, 0) when there are none.
  static GeoPoint MeanCentre(const std::vector<GeoPoint>& points);

  GeoPoint centre() const { return centre_; }
  PlanePoint Project(GeoPoint point) const;

 private:
  GeoPoint centre_;
  double c_[3];      // unit vector of the centre
  double east_[3];   // unit vector east at the centre
  double north_[3];  // unit vector north at the centre
};

// Plane helpers.
inline PlanePoint operator-(PlanePoint a, PlanePoint b) { return PlanePoint{a.x - b.x, a.y - b.y}; }
inline PlanePoint operator+(PlanePoint a, PlanePoint b) { return PlanePoint{a.x + b.x, a.y + b.y}; }
inline PlanePoint operator*(PlanePoint a, double f) { return PlanePoint{a.x * f, a.y * f}; }
inline double Dot(PlanePoint a, PlanePoint b) { return a.x * b.x + a.y * b.y; }
// Positive when b lies counter-clockwise of a (on its left).
inline double Cross(PlanePoint a, PlanePoint b) { return a.x * b.y - a.y * b.x; }
double Length(PlanePoint a);
// Degrees clockwise from north (the +y axis), in [0, 360).
double PlaneBearing(PlanePoint a);

}  // namespace volantis::replay
