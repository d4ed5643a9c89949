// Pieces join where the game joins them: a piece on a straight heading at the middle of its
// origin tile's back edge, a piece on a diagonal at its origin tile's centre. Between two
// joints each piece is one curve that leaves and arrives along the headings; loops and other
// pieces that run over themselves are drawn by their ends only.
#include "report/layout_drawing.h"

#include <algorithm>
#include <cmath>

#include "catalogue/track_geometry.h"

namespace velodex {
namespace {

// The direction of each heading on the plan, in half tiles.
constexpr PlanPoint kDirections[8] = {{0, -1}, {1, -1}, {1, 0},  {1, 1},
                                      {0, 1},  {-1, 1}, {-1, 0}, {-1, -1}};

PlanPoint Joint(int x, int y, int heading) {
  const PlanPoint centre{2.0 * y + 1, 2.0 * x + 1};
  if (heading & 1) return centre;
  const PlanPoint d = kDirections[heading];
  return {centre.x - d.x, centre.y - d.y};
}

double Cross(PlanPoint a, PlanPoint b) { return a.x * b.y - a.y * b.x; }
double Dot(PlanPoint a, PlanPoint b) { return a.x * b.x + a.y * b.y; }
PlanPoint Minus(PlanPoint a, PlanPoint b) { return {a.x - b.x, a.y - b.y}; }
PlanPoint Along(PlanPoint p, PlanPoint d, double t) { return {p.x + d.x * t, p.y + d.y * t}; }

PlanStroke Shape(PlanPoint from, int fromHeading, PlanPoint to, int toHeading) {
  PlanStroke s;
  s.from = from;
  s.to = to;
  const PlanPoint u = kDirections[fromHeading];
  const PlanPoint v = kDirections[toHeading];
  const PlanPoint chord = Minus(to, from);
  if (fromHeading == toHeading && Cross(u, chord) == 0 && Dot(u, chord) > 0) return s;
  const double turn = Cross(u, v);
  if (turn != 0) {
    // Where the two headings' lines meet; a curve through it when it lies ahead of the start
    // and behind the end.
    const double t = Cross(chord, v) / turn;
    const double r = Cross(u, chord) / turn;
    if (t > 0 && r > 0) {
      s.shape = PlanStroke::kQuadratic;
      s.c1 = Along(from, u, t);
      return s;
    }
  }
  // S-bends and reversals: handles along both headings, longer for a reversal.
  const double length = std::hypot(chord.x, chord.y);
  const double scale = std::hypot(u.x, u.y);
  const double handle = (Dot(u, v) < 0 ? 0.7 : 0.4) * std::max(length, 2.0) / scale;
  s.shape = PlanStroke::kCubic;
  s.c1 = Along(from, u, handle);
  s.c2 = Along(to, v, -handle);
  return s;
}

void Extend(PlanDrawing& d, PlanPoint p) {
  d.left = std::min(d.left, p.x);
  d.right = std::max(d.right, p.x);
  d.top = std::min(d.top, p.y);
  d.bottom = std::max(d.bottom, p.y);
}

// The wall segments of one maze tile, in plan units relative to its top left corner:
// (bit, from x, from y, to x, to y).
struct WallBit {
  int bit;
  double x0, y0, x1, y1;
};
constexpr WallBit kWallBits[] = {
    {0, 0, 0, 0, 1},  {13, 0, 1, 0, 2},  // the edge where the game's y is 0
    {5, 2, 0, 2, 1},  {8, 2, 1, 2, 2},   // where y is 31
    {1, 0, 0, 1, 0},  {4, 1, 0, 2, 0},   // where x is 0
    {12, 0, 2, 1, 2}, {9, 1, 2, 2, 2},   // where x is 31
    {2, 1, 0, 1, 1},  {10, 1, 1, 1, 2},  // the inner line where y is 16
    {14, 0, 1, 1, 1}, {6, 1, 1, 2, 1},   // the inner line where x is 16
};
// Solid quarters: (bit, x, y) of their top left corner.
constexpr WallBit kPillarBits[] = {
    {3, 0, 0, 0, 0}, {7, 1, 0, 0, 0}, {11, 1, 1, 0, 0}, {15, 0, 1, 0, 0}};

void DrawMaze(const TrackLayout& layout, PlanDrawing& d) {
  // A maze has one entrance and one exit; a damaged list that claims more shows its first
  // of each.
  bool entrance = false;
  bool exit = false;
  for (const MazeEntry& e : layout.mazeEntries) {
    const PlanPoint corner{2.0 * e.y, 2.0 * e.x};
    if (e.kind != MazeEntry::kTile) {
      bool& drawn = e.kind == MazeEntry::kEntrance ? entrance : exit;
      if (!drawn) d.doors.push_back({corner.x + 1, corner.y + 1});
      drawn = true;
      continue;
    }
    for (const WallBit& w : kWallBits) {
      if (e.walls & (1u << w.bit)) {
        d.walls.push_back({{corner.x + w.x0, corner.y + w.y0}, {corner.x + w.x1, corner.y + w.y1}});
      }
    }
    for (const WallBit& p : kPillarBits) {
      if (e.walls & (1u << p.bit)) d.pillars.push_back({corner.x + p.x0, corner.y + p.y0});
    }
  }
}

}  // namespace

int HeightBand(int height, int lowest, int highest) {
  if (highest <= lowest) return kHeightColours / 2;
  const int band = (height - lowest) * kHeightColours / (highest - lowest + 1);
  return std::clamp(band, 0, kHeightColours - 1);
}

uint32_t BandColour(int band) {
  // Each written in three hex digits in a picture: #415, #358, #288, #2a8, #7d5, #fc2.
  static constexpr uint32_t kColours[kHeightColours] = {0x441155, 0x335588, 0x228888,
                                                        0x22aa88, 0x77dd55, 0xffcc22};
  return kColours[std::clamp(band, 0, kHeightColours - 1)];
}

uint32_t HeightColour(int height, int lowest, int highest) {
  return BandColour(HeightBand(height, lowest, highest));
}

PlanDrawing DrawPlan(const TrackLayout& layout) {
  PlanDrawing d;
  d.tiles = CoveredTiles(layout);
  d.lowest = layout.lowest;
  d.highest = layout.highest;
  if (layout.maze) {
    DrawMaze(layout, d);
  } else {
    d.start = Joint(0, 0, 0);
    d.startDirection = kDirections[0];
  }
  const std::vector<TrackPiece>& pieces = layout.pieces;
  for (size_t i = 0; i < pieces.size(); ++i) {
    const TrackPiece& p = pieces[i];
    const bool last = i + 1 == pieces.size();
    const int nextHeading = last ? layout.endHeading : pieces[i + 1].heading;
    const PlanPoint from = Joint(p.x, p.y, p.heading);
    const PlanPoint to = last ? Joint(layout.endX, layout.endY, layout.endHeading)
                              : Joint(pieces[i + 1].x, pieces[i + 1].y, nextHeading);
    if (from == to) continue;  // a vertical piece or a tower section
    PlanStroke s = Shape(from, p.heading, to, nextHeading);
    s.height = p.height;
    s.station = (GeometryOf(p.id).flags & kStationPiece) != 0;
    s.chainLift = p.chainLift();
    d.strokes.push_back(s);
  }
  bool first = true;
  auto extend = [&](PlanPoint p) {
    if (first) {
      d.left = d.right = p.x;
      d.top = d.bottom = p.y;
      first = false;
    }
    Extend(d, p);
  };
  for (const CoveredTile& t : d.tiles) {
    extend({2.0 * t.y, 2.0 * t.x});
    extend({2.0 * t.y + 2, 2.0 * t.x + 2});
  }
  for (const PlanStroke& s : d.strokes) {
    extend(s.from);
    extend(s.to);
  }
  for (const PlanPoint& door : d.doors) {
    extend({door.x - 1, door.y - 1});
    extend({door.x + 1, door.y + 1});
  }
  return d;
}

std::string DescribeLayout(const TrackLayout& layout) {
  const LayoutFacts f = LayoutFactsOf(layout);
  std::string line = std::to_string(f.width) + " by " + std::to_string(f.length) + " tiles, " +
                     std::to_string(f.pieces) + (layout.maze ? " maze tile" : " piece") +
                     (f.pieces == 1 ? "" : "s");
  if (!layout.maze) {
    line += ", rise " + std::to_string(f.rise) + ", dip " + std::to_string(f.dip);
    line += f.closed ? ", closed circuit" : layout.complete() ? ", open track" : "";
  }
  if (!layout.complete()) line += ", damaged: drawn up to where it goes wrong";
  return line;
}

std::vector<ProfilePoint> DrawProfile(const TrackLayout& layout) {
  std::vector<ProfilePoint> points;
  if (layout.pieces.empty()) return points;
  double along = 0;
  points.push_back({0, static_cast<double>(layout.pieces.front().height), false, false});
  for (const TrackPiece& p : layout.pieces) {
    const TrackGeometry& g = GeometryOf(p.id);
    const double length = g.length / 32.0;
    const bool station = (g.flags & kStationPiece) != 0;
    if (g.top > std::max(0, static_cast<int>(g.rise))) {
      points.push_back(
          {along + length / 2, static_cast<double>(p.height + g.top), station, p.chainLift()});
    }
    along += length;
    points.push_back({along, static_cast<double>(p.height + g.rise), station, p.chainLift()});
  }
  return points;
}

}  // namespace velodex
