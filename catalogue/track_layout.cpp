// The walk of a design's track area. Track designs hold two-byte elements (id, qualifier)
// ending at the first id 0xFF; mazes hold four-byte entries (x, y, 16 wall bits) ending at an
// all-zero entry. The area runs from the list start to the end of the decoded design.
#include "catalogue/track_layout.h"

#include <algorithm>
#include <array>
#include <climits>
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
  void add(int x, int y) { add(Bounds{x, x, y, y}); }
  void add(const Bounds& b) {
    minX = std::min(minX, b.minX);
    maxX = std::max(maxX, b.maxX);
    minY = std::min(minY, b.minY);
    maxY = std::max(maxY, b.maxY);
  }
  bool fitsMap() const { return maxX - minX < kMapTiles && maxY - minY < kMapTiles; }
};

// What one element does from a heading, in the game's axes: the step to the next origin,
// the extent of its tiles around its origin, its rise and turn, and whether it can follow
// that heading at all (a known piece that starts diagonal exactly on a diagonal heading).
// Worked out once for every id and heading, so the walk only adds.
struct Move {
  int8_t dx, dy, minX, maxX, minY, maxY, rise, turn;
  bool walkable;
};
using MoveTable = std::array<std::array<Move, 8>, 256>;

MoveTable MakeMoves() {
  MoveTable moves{};
  for (int id = 0; id < 256; ++id) {
    const TrackGeometry& g = GeometryOf(static_cast<uint8_t>(id));
    for (int heading = 0; heading < 8; ++heading) {
      // A diagonal heading measures in the straight frame to its left, as the table does.
      const Step f = kSteps[heading >> 1];
      const Step r = kSteps[((heading >> 1) + 1) & 3];
      const int fx0 = f.x * g.minForward, fx1 = f.x * g.maxForward;
      const int rx0 = r.x * g.minRight, rx1 = r.x * g.maxRight;
      const int fy0 = f.y * g.minForward, fy1 = f.y * g.maxForward;
      const int ry0 = r.y * g.minRight, ry1 = r.y * g.maxRight;
      auto narrow = [](int v) { return static_cast<int8_t>(v); };
      moves[id][heading] = {
          narrow(g.forward * f.x + g.right * r.x),
          narrow(g.forward * f.y + g.right * r.y),
          narrow(std::min(fx0, fx1) + std::min(rx0, rx1)),
          narrow(std::max(fx0, fx1) + std::max(rx0, rx1)),
          narrow(std::min(fy0, fy1) + std::min(ry0, ry1)),
          narrow(std::max(fy0, fy1) + std::max(ry0, ry1)),
          g.rise,
          g.turn,
          (g.flags & kKnownPiece) != 0 && ((g.flags & kDiagonalIn) != 0) == ((heading & 1) != 0)};
    }
  }
  return moves;
}

void StoreBounds(TrackLayout& layout, const Bounds& bounds) {
  layout.minX = static_cast<int16_t>(bounds.minX);
  layout.maxX = static_cast<int16_t>(bounds.maxX);
  layout.minY = static_cast<int16_t>(bounds.minY);
  layout.maxY = static_cast<int16_t>(bounds.maxY);
}

// Bounds that any first tile replaces.
constexpr Bounds kNoBounds = {INT_MAX / 2, INT_MIN / 2, INT_MAX / 2, INT_MIN / 2};

void WalkTrack(const DecodedDesign& design, TrackLayout& layout) {
  static const MoveTable kMoves = MakeMoves();
  const uint8_t* bytes = design.bytes.data();
  int x = 0;
  int y = 0;
  int height = 0;
  int heading = 0;
  int highest = 0;
  int lowest = 0;
  Bounds bounds = kNoBounds;
  layout.end = LayoutEnd::kNoEndMarker;
  for (int at = ListStart(design); at + 1 < design.length; at += 2) {
    const uint8_t id = bytes[at];
    if (id == kEndOfTrack) {
      layout.end = LayoutEnd::kEndMarker;
      break;
    }
    const Move& m = kMoves[id][heading];
    if (!m.walkable) {
      const bool known = (GeometryOf(id).flags & kKnownPiece) != 0;
      layout.end = known ? LayoutEnd::kMisfit : LayoutEnd::kUnknownPiece;
      break;
    }
    Bounds grown = bounds;
    grown.add({x + m.minX, x + m.maxX, y + m.minY, y + m.maxY});
    const int exitHeight = height + m.rise;
    const int newHighest = std::max(highest, exitHeight);
    const int newLowest = std::min(lowest, exitHeight);
    if (!grown.fitsMap() || newHighest - newLowest > kHeightSpan) {
      layout.end = LayoutEnd::kLeftTheMap;
      break;
    }
    layout.pieces.push_back({id, bytes[at + 1], static_cast<int16_t>(x), static_cast<int16_t>(y),
                             static_cast<int16_t>(height), static_cast<uint8_t>(heading)});
    bounds = grown;
    highest = newHighest;
    lowest = newLowest;
    x += m.dx;
    y += m.dy;
    height = exitHeight;
    heading = (heading + m.turn) & 7;
  }
  layout.endX = static_cast<int16_t>(x);
  layout.endY = static_cast<int16_t>(y);
  layout.endHeight = static_cast<int16_t>(height);
  layout.endHeading = static_cast<uint8_t>(heading);
  layout.highest = static_cast<int16_t>(highest);
  layout.lowest = static_cast<int16_t>(lowest);
  if (!layout.pieces.empty()) StoreBounds(layout, bounds);
}

// A maze entry whose high wall byte is exactly one of these is the entrance or the exit; its
// low byte is then the side it opens to. (A wall tile with that high byte reads the same
// way; the saved format gives no other sign.)
constexpr uint8_t kEntranceMark = 0x08;
constexpr uint8_t kExitMark = 0x80;

void WalkMaze(const DecodedDesign& design, TrackLayout& layout) {
  const uint8_t* bytes = design.bytes.data();
  Bounds bounds = kNoBounds;
  int tiles = 0;
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
      Bounds grown = bounds;
      grown.add(entry.x, entry.y);
      if (!grown.fitsMap()) {
        layout.end = LayoutEnd::kLeftTheMap;
        break;
      }
      bounds = grown;
      ++tiles;
    }
    layout.mazeEntries.push_back(entry);
  }
  if (tiles > 0) StoreBounds(layout, bounds);
}

// The group's hash: FNV-1a's multiply over 64-bit words, each step folded by a shift so that
// every bit of a word reaches the low bits. Plenty to keep a few hundred thousand layouts
// apart; the words are put together the same way on every platform.
class GroupHash {
 public:
  void add(uint64_t word) {
    value_ = (value_ ^ word) * 0x100000001B3ull;
    value_ ^= value_ >> 29;
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

// The start of the lexicographically least rotation of the n keys held twice over in
// keys[0, 2n), in linear time (the two-candidate minimal rotation walk).
size_t LeastRotation(const uint16_t* keys, size_t n) {
  size_t i = 0;
  size_t j = 1;
  size_t k = 0;
  while (i < n && j < n && k < n) {
    const uint16_t a = keys[i + k];
    const uint16_t b = keys[j + k];
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
  const size_t n = layout.pieces.size();
  // The keys of the track, twice over, then those of its mirror image, twice over.
  std::vector<uint16_t> keys(4 * n);
  for (size_t i = 0; i < n; ++i) {
    keys[i] = keys[n + i] = PieceKey(layout.pieces[i], false);
    keys[2 * n + i] = keys[3 * n + i] = PieceKey(layout.pieces[i], true);
  }
  const uint16_t* plain = keys.data();
  const uint16_t* mirror = keys.data() + 2 * n;
  // A closed circuit is the same ride whichever piece its list begins with, so it is compared
  // from a start that does not depend on the list: the least of the rotations that begin a
  // station platform (a handful, found in one pass), or of all rotations when it has none.
  // An open or damaged track is compared only as listed.
  const bool circuit = layout.closed();
  size_t plainStart = 0;
  size_t mirrorStart = 0;
  if (circuit) {
    bool found = false;
    auto isStation = [&](size_t i) {
      return (GeometryOf(layout.pieces[i].id).flags & kStationPiece) != 0;
    };
    for (size_t i = 0; i < n; ++i) {
      if (!isStation(i) || isStation((i + n - 1) % n)) continue;
      auto less = [&](const uint16_t* keys, size_t x, size_t y) {
        return std::lexicographical_compare(keys + x, keys + x + n, keys + y, keys + y + n);
      };
      if (!found || less(plain, i, plainStart)) plainStart = i;
      if (!found || less(mirror, i, mirrorStart)) mirrorStart = i;
      found = true;
    }
    if (!found) {
      plainStart = LeastRotation(plain, n);
      mirrorStart = LeastRotation(mirror, n);
    }
  }
  const uint16_t* a = plain + plainStart;
  const uint16_t* b = mirror + mirrorStart;
  // The track and its mirror image share the group of whichever reads smaller.
  const uint16_t* chosen = std::lexicographical_compare(b, b + n, a, a + n) ? b : a;
  GroupHash hash;
  hash.add(static_cast<uint64_t>(circuit ? 'C' : layout.complete() ? 'O' : 'D') << 32 | n);
  for (size_t k = 0; k < n; k += 4) {
    uint64_t word = 0;
    for (size_t m = k; m < std::min(n, k + 4); ++m) word = word << 16 | chosen[m];
    hash.add(word);
  }
  return hash.text();
}

std::string MazeGroup(const TrackLayout& layout) {
  // Mazes group only with the very same maze: there is no table of mirrored walls.
  GroupHash hash;
  hash.add(static_cast<uint64_t>(layout.complete() ? 'M' : 'N') << 32 | layout.mazeEntries.size());
  for (const MazeEntry& entry : layout.mazeEntries) {
    hash.add(static_cast<uint64_t>(static_cast<uint8_t>(entry.x)) << 32 |
             static_cast<uint64_t>(static_cast<uint8_t>(entry.y)) << 24 |
             static_cast<uint64_t>(entry.walls) << 8 | entry.kind);
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
