#include "race_compare.h"

#include <algorithm>
#include <deque>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <sstream>
#include <unordered_set>

#include "local_projection.h"
#include "platform/text_format.h"
#include "race_analysis.h"
#include "race_export.h"
#include "svg_writer.h"

namespace volantis::replay {
namespace {

constexpr double kWidth = 640;
constexpr double kMargin = 16;
constexpr double kLineHeight = 20;
constexpr const char* kFont = "DejaVu Sans, Helvetica, Arial, sans-serif";
constexpr const char* kPilotColours[] = {"#1b9e77", "#d95f02", "#7570b3", "#e7298a",
                                         "#66a61e", "#e6ab02", "#a6761d", "#1f78b4"};
constexpr const char* kPilotDashes[] = {"", "10 5", "3 4"};

const char* PilotColour(std::size_t i) { return kPilotColours[i % std::size(kPilotColours)]; }
const char* PilotDash(std::size_t i) { return kPilotDashes[(i / std::size(kPilotColours)) % std::size(kPilotDashes)]; }

std::string CourseCore(const std::string& text) {
  std::string core = text;
  const std::string prefix = "Race start info:";
  if (core.rfind(prefix, 0) == 0) core.erase(0, prefix.size());
  core.erase(std::remove_if(core.begin(), core.end(), [](char c) { return c == ' ' || c == '\r' || c == '\n'; }),
             core.end());
  return core;
}

// The document without its XML declaration, to stand inside a page.
std::string Inline(const std::string& svg) {
  const std::size_t at = svg.find("<svg");
  return at == std::string::npos ? svg : svg.substr(at);
}

std::string RaceTimeText(const RaceAnalysis& a) { return a.finished ? SecondsText(a.race_time) : std::string(); }

std::string BestLapText(const RaceAnalysis& a) {
  return a.best_lap ? SecondsText(a.laps[*a.best_lap].time.sampled) : std::string();
}

std::vector<FairnessFlag> AllFlags(const RaceTrace& trace) {
  std::vector<FairnessFlag> flags;
  for (const TracedFlag& f : trace.flags) flags.push_back(f.flag);
  return flags;
}

// Who each race is on the page: the pilot, and the start time when one pilot flew several.
std::vector<std::string> Labels(const std::vector<AnalysedRace>& races) {
  std::vector<std::string> names;
  for (const AnalysedRace& r : races) names.push_back(r.pilot.empty() ? r.name : r.pilot);
  auto count = [](const std::vector<std::string>& list, const std::string& one) {
    return static_cast<std::size_t>(std::count(list.begin(), list.end(), one));
  };
  std::vector<std::string> stamped = names;
  for (std::size_t i = 0; i < races.size(); ++i) {
    const std::string stamp = IsoStamp(races[i].started);
    if (count(names, names[i]) > 1 && !stamp.empty()) stamped[i] += " (" + stamp + ")";
  }
  // Still the same (one pilot, one start time): the record's folder tells them apart.
  std::vector<std::string> labels = stamped;
  for (std::size_t i = 0; i < races.size(); ++i) {
    if (count(stamped, stamped[i]) > 1) labels[i] = names[i] + " (" + races[i].name + ")";
  }
  return labels;
}

// The race-clock time of every passage: index 0 is the start at gate 1, then for
// lap L gate k (1-based) the index (L-1)*N + k-1, lap L's end at gate 1 being L*N.
std::vector<std::optional<double>> Passages(const AnalysedRace& race, std::size_t gates, int32_t laps) {
  std::vector<std::optional<double>> at(gates * static_cast<std::size_t>(std::max(laps, 0)) + 1);
  const RaceTrace& trace = race.report.trace;
  if (!trace.start_crossing || gates == 0) return at;
  std::size_t done = 0;
  for (std::size_t j = *trace.start_crossing; j < trace.crossings.size(); ++j) {
    const TracedCrossing& c = trace.crossings[j];
    std::size_t index = 0;
    if (j != *trace.start_crossing) {
      index = c.gate == 0 ? (done + 1) * gates : done * gates + static_cast<std::size_t>(c.gate);
    }
    if (index < at.size()) at[index] = race.report.explanation.crossings[j].sampled;
    if (c.completes_lap) ++done;
  }
  return at;
}

// A break between two drawn stretches of a thinned track.
constexpr double kBreak = std::numeric_limits<double>::quiet_NaN();
bool IsBreak(const GeoPoint& g) { return std::isnan(g.lat); }

// The track from the sample before the start, as a map about a pixel fine can
// show it: a point closer than `spacing` nautical miles to the last one is left
// out, and so is a stretch that stays on ground the track covered already (a
// lap flown over the one before adds nothing), with a break in its place.
std::vector<GeoPoint> ThinnedTrack(const AnalysedRace& race) {
  const RaceTrace& trace = race.report.trace;
  std::size_t first = 0;
  if (trace.start_crossing) {
    const std::size_t s = trace.crossings[*trace.start_crossing].sample;
    first = s > 0 ? s - 1 : 0;
  }
  std::vector<GeoPoint> ends;
  for (const auto& gate : trace.course.gates) {
    ends.push_back(GeoPoint{gate->left_lat, gate->left_lon});
    ends.push_back(GeoPoint{gate->right_lat, gate->right_lon});
  }
  const LocalProjection projection(LocalProjection::MeanCentre(ends));
  double size = 0;
  for (const GeoPoint& e : ends) size = std::max(size, Length(projection.Project(e)));
  const double spacing = std::max(size, 0.5) / 300;  // about a pixel of the map
  std::vector<GeoPoint> points;
  std::unordered_set<uint64_t> covered;  // cells of `spacing` the drawn track passed
  PlanePoint last{};
  GeoPoint last_geo{};
  bool drawing = false;
  for (std::size_t i = first; i < trace.samples.size(); ++i) {
    const GeoPoint g{trace.samples[i].position.lat, trace.samples[i].position.lon};
    const PlanePoint p = projection.Project(g);
    if (i != first && i + 1 != trace.samples.size() && Length(p - last) < spacing) continue;
    const uint64_t cell = (static_cast<uint64_t>(static_cast<uint32_t>(static_cast<int32_t>(std::floor(p.x / spacing))))
                           << 32) |
                          static_cast<uint32_t>(static_cast<int32_t>(std::floor(p.y / spacing)));
    const bool fresh = covered.insert(cell).second;
    if (fresh) {
      if (!drawing && i != first) {
        // Resume from the point before, so the new ground joins the old.
        if (!points.empty()) points.push_back(GeoPoint{kBreak, kBreak});
        points.push_back(last_geo);
      }
      points.push_back(g);
      drawing = true;
    } else {
      drawing = false;
    }
    last = p;
    last_geo = g;
  }
  return points;
}

// Where each skipped gate was passed closest, parallel to the explanation's skips.
std::vector<GeoPoint> SkipPlaces(const AnalysedRace& race) {
  const RaceTrace& trace = race.report.trace;
  std::vector<GeoPoint> places;
  for (const SkipExplanation& skip : race.report.explanation.skips) {
    const std::size_t s = std::min(skip.pass.sample, trace.samples.empty() ? 0 : trace.samples.size() - 1);
    if (trace.samples.empty()) {
      places.push_back(GeoPoint{});
      continue;
    }
    const Sample& a = trace.samples[s > 0 ? s - 1 : 0].position;
    const Sample& b = trace.samples[s].position;
    // Between two samples 40 ms apart, degrees interpolate as well as the plane
    // does, once a step across the antimeridian is taken the short way.
    double step = b.lon - a.lon;
    if (step > 180) step -= 360;
    if (step < -180) step += 360;
    double lon = a.lon + step * skip.pass.fraction;
    if (lon > 180) lon -= 360;
    if (lon < -180) lon += 360;
    places.push_back(GeoPoint{a.lat + (b.lat - a.lat) * skip.pass.fraction, lon});
  }
  return places;
}

class CompareMap {
 public:
  CompareMap(const std::vector<AnalysedRace>& races, const std::vector<std::string>& labels,
             const std::vector<std::size_t>& order)
      : races_(races), labels_(labels), order_(order), projection_(Centre(races.front().report.trace)) {}

  std::string Draw() {
    const RaceTrace& course_trace = races_.front().report.trace;
    std::vector<PlanePoint> shown;
    for (const auto& gate : course_trace.course.gates) {
      shown.push_back(projection_.Project(GeoPoint{gate->left_lat, gate->left_lon}));
      shown.push_back(projection_.Project(GeoPoint{gate->right_lat, gate->right_lon}));
    }
    if (shown.empty()) shown.push_back(PlanePoint{});
    double min_x = shown[0].x, max_x = shown[0].x, min_y = shown[0].y, max_y = shown[0].y;
    auto widen = [&](PlanePoint p) {
      min_x = std::min(min_x, p.x);
      max_x = std::max(max_x, p.x);
      min_y = std::min(min_y, p.y);
      max_y = std::max(max_y, p.y);
    };
    for (const PlanePoint& p : shown) widen(p);
    for (const AnalysedRace& race : races_) {
      for (const GeoPoint& g : Track(race)) {
        if (!IsBreak(g)) widen(projection_.Project(g));
      }
    }
    const double pad = std::max(0.05, 0.08 * std::max(max_x - min_x, max_y - min_y));
    min_x -= pad;
    max_x += pad;
    min_y -= pad;
    max_y += pad;
    scale_ = std::min((kWidth - 2 * kMargin) / (max_x - min_x), 760 / (max_y - min_y));
    const double map_width = (max_x - min_x) * scale_;
    const double map_height = (max_y - min_y) * scale_;
    left_ = (kWidth - map_width) / 2 - min_x * scale_;
    top_ = 64 + max_y * scale_;
    const double legend_top = 64 + map_height + 28;
    const double height = legend_top + static_cast<double>(races_.size() + 1) * kLineHeight + kMargin;

    SvgWriter svg(kWidth, height, {{"font-family", kFont}, {"style", "max-width:100%;height:auto"}});
    svg.Empty("rect", {{"width", "100%"}, {"height", "100%"}, {"fill", "#ffffff"}});
    svg.Text("text", {{"x", SvgNumber(kMargin)}, {"y", "26"}, {"font-size", "20"}, {"font-weight", "bold"}},
             FormatText("Pilots compared: %llu gates, %d laps", static_cast<unsigned long long>(course_trace.course.gates.size()),
                        course_trace.course.laps));
    svg.Text("text", {{"x", SvgNumber(kMargin)}, {"y", "50"}, {"font-size", "15"}},
             FormatText("%llu race%s, each pilot's track from the start in its own colour", static_cast<unsigned long long>(races_.size()),
                        races_.size() == 1 ? "" : "s"));
    svg.Empty("rect", {{"class", "map-area"}, {"x", SvgNumber((kWidth - map_width) / 2)}, {"y", "64"},
                       {"width", SvgNumber(map_width)}, {"height", SvgNumber(map_height)}, {"fill", "#f7f7f2"},
                       {"stroke", "#bbbbbb"}});
    DrawTracks(svg);
    DrawGates(svg, course_trace);
    DrawSkips(svg);
    DrawLegend(svg, legend_top);
    return svg.Finish();
  }

 private:
  static GeoPoint Centre(const RaceTrace& trace) {
    std::vector<GeoPoint> ends;
    for (const auto& gate : trace.course.gates) {
      ends.push_back(GeoPoint{gate->left_lat, gate->left_lon});
      ends.push_back(GeoPoint{gate->right_lat, gate->right_lon});
    }
    return LocalProjection::MeanCentre(ends);
  }
  static std::vector<GeoPoint> Track(const AnalysedRace& race) {
    return race.thinned ? race.map_track : ThinnedTrack(race);
  }
  PlanePoint Screen(PlanePoint p) const { return PlanePoint{left_ + p.x * scale_, top_ - p.y * scale_}; }

  void DrawTracks(SvgWriter& svg) const {
    svg.Open("g", {{"id", "tracks"}, {"fill", "none"}, {"stroke-linejoin", "round"}, {"stroke-linecap", "round"}});
    for (const std::size_t r : order_) {
      const std::vector<GeoPoint> track = Track(races_[r]);
      std::string d;
      bool move = true;
      for (const GeoPoint& g : track) {
        if (IsBreak(g)) {
          move = true;
          continue;
        }
        const PlanePoint p = Screen(projection_.Project(g));
        d += std::string(d.empty() ? "" : " ") + (move ? "M" : "L") + SvgNumber(p.x) + " " + SvgNumber(p.y);
        move = false;
      }
      svg.Open("g", {{"class", "pilot-track"}, {"data-pilot", labels_[r]}});
      svg.Title(labels_[r]);
      SvgAttributes path = {{"class", "track"}, {"d", d}, {"stroke", PilotColour(r)}, {"stroke-width", "2.5"},
                            {"stroke-opacity", "0.85"}};
      if (*PilotDash(r) != '\0') path.emplace_back("stroke-dasharray", PilotDash(r));
      if (!d.empty()) svg.Empty("path", path);
      svg.Close();
    }
    svg.Close();
  }

  void DrawGates(SvgWriter& svg, const RaceTrace& trace) const {
    svg.Open("g", {{"id", "gates"}});
    for (std::size_t i = 0; i < trace.course.gates.size(); ++i) {
      const Gate& gate = *trace.course.gates[i];
      const PlanePoint l = Screen(projection_.Project(GeoPoint{gate.left_lat, gate.left_lon}));
      const PlanePoint r = Screen(projection_.Project(GeoPoint{gate.right_lat, gate.right_lon}));
      const double width = Length(r - l);
      const PlanePoint along = width > 0 ? (r - l) * (1 / width) : PlanePoint{1, 0};
      const PlanePoint label = l - along * 13;
      svg.Open("g", {{"class", "gate"}, {"data-gate", std::to_string(i + 1)}});
      svg.Title(FormatText("Gate %llu", static_cast<unsigned long long>(i + 1)));
      svg.Empty("line", {{"x1", SvgNumber(l.x)}, {"y1", SvgNumber(l.y)}, {"x2", SvgNumber(r.x)},
                         {"y2", SvgNumber(r.y)}, {"stroke", "#111111"}, {"stroke-width", "5"},
                         {"stroke-linecap", "round"}});
      svg.Text("text", {{"x", SvgNumber(label.x)}, {"y", SvgNumber(label.y + 6)}, {"font-size", "17"},
                        {"font-weight", "bold"}, {"text-anchor", "middle"}, {"stroke", "#ffffff"},
                        {"stroke-width", "4"}, {"paint-order", "stroke"}},
               std::to_string(i + 1));
      svg.Close();
    }
    svg.Close();
  }

  void DrawSkips(SvgWriter& svg) const {
    svg.Open("g", {{"id", "skips"}});
    for (const std::size_t r : order_) {
      const std::vector<SkipExplanation>& skips = races_[r].report.explanation.skips;
      const std::vector<GeoPoint> places = races_[r].thinned ? races_[r].map_skips : SkipPlaces(races_[r]);
      for (std::size_t n = 0; n < skips.size() && n < places.size(); ++n) {
        const SkipExplanation& skip = skips[n];
        const PlanePoint p = Screen(projection_.Project(places[n]));
        const double k = 7;
        svg.Open("g", {{"class", "mark skip"}, {"data-pilot", labels_[r]}, {"data-gate", std::to_string(skip.gate + 1)}});
        svg.Title(FormatText("%s skipped gate %d (lap %d): %s", labels_[r].c_str(), skip.gate + 1, skip.lap,
                             FailureText(skip.pass).c_str()));
        svg.Empty("path", {{"d", "M" + SvgNumber(p.x - k) + " " + SvgNumber(p.y - k) + " L" + SvgNumber(p.x + k) +
                                     " " + SvgNumber(p.y + k) + " M" + SvgNumber(p.x - k) + " " +
                                     SvgNumber(p.y + k) + " L" + SvgNumber(p.x + k) + " " + SvgNumber(p.y - k)},
                           {"stroke", PilotColour(r)}, {"stroke-width", "3.5"}, {"stroke-linecap", "round"}});
        svg.Text("text", {{"x", SvgNumber(p.x + 10)}, {"y", SvgNumber(p.y - 8)}, {"font-size", "14"},
                          {"font-weight", "bold"}, {"fill", PilotColour(r)}, {"stroke", "#ffffff"},
                          {"stroke-width", "4"}, {"paint-order", "stroke"}},
                 FormatText("X%d", skip.gate + 1));
        svg.Close();
      }
    }
    svg.Close();
  }

  void DrawLegend(SvgWriter& svg, double y) const {
    svg.Open("g", {{"class", "legend"}, {"font-size", "14"}});
    for (const std::size_t r : order_) {
      const RaceAnalysis& a = races_[r].report.analysis;
      svg.Open("g", {{"class", "legend-pilot"}, {"data-pilot", labels_[r]}});
      SvgAttributes line = {{"x1", SvgNumber(kMargin)}, {"y1", SvgNumber(y - 5)}, {"x2", SvgNumber(kMargin + 32)},
                            {"y2", SvgNumber(y - 5)}, {"stroke", PilotColour(r)}, {"stroke-width", "4"}};
      if (*PilotDash(r) != '\0') line.emplace_back("stroke-dasharray", PilotDash(r));
      svg.Empty("line", line);
      std::string text = labels_[r] + ": ";
      text += a.finished ? "race time " + SecondsText(a.race_time) + " s"
                         : FormatText("not finished, %llu lap%s", static_cast<unsigned long long>(a.laps.size()), a.laps.size() == 1 ? "" : "s");
      svg.Text("text", {{"x", SvgNumber(kMargin + 40)}, {"y", SvgNumber(y)}}, text);
      svg.Close();
      y += kLineHeight;
    }
    svg.Text("text", {{"x", SvgNumber(kMargin)}, {"y", SvgNumber(y)}},
             "X: a gate the pilot skipped, at the closest pass, in the pilot's colour");
    svg.Close();
  }

  const std::vector<AnalysedRace>& races_;
  const std::vector<std::string>& labels_;
  const std::vector<std::size_t>& order_;
  LocalProjection projection_;
  double scale_ = 1;
  double left_ = 0;
  double top_ = 0;
};

constexpr std::size_t kMostDots = 201;

// Seconds behind the leader at every gate of every lap, one line per pilot.
std::string DrawGaps(const std::vector<AnalysedRace>& races, const std::vector<std::string>& labels,
                     const std::vector<std::size_t>& order) {
  const RaceTrace& course_trace = races.front().report.trace;
  const std::size_t gates = course_trace.course.gates.size();
  const int32_t laps = course_trace.course.laps;
  std::vector<std::vector<std::optional<double>>> at;
  for (const AnalysedRace& race : races) at.push_back(Passages(race, gates, laps));
  const std::size_t leader = order.front();
  const std::size_t passages = at[leader].size();
  std::vector<std::vector<std::optional<double>>> gap(races.size(), std::vector<std::optional<double>>(passages));
  double low = 0, high = 0;
  for (std::size_t r = 0; r < races.size(); ++r) {
    for (std::size_t i = 0; i < passages; ++i) {
      if (!at[r][i] || !at[leader][i]) continue;
      const double g = *at[r][i] - *at[leader][i];
      gap[r][i] = g;
      low = std::min(low, g);
      high = std::max(high, g);
    }
  }
  if (high - low < 1) high = low + 1;
  const double span = high - low;
  low -= span * 0.05;
  high += span * 0.05;

  const double plot_left = 70, plot_right = kWidth - kMargin, plot_top = 64, plot_bottom = 384;
  const double step = passages > 1 ? (plot_right - plot_left) / static_cast<double>(passages - 1) : 0;
  auto x_of = [&](std::size_t i) { return plot_left + step * static_cast<double>(i); };
  auto y_of = [&](double g) { return plot_top + (g - low) / (high - low) * (plot_bottom - plot_top); };
  const double height = plot_bottom + 44 + static_cast<double>(races.size()) * kLineHeight + kMargin;

  SvgWriter svg(kWidth, height, {{"font-family", kFont}, {"style", "max-width:100%;height:auto"}});
  svg.Empty("rect", {{"width", "100%"}, {"height", "100%"}, {"fill", "#ffffff"}});
  svg.Text("text", {{"x", SvgNumber(kMargin)}, {"y", "26"}, {"font-size", "20"}, {"font-weight", "bold"}},
           "Time behind the leader at each gate");
  svg.Text("text", {{"x", SvgNumber(kMargin)}, {"y", "50"}, {"font-size", "15"}},
           "Seconds on the race clock against " + labels[leader] + "; down is behind, a rise is time gained");
  svg.Open("g", {{"class", "axes"}, {"font-size", "12"}});
  svg.Empty("rect", {{"x", SvgNumber(plot_left)}, {"y", SvgNumber(plot_top)},
                     {"width", SvgNumber(plot_right - plot_left)}, {"height", SvgNumber(plot_bottom - plot_top)},
                     {"fill", "#f7f7f2"}, {"stroke", "#bbbbbb"}});
  // Seconds: about six ticks of 1, 2 or 5 times a power of ten.
  const double raw = (high - low) / 6;
  const double power = std::pow(10.0, std::floor(std::log10(raw)));
  double tick = power;
  for (const double m : {1.0, 2.0, 5.0, 10.0}) {
    if (m * power >= raw) {
      tick = m * power;
      break;
    }
  }
  for (double v = std::ceil(low / tick) * tick; v <= high; v += tick) {
    const double y = y_of(v);
    svg.Empty("line", {{"x1", SvgNumber(plot_left)}, {"y1", SvgNumber(y)}, {"x2", SvgNumber(plot_right)},
                       {"y2", SvgNumber(y)}, {"stroke", std::abs(v) < tick / 2 ? "#555555" : "#dddddd"}});
    const double shown = std::abs(v) < tick / 2 ? 0.0 : v;
    svg.Text("text", {{"x", SvgNumber(plot_left - 6)}, {"y", SvgNumber(y + 4)}, {"text-anchor", "end"}},
             FormatText("%+g s", shown));
  }
  for (int32_t lap = 1; lap <= laps && gates > 0; ++lap) {
    const double x = x_of(static_cast<std::size_t>(lap) * gates);
    svg.Empty("line", {{"x1", SvgNumber(x)}, {"y1", SvgNumber(plot_top)}, {"x2", SvgNumber(x)},
                       {"y2", SvgNumber(plot_bottom)}, {"stroke", "#999999"}, {"stroke-dasharray", "4 4"}});
    svg.Text("text", {{"x", SvgNumber(x - step * static_cast<double>(gates) / 2)}, {"y", SvgNumber(plot_bottom + 16)},
                      {"text-anchor", "middle"}},
             FormatText("Lap %d", lap));
  }
  svg.Close();

  svg.Open("g", {{"id", "gaps"}, {"fill", "none"}});
  for (const std::size_t r : order) {
    svg.Open("g", {{"class", "pilot-gap"}, {"data-pilot", labels[r]}});
    svg.Title(labels[r]);
    std::string d;
    bool drawing = false;
    for (std::size_t i = 0; i < passages; ++i) {
      if (!gap[r][i]) {
        drawing = false;
        continue;
      }
      d += std::string(d.empty() ? "" : " ") + (drawing ? "L" : "M") + SvgNumber(x_of(i)) + " " +
           SvgNumber(y_of(*gap[r][i]));
      drawing = true;
    }
    SvgAttributes path = {{"d", d}, {"stroke", PilotColour(r)}, {"stroke-width", "2.5"}};
    if (*PilotDash(r) != '\0') path.emplace_back("stroke-dasharray", PilotDash(r));
    if (!d.empty()) svg.Empty("path", path);
    // A dot with its figure at every gate while they can be told apart (about 20 laps of 10 gates).
    for (std::size_t i = 1; i < passages && passages <= kMostDots; ++i) {
      if (!gap[r][i]) continue;
      const std::size_t lap = (i - 1) / gates + 1;
      const std::size_t gate = i % gates == 0 ? 1 : i % gates + 1;
      svg.Open("circle", {{"class", "gap-point"}, {"cx", SvgNumber(x_of(i))}, {"cy", SvgNumber(y_of(*gap[r][i]))},
                          {"r", "2.5"}, {"fill", PilotColour(r)}});
      svg.Title(FormatText("%s, lap %llu, gate %llu: %s s behind", labels[r].c_str(), static_cast<unsigned long long>(lap), static_cast<unsigned long long>(gate),
                           SecondsText(*gap[r][i]).c_str()));
      svg.Close();
    }
    svg.Close();
  }
  svg.Close();

  double y = plot_bottom + 44;
  svg.Open("g", {{"class", "legend"}, {"font-size", "14"}});
  for (const std::size_t r : order) {
    svg.Empty("line", {{"x1", SvgNumber(kMargin)}, {"y1", SvgNumber(y - 5)}, {"x2", SvgNumber(kMargin + 32)},
                       {"y2", SvgNumber(y - 5)}, {"stroke", PilotColour(r)}, {"stroke-width", "4"}});
    svg.Text("text", {{"x", SvgNumber(kMargin + 40)}, {"y", SvgNumber(y)}}, labels[r]);
    y += kLineHeight;
  }
  svg.Close();
  return svg.Finish();
}

std::string Cell(const std::string& tag, const std::string& text) {
  return "<" + tag + ">" + EscapeXml(text) + "</" + tag + ">";
}

}  // namespace

void ThinForComparison(AnalysedRace& race) {
  if (race.thinned) return;
  race.map_track = ThinnedTrack(race);
  race.map_skips = SkipPlaces(race);
  race.thinned = true;
  std::deque<TracedSample>().swap(race.report.trace.samples);
}

bool SameCourse(const std::string& a, const std::string& b) { return CourseCore(a) == CourseCore(b); }

std::string CourseName(const std::string& course_text) {
  const std::string core = CourseCore(course_text);
  std::size_t gates = 0;
  for (std::size_t at = core.find("gate="); at != std::string::npos; at = core.find("gate=", at + 5)) ++gates;
  std::string laps = "?";
  const std::size_t l = core.find("laps=");
  if (l != std::string::npos) laps = core.substr(l + 5, core.find(';', l) - (l + 5));
  std::string first;
  const std::size_t g = core.find("gate=");
  if (g != std::string::npos) {
    const std::string gate = core.substr(g + 5, core.find(';', g) - (g + 5));
    const std::size_t second_comma = gate.find(',', gate.find(',') + 1);
    first = ", gate 1 at " + gate.substr(0, second_comma);
  }
  return FormatText("the course of %llu gate%s, %s laps", static_cast<unsigned long long>(gates), gates == 1 ? "" : "s", laps.c_str()) + first;
}

std::vector<std::size_t> RankRaces(const std::vector<AnalysedRace>& races) {
  std::vector<std::size_t> order(races.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    const RaceAnalysis& x = races[a].report.analysis;
    const RaceAnalysis& y = races[b].report.analysis;
    if (x.finished != y.finished) return x.finished;
    if (x.finished) return x.race_time < y.race_time;
    return x.laps.size() > y.laps.size();
  });
  return order;
}

ComparisonFiles CompareRaces(const std::vector<AnalysedRace>& races) {
  ComparisonFiles out;
  if (races.empty()) return out;
  const std::vector<std::size_t> order = RankRaces(races);
  const std::vector<std::string> labels = Labels(races);
  const std::size_t gates = races.front().report.analysis.gates;

  std::ostringstream ranking;
  ranking << "rank,pilot,race_time,laps,best_lap,flags\n";
  std::ostringstream laps;
  laps << LapsCsvHeader(gates);
  for (std::size_t k = 0; k < order.size(); ++k) {
    const AnalysedRace& race = races[order[k]];
    const RaceAnalysis& a = race.report.analysis;
    ranking << k + 1 << ',' << CsvField(labels[order[k]]) << ',' << RaceTimeText(a) << ',' << a.laps.size() << ','
            << BestLapText(a) << ',' << FlagsText(AllFlags(race.report.trace)) << '\n';
    WriteLapsCsvRows(race, laps);
    out.summary += FormatText("COMPARE %llu. ", static_cast<unsigned long long>(k + 1)) + labels[order[k]] + ": " +
                   (a.finished ? "race time " + SecondsText(a.race_time) + " s"
                               : FormatText("not finished, %llu lap%s", static_cast<unsigned long long>(a.laps.size()), a.laps.size() == 1 ? "" : "s")) +
                   (a.best_lap ? ", best lap " + BestLapText(a) + " s" : std::string()) + "\n";
  }

  const std::string map = CompareMap(races, labels, order).Draw();
  const std::string gaps = DrawGaps(races, labels, order);

  const RaceTrace& course = races.front().report.trace;
  std::string html;
  html += "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
          "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
          "<title>Pilots compared</title>\n<style>\n"
          "body{font-family:DejaVu Sans,Helvetica,Arial,sans-serif;margin:1em;max-width:60em;color:#222}\n"
          "table{border-collapse:collapse;margin:0.5em 0 1.5em}\n"
          "th,td{border:1px solid #bbb;padding:0.2em 0.5em;text-align:right}\n"
          "th{background:#eee}td.pilot,td.flags{text-align:left}\n"
          ".swatch{display:inline-block;width:1em;height:0.6em;margin-right:0.4em}\n"
          "figure{margin:0 0 1.5em}.wide{overflow-x:auto}\n</style>\n</head>\n<body>\n";
  html += "<h1>Pilots compared</h1>\n<p>" +
          EscapeXml(FormatText("%llu race%s on one course of %llu gates and %d laps.", static_cast<unsigned long long>(races.size()),
                               races.size() == 1 ? "" : "s", static_cast<unsigned long long>(gates), course.course.laps)) +
          " Times in seconds, from the instants the module judged. The same tables as "
          "<a href=\"ranking.csv\">ranking.csv</a> and <a href=\"laps.csv\">laps.csv</a>.</p>\n";
  html += "<h2>Ranking</h2>\n<table class=\"ranking\">\n<thead><tr><th>Rank</th><th>Pilot</th><th>Race time</th>"
          "<th>Laps</th><th>Best lap</th><th>Flags</th></tr></thead>\n<tbody>\n";
  for (std::size_t k = 0; k < order.size(); ++k) {
    const AnalysedRace& race = races[order[k]];
    const RaceAnalysis& a = race.report.analysis;
    html += "<tr>" + Cell("td", std::to_string(k + 1)) + "<td class=\"pilot\"><span class=\"swatch\" style=\"background:" +
            std::string(PilotColour(order[k])) + "\"></span>" + EscapeXml(labels[order[k]]) + "</td>" +
            Cell("td", a.finished ? SecondsText(a.race_time) : std::string("not finished")) +
            Cell("td", std::to_string(a.laps.size())) + Cell("td", BestLapText(a)) + "<td class=\"flags\">" +
            EscapeXml(FlagsText(AllFlags(race.report.trace))) + "</td></tr>\n";
  }
  html += "</tbody>\n</table>\n";
  html += "<h2>Map</h2>\n<figure class=\"map\">\n" + Inline(map) + "</figure>\n";
  html += "<h2>Time behind the leader</h2>\n<figure class=\"gaps\">\n" + Inline(gaps) + "</figure>\n";
  html += "<h2>Laps</h2>\n<p>Split k runs from gate k to the next gate; the last one ends back at gate 1. A skipped "
          "gate leaves the splits on both sides of it empty.</p>\n";
  html += "<div class=\"wide\">\n<table class=\"laps\">\n<thead><tr><th>Pilot</th><th>Lap</th><th>Lap time</th><th>Skips</th>";
  for (std::size_t g = 1; g <= gates; ++g) html += "<th>Split " + std::to_string(g) + "</th>";
  html += "<th>Flags</th></tr></thead>\n<tbody>\n";
  for (const std::size_t r : order) {
    const RaceAnalysis& a = races[r].report.analysis;
    for (const LapAnalysis& lap : a.laps) {
      const bool best = a.best_lap && &a.laps[*a.best_lap] == &lap;
      html += std::string("<tr") + (best ? " class=\"best\"" : "") + "><td class=\"pilot\">" + EscapeXml(labels[r]) +
              "</td>" + Cell("td", std::to_string(lap.number)) +
              Cell("td", MillisText(std::llround(lap.time.sampled * 1000))) + Cell("td", std::to_string(lap.skips));
      for (std::size_t g = 0; g < gates; ++g) {
        html += Cell("td", lap.splits[g] ? MillisText(SplitMillis(lap, g, false)) : std::string());
      }
      html += "<td class=\"flags\">" + EscapeXml(FlagsText(lap.flags)) + "</td></tr>\n";
    }
  }
  html += "</tbody>\n</table>\n</div>\n</body>\n</html>\n";

  out.files = {{"ranking.csv", ranking.str()}, {"laps.csv", laps.str()}, {"map.svg", map}, {"gaps.svg", gaps},
               {"index.html", html}};
  out.summary += "COMPARE wrote index.html, ranking.csv, laps.csv, map.svg and gaps.svg\n";
  return out;
}

}  // namespace volantis::replay
