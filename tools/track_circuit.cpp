// Circuits are put together from sections that each end where a straight piece would: on
// the line they started on, at the height they started at, facing the same way. A side of
// such sections only moves forward, so four sides joined by four equal corners close as soon
// as opposite sides are equally long.
#include "tools/track_circuit.h"

#include <algorithm>

#include "catalogue/error.h"
#include "catalogue/track_geometry.h"

namespace velodex {
namespace {

using Elements = std::vector<TrackElement>;

constexpr uint8_t kChain = 0x80;
// Sections are added to a side until it is this many tiles long; after that only helices,
// which add pieces without length, so even the longest generated ride fits the map.
constexpr int kLongestSide = 36;

void Add(Elements& out, std::initializer_list<uint8_t> ids, uint8_t qualifier = 0) {
  for (uint8_t id : ids) out.push_back({id, qualifier});
}

void Repeat(Elements& out, uint8_t id, int count, uint8_t qualifier = 0) {
  for (int i = 0; i < count; ++i) out.push_back({id, qualifier});
}

// Where a list of elements ends when walked from tile (0, 0), height 0, heading north.
struct Walk {
  int x = 0, y = 0, height = 0, heading = 0;
};

Walk WalkOf(const Elements& elements) {
  static constexpr int kStepX[4] = {-1, 0, 1, 0};
  static constexpr int kStepY[4] = {0, 1, 0, -1};
  Walk w;
  for (const TrackElement& e : elements) {
    const TrackGeometry& g = GeometryOf(e.id);
    const int d = w.heading >> 1;
    const int r = (d + 1) & 3;
    w.x += g.forward * kStepX[d] + g.right * kStepX[r];
    w.y += g.forward * kStepY[d] + g.right * kStepY[r];
    w.height += g.rise;
    w.heading = (w.heading + g.turn) & 7;
  }
  return w;
}

// The length of a side, which must end straight ahead of where it began.
int SideLength(const Elements& side) {
  const Walk w = WalkOf(side);
  if (w.y != 0 || w.height != 0 || w.heading != 0) {
    throw Error("the circuit maker built a side that leaves its line");
  }
  return -w.x;
}

// One section that ends straight, level and on its line.
void AddSection(Elements& out, SeededRandom& random) {
  switch (random.between(0, 13)) {
    case 0: {  // a hill
      const int k = random.between(1, 5);
      Add(out, {0x06});
      Repeat(out, 0x04, k);
      Add(out, {0x09, 0x0C});
      Repeat(out, 0x0A, k);
      Add(out, {0x0F});
      break;
    }
    case 1: {  // a steep drop and climb
      const int k = random.between(1, 3);
      Add(out, {0x06, 0x07});
      Repeat(out, 0x05, k);
      Add(out, {0x08, 0x09, 0x0C, 0x0D});
      Repeat(out, 0x0B, k);
      Add(out, {0x0E, 0x0F});
      break;
    }
    case 2:  // a right and a left vertical loop
      Add(out, {0x06, 0x29, 0x0F, 0x06, 0x28, 0x0F});
      break;
    case 3:  // corkscrews, left then right, then right then left
      Add(out, {0x3A, 0x3D, 0x3B, 0x3C});
      break;
    case 4:  // two half loops
      Add(out, {0x06, 0x38, 0x39, 0x0F});
      break;
    case 5:  // large half loops veering right, then left
      Add(out, {0x06, 0xB8, 0xB9, 0x0F, 0x06, 0xB7, 0xBA, 0x0F});
      break;
    case 6:  // an inline twist and a barrel roll
      Add(out, {0x35, 0x37, 0xAE, 0xB0});
      break;
    case 7:  // S-bends
      Add(out, {0x26, 0x27});
      break;
    case 8: {  // a jog onto the diagonal and back, with a hill on it
      const int k = random.between(0, 3);
      Add(out, {0x86, 0x90});
      Repeat(out, 0x8E, k);
      Add(out, {0x93, 0x96});
      Repeat(out, 0x94, k);
      Add(out, {0x99, 0x87, 0x85});
      Repeat(out, 0x8D, 2 * k + 4);
      Add(out, {0x88});
      break;
    }
    case 9:  // small and large banked half helices
      Add(out, {0x13, 0x58, 0x58, 0x15, 0x12, 0x59, 0x59, 0x14});
      Add(out, {0x13, 0x5C, 0x5C, 0x15, 0x12, 0x5D, 0x5D, 0x14});
      break;
    case 10: {  // brakes, slowing step by step
      const int k = random.between(2, 6);
      for (int i = 0; i < k; ++i) out.push_back({0x63, static_cast<uint8_t>(k - i)});
      break;
    }
    default:
      Repeat(out, 0x00, random.between(1, 4));
      break;
  }
}

// A helix climbing m full turns to the right and coming down m turns to the left.
void AddHelix(Elements& out, int m) {
  Repeat(out, 0x6B, 4 * m);
  Add(out, {0x00});
  Repeat(out, 0x6C, 4 * m);
}

// Corner i of four equal right-hand corners; sloped corners climb and fall in turn, so the
// circuit comes back to its height.
void AddCorner(Elements& out, int kind, int i) {
  switch (kind) {
    case 0:
      Add(out, {0x11});
      break;
    case 1:
      Add(out, {0x2B});
      break;
    case 2:
      Add(out, {0x13, 0x17, 0x15});
      break;
    case 3:
      Add(out, {0x86, 0x8D, 0x8D, 0x88});
      break;
    case 4:
      if (i % 2 == 0) {
        Add(out, {0x06, 0x23, 0x09});
      } else {
        Add(out, {0x0C, 0x25, 0x0F});
      }
      break;
    default:
      Add(out, {0x33});
      break;
  }
}

}  // namespace

std::vector<TrackElement> MakeCircuit(SeededRandom& random, size_t pieces) {
  Elements sides[4];
  // The station, entry end first, and a lift hill with its chain after it.
  Add(sides[0], {0x02});
  Repeat(sides[0], 0x03, random.between(1, 6));
  sides[0].push_back({0x01, 0x08});
  const int lift = random.between(3, 10);
  Add(sides[0], {0x06}, kChain);
  Repeat(sides[0], 0x04, lift, kChain);
  Add(sides[0], {0x09}, kChain);
  Add(sides[0], {0x0C});
  Repeat(sides[0], 0x0A, lift);
  Add(sides[0], {0x0F});
  size_t total = sides[0].size() + 4;
  for (int s = 1; total < pieces; s = (s + 1) % 4) {
    const size_t before = sides[s].size();
    if (SideLength(sides[s]) < kLongestSide) {
      AddSection(sides[s], random);
    } else {
      AddHelix(sides[s], random.between(1, 3));
    }
    total += sides[s].size() - before;
  }
  for (int s = 0; s < 2; ++s) {
    const int gap = SideLength(sides[s]) - SideLength(sides[s + 2]);
    Repeat(sides[gap > 0 ? s + 2 : s], 0x00, std::abs(gap));
  }
  const int corner = random.between(0, 5);
  Elements circuit;
  for (int s = 0; s < 4; ++s) {
    circuit.insert(circuit.end(), sides[s].begin(), sides[s].end());
    AddCorner(circuit, corner, s);
  }
  return circuit;
}

std::vector<TrackElement> MirrorTrack(std::span<const TrackElement> track) {
  Elements mirrored;
  mirrored.reserve(track.size());
  for (const TrackElement& e : track) mirrored.push_back({GeometryOf(e.id).mirror, e.qualifier});
  return mirrored;
}

std::vector<uint8_t> MakeMaze(SeededRandom& random, int tiles) {
  const int across = std::clamp(random.between(2, 8), 2, std::max(2, tiles / 2));
  const int along = std::max(2, std::min(60, tiles / across));
  std::vector<uint8_t> area;
  auto entry = [&](int x, int y, int walls) {
    area.push_back(static_cast<uint8_t>(x));
    area.push_back(static_cast<uint8_t>(y));
    area.push_back(static_cast<uint8_t>(walls & 0xFF));
    area.push_back(static_cast<uint8_t>(walls >> 8));
  };
  for (int x = 0; x < across; ++x) {
    for (int y = 0; y < along; ++y) {
      int walls = 0;
      if (x == 0) walls |= 1 << 1 | 1 << 4;
      if (x == across - 1) walls |= 1 << 12 | 1 << 9;
      if (y == 0) walls |= 1 << 0 | 1 << 13;
      if (y == along - 1) walls |= 1 << 5 | 1 << 8;
      static constexpr int kInner[4] = {2, 10, 14, 6};
      for (int bit : kInner) {
        if (random.oneIn(3)) walls |= 1 << bit;
      }
      // A high byte of exactly 0x08 or 0x80 would read as a door: add an inner wall.
      if ((walls >> 8) == 0x08 || (walls >> 8) == 0x80) walls |= 1 << 10;
      // An inner tile without walls would read as the end of the list: give it a pillar.
      if (walls == 0) walls = 1 << 3;
      entry(x, y, walls);
    }
  }
  entry(-1, 0, 0x0800 | 2);              // the entrance, beside the first tile
  entry(across, along - 1, 0x8000 | 0);  // the exit, beside the last
  entry(0, 0, 0);
  return area;
}

}  // namespace velodex
