// The walk of a design's track area. Track designs hold two-byte elements (id, qualifier)
// ending at the first id 0xFF; mazes hold four-byte entries (x, y, 16 wall bits) ending at an
// all-zero entry. The area runs from the list start to the end of the decoded design.
#include "catalogue/track_layout.h"

#include <algorithm>
#include <array>
#include <climits>

#include "catalogue/layout_group.h"
#include "catalogue/track_geometry.h"

namespace velodex {
namespace {

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
  return static_cast<int>(design.length == kShortDesignLength ? kShortListStart : kFullListStart);
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
// the extent of its tiles around its origin, its rise, and whether it can follow
// that heading at all (a known piece that starts diagonal exactly on a diagonal heading).
// Worked out once for every id and heading, so the walk only adds.
struct Move {
  int8_t dx, dy, minX, maxX, minY, maxY, rise;
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
          (g.flags & kKnownPiece) != 0 && ((g.flags & kDiagonalIn) != 0) == ((heading & 1) != 0)};
    }
  }
  return moves;
}

// The one table of moves, worked out on first use.
const MoveTable& Moves() {
  static const MoveTable moves = MakeMoves();
  return moves;
}

const std::array<uint8_t, 256>& Turns() {
  static const auto turns = GeometryColumn([](const TrackGeometry& g) { return g.turn; });
  return turns;
}

void StoreBounds(TrackLayout& layout, const Bounds& bounds) {
  layout.minX = static_cast<int16_t>(bounds.minX);
  layout.maxX = static_cast<int16_t>(bounds.maxX);
  layout.minY = static_cast<int16_t>(bounds.minY);
  layout.maxY = static_cast<int16_t>(bounds.maxY);
}

// Bounds that any first tile replaces.
constexpr Bounds kNoBounds = {INT_MAX / 2, INT_MIN / 2, INT_MAX / 2, INT_MIN / 2};

// Walks the track list into layout's end state, bounds and heights. Each piece walked goes to
// keep(index, piece): the whole layout keeps it, the facts alone only its key. Returns the
// number of pieces walked; keep's storage must hold every entry before the end marker.
//
// The checked walk stops before a piece that would take the track off the map. Almost no
// track comes near that, so the walk first runs without the check and is run again with it
// only when the whole track turns out too large.
template <bool kChecked, typename Keep>
int WalkTrackOnce(const DecodedDesign& design, TrackLayout& layout, Keep& keep) {
  const MoveTable& moves = Moves();
  const std::array<uint8_t, 256>& turns = Turns();
  const uint8_t* bytes = design.bytes.data();
  const int end = design.length;  // a local: the stores below cannot be taken to change it
  int x = 0;
  int y = 0;
  int height = 0;
  int heading = 0;
  int highest = 0;
  int lowest = 0;
  Bounds bounds = kNoBounds;
  int walked = 0;
  layout.end = LayoutEnd::kNoEndMarker;
  for (int at = ListStart(design); at + 1 < end; at += 2) {
    const uint8_t id = bytes[at];
    if (id == kEndOfTrack) {
      layout.end = LayoutEnd::kEndMarker;
      break;
    }
    const Move& m = moves[id][heading];
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
    if (kChecked && (!grown.fitsMap() || newHighest - newLowest > kHeightSpan)) {
      layout.end = LayoutEnd::kLeftTheMap;
      break;
    }
    keep(walked++, TrackPiece{id, bytes[at + 1], static_cast<int16_t>(x), static_cast<int16_t>(y),
                              static_cast<int16_t>(height), static_cast<uint8_t>(heading)});
    bounds = grown;
    highest = newHighest;
    lowest = newLowest;
    x += m.dx;
    y += m.dy;
    height = exitHeight;
    // The turn is read by id alone, so the next heading does not wait on this move's load. A
    // left turn is stored as its byte (255 for -1), the same modulo 8.
    heading = (heading + turns[id]) & 7;
  }
  if (!kChecked && (!bounds.fitsMap() || highest - lowest > kHeightSpan)) return -1;
  layout.endX = static_cast<int16_t>(x);
  layout.endY = static_cast<int16_t>(y);
  layout.endHeight = static_cast<int16_t>(height);
  layout.endHeading = static_cast<uint8_t>(heading);
  layout.highest = static_cast<int16_t>(highest);
  layout.lowest = static_cast<int16_t>(lowest);
  if (walked > 0) StoreBounds(layout, bounds);
  return walked;
}

template <typename Keep>
int WalkTrack(const DecodedDesign& design, TrackLayout& layout, Keep keep) {
  const int walked = WalkTrackOnce<false>(design, layout, keep);
  return walked >= 0 ? walked : WalkTrackOnce<true>(design, layout, keep);
}

// The number of entries before the end marker (or the end of the area): room enough for
// every piece a walk can keep.
size_t Entries(const DecodedDesign& design) {
  const uint8_t* bytes = design.bytes.data();
  const int end = design.length;
  size_t entries = 0;
  for (int at = ListStart(design); at + 1 < end && bytes[at] != kEndOfTrack; at += 2) ++entries;
  return entries;
}

// Whether a track walk of n pieces closed: complete, and back on its starting tile, height
// and heading.
bool ClosedWalk(const TrackLayout& layout, size_t n) {
  return !layout.maze && layout.complete() && n > 0 && layout.endX == 0 && layout.endY == 0 &&
         layout.endHeight == 0 && layout.endHeading == 0;
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

}  // namespace

bool TrackLayout::closed() const { return ClosedWalk(*this, pieces.size()); }

namespace {

// Starts layout afresh for design: no pieces, no bounds, at the start.
void Reset(const DecodedDesign& design, TrackLayout& layout) {
  layout.pieces.clear();
  layout.mazeEntries.clear();
  layout.minX = layout.minY = 1;
  layout.maxX = layout.maxY = 0;
  layout.highest = layout.lowest = 0;
  layout.endX = layout.endY = layout.endHeight = 0;
  layout.endHeading = 0;
  layout.maze = design.length > 0 && design.bytes[0] == kMazeRideType;
}

// The facts that come from the walk's bounds and heights; pieces, closed and group are the
// caller's.
LayoutFacts ExtentFacts(const TrackLayout& layout) {
  LayoutFacts facts;
  if (layout.minX <= layout.maxX) {
    const int across = layout.maxX - layout.minX + 1;
    const int along = layout.maxY - layout.minY + 1;
    facts.width = std::min(across, along);
    facts.length = std::max(across, along);
  }
  facts.rise = layout.highest;
  facts.dip = -layout.lowest;
  return facts;
}

}  // namespace

void WalkTrackLayout(const DecodedDesign& design, TrackLayout& layout) {
  Reset(design, layout);
  if (layout.maze) {
    WalkMaze(design, layout);
    return;
  }
  // Room for every piece before the walk, written by index: growing the list piece by piece
  // would keep its size in memory, in the way of every next piece.
  layout.pieces.resize(Entries(design));
  TrackPiece* out = layout.pieces.data();
  const int walked = WalkTrack(design, layout, [out](int i, const TrackPiece& p) { out[i] = p; });
  layout.pieces.resize(static_cast<size_t>(walked));
}

TrackLayout WalkTrackLayout(const DecodedDesign& design) {
  TrackLayout layout;
  WalkTrackLayout(design, layout);
  return layout;
}

int64_t LayoutGroup(const TrackLayout& layout) {
  if (layout.maze) return MazeGroup(layout.mazeEntries, layout.complete());
  const size_t n = layout.pieces.size();
  if (n == 0) return 0;
  std::vector<uint16_t>& keys = GroupKeyBuffer();
  if (keys.size() < n) keys.resize(n);
  for (size_t i = 0; i < n; ++i)
    keys[i] = PieceKey(layout.pieces[i].id, layout.pieces[i].qualifier);
  return TrackGroup(keys.data(), n, layout.closed(), layout.complete());
}

LayoutFacts LayoutFactsOf(const TrackLayout& layout) {
  LayoutFacts facts = ExtentFacts(layout);
  if (layout.maze) {
    facts.pieces = static_cast<int>(
        std::count_if(layout.mazeEntries.begin(), layout.mazeEntries.end(),
                      [](const MazeEntry& e) { return e.kind == MazeEntry::kTile; }));
  } else {
    facts.pieces = static_cast<int>(layout.pieces.size());
  }
  facts.closed = layout.closed();
  facts.group = LayoutGroup(layout);
  return facts;
}

LayoutFacts WalkLayoutFacts(const DecodedDesign& design) {
  static thread_local TrackLayout layout;  // its pieces stay empty; mazes use its entries
  Reset(design, layout);
  if (layout.maze) {
    WalkMaze(design, layout);
    return LayoutFactsOf(layout);
  }
  // The buffer grows once to the longest list a track area holds, and is never cleared.
  std::vector<uint16_t>& keys = GroupKeyBuffer();
  const size_t longest = static_cast<size_t>(kFullDesignLength) / 2;
  if (keys.size() < longest) keys.resize(longest);
  uint16_t* out = keys.data();
  const size_t n = static_cast<size_t>(WalkTrack(
      design, layout, [out](int i, const TrackPiece& p) { out[i] = PieceKey(p.id, p.qualifier); }));
  LayoutFacts facts = ExtentFacts(layout);
  facts.pieces = static_cast<int>(n);
  facts.closed = ClosedWalk(layout, n);
  if (n > 0) facts.group = TrackGroup(keys.data(), n, facts.closed, layout.complete());
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
