// Our own track design encoder: builds a decoded design from chosen statistics and packs it
// the way the game does (run-length body, runs of at most 125 bytes, four-byte trailer).
// The tests, the benchmarks and the sample collection all make their files with it.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace velodex {

// The raw bytes a design stores for its statistics, at their decoded offsets.
// splitmix64: small, fast and the same on every platform, so generated designs are too.
class SeededRandom {
 public:
  explicit SeededRandom(uint64_t seed) : state_(seed) {}
  uint64_t next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  // A value from low to high inclusive.
  int between(int low, int high) {
    return low + static_cast<int>(next() % static_cast<uint64_t>(high - low + 1));
  }
  bool oneIn(int n) { return between(1, n) == 1; }

 private:
  uint64_t state_;
};

// One entry of a design's track element list: the piece's id and its qualifier (chain lift
// 0x80, inverted 0x40, colour scheme 0x30, per-piece low bits).
struct TrackElement {
  uint8_t id = 0;
  uint8_t qualifier = 0;

  bool operator==(const TrackElement&) const = default;
};

struct DesignParams {
  uint8_t rideTypeCode = 0;      // offset 0
  uint8_t trainColorScheme = 0;  // 7
  uint8_t minWaitTime = 10;      // 38
  uint8_t maxWaitTime = 60;      // 39
  uint8_t maxSpeed = 40;         // 41, x 2.25
  uint8_t avgSpeed = 20;         // 42, x 2.25
  uint16_t rideLength = 300;     // 43 low, 44 high; / 0.3048
  uint8_t posGs = 10;            // 45
  uint8_t negGs = 3;             // 46
  uint8_t latGs = 5;             // 47
  uint8_t invs = 0;              // 48
  uint8_t drops = 2;             // 49
  uint8_t maxDropHeight = 20;    // 50
  uint8_t ex = 50;               // 51, x 0.1
  uint8_t intensity = 40;        // 52, x 0.1
  uint8_t na = 20;               // 53, x 0.1
  int decodedLength = 8198;      // 8198 (expansion) or 8058 (original game)
  uint32_t seed = 1;             // varies the colours and the generated track
  // The track element list written at the list start and ended by 0xFF. When absent, a
  // generated closed circuit of about rideLength / 7 pieces (a generated maze for the maze
  // ride type).
  std::optional<std::vector<TrackElement>> track;
  // Raw bytes written at the list start instead, as they are (maze entries, damaged lists).
  std::optional<std::vector<uint8_t>> trackArea;
};

// The decoded design: decodedLength bytes with the statistics at their offsets, the track
// after them and long runs of zeros, as real designs have. Throws Error when the track does
// not fit the track area.
std::vector<uint8_t> MakeDecodedDesign(const DesignParams& params);

// Packs decoded bytes into a run-length body with runs of at most 125 bytes.
std::vector<uint8_t> EncodeRunLength(std::span<const uint8_t> decoded);

// A whole design file: the packed body of decoded followed by a four-byte trailer.
std::vector<uint8_t> EncodeDesignFile(std::span<const uint8_t> decoded, uint32_t trailer = 0);

// Writes the design file for params at path; throws Error when it cannot be written.
void WriteDesignFile(const std::string& path, const DesignParams& params);

}  // namespace velodex
