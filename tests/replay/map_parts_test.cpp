// The map's parts: the local projection against the judge's own distance and
// bearing where longitudes wrap and meridians converge, and the SVG writer's
// escaping.
#include <cmath>
#include <string>

#include <gtest/gtest.h>

#include "local_projection.h"
#include "race/distance_bearing.h"
#include "svg_writer.h"

namespace volantis::replay {
namespace {

TEST(LocalProjectionTest, DistanceAndBearingFromTheCentreAreTheJudges) {
  struct Case {
    const char* name;
    GeoPoint centre;
  };
  const Case cases[] = {
      {"equator", {0, 0}},
      {"antimeridian", {-16.8, 179.995}},
      {"on the antimeridian", {-16.8, -180}},
      {"high latitude", {78.9, 11.9}},
      {"near the pole", {89.98, -45}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const LocalProjection projection(c.centre);
    const PlanePoint origin = projection.Project(c.centre);
    EXPECT_NEAR(origin.x, 0, 1e-9);
    EXPECT_NEAR(origin.y, 0, 1e-9);
    // Points 0.3 to 3 nm away all round, many across the antimeridian.
    for (int k = 0; k < 16; ++k) {
      for (const double nm : {0.3, 1.0, 3.0}) {
        const double angle = k * 22.5 * kRadiansPerDegree;
        GeoPoint p{c.centre.lat + nm / 60 * std::cos(angle),
                   c.centre.lon + nm / 60 * std::sin(angle) / std::cos(c.centre.lat * kRadiansPerDegree)};
        if (p.lon > 180) p.lon -= 360;
        if (p.lon <= -180) p.lon += 360;
        const DistanceBearingResult judge = DistanceBearing(c.centre.lat, c.centre.lon, p.lat, p.lon);
        const PlanePoint q = projection.Project(p);
        EXPECT_NEAR(Length(q), judge.distance, 1e-4) << k << " " << nm;
        double off = std::fabs(PlaneBearing(q) - judge.bearing);
        if (off > 180) off = 360 - off;
        EXPECT_LT(off, 0.01) << k << " " << nm;
      }
    }
  }
}

TEST(LocalProjectionTest, MeanCentreAcrossTheAntimeridian) {
  const GeoPoint mean = LocalProjection::MeanCentre({{-16.8, 179.99}, {-16.8, -179.99}, {-16.7, 179.995}});
  EXPECT_NEAR(std::fabs(mean.lon), 179.9983, 0.001);  // not near 0
  EXPECT_NEAR(mean.lat, -16.7667, 0.001);
  const GeoPoint pole = LocalProjection::MeanCentre({{89.99, 0}, {89.99, 180}});
  EXPECT_NEAR(pole.lat, 90, 1e-6);
}

TEST(SvgWriterTest, EscapesTextAndAttributesAndClosesInOrder) {
  EXPECT_EQ(EscapeXml("a<b & \"c\" 'd' >\x01\tz"), "a&lt;b &amp; &quot;c&quot; &apos;d&apos; &gt;\tz");
  SvgWriter svg(100, 50.5);
  svg.Open("g", {{"class", "gate \"1\""}});
  svg.Text("text", {{"x", SvgNumber(-0.001)}}, "Gate <1> & 2");
  svg.Empty("line", {{"x1", SvgNumber(1.005)}, {"x2", SvgNumber(12.345)}});
  const std::string doc = svg.Finish();
  EXPECT_EQ(doc,
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"100.00\" height=\"50.50\" viewBox=\"0 0 100.00 50.50\">\n"
            " <g class=\"gate &quot;1&quot;\">\n"
            "  <text x=\"0.00\">Gate &lt;1&gt; &amp; 2</text>\n"
            "  <line x1=\"1.00\" x2=\"12.35\"/>\n"
            " </g>\n"
            "</svg>\n");
}

}  // namespace
}  // namespace volantis::replay
