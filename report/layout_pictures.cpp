// SVG text for the plan and the profile, and the steps that fit a picture to its budget.
#include "report/layout_pictures.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <optional>
#include <tuple>

#include "catalogue/file_system.h"
#include "report/layout_drawing.h"
#include "report/svg_path.h"

namespace velodex {
namespace {

constexpr const char* kStationColour = "#d33";
constexpr const char* kChainColour = "#222";
constexpr const char* kHedgeColour = "#373";
constexpr const char* kTileColour = "#eee";

void AddStroke(PathData& path, const PlanStroke& s, bool curves) {
  if (!path.atPen(s.from)) path.moveTo(s.from);
  if (!curves || s.shape == PlanStroke::kLine) {
    path.lineTo(s.to);
  } else if (s.shape == PlanStroke::kQuadratic) {
    path.quadTo(s.c1, s.to);
  } else {
    path.cubicTo(s.c1, s.c2, s.to);
  }
}

struct PlanStyle {
  bool tiles = true;
  bool curves = true;
  bool marks = true;          // stations, chain lifts, the start
  bool labels = true;         // the plan's scale bar and north arrow
  bool profileLabels = true;  // the profile's height marks and start line
  bool profileScale = true;   // the profile's scale bar and start line
  bool profileMarks = true;   // the profile's stations and chain lifts
  int bands = kHeightColours;
  double simplify = 0;  // tolerance in half tiles; 0 keeps every joint
  // The profile's tolerance, in half tiles along and half height units: half a unit is
  // invisible at any size the picture is shown.
  double profileSimplify = 0.5;
  int decimals = 1;
};

int ScaleTiles(double width) {
  int tiles = 1;
  for (int n : {2, 5, 10, 20, 50}) {
    if (2 * n <= width / 3) tiles = n;
  }
  return tiles;
}

// The picture's content with its view box, to stand alone or nest in another picture.
struct Picture {
  double x = 0, y = 0, width = 1, height = 1;
  double text = 0;  // the size of its labels; 0 when it has none
  std::string body;
};

// The colour of band b when the heights are shown in only bands colours: the lowest and
// highest colours and evenly between, so that few colours still differ clearly.
uint32_t ShownColour(int band, int bands) {
  return BandColour(bands > 1 ? band * (kHeightColours - 1) / (bands - 1) : kHeightColours / 2);
}

// The track, one path per height colour; with a legend, each colour's path also draws its
// swatch, a short stretch of line, at legend + band * cell, lowest first.
struct Legend {
  PlanPoint at;
  double cell = 0;
};

void AddTrack(const PlanDrawing& d, const PlanStyle& style, const std::optional<Legend>& legend,
              std::string& body) {
  if (style.simplify > 0) {
    // One colour; each continuous run of joints simplified on its own.
    PathData path(style.decimals);
    size_t i = 0;
    while (i < d.strokes.size()) {
      std::vector<PlanPoint> run = {d.strokes[i].from, d.strokes[i].to};
      size_t j = i + 1;
      for (; j < d.strokes.size() && d.strokes[j].from == run.back(); ++j) {
        run.push_back(d.strokes[j].to);
      }
      std::vector<bool> keep(run.size(), false);
      keep.front() = keep.back() = true;
      Simplify(run, 0, run.size() - 1, style.simplify, keep);
      path.moveTo(run.front());
      for (size_t k = 1; k < run.size(); ++k) {
        if (keep[k]) path.lineTo(run[k]);
      }
      i = j;
    }
    body += PathElement("stroke=\"" + Colour(HeightColour(0, 0, 0)) + "\"", path);
    return;
  }
  for (int band = 0; band < style.bands; ++band) {
    PathData path(style.decimals);
    for (const PlanStroke& s : d.strokes) {
      const int own = HeightBand(s.height, d.lowest, d.highest);
      if (own * style.bands / kHeightColours == band) AddStroke(path, s, style.curves);
    }
    if (legend) {
      path.moveTo({legend->at.x + band * legend->cell, legend->at.y});
      path.lineTo({legend->at.x + (band + 1) * legend->cell, legend->at.y});
    }
    body += PathElement("stroke=\"" + Colour(ShownColour(band, style.bands)) + "\"", path);
  }
  if (!style.marks) return;
  PathData station(style.decimals);
  PathData chain(style.decimals);
  for (const PlanStroke& s : d.strokes) {
    if (s.station) AddStroke(station, s, style.curves);
    if (s.chainLift) AddStroke(chain, s, style.curves);
  }
  body += PathElement("stroke=\"" + std::string(kStationColour) + "\" stroke-width=\"4\"", station);
  body += PathElement(
      "stroke=\"" + std::string(kChainColour) + "\" stroke-dasharray=\"1 6\" stroke-width=\"3\"",
      chain);
}

Picture PlanPicture(const PlanDrawing& d, const PlanStyle& style) {
  Picture p;
  const double margin = 2;
  const double width = d.right - d.left;
  // Labels take a band above and below the drawing, their size following the ride's.
  const double text = std::max(1.2, std::max(width, d.bottom - d.top) / 25);
  const double band = style.labels ? 2 * text : margin;
  p.x = d.left - margin;
  p.y = d.top - margin - (style.labels ? band : 0);
  p.width = width + 2 * margin;
  p.height = d.bottom - d.top + 2 * margin + band + (style.labels ? band : 0);
  std::string& body = p.body;
  if (style.tiles && !d.tiles.empty()) {
    // Covered tiles as runs along each row.
    PathData tiles(0);
    for (size_t i = 0; i < d.tiles.size();) {
      size_t j = i + 1;
      while (j < d.tiles.size() && d.tiles[j].x == d.tiles[i].x &&
             d.tiles[j].y == d.tiles[j - 1].y + 1) {
        ++j;
      }
      tiles.moveTo({2.0 * d.tiles[i].y, 2.0 * d.tiles[i].x});
      tiles.raw("h" + Num(2.0 * static_cast<double>(j - i), 0) + "v2h-" +
                Num(2.0 * static_cast<double>(j - i), 0) + "z");
      i = j;
    }
    body += PathElement("fill=\"" + std::string(kTileColour) + "\"", tiles);
  }
  // Labels: the scale bar under the drawing, north and the height colours above it. They take
  // their size from the picture's font-size, and sit on whole units once they are a few
  // units tall.
  const auto at = [text](double v) { return Num(v, text >= 3 ? 0 : 1); };
  const double top = d.top - margin - band + text / 2;
  const double baseline = top + text;
  const double cells = d.left + (d.lowest < 0 ? 2.2 : 1.2) * text;
  const double cell = std::max(1.0, std::round(text));
  std::optional<Legend> legend;
  if (style.labels && d.highest > d.lowest && style.simplify == 0) {
    legend = Legend{{std::round(cells), std::round(baseline - text / 3)}, cell};
  }
  body += "<g fill=\"none\" stroke-width=\"2.5\" stroke-linecap=\"round\">";
  AddTrack(d, style, legend, body);
  // A maze too detailed for the budget: its outline as a block, which hides its pillars too.
  const bool mazeBlock = style.simplify > 0 && (!d.walls.empty() || !d.pillars.empty());
  if (mazeBlock) {
    body += "<path fill=\"" + std::string(kHedgeColour) + "\" d=\"M" + Num(d.left, 0) + " " +
            Num(d.top, 0) + "h" + Num(d.right - d.left, 0) + "v" + Num(d.bottom - d.top, 0) + "h" +
            Num(d.left - d.right, 0) + "z\"/>";
  } else if (!d.walls.empty()) {
    PathData walls(0);
    for (const PlanWall& w : MergedWalls(d.walls)) {
      if (!walls.atPen(w.from)) walls.moveTo(w.from);
      walls.lineTo(w.to);
    }
    body += PathElement("stroke=\"" + std::string(kHedgeColour) + "\"", walls);
  }
  body += "</g>";
  if ((!mazeBlock && !d.pillars.empty()) || !d.doors.empty()) {
    PathData solid(0);
    for (const PlanPoint& q : mazeBlock ? std::vector<PlanPoint>() : d.pillars) {
      solid.moveTo(q);
      solid.raw("h1v1h-1z");
    }
    body += PathElement("fill=\"" + std::string(kHedgeColour) + "\"", solid);
    for (const PlanPoint& door : d.doors) {
      body += "<circle cx=\"" + Num(door.x, 0) + "\" cy=\"" + Num(door.y, 0) +
              "\" r=\".8\" fill=\"" + kStationColour + "\"/>";
    }
  }
  // The start, unless the station's mark begins there.
  if (style.marks && !d.strokes.empty() &&
      !(d.strokes.front().station && d.strokes.front().from == d.start)) {
    body += "<circle cx=\"" + Num(d.start.x, 1) + "\" cy=\"" + Num(d.start.y, 1) + "\" r=\"" +
            Num(std::max(width, d.bottom - d.top) / 45, 1) + "\" fill=\"" + kStationColour + "\"/>";
  }
  if (style.labels) {
    p.text = text;
    // The scale bar, n tiles long, and north, an arrow pointing up at the top right: one
    // black shape.
    const int n = ScaleTiles(width);
    const double barY = d.bottom + margin + band / 2;
    body += "<path d=\"M" + at(d.left) + " " + at(barY - text / 4) + "h" + std::to_string(2 * n) +
            "v" + at(text / 4) + "h-" + std::to_string(2 * n) + "zM" + at(d.right) + " " + at(top) +
            "l" + at(text / 3) + " " + at(text) + "h-" + at(2 * text / 3) + "z\"/><text x=\"" +
            at(d.left + 2 * n + text / 3) + "\" y=\"" + at(barY + text / 3) + "\">" +
            std::to_string(n) + (n == 1 ? " tile" : " tiles") + "</text>";
    // Along the top: the heights the colours span, either side of their swatches, and N.
    std::string line = "<text x=\"" + at(d.right - 1.3 * text) + "\" y=\"" + at(baseline) + "\">N";
    if (legend) {
      line += "<tspan x=\"" + at(d.left) + "\">" + Num(d.lowest, 0) + "</tspan><tspan x=\"" +
              at(legend->at.x + style.bands * cell + text / 3) + "\">+" + Num(d.highest, 0) +
              " high</tspan>";
    }
    body += line + "</text>";
  }
  return p;
}

Picture ProfilePicture(const std::vector<ProfilePoint>& all, const PlanStyle& style) {
  Picture p;
  const double length = all.empty() ? 1 : std::max(1.0, all.back().along);
  double high = 0;
  double low = 0;
  for (const ProfilePoint& q : all) {
    high = std::max(high, q.height);
    low = std::min(low, q.height);
  }
  // A long ride is drawn in whole tiles along and whole height units up, which is finer than
  // the picture shows it and takes fewer digits; a short one in halves. Heights show four
  // times their true scale, or eight when that still leaves the profile flatter than its box.
  const double unit = length > 100 ? 1 : 2;
  const double up = 20 * (high - low) <= 3.5 * length ? 2 * unit : unit;
  auto at = [unit, up](const ProfilePoint& q) { return PlanPoint{unit * q.along, -up * q.height}; };
  std::vector<ProfilePoint> points = all;
  const double tolerance = std::max(style.simplify, style.profileSimplify) * unit / 2;
  if (tolerance > 0 && points.size() > 2) {
    std::vector<PlanPoint> line;
    for (const ProfilePoint& q : points) line.push_back(at(q));
    std::vector<bool> keep(line.size(), false);
    keep.front() = keep.back() = true;
    // Where a station or chain lift begins or ends stays, so that the marks keep their places.
    const bool marks = style.marks && style.profileMarks;
    for (size_t i = 1; marks && i + 1 < points.size(); ++i) {
      keep[i] = points[i].station != points[i + 1].station ||
                points[i].chainLift != points[i + 1].chainLift;
    }
    for (size_t first = 0, last = 1; last < keep.size(); ++last) {
      if (!keep[last]) continue;
      Simplify(line, first, last, tolerance, keep);
      first = last;
    }
    points.clear();
    for (size_t i = 0; i < all.size(); ++i) {
      if (keep[i]) points.push_back(all[i]);
    }
  }
  const double width = unit * length;
  const double text = std::max(1.5, width / 22);
  const double margin = style.profileLabels ? 4 * text : text;
  p.x = -margin;
  p.y = -up * high - text;
  p.width = width + margin + text;
  p.height = up * (high - low) + (style.profileScale ? 4 : 2) * text;
  PathData track(style.decimals);
  PathData station(style.decimals);
  PathData chain(style.decimals);
  for (size_t i = 0; i < points.size(); ++i) {
    if (i == 0) {
      track.moveTo(at(points[0]));
      continue;
    }
    track.lineTo(at(points[i]));
    if (!style.marks || !style.profileMarks) continue;
    for (auto [flag, path] :
         {std::pair{points[i].station, &station}, {points[i].chainLift, &chain}}) {
      if (!flag) continue;
      if (!path->atPen(at(points[i - 1]))) path->moveTo(at(points[i - 1]));
      path->lineTo(at(points[i]));
    }
  }
  std::string& body = p.body;
  if (style.profileScale) {
    // The start's height, across.
    body += "<path stroke=\"#999\" stroke-dasharray=\"2\" stroke-width=\".5\" d=\"M0 0h" +
            Num(width, 0) + "\"/>";
  }
  body += "<g fill=\"none\" stroke-width=\"1.5\">";
  body += PathElement("stroke=\"" + Colour(HeightColour(1, 0, 2)) + "\"", track);
  body += PathElement("stroke=\"" + std::string(kStationColour) + "\" stroke-width=\"3\"", station);
  body += PathElement("stroke=\"" + std::string(kChainColour) + "\" stroke-dasharray=\"2\"", chain);
  body += "</g>";
  if (!style.profileLabels) return p;
  p.text = text;
  // Height marks at the left, ending short of the profile (a digit or sign is taken as 0.62 of
  // the font size wide): the highest, the lowest, and the start's beside its line.
  std::string marks;
  std::vector<std::string> labels;
  for (double h : {high, low, style.profileScale ? 0.0 : low}) {
    const std::string label = (h > 0 ? "+" : "") + Num(h, 0);
    if (std::find(labels.begin(), labels.end(), label) != labels.end()) continue;
    labels.push_back(label);
    const std::string x = Num(-text / 2 - 0.62 * text * static_cast<double>(label.size()), 0);
    const std::string y = Num(-up * h + text / 3, 0);
    marks += marks.empty() ? "<text x=\"" + x + "\" y=\"" + y + "\">" + label
                           : "<tspan x=\"" + x + "\" y=\"" + y + "\">" + label + "</tspan>";
  }
  body += marks + "</text>";
  if (!style.profileScale) return p;
  // A scale bar along the bottom.
  const int n = ScaleTiles(2 * length) * 2;
  const double barY = -up * low + 2.5 * text;
  body += "<path stroke=\"#000\" fill=\"none\" stroke-width=\"1\" d=\"M0 " + Num(barY - 1, 0) +
          "v1h" + Num(unit * n, 0) + "v-1\"/><text x=\"" + Num(unit * n + 1, 0) + "\" y=\"" +
          Num(barY + text / 3, 0) + "\">" + std::to_string(n) + " tiles</text>";
  return p;
}

// A view box in whole units, grown outward to hold the box given and to the shape of the
// place it is shown in (width by height): the plan grows upward and the profile downward, so
// the two sit together whatever their shapes.
std::string ViewBox(double x, double y, double width, double height, double shape) {
  if (width * shape > height) {
    const double grown = width * shape;
    if (shape == 1) y -= grown - height;
    height = grown;
  }
  const double left = std::floor(x);
  const double top = std::floor(y);
  return Num(left, 0) + " " + Num(top, 0) + " " + Num(std::ceil(x + width) - left, 0) + " " +
         Num(std::ceil(y + height) - top, 0);
}

// The plan in the top 100 by 100 of a 100 by 134 picture, the profile in the bottom 100 by
// 30, each fitted to its box: a page can show the plan alone by showing the top of the
// picture.
std::string Composed(const Picture& plan, const Picture& profile) {
  const auto fontSize = [](const Picture& p) {
    return p.text > 0 ? " font-size=\"" + Num(p.text, p.text < 10 ? 1 : 0) + "\"" : std::string();
  };
  return "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 100 "
         "134\"><style>path{vector-effect:non-scaling-stroke}</style><svg width=\"100\" "
         "height=\"100\" "
         "viewBox=\"" +
         ViewBox(plan.x, plan.y, plan.width, plan.height, 1) + "\"" + fontSize(plan) + ">" +
         plan.body + "</svg><svg y=\"104\" width=\"100\" height=\"30\" viewBox=\"" +
         ViewBox(profile.x, profile.y, profile.width, profile.height, 0.3) + "\"" +
         fontSize(profile) + ">" + profile.body + "</svg></svg>";
}

}  // namespace

std::string PictureSvg(const TrackLayout& layout, size_t budget) {
  const PlanDrawing plan = DrawPlan(layout);
  const std::vector<ProfilePoint> profile = DrawProfile(layout);
  PlanStyle style;
  style.decimals = 0;
  // Most steps change only the plan or only the profile: each drawing of either is kept.
  std::map<std::tuple<double, bool, bool, bool>, Picture> profiles;
  auto profileFor = [&](const PlanStyle& style) -> const Picture& {
    const auto key =
        std::tuple(std::max(style.simplify, style.profileSimplify), style.profileLabels,
                   style.profileScale, style.marks && style.profileMarks);
    auto found = profiles.find(key);
    if (found == profiles.end())
      found = profiles.emplace(key, ProfilePicture(profile, style)).first;
    return found->second;
  };
  std::map<std::tuple<bool, bool, bool, bool, int, double>, Picture> plans;
  auto planFor = [&](const PlanStyle& style) -> const Picture& {
    const auto key = std::tuple(style.tiles, style.curves, style.marks, style.labels, style.bands,
                                style.simplify);
    auto found = plans.find(key);
    if (found == plans.end()) found = plans.emplace(key, PlanPicture(plan, style)).first;
    return found->second;
  };
  // Each step gives up some detail; the last ones simplify ever more coarsely.
  for (int step = 0;; ++step) {
    if (step == 1) style.tiles = false;
    if (step == 2) style.profileSimplify = 1.5;
    if (step == 3) style.profileScale = false;
    if (step == 4) style.bands = 3;
    if (step == 5) style.profileSimplify = 3;
    if (step == 6) style.profileMarks = false;
    if (step == 7) style.profileSimplify = 6;
    if (step == 8) style.profileLabels = false;
    if (step == 9) style.curves = false;
    if (step == 10) style.labels = false;
    if (step == 11) style.marks = false;
    if (step >= 12) style.simplify = std::ldexp(1.0, step - 12);
    // The frame around the two drawings takes some 150 bytes: a plan that leaves no room
    // for it is passed over without drawing the profile.
    const Picture& planPicture = planFor(style);
    if (planPicture.body.size() + 150 > budget && step <= 40) continue;
    const std::string svg = Composed(planPicture, profileFor(style));
    if (svg.size() <= budget || step > 40) return svg;
  }
}

std::string PictureFileName(const std::string& designName, const std::string& zipFileName) {
  const std::string picture = ReplaceEnding(designName, "svg");
  return zipFileName == "none" ? picture : zipFileName + " - " + picture;
}

}  // namespace velodex
