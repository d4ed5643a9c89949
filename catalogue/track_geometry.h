// What each track element id does to the track: the turn, the step to the next element's
// origin tile, the change of height and the tiles it covers. The table is generated from
// catalogue/track_geometry.csv by scripts/make-track-geometry.
//
// Frames: an element is measured from its own origin tile, facing its start heading;
// "forward" and "right" count tiles. An element that starts on a diagonal is measured in the
// straight frame 45 degrees to the left of its heading, so a diagonal straight steps one
// forward and one right. Heights count the game's height units, four to a tile's height.
#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace velodex {

enum TrackPieceFlag : uint8_t {
  kKnownPiece = 1,       // a piece a saved design can hold; any other id ends the walk
  kDiagonalIn = 2,       // starts on a diagonal heading
  kDiagonalOut = 4,      // ends on a diagonal heading
  kStationPiece = 8,     // part of a station platform
  kInvertingPiece = 16,  // turns the train over (loops, corkscrews, twists, rolls)
};

struct TileOffset {
  int8_t forward;
  int8_t right;
};

struct TrackGeometry {
  int8_t turn;        // heading change in eighths of a full turn, + = right (clockwise)
  int8_t forward;     // tiles forward from the origin to the next element's origin
  int8_t right;       // tiles to the right, likewise
  int8_t rise;        // height change in height units
  int8_t top;         // highest point above the entry height, in height units (loop tops)
  uint8_t flags;      // TrackPieceFlag bits
  uint8_t mirror;     // the id a mirror image of the track uses in this piece's place
  uint8_t length;     // nominal length along the track, 32 to one tile of straight track
  uint8_t firstTile;  // into kTrackTiles
  uint8_t tileCount;
  // The extent of the covered tiles, in the element's frame.
  int8_t minForward;
  int8_t maxForward;
  int8_t minRight;
  int8_t maxRight;
};

extern const TileOffset kTrackTiles[];
extern const TrackGeometry kTrackGeometry[256];

inline const TrackGeometry& GeometryOf(uint8_t id) { return kTrackGeometry[id]; }

inline std::span<const TileOffset> TilesOf(const TrackGeometry& geometry) {
  return {kTrackTiles + geometry.firstTile, geometry.tileCount};
}

// One column of the geometry table as a table of its own, for the loops that read it for
// every piece: a byte per id keeps all of it in a few cache lines.
template <typename Column>
std::array<uint8_t, 256> GeometryColumn(Column column) {
  std::array<uint8_t, 256> table{};
  for (int id = 0; id < 256; ++id) {
    table[static_cast<size_t>(id)] =
        static_cast<uint8_t>(column(GeometryOf(static_cast<uint8_t>(id))));
  }
  return table;
}

}  // namespace velodex
