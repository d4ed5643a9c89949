// The walk of a design's track area. Track designs hold two-byte elements (id, qualifier)
// ending at the first id 0xFF; mazes hold four-byte entries (x, y, 16 wall bits) ending at an
// all-zero entry. The area runs from the list start to the end of the decoded design.
#include "catalogue/track_layout.h"

#include <algorithm>
#include <cstdio>

#include "catalogue/track_geometry.h"

namespace velodex {
namespace {

// Where the list starts: after the 56-byte header of the original format, or the 196-byte
// header of the expansion format. The decoded length decides, as it decides acceptance.
constexpr int kShortListStart = 0x38;
constexpr int kFullListStart = 0xC4;
constexpr uint8_t kEndOfTrack = 0xFF;

// A walk that spans more tiles than the largest park, or more height than any park allows,
// has left the map: the list is damaged, and drawing it further would only mislead.
constexpr int kMapTiles = 128;
constexpr int kHeightSpan = 255;

struct Step {
  int x;
  int y;
};
// The tile step of each straight direction 0-3 (north, east, south, west).
constexpr Step kSteps[4] = {{-1, 0}, {0, 1}, {1, 0}, {0, -1}};

int ListStart(const DecodedDesign& design) {
  return design.length == kShortDesignLength ? kShortListStart : kFullListStart;
}

struct Bounds {
  int minX, maxX, minY, maxY;
  void add(int x, int y) {
    minX = std::min(minX, x);
    maxX = std::max(maxX, x);
    minY = std::min(minY, y);
    maxY = std::max(maxY, y);
  }
  bool fitsMap() const { return maxX - minX < kMapTiles && maxY - minY < kMapTiles; }
};

Bounds BoundsOf(const TrackLayout& layout, int x, int y) {
  if (layout.minX > layout.maxX) return {x, x, y, y};
  return {layout.minX, layout.maxX, layout.minY, layout.maxY};
}

void StoreBounds(TrackLayout& layout, const Bounds& bounds) {
  layout.minX = static_cast<int16_t>(bounds.minX);
  layout.maxX = static_cast<int16_t>(bounds.maxX);
  layout.minY = static_cast<int16_t>(bounds.minY);
  layout.maxY = static_cast<int16_t>(bounds.maxY);
}

void WalkTrack(const DecodedDesign& design, TrackLayout& layout) {
  const uint8_t* bytes = design.bytes.data();
  int x = 0;
  int y = 0;
  int height = 0;
  int heading = 0;
  int highest = 0;
  int lowest = 0;
  layout.end = LayoutEnd::kNoEndMarker;
  for (int at = ListStart(design); at + 1 < design.length; at += 2) {
    const uint8_t id = bytes[at];
    if (id == kEndOfTrack) {
      layout.end = LayoutEnd::kEndMarker;
      break;
    }
    const TrackGeometry& g = GeometryOf(id);
    if (!(g.flags & kKnownPiece)) {
      layout.end = LayoutEnd::kUnknownPiece;
      break;
    }
    if (((g.flags & kDiagonalIn) != 0) != ((heading & 1) != 0)) {
      layout.end = LayoutEnd::kMisfit;
      break;
    }
    // A diagonal heading measures in the straight frame to its left, as the table does.
    const Step forward = kSteps[heading >> 1];
    const Step right = kSteps[((heading >> 1) + 1) & 3];
    Bounds bounds = BoundsOf(layout, x, y);
    for (const TileOffset& tile : TilesOf(g)) {
      bounds.add(x + tile.forward * forward.x + tile.right * right.x,
                 y + tile.forward * forward.y + tile.right * right.y);
    }
    const int exitHeight = height + g.rise;
    const int newHighest = std::max(highest, exitHeight);
    const int newLowest = std::min(lowest, exitHeight);
    if (!bounds.fitsMap() || newHighest - newLowest > kHeightSpan) {
      layout.end = LayoutEnd::kLeftTheMap;
      break;
    }
    layout.pieces.push_back({id, bytes[at + 1], static_cast<int16_t>(x), static_cast<int16_t>(y),
                             static_cast<int16_t>(height), static_cast<uint8_t>(heading)});
    StoreBounds(layout, bounds);
    highest = newHighest;
    lowest = newLowest;
    x += g.forward * forward.x + g.right * right.x;
    y += g.forward * forward.y + g.right * right.y;
    height = exitHeight;
    heading = (heading + g.turn) & 7;
  }
  layout.endX = static_cast<int16_t>(x);
  layout.endY = static_cast<int16_t>(y);
  layout.endHeight = static_cast<int16_t>(height);
  layout.endHeading = static_cast<uint8_t>(heading);
  layout.highest = static_cast<int16_t>(highest);
  layout.lowest = static_cast<int16_t>(lowest);
}

// A maze entry whose high wall byte is exactly one of these is the entrance or the exit; its
// low byte is then the side it opens to. (A wall tile with that high byte reads the same
// way; the saved format gives no other sign.)
constexpr uint8_t kEntranceMark = 0x08;
constexpr uint8_t kExitMark = 0x80;

void WalkMaze(const DecodedDesign& design, TrackLayout& layout) {
  const uint8_t* bytes = design.bytes.data();
  layout.end = LayoutEnd::kNoEndMarker;
  for (int at = ListStart(design); at + 3 < design.length; at += 4) {
    const uint8_t low = bytes[at + 2];
    const uint8_t high = bytes[at + 3];
    if (bytes[at] == 0 && bytes[at + 1] == 0 && low == 0 && high == 0) {
      layout.end = LayoutEnd::kEndMarker;
      break;
    }
    MazeEntry entry;
    entry.x = static_cast<int8_t>(bytes[at]);
    entry.y = static_cast<int8_t>(bytes[at + 1]);
    entry.walls = static_cast<uint16_t>(low | high << 8);
    if (high == kEntranceMark) entry.kind = MazeEntry::kEntrance;
    if (high == kExitMark) entry.kind = MazeEntry::kExit;
    if (entry.kind == MazeEntry::kTile) {
      // Only the maze's own tiles make its footprint; entrance and exit buildings stand
      // outside it, as a track design's stations have no buildings at all.
      Bounds bounds = BoundsOf(layout, entry.x, entry.y);
      bounds.add(entry.x, entry.y);
      if (!bounds.fitsMap()) {
        layout.end = LayoutEnd::kLeftTheMap;
        break;
      }
      StoreBounds(layout, bounds);
    }
    layout.mazeEntries.push_back(entry);
  }
}

// The group's hash: 64-bit FNV-1a, plenty to keep a few hundred thousand layouts apart.
class GroupHash {
 public:
  void add(uint8_t byte) { value_ = (value_ ^ byte) * 0x100000001B3ull; }
  void add16(uint16_t v) {
    add(static_cast<uint8_t>(v >> 8));
    add(static_cast<uint8_t>(v & 0xFF));
  }
  std::string text() const {
    char buffer[17];
    std::snprintf(buffer, sizeof buffer, "%016llx", static_cast<unsigned long long>(value_));
    return buffer;
  }

 private:
  uint64_t value_ = 0xCBF29CE484222325ull;
};

// What the group compares of a piece: its id (or its mirror twin's) with the chain-lift and
// inverted bits. Colours, station numbers and brake speeds do not make another layout.
uint16_t PieceKey(const TrackPiece& piece, bool mirrored) {
  const uint8_t id = mirrored ? GeometryOf(piece.id).mirror : piece.id;
  return static_cast<uint16_t>(id << 8 | (piece.qualifier & (kChainLiftBit | kInvertedBit)));
}

// The start of the lexicographically least rotation of the n keys key(0..n-1), in linear time
// and without memory (the two-candidate minimal rotation walk).
template <typename Key>
size_t LeastRotation(size_t n, Key key) {
  size_t i = 0;
  size_t j = 1;
  size_t k = 0;
  while (i < n && j < n && k < n) {
    const uint16_t a = key((i + k) % n);
    const uint16_t b = key((j + k) % n);
    if (a == b) {
      ++k;
      continue;
    }
    if (a > b) {
      i += k + 1;
    } else {
      j += k + 1;
    }
    if (i == j) ++j;
    k = 0;
  }
  return std::min(i, j);
}

std::string TrackGroup(const TrackLayout& layout) {
  const std::vector<TrackPiece>& pieces = layout.pieces;
  const size_t n = pieces.size();
  // A closed circuit is the same ride whichever piece its list begins with, so it is compared
  // from its least rotation; an open or damaged track only as listed.
  const bool circuit = layout.closed();
  auto plain = [&](size_t i) { return PieceKey(pieces[i], false); };
  auto mirror = [&](size_t i) { return PieceKey(pieces[i], true); };
  const size_t plainStart = circuit ? LeastRotation(n, plain) : 0;
  const size_t mirrorStart = circuit ? LeastRotation(n, mirror) : 0;
  // The track and its mirror image share the group of whichever reads smaller.
  bool useMirror = false;
  for (size_t k = 0; k < n; ++k) {
    const uint16_t a = plain((plainStart + k) % n);
    const uint16_t b = mirror((mirrorStart + k) % n);
    if (a != b) {
      useMirror = b < a;
      break;
    }
  }
  GroupHash hash;
  hash.add(circuit ? 'C' : layout.complete() ? 'O' : 'D');
  const size_t start = useMirror ? mirrorStart : plainStart;
  for (size_t k = 0; k < n; ++k) {
    const size_t i = (start + k) % n;
    hash.add16(useMirror ? mirror(i) : plain(i));
  }
  return hash.text();
}

std::string MazeGroup(const TrackLayout& layout) {
  // Mazes group only with the very same maze: there is no table of mirrored walls.
  GroupHash hash;
  hash.add(layout.complete() ? 'M' : 'N');
  for (const MazeEntry& entry : layout.mazeEntries) {
    hash.add(static_cast<uint8_t>(entry.x));
    hash.add(static_cast<uint8_t>(entry.y));
    hash.add16(entry.walls);
    hash.add(entry.kind);
  }
  return hash.text();
}

}  // namespace

bool TrackLayout::closed() const {
  return !maze && complete() && !pieces.empty() && endX == 0 && endY == 0 && endHeight == 0 &&
         endHeading == 0;
}

void WalkTrackLayout(const DecodedDesign& design, TrackLayout& layout) {
  layout.pieces.clear();
  layout.mazeEntries.clear();
  layout.minX = layout.minY = 1;
  layout.maxX = layout.maxY = 0;
  layout.highest = layout.lowest = 0;
  layout.endX = layout.endY = layout.endHeight = 0;
  layout.endHeading = 0;
  layout.maze = design.length > 0 && design.bytes[0] == kMazeRideType;
  if (layout.maze) {
    WalkMaze(design, layout);
  } else {
    WalkTrack(design, layout);
  }
}

TrackLayout WalkTrackLayout(const DecodedDesign& design) {
  TrackLayout layout;
  WalkTrackLayout(design, layout);
  return layout;
}

std::string LayoutGroup(const TrackLayout& layout) {
  if (layout.maze) return layout.mazeEntries.empty() ? std::string() : MazeGroup(layout);
  return layout.pieces.empty() ? std::string() : TrackGroup(layout);
}

LayoutFacts LayoutFactsOf(const TrackLayout& layout) {
  LayoutFacts facts;
  if (layout.maze) {
    facts.pieces = static_cast<int>(
        std::count_if(layout.mazeEntries.begin(), layout.mazeEntries.end(),
                      [](const MazeEntry& e) { return e.kind == MazeEntry::kTile; }));
  } else {
    facts.pieces = static_cast<int>(layout.pieces.size());
  }
  if (layout.minX <= layout.maxX) {
    const int across = layout.maxX - layout.minX + 1;
    const int along = layout.maxY - layout.minY + 1;
    facts.width = std::min(across, along);
    facts.length = std::max(across, along);
  }
  facts.rise = layout.highest;
  facts.dip = -layout.lowest;
  facts.closed = layout.closed();
  facts.group = LayoutGroup(layout);
  return facts;
}

std::vector<CoveredTile> CoveredTiles(const TrackLayout& layout) {
  std::vector<CoveredTile> tiles;
  if (layout.maze) {
    for (const MazeEntry& entry : layout.mazeEntries) {
      if (entry.kind == MazeEntry::kTile) tiles.push_back({entry.x, entry.y, 0});
    }
  } else {
    for (const TrackPiece& piece : layout.pieces) {
      const TrackGeometry& g = GeometryOf(piece.id);
      const Step forward = kSteps[piece.heading >> 1];
      const Step right = kSteps[((piece.heading >> 1) + 1) & 3];
      const auto low = static_cast<int16_t>(std::min<int>(piece.height, piece.height + g.rise));
      for (const TileOffset& tile : TilesOf(g)) {
        tiles.push_back(
            {static_cast<int16_t>(piece.x + tile.forward * forward.x + tile.right * right.x),
             static_cast<int16_t>(piece.y + tile.forward * forward.y + tile.right * right.y), low});
      }
    }
  }
  std::sort(tiles.begin(), tiles.end(), [](const CoveredTile& a, const CoveredTile& b) {
    if (a.x != b.x) return a.x < b.x;
    if (a.y != b.y) return a.y < b.y;
    return a.height < b.height;
  });
  tiles.erase(std::unique(tiles.begin(), tiles.end(),
                          [](const CoveredTile& a, const CoveredTile& b) {
                            return a.x == b.x && a.y == b.y;
                          }),
              tiles.end());
  return tiles;
}

}  // namespace velodex
