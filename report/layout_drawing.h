// What a drawing of a layout is made of, in plain numbers that any painter can use: the plan's
// strokes (one curve per piece between the points where pieces join), the covered tiles, a
// maze's walls, the side profile's points along the track, and the height colours.
//
// Plan units are half tiles, north up: the game's y runs to the right and its x downward, so
// right turns are clockwise. Tile (x, y) spans [2y, 2y + 2] across and [2x, 2x + 2] down.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "catalogue/track_layout.h"

namespace velodex {

struct PlanPoint {
  double x = 0;
  double y = 0;

  bool operator==(const PlanPoint&) const = default;
};

// One piece on the plan: a line, a quadratic curve (control c1) or a cubic (c1, c2).
struct PlanStroke {
  enum Shape : uint8_t { kLine, kQuadratic, kCubic } shape = kLine;
  PlanPoint from, c1, c2, to;
  int height = 0;  // entry height, for the colour
  bool station = false;
  bool chainLift = false;
};

struct PlanWall {
  PlanPoint from, to;
};

struct PlanDrawing {
  std::vector<PlanStroke> strokes;  // in track order; pieces that do not move are left out
  std::vector<CoveredTile> tiles;
  std::vector<PlanWall> walls;     // a maze's walls, half a tile long each
  std::vector<PlanPoint> pillars;  // a maze's solid quarter tiles, by their top left corner
  std::vector<PlanPoint> doors;    // a maze's entrance and exit, by their tile centre
  PlanPoint start;                 // where element 0 joins, and its direction
  PlanPoint startDirection;
  double left = 0, top = 0, right = 0, bottom = 0;  // bounds of everything drawn
  int lowest = 0, highest = 0;                      // the heights the colours span
};

PlanDrawing DrawPlan(const TrackLayout& layout);

// A point of the side profile: distance along the track in tiles and height in height units.
// The flags say what the stretch from the previous point to this one is.
struct ProfilePoint {
  double along = 0;
  double height = 0;
  bool station = false;
  bool chainLift = false;
};

// The profile from the start of element 0 to the end of the last piece, with the top of each
// loop or other piece that climbs above both its ends.
std::vector<ProfilePoint> DrawProfile(const TrackLayout& layout);

// The layout's facts in a line: "37 by 59 tiles, 195 pieces, rise 36, dip 10, closed
// circuit", and for a damaged list that it is drawn up to where it goes wrong.
std::string DescribeLayout(const TrackLayout& layout);

// The colour (0xRRGGBB) of a height between lowest and highest: dark blue-violet low, through
// teal and green, to yellow high. A level track takes the middle colour.
uint32_t HeightColour(int height, int lowest, int highest);

// The number of steps HeightColour distinguishes.
inline constexpr int kHeightColours = 6;
int HeightBand(int height, int lowest, int highest);
// The colour of a band, 0 (lowest) to kHeightColours - 1.
uint32_t BandColour(int band);

}  // namespace velodex
