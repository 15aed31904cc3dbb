// The explanation against flights whose answers are known: one skipped gate per
// failing condition, and crossings whose instant is known exactly.
#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "explain.h"
#include "race_trace.h"
#include "replay.h"

namespace volantis::replay {
namespace {

constexpr int64_t kFrequency = 10000000;
constexpr int64_t kCounterBase = 5000000000000;
constexpr double kNmPerDegree = 3438 * 0.017453292519943295;  // on the judge's sphere

struct Waypoint {
  double lat = 0;
  double lon = 0;  // may run past 180 to cross the antimeridian; wrapped when written
  double alt = 500;
};

TrackRow RowAt(double seconds, const Waypoint& p) {
  double lon = p.lon;
  if (lon > 180) lon -= 360;
  if (lon <= -180) lon += 360;
  TrackRow row;
  row.counter = kCounterBase + std::llround(seconds * kFrequency);
  row.lat_raw = std::llround(p.lat / 2.0951091487837895e-15);
  row.lon_raw = std::llround(lon / 1.951563910473908e-17);
  row.alt_raw = std::llround(p.alt / 3.2808398950131235 / 2.3283064365386963e-10);
  return row;
}

// A flight along straight legs (straight in degrees) at `speed` degrees per
// second, sampled about every 40 ms with a fixed jitter. Each row's position is
// taken at its own counter's instant, so the flight is exactly known between rows.
class Flight {
 public:
  Flight(std::vector<Waypoint> points, double speed) : points_(std::move(points)), speed_(speed) {
    for (std::size_t i = 1; i < points_.size(); ++i) total_ += LegLength(i);
  }

  std::vector<TrackRow> Rows() const {
    std::vector<TrackRow> rows;
    for (int k = 0;; ++k) {
      const double jitter = static_cast<double>((k * 7919) % 13 - 6) * 0.0002;
      const int64_t counter = std::llround((k * 0.04 + (k == 0 ? 0 : jitter)) * kFrequency);
      const double t = static_cast<double>(counter) / kFrequency;
      if (t * speed_ > total_) break;
      rows.push_back(RowAt(t, At(t)));
    }
    return rows;
  }

  // Instants (seconds from the first row) at which the flight crosses the
  // meridian `lon` between latitudes lat_low and lat_high, in order.
  std::vector<double> MeridianCrossings(double lon, double lat_low, double lat_high) const {
    std::vector<double> instants;
    double along = 0;
    for (std::size_t i = 1; i < points_.size(); ++i) {
      const Waypoint& a = points_[i - 1];
      const Waypoint& b = points_[i];
      if ((a.lon - lon) * (b.lon - lon) < 0) {
        const double f = (lon - a.lon) / (b.lon - a.lon);
        const double lat = a.lat + (b.lat - a.lat) * f;
        if (lat >= lat_low && lat <= lat_high) instants.push_back((along + LegLength(i) * f) / speed_);
      }
      along += LegLength(i);
    }
    return instants;
  }

 private:
  double LegLength(std::size_t i) const {
    return std::hypot(points_[i].lat - points_[i - 1].lat, points_[i].lon - points_[i - 1].lon);
  }
  Waypoint At(double t) const {
    double left = t * speed_;
    for (std::size_t i = 1; i < points_.size(); ++i) {
      const double length = LegLength(i);
      if (left <= length) {
        const double f = left / length;
        const Waypoint& a = points_[i - 1];
        const Waypoint& b = points_[i];
        return Waypoint{a.lat + (b.lat - a.lat) * f, a.lon + (b.lon - a.lon) * f, a.alt + (b.alt - a.alt) * f};
      }
      left -= length;
    }
    return points_.back();
  }

  std::vector<Waypoint> points_;
  double speed_;
  double total_ = 0;
};

struct Replayed {
  RaceTrace trace;
  RaceExplanation explanation;
  std::string text;  // the EXPLAIN lines
};

Replayed Replay(const std::string& course, const std::vector<TrackRow>& rows) {
  AppSettings settings;
  std::string error;
  EXPECT_TRUE(LoadCourse(course, settings, error)) << error;
  ReplayOptions options;
  options.frequency = kFrequency;
  TraceRecorder recorder(settings.race_definition, options.frequency);
  std::ostringstream judged;
  ReplayTrack(settings, options, rows, judged, &recorder);
  Replayed replayed;
  replayed.trace = recorder.TakeTrace();
  replayed.explanation = ExplainRace(replayed.trace);
  std::ostringstream text;
  WriteExplanation(replayed.trace, replayed.explanation, text);
  replayed.text = text.str();
  return replayed;
}

// Three gates across latitude 0.005 N, 0.6 nm wide, 0.1 degree apart, flown
// west (the left end is the southern one); gate 2 may have a band.
std::string ThreeGates(const char* gate2_band, const char* gate3 = "0,-0.2,0.01,-0.2") {
  return std::string("laps=1;max_knots=450;gate=0,0,0.01,0,0,0;gate=0,-0.1,0.01,-0.1,") + gate2_band + ";gate=" +
         gate3 + ",0,0";
}

constexpr double kSpeed = 0.00125;  // degrees per second: 270 knots

TEST(ExplainSkipTest, NamesTheConditionThatFailedWithItsFigures) {
  struct Case {
    const char* name;
    std::string course;
    std::vector<Waypoint> flight;
    const char* failed;           // as written after "failed: "
    bool never_near;
    bool outside_width;
    bool outside_band;
    bool wrong_direction;
    int32_t hidden_by;
    double distance;              // nautical miles from the gate's centre
    double offset;                // + toward the left end
    double track;                 // degrees
    double alt;                   // feet, at both samples of the pass
    const char* text;             // a piece of the EXPLAIN line
  };
  const double half_width = 0.005 * kNmPerDegree;
  const Case cases[] = {
      {"width: north of the right end",
       ThreeGates("0,0"),
       {{0.005, 0.01}, {0.005, -0.05}, {0.0115, -0.07}, {0.0115, -0.13}, {0.005, -0.15}, {0.005, -0.25}},
       "outside the width", false, true, false, false, -1,
       0.0065 * kNmPerDegree, -0.0065 * kNmPerDegree, 270, 500,
       "met its line 0.390 nm from its centre toward the right end, 0.090 nm beyond that end"},
      {"band: above it",
       ThreeGates("500,900"),
       {{0.005, 0.01, 1000}, {0.005, -0.25, 1000}},
       "outside the band", false, false, true, false, -1,
       0, 0, 270, 1000,
       "altitude 1000 ft then 1000 ft, above the band 500-900 ft"},
      {"band: below the floor",
       ThreeGates("600,0"),
       {{0.005, 0.01, 550}, {0.005, -0.25, 550}},
       "outside the band", false, false, true, false, -1,
       0, 0, 270, 550,
       "altitude 550 ft then 550 ft, below the floor 600 ft"},
      {"direction: flown east through it",
       ThreeGates("0,0"),
       {{0.005, 0.01}, {0.005, -0.05}, {0.03, -0.06}, {0.03, -0.15}, {0.005, -0.16}, {0.005, -0.04},
        {0.03, -0.05}, {0.03, -0.15}, {0.005, -0.16}, {0.005, -0.25}},
       "wrong direction", false, false, false, true, -1,
       0, 0, 90, 500,
       "track 90 deg against the gate's 270 deg (180 deg off)"},
      {"never near: around it 1.2 nm to the north",
       ThreeGates("0,0"),
       {{0.005, 0.01}, {0.005, -0.01}, {0.025, -0.03}, {0.025, -0.17}, {0.005, -0.19}, {0.005, -0.25}},
       "never near", true, false, false, false, -1,
       0.02 * kNmPerDegree, -0.02 * kNmPerDegree, 270, 500,
       "never near: closest approach 1.200 nm from its centre (1.200 nm along it toward the right end"},
      // Gate 3 stands where gate 1 does: the judge finds gate 1 first for the
      // same two samples, so gate 3 is skipped though it was flown through.
      {"hidden: a gate the judge tests first passed by the same samples",
       ThreeGates("0,0", "0,0,0.01,0"),
       {{0.005, 0.01}, {0.005, -0.15}, {0.03, -0.15}, {0.03, 0.02}, {0.005, 0.02}, {0.005, -0.01}},
       "none, but the same samples passed gate 1, which the judge tests first", false, false, false, false, 0,
       0, 0, 270, 500,
       "met its line 0.000 nm from its centre, within the width (0.300 nm inside the nearer end)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Replayed r = Replay(c.course, Flight(c.flight, kSpeed).Rows());
    ASSERT_EQ(r.explanation.skips.size(), 1u) << r.text;
    const SkipExplanation& skip = r.explanation.skips[0];
    const bool hidden_case = c.hidden_by >= 0;
    EXPECT_EQ(skip.gate, hidden_case ? 2 : 1);
    const ClosestPass& pass = skip.pass;
    EXPECT_EQ(FailureText(pass), c.failed);
    EXPECT_EQ(pass.never_near, c.never_near);
    EXPECT_EQ(pass.outside_width, c.outside_width);
    EXPECT_EQ(pass.outside_band, c.outside_band);
    EXPECT_EQ(pass.wrong_direction, c.wrong_direction);
    EXPECT_EQ(pass.hidden_by, c.hidden_by);
    EXPECT_NEAR(pass.distance, c.distance, 0.002);
    EXPECT_NEAR(pass.offset, c.offset, 0.002);
    EXPECT_NEAR(pass.half_width, half_width, 0.0005);
    EXPECT_NEAR(pass.track, c.track, 0.5);
    EXPECT_NEAR(pass.gate_direction, 270, 0.5);
    EXPECT_NEAR(pass.alt_before, c.alt, 0.5);
    EXPECT_NEAR(pass.alt_after, c.alt, 0.5);
    EXPECT_NE(r.text.find(std::string("failed: ") + c.failed + ".\n"), std::string::npos) << r.text;
    EXPECT_NE(r.text.find(c.text), std::string::npos) << r.text;
  }
}

// Flights whose crossing instants are known exactly: the interpolated instant
// must match to a microsecond, the sampled one is the first sample after it,
// and an interpolated lap is the time between its two gate-1 crossings.
TEST(ExplainCrossingTest, InterpolatesTheKnownCrossingInstant) {
  struct Case {
    const char* name;
    std::string course;
    std::vector<Waypoint> flight;
    std::vector<double> gate_lons;  // every gate stands on a meridian, from lat_low to lat_low + 0.01
    double lat_low;
    std::vector<int32_t> gates;  // the crossings the judge accepts, in order
  };
  const Case cases[] = {
      {"near the equator, one lap of two gates",
       "laps=1;max_knots=450;gate=0,0,0.01,0,0,0;gate=0,-0.1,0.01,-0.1,0,0",
       {{0.005, 0.00213}, {0.005, -0.102}, {0.05, -0.102}, {0.05, 0.002}, {0.005, 0.002}, {0.005, -0.03}},
       {0, -0.1}, 0, {0, 1, 0}},
      {"across the antimeridian",
       "laps=1;max_knots=450;gate=-16.8,180,-16.79,180,0,0",
       {{-16.795, 180.00271}, {-16.795, 179.9981}},
       {180}, -16.8, {0}},
      {"at high latitude",
       "laps=1;max_knots=450;gate=78.9,11.9,78.91,11.9,0,0",
       {{78.905, 11.90173}, {78.905, 11.8981}},
       {11.9}, 78.9, {0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Flight flight(c.flight, kSpeed);
    const Replayed r = Replay(c.course, flight.Rows());
    ASSERT_EQ(r.trace.crossings.size(), c.gates.size()) << r.text;

    std::vector<double> known;  // seconds from the first row, per gate index in order of use
    std::vector<std::size_t> used(c.gate_lons.size(), 0);
    const double origin = static_cast<double>(r.trace.ClockOrigin() - kCounterBase) / kFrequency;
    for (std::size_t i = 0; i < c.gates.size(); ++i) {
      const int32_t gate = c.gates[i];
      ASSERT_EQ(r.trace.crossings[i].gate, gate);
      const std::vector<double> instants =
          flight.MeridianCrossings(c.gate_lons[static_cast<std::size_t>(gate)], c.lat_low, c.lat_low + 0.01);
      ASSERT_LT(used[static_cast<std::size_t>(gate)], instants.size());
      const double exact = instants[used[static_cast<std::size_t>(gate)]++] - origin;
      known.push_back(exact);
      const CrossingExplanation& e = r.explanation.crossings[i];
      EXPECT_TRUE(e.placed);
      EXPECT_NEAR(e.interpolated, exact, 1e-6);
      EXPECT_GT(e.sampled, exact);
      EXPECT_LT(e.sampled - exact, 0.042);
    }
    EXPECT_NEAR(r.explanation.crossings[0].interpolated, known[0], 1e-6);
    if (c.gates.size() == 3) {
      ASSERT_EQ(r.explanation.laps.size(), 1u);
      EXPECT_DOUBLE_EQ(r.explanation.laps[0].sampled, r.trace.laps[0].seconds);
      EXPECT_NEAR(r.explanation.laps[0].interpolated, known[2] - known[0], 1e-6);
      ASSERT_TRUE(r.explanation.race_time_interpolated.has_value());
      EXPECT_NEAR(*r.explanation.race_time_interpolated, known[2] - known[0], 1e-6);
    }
  }
}

// A start gate met a fraction of a millisecond before the sample that started
// the timing: its interpolated instant is a hair below zero, shown as 0.000
// like every other figure, never "-0.000".
TEST(ExplainCrossingTest, AHairBeforeZeroIsShownAsZero) {
  // Row 10 is taken at 0.4002 s (its jitter is +0.2 ms); the gate is met at 0.4 s.
  const Flight flight({{0.005, kSpeed * 0.4}, {0.005, -0.03}}, kSpeed);
  const Replayed r = Replay("laps=1;max_knots=450;gate=0,0,0.01,0,0,0", flight.Rows());
  ASSERT_EQ(r.explanation.crossings.size(), 1u) << r.text;
  EXPECT_LT(r.explanation.crossings[0].interpolated, 0);
  EXPECT_GT(r.explanation.crossings[0].interpolated, -0.0005);
  EXPECT_NE(r.text.find("sampled 0.000 s, interpolated 0.000 s."), std::string::npos) << r.text;
  EXPECT_EQ(r.text.find("-0.000"), std::string::npos) << r.text;
}

// Each flag names the first sample that set it with the value the monitor read.
TEST(ExplainFlagTest, FirstSampleAndValue) {
  Flight flight({{0.005, 0.002}, {0.005, -0.05}}, kSpeed);
  std::vector<TrackRow> rows = flight.Rows();
  ASSERT_GT(rows.size(), 400u);
  for (std::size_t i = 150; i < rows.size(); ++i) rows[i].rate_raw = 512;
  for (std::size_t i = 200; i < rows.size(); ++i) rows[i].crash = 0;
  for (std::size_t i = 250; i < 260; ++i) rows[i].slew = 1;
  rows[20].rate_raw = 128;  // before the start: not judged
  // Far over the limit of 450 knots from row 300 on: 0.005 degrees a second, 1080 knots.
  const double t300 = static_cast<double>(rows[300].counter - kCounterBase) / kFrequency;
  for (std::size_t i = 300; i < rows.size(); ++i) {
    const double t = static_cast<double>(rows[i].counter - kCounterBase) / kFrequency;
    const double lon = 0.002 - kSpeed * t300 - 0.005 * (t - t300);
    rows[i].lon_raw = std::llround(lon / 1.951563910473908e-17);
  }
  for (std::size_t i = 0; i < rows.size(); ++i) rows[i].line = i + 2;
  const Replayed r = Replay("laps=1;max_knots=450;gate=0,0,0.01,0,0,0", rows);
  ASSERT_EQ(r.trace.flags.size(), 4u) << r.text;
  const auto find = [&](FairnessFlag which) -> const TracedFlag* {
    for (const TracedFlag& f : r.trace.flags) {
      if (f.flag == which) return &f;
    }
    return nullptr;
  };
  const TracedFlag* rate = find(FairnessFlag::kCheatedSimRate);
  const TracedFlag* crash = find(FairnessFlag::kCheatedCrashDetect);
  const TracedFlag* slew = find(FairnessFlag::kSlewed);
  const TracedFlag* fast = find(FairnessFlag::kMovedTooFast);
  ASSERT_TRUE(rate && crash && slew && fast);
  EXPECT_EQ(r.trace.samples[rate->sample].row, 150u);
  EXPECT_EQ(rate->rate_raw, 512);
  EXPECT_EQ(r.trace.samples[crash->sample].row, 200u);
  EXPECT_EQ(r.trace.samples[slew->sample].row, 250u);
  EXPECT_GT(r.trace.samples[fast->sample].row, 300u);
  EXPECT_LT(r.trace.samples[fast->sample].row, 340u);
  EXPECT_GT(fast->window, 1.0);
  EXPECT_GT(fast->speed * 3600, 450);
  EXPECT_NEAR(fast->distance, fast->speed * fast->window, 1e-12);
  EXPECT_NE(r.text.find("EXPLAIN Flag cheated_sim_rate: first set at line 152 ("), std::string::npos) << r.text;
  EXPECT_NE(r.text.find("simulation rate 2 (raw 512), not 1."), std::string::npos) << r.text;
  EXPECT_NE(r.text.find("EXPLAIN Flag cheated_crash_detect: first set at line 202 ("), std::string::npos);
  EXPECT_NE(r.text.find("crash detection 0 (off), not 1."), std::string::npos);
  EXPECT_NE(r.text.find("EXPLAIN Flag slewed: first set at line 252 ("), std::string::npos);
  EXPECT_NE(r.text.find("limit 450.0 kts."), std::string::npos);
  EXPECT_NE(r.text.find("EXPLAIN The track ends before the finish: 0 of 1 laps done."), std::string::npos);
}

}  // namespace
}  // namespace volantis::replay
