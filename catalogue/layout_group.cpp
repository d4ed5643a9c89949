// Same-layout groups: a number that is equal for tracks that are the same piece for piece,
// from whichever piece a circuit's list begins, or mirror images of each other.
#include "catalogue/layout_group.h"

#include <algorithm>
#include <array>

#include "catalogue/track_geometry.h"

namespace velodex {
namespace {

const std::array<uint8_t, 256>& Mirrors() {
  static const auto mirrors = GeometryColumn([](const TrackGeometry& g) { return g.mirror; });
  return mirrors;
}

const std::array<uint8_t, 256>& Stations() {
  static const auto stations =
      GeometryColumn([](const TrackGeometry& g) { return (g.flags & kStationPiece) != 0; });
  return stations;
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
  // The low 53 bits, never 0 (which stands for no group).
  int64_t group() const {
    const auto bits = static_cast<int64_t>(value_ & ((uint64_t{1} << 53) - 1));
    return bits == 0 ? 1 : bits;
  }

 private:
  uint64_t value_ = 0xCBF29CE484222325ull;
};

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

}  // namespace

int64_t TrackGroup(const uint16_t* keys, size_t n, bool circuit, bool complete) {
  const std::array<uint8_t, 256>& twins = Mirrors();
  // The key k places after start, going round the circuit, of the track or of its mirror
  // image (each piece replaced by its twin).
  auto at = [&](bool mirrored, size_t start, size_t k) -> uint16_t {
    const size_t i = start + k;
    const uint16_t key = keys[i < n ? i : i - n];
    return mirrored ? static_cast<uint16_t>(twins[key >> 8] << 8 | (key & 0xFF)) : key;
  };
  // True when one rotation reads before another.
  auto before = [&](bool mirroredA, size_t a, bool mirroredB, size_t b) {
    for (size_t k = 0; k < n; ++k) {
      const uint16_t p = at(mirroredA, a, k);
      const uint16_t q = at(mirroredB, b, k);
      if (p != q) return p < q;
    }
    return false;
  };
  // A closed circuit is the same ride whichever piece its list begins with, so it is compared
  // from a start that does not depend on the list: the least of the rotations that begin a
  // station platform (mostly just one), or of all rotations when it has none. An open or
  // damaged track is compared only as listed.
  size_t plainStart = 0;
  size_t mirrorStart = 0;
  if (circuit) {
    bool found = false;
    const std::array<uint8_t, 256>& stations = Stations();
    bool previous = stations[keys[n - 1] >> 8] != 0;
    for (size_t i = 0; i < n; ++i) {
      const bool station = stations[keys[i] >> 8] != 0;
      const bool platformStart = station && !previous;
      previous = station;
      if (!platformStart) continue;
      if (!found || before(false, i, false, plainStart)) plainStart = i;
      if (!found || before(true, i, true, mirrorStart)) mirrorStart = i;
      found = true;
    }
    if (!found) {
      // Without a station, the least rotation of all, found on the keys written out twice.
      static thread_local std::vector<uint16_t> twice;
      twice.resize(2 * n);
      for (bool mirrored : {false, true}) {
        for (size_t i = 0; i < 2 * n; ++i) twice[i] = at(mirrored, 0, i % n);
        (mirrored ? mirrorStart : plainStart) = LeastRotation(twice.data(), n);
      }
    }
  }
  // The track and its mirror image share the group of whichever reads smaller.
  const bool mirrored = before(true, mirrorStart, false, plainStart);
  const size_t start = mirrored ? mirrorStart : plainStart;
  GroupHash hash;
  hash.add(static_cast<uint64_t>(circuit ? 'C' : complete ? 'O' : 'D') << 32 | n);
  for (size_t k = 0; k < n; k += 4) {
    uint64_t word = 0;
    for (size_t m = k; m < std::min(n, k + 4); ++m) word = word << 16 | at(mirrored, start, m);
    hash.add(word);
  }
  return hash.group();
}

int64_t MazeGroup(const std::vector<MazeEntry>& entries, bool complete) {
  // Mazes group only with the very same maze: there is no table of mirrored walls.
  if (entries.empty()) return 0;
  GroupHash hash;
  hash.add(static_cast<uint64_t>(complete ? 'M' : 'N') << 32 | entries.size());
  for (const MazeEntry& entry : entries) {
    hash.add(static_cast<uint64_t>(static_cast<uint8_t>(entry.x)) << 32 |
             static_cast<uint64_t>(static_cast<uint8_t>(entry.y)) << 24 |
             static_cast<uint64_t>(entry.walls) << 8 | entry.kind);
  }
  return hash.group();
}

std::vector<uint16_t>& GroupKeyBuffer() {
  static thread_local std::vector<uint16_t> keys;
  return keys;
}

}  // namespace velodex
