#include "race_map.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "local_projection.h"
#include "platform/text_format.h"
#include "race/gate_check.h"
#include "svg_writer.h"

namespace volantis::replay {
namespace {

constexpr double kWidth = 640;
constexpr double kMargin = 16;
constexpr double kHeaderHeight = 64;
constexpr double kMaxMapHeight = 760;
constexpr double kLineHeight = 20;
constexpr std::size_t kNoteChars = 76;
constexpr double kSecondsPerHour = 3600;
constexpr double kSpeedWindowSeconds = 1.0;
constexpr const char* kFont = "DejaVu Sans, Helvetica, Arial, sans-serif";

// Speed against the limit: below 80 %, up to 95 %, up to the limit, over it.
constexpr double kSpeedBounds[] = {0.8, 0.95, 1.0};
constexpr const char* kSpeedColours[] = {"#2166ac", "#1b9e77", "#e08214", "#d7191c"};
constexpr const char* kLapColours[] = {"#7570b3", "#e7298a", "#66a61e", "#a6761d", "#1b9e77"};
constexpr const char* kLapDashes[] = {"", "12 6", "3 5", "14 5 3 5"};
constexpr const char* kMarkColour = "#222222";
constexpr const char* kSkipColour = "#c51b7d";
constexpr const char* kFlagColour = "#f46d43";

// Each lap's band is narrower than the one before, so laps flown over the same
// ground still show one inside the other.
double LapBandWidth(int lap, std::size_t laps) {
  return 8 + 5 * std::min(5.0, static_cast<double>(laps) - static_cast<double>(lap));
}
const char* LapColour(int lap) { return kLapColours[static_cast<std::size_t>(lap - 1) % std::size(kLapColours)]; }
const char* LapDash(int lap) { return kLapDashes[static_cast<std::size_t>(lap - 1) % std::size(kLapDashes)]; }

// 0 below 80 % of the limit, 1 up to 95 %, 2 up to the limit, 3 over it.
int SpeedBin(double ratio) {
  if (ratio < kSpeedBounds[0]) return 0;
  if (ratio <= kSpeedBounds[1]) return 1;
  if (ratio <= kSpeedBounds[2]) return 2;
  return 3;
}

// Plane (nautical miles, north up) to pixels.
struct Screen {
  double scale = 1;  // pixels per nautical mile
  double min_x = 0;
  double max_y = 0;
  double left = 0;
  double top = 0;
  PlanePoint operator()(PlanePoint p) const {
    return PlanePoint{left + (p.x - min_x) * scale, top + (max_y - p.y) * scale};
  }
};

// A point of a drawn line and the sample stretch it ends (for its speed colour).
struct TrackPoint {
  PlanePoint at;
  std::size_t stretch = 0;
};

std::string PathData(const Screen& screen, const std::vector<TrackPoint>& points, std::size_t begin, std::size_t end) {
  std::string d;
  PlanePoint last{};
  for (std::size_t i = begin; i < end; ++i) {
    const PlanePoint p = screen(points[i].at);
    // Points closer than half a pixel add nothing but bytes; the last one stays.
    if (i != begin && i + 1 != end && Length(p - last) < 0.5) continue;
    d += (i == begin ? "M" : " L") + SvgNumber(p.x) + " " + SvgNumber(p.y);
    last = p;
  }
  return d;
}

std::string Points(const std::vector<PlanePoint>& points) {
  std::string text;
  for (const PlanePoint& p : points) text += (text.empty() ? "" : " ") + SvgNumber(p.x) + "," + SvgNumber(p.y);
  return text;
}

// Words wrapped into lines of at most `width` characters.
std::vector<std::string> Wrap(const std::string& text, std::size_t width) {
  std::vector<std::string> lines;
  std::string line;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find(' ', start);
    if (end == std::string::npos) end = text.size();
    const std::string word = text.substr(start, end - start);
    if (!line.empty() && line.size() + 1 + word.size() > width) {
      lines.push_back(line);
      line = word;
    } else {
      line += (line.empty() ? "" : " ") + word;
    }
    start = end + 1;
  }
  if (!line.empty()) lines.push_back(line);
  return lines;
}

// 1, 2 or 5 times a power of ten, the largest not above `target`.
double NiceLength(double target) {
  const double power = std::pow(10.0, std::floor(std::log10(target)));
  for (const double step : {5.0, 2.0, 1.0}) {
    if (step * power <= target) return step * power;
  }
  return power;
}

class MapDrawer {
 public:
  MapDrawer(const RaceTrace& trace, const RaceExplanation& explanation)
      : trace_(trace), explanation_(explanation), projection_(CourseCentre(trace)) {}

  std::string Draw();

 private:
  static GeoPoint CourseCentre(const RaceTrace& trace);
  PlanePoint At(const Sample& s) const { return projection_.Project(GeoPoint{s.lat, s.lon}); }
  PlanePoint Between(std::size_t sample, double fraction) const;
  void Measure();
  void BuildTracks();
  std::vector<std::string> Notes() const;
  void DrawHeader(SvgWriter& svg) const;
  void DrawGates(SvgWriter& svg) const;
  void DrawTracks(SvgWriter& svg) const;
  void DrawMarks(SvgWriter& svg) const;
  void DrawScaleAndNorth(SvgWriter& svg) const;
  double DrawLegend(SvgWriter& svg, double y) const;

  const RaceTrace& trace_;
  const RaceExplanation& explanation_;
  LocalProjection projection_;
  std::vector<PlanePoint> plane_;    // every sample
  std::vector<double> speed_ratio_;  // per stretch ending at a sample: speed over the limit
  Screen screen_;
  double map_width_ = 0;
  double map_height_ = 0;
  std::vector<TrackPoint> approach_;
  std::vector<std::vector<TrackPoint>> laps_;
};

GeoPoint MapDrawer::CourseCentre(const RaceTrace& trace) {
  std::vector<GeoPoint> ends;
  for (const auto& gate : trace.course.gates) {
    ends.push_back(GeoPoint{gate->left_lat, gate->left_lon});
    ends.push_back(GeoPoint{gate->right_lat, gate->right_lon});
  }
  if (ends.empty()) {
    for (const TracedSample& s : trace.samples) ends.push_back(GeoPoint{s.position.lat, s.position.lon});
  }
  return LocalProjection::MeanCentre(ends);
}

PlanePoint MapDrawer::Between(std::size_t sample, double fraction) const {
  if (sample == 0) return plane_[0];
  return plane_[sample - 1] + (plane_[sample] - plane_[sample - 1]) * fraction;
}

void MapDrawer::Measure() {
  for (const TracedSample& s : trace_.samples) plane_.push_back(At(s.position));

  // Speed over a window of at least a second around each stretch, as the
  // judge measures it, so the sampling jitter does not colour the track.
  const std::size_t n = plane_.size();
  std::vector<double> along(n, 0);
  std::vector<double> seconds(n, 0);
  for (std::size_t i = 0; i < n; ++i) {
    seconds[i] = static_cast<double>(trace_.samples[i].counter) / static_cast<double>(trace_.frequency);
    if (i > 0) along[i] = along[i - 1] + Length(plane_[i] - plane_[i - 1]);
  }
  const double limit = trace_.course.max_speed;
  speed_ratio_.assign(n, 0);
  for (std::size_t i = 1; i < n; ++i) {
    std::size_t a = i - 1;
    std::size_t b = i;
    while (seconds[b] - seconds[a] < kSpeedWindowSeconds && (a > 0 || b + 1 < n)) {
      if (a > 0) --a;
      if (seconds[b] - seconds[a] >= kSpeedWindowSeconds) break;
      if (b + 1 < n) ++b;
    }
    const double dt = seconds[b] - seconds[a];
    const double speed = dt > 0 ? (along[b] - along[a]) / dt : 0;
    speed_ratio_[i] = limit > 0 ? speed / limit : 0;
  }

  // The map shows the course and the race; a long approach is cut at its edge.
  std::vector<PlanePoint> shown;
  for (const auto& gate : trace_.course.gates) {
    shown.push_back(projection_.Project(GeoPoint{gate->left_lat, gate->left_lon}));
    shown.push_back(projection_.Project(GeoPoint{gate->right_lat, gate->right_lon}));
  }
  std::size_t from = 0;
  if (trace_.start_crossing) from = trace_.crossings[*trace_.start_crossing].sample;
  for (std::size_t i = from > 0 ? from - 1 : 0; i < n; ++i) shown.push_back(plane_[i]);
  if (shown.empty()) shown.push_back(PlanePoint{});

  double min_x = shown[0].x, max_x = shown[0].x, min_y = shown[0].y, max_y = shown[0].y;
  for (const PlanePoint& p : shown) {
    min_x = std::min(min_x, p.x);
    max_x = std::max(max_x, p.x);
    min_y = std::min(min_y, p.y);
    max_y = std::max(max_y, p.y);
  }
  const double pad = std::max(0.05, 0.08 * std::max(max_x - min_x, max_y - min_y));
  min_x -= pad;
  max_x += pad;
  min_y -= pad;
  max_y += pad;
  const double available = kWidth - 2 * kMargin;
  screen_.scale = std::min(available / (max_x - min_x), kMaxMapHeight / (max_y - min_y));
  map_width_ = (max_x - min_x) * screen_.scale;
  map_height_ = (max_y - min_y) * screen_.scale;
  screen_.min_x = min_x;
  screen_.max_y = max_y;
  screen_.left = (kWidth - map_width_) / 2;
  screen_.top = kHeaderHeight;
}

void MapDrawer::BuildTracks() {
  // Lap boundaries: the crossing that started the timing, then each that completed a lap.
  struct Boundary {
    std::size_t sample;
    double fraction;
  };
  std::vector<Boundary> boundaries;
  for (std::size_t i = 0; i < trace_.crossings.size(); ++i) {
    const TracedCrossing& c = trace_.crossings[i];
    if (c.starts_timing || c.completes_lap) {
      boundaries.push_back(Boundary{c.sample, explanation_.crossings[i].fraction});
    }
  }
  const std::size_t n = plane_.size();
  if (n == 0) return;
  auto stretch = [&](std::size_t from_sample, std::size_t to_sample, std::optional<Boundary> begin,
                     std::optional<Boundary> end) {
    std::vector<TrackPoint> points;
    if (begin) points.push_back(TrackPoint{Between(begin->sample, begin->fraction), begin->sample});
    for (std::size_t i = from_sample; i < to_sample; ++i) points.push_back(TrackPoint{plane_[i], i});
    if (end) points.push_back(TrackPoint{Between(end->sample, end->fraction), end->sample});
    return points;
  };
  if (boundaries.empty()) {
    approach_ = stretch(0, n, std::nullopt, std::nullopt);
    return;
  }
  approach_ = stretch(0, boundaries[0].sample, std::nullopt, boundaries[0]);
  for (std::size_t k = 1; k < boundaries.size(); ++k) {
    laps_.push_back(stretch(boundaries[k - 1].sample, boundaries[k].sample, boundaries[k - 1], boundaries[k]));
  }
  // An unfinished last lap, up to the last sample fed.
  if (!trace_.finished && boundaries.back().sample < n) {
    laps_.push_back(stretch(boundaries.back().sample, n, boundaries.back(), std::nullopt));
  }
}

std::vector<std::string> MapDrawer::Notes() const {
  std::vector<std::string> notes;
  for (const LapExplanation& lap : explanation_.laps) {
    std::string note = FormatText("Lap %d: %s (interpolated %s)", lap.number, DurationText(lap.sampled).c_str(),
                                  DurationText(lap.interpolated).c_str());
    if (lap.skips > 0) note += FormatText(", %d skipped", lap.skips);
    notes.push_back(note);
  }
  if (trace_.finished) notes.push_back("Race time: " + DurationText(trace_.race_time));
  for (const SkipExplanation& skip : explanation_.skips) {
    const Gate& gate = *trace_.course.gates[static_cast<std::size_t>(skip.gate)];
    const std::string lap = skip.lap == 0 ? std::string("before the start") : FormatText("lap %d", skip.lap);
    notes.push_back(FormatText("X%d Gate %d skipped (%s), %s at %s s: ", skip.gate + 1, skip.gate + 1, lap.c_str(),
                               FailureText(skip.pass).c_str(), SecondsText(skip.at).c_str()) +
                    PassPlaceText(skip.pass) + "; " + PassAltitudeText(gate, skip.pass));
  }
  for (std::size_t i = 0; i < explanation_.flags.size(); ++i) {
    const FlagExplanation& f = explanation_.flags[i];
    std::string value;
    switch (f.flag.flag) {
      case FairnessFlag::kMovedTooFast:
        value = FormatText("%.1f kts over %.4f s, limit %.1f kts", f.flag.speed * kSecondsPerHour, f.flag.window,
                           trace_.course.max_speed * kSecondsPerHour);
        break;
      case FairnessFlag::kCheatedSimRate:
        value = FormatText("simulation rate %g", static_cast<double>(f.flag.rate_raw) * 0.00390625);
        break;
      case FairnessFlag::kCheatedCrashDetect:
        value = "crash detection off";
        break;
      case FairnessFlag::kSlewed:
        value = "slewing";
        break;
    }
    notes.push_back(FormatText("F%llu %s: %s, at %s s", static_cast<unsigned long long>(i + 1), FlagName(f.flag.flag),
                               value.c_str(), SecondsText(f.at).c_str()));
  }
  return notes;
}

void MapDrawer::DrawHeader(SvgWriter& svg) const {
  const double limit_kts = trace_.course.max_speed * kSecondsPerHour;
  svg.Text("text", {{"x", SvgNumber(kMargin)}, {"y", "26"}, {"font-size", "20"}, {"font-weight", "bold"}},
           FormatText("Race map: %llu gates, %d laps, limit %.0f kts", static_cast<unsigned long long>(trace_.course.gates.size()), trace_.course.laps,
                      limit_kts));
  std::string summary;
  if (trace_.finished) {
    summary = "Race time " + DurationText(trace_.race_time);
  } else {
    summary = FormatText("Not finished: %llu of %d laps", static_cast<unsigned long long>(trace_.laps.size()), trace_.course.laps);
  }
  summary += FormatText(", %llu gate%s skipped, %llu flag%s", static_cast<unsigned long long>(explanation_.skips.size()),
                        explanation_.skips.size() == 1 ? "" : "s", static_cast<unsigned long long>(explanation_.flags.size()),
                        explanation_.flags.size() == 1 ? "" : "s");
  svg.Text("text", {{"x", SvgNumber(kMargin)}, {"y", "50"}, {"font-size", "15"}}, summary);
}

void MapDrawer::DrawGates(SvgWriter& svg) const {
  svg.Open("g", {{"id", "gates"}});
  for (std::size_t i = 0; i < trace_.course.gates.size(); ++i) {
    const Gate& gate = *trace_.course.gates[i];
    const PlanePoint left = projection_.Project(GeoPoint{gate.left_lat, gate.left_lon});
    const PlanePoint right = projection_.Project(GeoPoint{gate.right_lat, gate.right_lon});
    const PlanePoint l = screen_(left);
    const PlanePoint r = screen_(right);
    const PlanePoint m = (l + r) * 0.5;
    const double width_px = Length(r - l);
    // The way the gate is flown is left -> right turned a quarter counter-clockwise
    // on the ground, which is clockwise on the screen (y down).
    PlanePoint along{1, 0};
    if (width_px > 0) along = (r - l) * (1 / width_px);
    const PlanePoint ahead{along.y, -along.x};
    const std::string band = gate.min_alt == 0 && gate.max_alt == 0
                                 ? std::string("no altitude band")
                                 : FormatText("altitude %d-%s ft", gate.min_alt,
                                              gate.max_alt == 0 ? "any" : std::to_string(gate.max_alt).c_str());
    svg.Open("g", {{"class", "gate"}, {"data-gate", std::to_string(i + 1)}});
    svg.Title(FormatText("Gate %llu: %.3f nm wide, flown toward %.0f deg, %s", static_cast<unsigned long long>(i + 1),
                         Length(left - right), PlaneBearing(PlanePoint{-(right - left).y, (right - left).x}),
                         band.c_str()));
    svg.Empty("line", {{"class", "gate-line"},
                       {"x1", SvgNumber(l.x)},
                       {"y1", SvgNumber(l.y)},
                       {"x2", SvgNumber(r.x)},
                       {"y2", SvgNumber(r.y)},
                       {"stroke", "#111111"},
                       {"stroke-width", "5"},
                       {"stroke-linecap", "round"}});
    // The direction: an arrowhead just beyond the line.
    const double size = 9;
    const PlanePoint base = m + ahead * 4;
    svg.Empty("polygon", {{"class", "gate-arrow"},
                          {"points", Points({base + along * size, base + ahead * (size * 1.4), base - along * size})},
                          {"fill", "#111111"}});
    const PlanePoint label = l - along * 13;
    svg.Text("text", {{"class", "gate-number"},
                      {"x", SvgNumber(label.x)},
                      {"y", SvgNumber(label.y + 6)},
                      {"font-size", "17"},
                      {"font-weight", "bold"},
                      {"text-anchor", "middle"},
                      {"stroke", "#ffffff"},
                      {"stroke-width", "4"},
                      {"paint-order", "stroke"}},
             std::to_string(i + 1));
    svg.Close();
  }
  svg.Close();
}

void MapDrawer::DrawTracks(SvgWriter& svg) const {
  svg.Open("g", {{"id", "tracks"}, {"clip-path", "url(#map-area)"}, {"fill", "none"}, {"stroke-linejoin", "round"},
                 {"stroke-linecap", "round"}});
  if (approach_.size() > 1) {
    svg.Empty("path", {{"class", "approach"},
                       {"d", PathData(screen_, approach_, 0, approach_.size())},
                       {"stroke", "#888888"},
                       {"stroke-width", "2"},
                       {"stroke-dasharray", "2 4"}});
  }
  // Every lap's band first, then every lap's speed line over all the bands, so a
  // later lap never hides an earlier one's colours.
  for (std::size_t k = 0; k < laps_.size(); ++k) {
    const std::vector<TrackPoint>& lap = laps_[k];
    const int number = static_cast<int>(k + 1);
    svg.Open("g", {{"class", "lap"}, {"data-lap", std::to_string(number)}});
    svg.Title(FormatText("Lap %d", number));
    svg.Empty("path", {{"class", "track"},
                       {"data-lap", std::to_string(number)},
                       {"d", PathData(screen_, lap, 0, lap.size())},
                       {"stroke", LapColour(number)},
                       {"stroke-opacity", "0.45"},
                       {"stroke-width", SvgNumber(LapBandWidth(number, laps_.size()))}});
    svg.Close();
  }
  for (std::size_t k = 0; k < laps_.size(); ++k) {
    const std::vector<TrackPoint>& lap = laps_[k];
    const int number = static_cast<int>(k + 1);
    svg.Open("g", {{"class", "lap-speed"}, {"data-lap", std::to_string(number)}});
    // One path per run of edges of the same colour; the edge into point e is the
    // sample stretch lap[e].stretch.
    auto bin_of = [&](std::size_t e) { return SpeedBin(speed_ratio_[lap[e].stretch]); };
    for (std::size_t e = 1; e < lap.size();) {
      const int bin = bin_of(e);
      std::size_t f = e;
      while (f + 1 < lap.size() && bin_of(f + 1) == bin) ++f;
      SvgAttributes attributes = {{"class", "speed"},
                                  {"d", PathData(screen_, lap, e - 1, f + 1)},
                                  {"stroke", kSpeedColours[bin]},
                                  {"stroke-width", bin == 3 ? "5" : "3"}};
      if (*LapDash(number) != '\0') attributes.emplace_back("stroke-dasharray", LapDash(number));
      svg.Empty("path", attributes);
      e = f + 1;
    }
    svg.Close();
  }
  svg.Close();
}

void MapDrawer::DrawMarks(SvgWriter& svg) const {
  svg.Open("g", {{"id", "marks"}});
  for (std::size_t i = 0; i < trace_.crossings.size(); ++i) {
    const TracedCrossing& c = trace_.crossings[i];
    const CrossingExplanation& e = explanation_.crossings[i];
    const PlanePoint p = screen_(Between(c.sample, e.fraction));
    const bool lap_end = c.starts_timing || c.completes_lap.has_value();
    svg.Open("g", {{"class", lap_end ? "mark crossing lap-end" : "mark crossing"},
                   {"data-gate", std::to_string(c.gate + 1)}});
    std::string title = FormatText("Gate %d crossed: sampled %s s, interpolated %s s", c.gate + 1,
                                   SecondsText(e.sampled).c_str(), SecondsText(e.interpolated).c_str());
    if (c.starts_timing) title += "; timing started";
    if (c.completes_lap) title += FormatText("; lap %d completed", *c.completes_lap);
    svg.Title(title);
    if (lap_end) {
      svg.Empty("rect", {{"x", SvgNumber(p.x - 5)}, {"y", SvgNumber(p.y - 5)}, {"width", "10"}, {"height", "10"},
                         {"fill", "#ffffff"}, {"stroke", kMarkColour}, {"stroke-width", "2.5"}});
    } else {
      svg.Empty("circle", {{"cx", SvgNumber(p.x)}, {"cy", SvgNumber(p.y)}, {"r", "4"}, {"fill", "#ffffff"},
                           {"stroke", kMarkColour}, {"stroke-width", "2"}});
    }
    svg.Close();
  }

  for (const SkipExplanation& skip : explanation_.skips) {
    const Gate& gate = *trace_.course.gates[static_cast<std::size_t>(skip.gate)];
    const PlanePoint p = screen_(Between(skip.pass.sample, skip.pass.fraction));
    const PlanePoint centre = (screen_(projection_.Project(GeoPoint{gate.left_lat, gate.left_lon})) +
                               screen_(projection_.Project(GeoPoint{gate.right_lat, gate.right_lon}))) *
                              0.5;
    svg.Open("g", {{"class", "mark skip"}, {"data-gate", std::to_string(skip.gate + 1)}});
    svg.Title(FormatText("Gate %d skipped: %s", skip.gate + 1, FailureText(skip.pass).c_str()));
    svg.Empty("line", {{"x1", SvgNumber(p.x)}, {"y1", SvgNumber(p.y)}, {"x2", SvgNumber(centre.x)},
                       {"y2", SvgNumber(centre.y)}, {"stroke", kSkipColour}, {"stroke-width", "1.5"},
                       {"stroke-dasharray", "3 3"}});
    const double s = 7;
    svg.Empty("path", {{"d", "M" + SvgNumber(p.x - s) + " " + SvgNumber(p.y - s) + " L" + SvgNumber(p.x + s) + " " +
                                 SvgNumber(p.y + s) + " M" + SvgNumber(p.x - s) + " " + SvgNumber(p.y + s) + " L" +
                                 SvgNumber(p.x + s) + " " + SvgNumber(p.y - s)},
                       {"stroke", kSkipColour},
                       {"stroke-width", "3.5"},
                       {"stroke-linecap", "round"}});
    svg.Text("text", {{"x", SvgNumber(p.x + 10)}, {"y", SvgNumber(p.y - 8)}, {"font-size", "15"},
                      {"font-weight", "bold"}, {"fill", kSkipColour}, {"stroke", "#ffffff"}, {"stroke-width", "4"},
                      {"paint-order", "stroke"}},
             FormatText("X%d", skip.gate + 1));
    svg.Close();
  }

  for (std::size_t i = 0; i < explanation_.flags.size(); ++i) {
    const FlagExplanation& f = explanation_.flags[i];
    const PlanePoint p = screen_(plane_[f.flag.sample]);
    svg.Open("g", {{"class", "mark flag"}, {"data-flag", FlagName(f.flag.flag)}});
    svg.Title(FormatText("%s first set at %s s", FlagName(f.flag.flag), SecondsText(f.at).c_str()));
    svg.Empty("line", {{"x1", SvgNumber(p.x)}, {"y1", SvgNumber(p.y)}, {"x2", SvgNumber(p.x)},
                       {"y2", SvgNumber(p.y - 24)}, {"stroke", kMarkColour}, {"stroke-width", "2"}});
    svg.Empty("polygon", {{"points", Points({PlanePoint{p.x, p.y - 24}, PlanePoint{p.x + 15, p.y - 19},
                                             PlanePoint{p.x, p.y - 14}})},
                          {"fill", kFlagColour},
                          {"stroke", kMarkColour},
                          {"stroke-width", "1"}});
    svg.Text("text", {{"x", SvgNumber(p.x + 17)}, {"y", SvgNumber(p.y - 14)}, {"font-size", "15"},
                      {"font-weight", "bold"}, {"fill", kMarkColour}, {"stroke", "#ffffff"}, {"stroke-width", "4"},
                      {"paint-order", "stroke"}},
             FormatText("F%llu", static_cast<unsigned long long>(i + 1)));
    svg.Close();
  }
  svg.Close();
}

void MapDrawer::DrawScaleAndNorth(SvgWriter& svg) const {
  const double nm = NiceLength(map_width_ / screen_.scale * 0.3);
  const double px = nm * screen_.scale;
  const double x = screen_.left + 12;
  const double y = screen_.top + map_height_ - 14;
  svg.Open("g", {{"class", "scale-bar"}, {"data-nm", FormatText("%g", nm)}, {"data-px", SvgNumber(px)}});
  svg.Empty("path", {{"d", "M" + SvgNumber(x) + " " + SvgNumber(y - 7) + " V" + SvgNumber(y) + " H" +
                               SvgNumber(x + px) + " V" + SvgNumber(y - 7)},
                     {"fill", "none"},
                     {"stroke", "#111111"},
                     {"stroke-width", "2.5"}});
  svg.Text("text", {{"x", SvgNumber(x + px / 2)}, {"y", SvgNumber(y - 10)}, {"font-size", "15"},
                    {"text-anchor", "middle"}},
           FormatText("%g nm", nm));
  svg.Close();

  // North at the centre of the map, from the projection itself.
  const GeoPoint c = projection_.centre();
  const double step = c.lat < 89 ? 0.01 : -0.01;
  PlanePoint north = projection_.Project(GeoPoint{c.lat + step, c.lon}) - projection_.Project(c);
  if (step < 0) north = north * -1;
  north = north * (1 / Length(north));
  const PlanePoint up{north.x, -north.y};  // on the screen
  const PlanePoint side{-up.y, up.x};
  const PlanePoint base{screen_.left + map_width_ - 28, screen_.top + 46};
  svg.Open("g", {{"class", "north-arrow"}});
  svg.Title("True north at the centre of the map");
  svg.Empty("polygon", {{"points", Points({base + up * 22, base + side * 9 - up * 10, base - side * 9 - up * 10})},
                        {"fill", "#111111"}});
  const PlanePoint label = base - up * 24;
  svg.Text("text", {{"x", SvgNumber(label.x)}, {"y", SvgNumber(label.y + 6)}, {"font-size", "17"},
                    {"font-weight", "bold"}, {"text-anchor", "middle"}},
           "N");
  svg.Close();
}

double MapDrawer::DrawLegend(SvgWriter& svg, double y) const {
  const double limit = trace_.course.max_speed * kSecondsPerHour;
  svg.Open("g", {{"class", "legend"}, {"font-size", "14"}});
  svg.Text("text", {{"x", SvgNumber(kMargin)}, {"y", SvgNumber(y)}}, "Speed against the limit (kts):");
  y += kLineHeight;
  const std::string labels[] = {FormatText("< %.0f", limit * kSpeedBounds[0]),
                                FormatText("%.0f-%.0f", limit * kSpeedBounds[0], limit * kSpeedBounds[1]),
                                FormatText("%.0f-%.0f", limit * kSpeedBounds[1], limit),
                                FormatText("> %.0f", limit)};
  for (int bin = 0; bin < 4; ++bin) {
    const double x = kMargin + bin * 152;
    svg.Empty("line", {{"x1", SvgNumber(x)}, {"y1", SvgNumber(y - 5)}, {"x2", SvgNumber(x + 28)},
                       {"y2", SvgNumber(y - 5)}, {"stroke", kSpeedColours[bin]},
                       {"stroke-width", bin == 3 ? "5" : "3"}});
    svg.Text("text", {{"x", SvgNumber(x + 34)}, {"y", SvgNumber(y)}}, labels[bin]);
  }
  y += kLineHeight + 4;
  for (std::size_t k = 0; k < laps_.size(); ++k) {
    const int number = static_cast<int>(k + 1);
    const double x = kMargin + static_cast<double>(k % 4) * 152;
    if (k > 0 && k % 4 == 0) y += kLineHeight;
    svg.Empty("line", {{"x1", SvgNumber(x)}, {"y1", SvgNumber(y - 5)}, {"x2", SvgNumber(x + 28)},
                       {"y2", SvgNumber(y - 5)}, {"stroke", LapColour(number)}, {"stroke-opacity", "0.45"},
                       {"stroke-width", SvgNumber(LapBandWidth(number, laps_.size()))}});
    SvgAttributes dash = {{"x1", SvgNumber(x)}, {"y1", SvgNumber(y - 5)}, {"x2", SvgNumber(x + 28)},
                          {"y2", SvgNumber(y - 5)}, {"stroke", "#333333"}, {"stroke-width", "3"}};
    if (*LapDash(number) != '\0') dash.emplace_back("stroke-dasharray", LapDash(number));
    svg.Empty("line", dash);
    svg.Text("text", {{"x", SvgNumber(x + 34)}, {"y", SvgNumber(y)}}, FormatText("Lap %d", number));
  }
  y += kLineHeight + 4;
  double x = kMargin + 6;
  svg.Empty("circle", {{"cx", SvgNumber(x)}, {"cy", SvgNumber(y - 5)}, {"r", "4"}, {"fill", "#ffffff"},
                       {"stroke", kMarkColour}, {"stroke-width", "2"}});
  svg.Text("text", {{"x", SvgNumber(x + 10)}, {"y", SvgNumber(y)}}, "crossing");
  x += 92;
  svg.Empty("rect", {{"x", SvgNumber(x - 5)}, {"y", SvgNumber(y - 10)}, {"width", "10"}, {"height", "10"},
                     {"fill", "#ffffff"}, {"stroke", kMarkColour}, {"stroke-width", "2.5"}});
  svg.Text("text", {{"x", SvgNumber(x + 10)}, {"y", SvgNumber(y)}}, "start, lap end");
  x += 132;
  svg.Text("text", {{"x", SvgNumber(x - 6)}, {"y", SvgNumber(y)}, {"fill", kSkipColour}, {"font-weight", "bold"}},
           "X");
  svg.Text("text", {{"x", SvgNumber(x + 10)}, {"y", SvgNumber(y)}}, "skipped gate");
  x += 128;
  const std::vector<PlanePoint> flag = {PlanePoint{x - 4, y - 13}, PlanePoint{x + 8, y - 9}, PlanePoint{x - 4, y - 5}};
  svg.Empty("polygon", {{"points", Points(flag)},
                        {"fill", kFlagColour}, {"stroke", kMarkColour}, {"stroke-width", "1"}});
  svg.Text("text", {{"x", SvgNumber(x + 12)}, {"y", SvgNumber(y)}}, "flag first set");
  svg.Close();
  return y;
}

std::string MapDrawer::Draw() {
  Measure();
  BuildTracks();

  struct NoteLine {
    std::string text;
    bool continued;  // indented under the line before
  };
  std::vector<NoteLine> note_lines;
  for (const std::string& note : Notes()) {
    const std::vector<std::string> lines = Wrap(note, kNoteChars);
    for (std::size_t i = 0; i < lines.size(); ++i) note_lines.push_back(NoteLine{lines[i], i > 0});
  }
  const double legend_top = screen_.top + map_height_ + 26;
  const double legend_rows = 4.5 + static_cast<double>(laps_.size() > 4 ? (laps_.size() - 1) / 4 : 0);
  const double notes_top = legend_top + legend_rows * kLineHeight + 14;
  const double height = notes_top + static_cast<double>(note_lines.size()) * kLineHeight + kMargin;

  SvgWriter svg(kWidth, height, {{"font-family", kFont}, {"style", "max-width:100%;height:auto"}});
  svg.Empty("rect", {{"width", "100%"}, {"height", "100%"}, {"fill", "#ffffff"}});
  svg.Open("defs");
  svg.Open("clipPath", {{"id", "map-area"}});
  svg.Empty("rect", {{"x", SvgNumber(screen_.left)}, {"y", SvgNumber(screen_.top)}, {"width", SvgNumber(map_width_)},
                     {"height", SvgNumber(map_height_)}});
  svg.Close();
  svg.Close();
  DrawHeader(svg);
  svg.Empty("rect", {{"class", "map-area"}, {"x", SvgNumber(screen_.left)}, {"y", SvgNumber(screen_.top)},
                     {"width", SvgNumber(map_width_)}, {"height", SvgNumber(map_height_)}, {"fill", "#f7f7f2"},
                     {"stroke", "#bbbbbb"}});
  DrawTracks(svg);
  DrawGates(svg);
  DrawMarks(svg);
  DrawScaleAndNorth(svg);
  DrawLegend(svg, legend_top);
  svg.Open("g", {{"class", "notes"}, {"font-size", "14"}});
  double y = notes_top;
  for (const NoteLine& line : note_lines) {
    svg.Text("text", {{"x", SvgNumber(kMargin + (line.continued ? 18 : 0))}, {"y", SvgNumber(y)}}, line.text);
    y += kLineHeight;
  }
  svg.Close();
  return svg.Finish();
}

}  // namespace

std::string DrawRaceMap(const RaceTrace& trace, const RaceExplanation& explanation) {
  return MapDrawer(trace, explanation).Draw();
}

}  // namespace volantis::replay
