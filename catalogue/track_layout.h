// The track of a decoded design, walked piece by piece into a layout: where each piece starts,
// at what height and facing where, the tiles the track covers, and the facts the catalogue
// keeps about it (footprint, rise and dip, whether the circuit closes, the same-layout group).
//
// The walk puts element 0 on tile (0, 0) at height 0 facing north. Headings count eighths of a
// turn clockwise: north (0) steps the game's x by -1, east (2) steps y by +1, south (4) steps x
// by +1, west (6) steps y by -1, and odd headings are the diagonals between. Damaged or unknown
// input never reads past the track area: the layout ends at the first piece it cannot walk
// and says why.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "catalogue/track_design.h"

namespace velodex {

// The ride type whose designs hold maze walls instead of track elements.
inline constexpr uint8_t kMazeRideType = 20;

// Where the track element list starts in the decoded body: after the 56-byte header of the
// original format, or the 196-byte header of the expansion format (which keeps its track
// colours there). The decoded length tells the formats apart, as it decides acceptance.
inline constexpr size_t kShortListStart = 0x38;
inline constexpr size_t kFullListStart = 0xC4;

// Qualifier bits of a track element.
inline constexpr uint8_t kChainLiftBit = 0x80;
inline constexpr uint8_t kInvertedBit = 0x40;

struct TrackPiece {
  uint8_t id = 0;
  uint8_t qualifier = 0;  // chain lift, inverted, colour scheme, per-piece low bits
  int16_t x = 0;          // origin tile
  int16_t y = 0;
  int16_t height = 0;   // entry height in height units (four to a tile), relative to the start
  uint8_t heading = 0;  // eighths of a turn clockwise from north; odd = diagonal

  bool chainLift() const { return (qualifier & kChainLiftBit) != 0; }
};

// One entry of a maze: a tile with its walls, or the entrance or exit building.
struct MazeEntry {
  int8_t x = 0;  // tile, relative to the maze's origin
  int8_t y = 0;
  uint16_t walls = 0;  // wall bits of the tile; for a door, its direction in the low byte
  enum Kind : uint8_t { kTile, kEntrance, kExit } kind = kTile;
};

// Why the walk stopped.
enum class LayoutEnd : uint8_t {
  kEndMarker,     // the list's end marker: the layout is complete
  kNoEndMarker,   // the track area ended first
  kUnknownPiece,  // an id no saved design holds
  kMisfit,        // a piece that cannot follow the heading before it (diagonal against straight)
  kLeftTheMap,    // the next piece would take the track past what a park can hold
};

struct TrackLayout {
  bool maze = false;
  std::vector<TrackPiece> pieces;      // track designs: every piece walked, in list order
  std::vector<MazeEntry> mazeEntries;  // mazes: every entry read, in list order
  LayoutEnd end = LayoutEnd::kEndMarker;

  // Where the walk stands after the last piece.
  int16_t endX = 0;
  int16_t endY = 0;
  int16_t endHeight = 0;
  uint8_t endHeading = 0;

  // Bounds of the covered tiles (empty when minX > maxX) and of the heights at which pieces
  // start or end.
  int16_t minX = 1, maxX = 0, minY = 1, maxY = 0;
  int16_t highest = 0, lowest = 0;

  bool complete() const { return end == LayoutEnd::kEndMarker; }
  // True when the walk is complete and ends on its starting tile, height and heading.
  bool closed() const;
};

// Walks the track area of an accepted design into layout, reusing its storage.
void WalkTrackLayout(const DecodedDesign& design, TrackLayout& layout);
TrackLayout WalkTrackLayout(const DecodedDesign& design);

// The catalogue's facts about a layout.
struct LayoutFacts {
  int pieces = 0;  // track elements walked, or maze tiles
  int width = 0;   // the covered tiles' bounding box, width the smaller side
  int length = 0;
  int rise = 0;  // highest piece end above the start, in height units
  int dip = 0;   // lowest piece end below the start, as a positive number
  bool closed = false;
  // Equal for the same track piece for piece, or its mirror image: a number from 1 to 2^53 - 1
  // (exact in every JSON reader), 0 for a layout without a single piece.
  int64_t group = 0;

  bool operator==(const LayoutFacts&) const = default;
};
LayoutFacts LayoutFactsOf(const TrackLayout& layout);

// The facts alone, as LayoutFactsOf(WalkTrackLayout(design)) gives them, without keeping the
// pieces: what the folder scan stores for every design.
LayoutFacts WalkLayoutFacts(const DecodedDesign& design);

// The group alone, as LayoutFacts holds it.
int64_t LayoutGroup(const TrackLayout& layout);

struct CoveredTile {
  int16_t x;
  int16_t y;
  int16_t height;  // the lowest entry height of the pieces on the tile

  bool operator==(const CoveredTile&) const = default;
};
// Every tile the track covers, once, ordered by x then y.
std::vector<CoveredTile> CoveredTiles(const TrackLayout& layout);

}  // namespace velodex
