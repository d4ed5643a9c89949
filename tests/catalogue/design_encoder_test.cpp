// Our encoder: what it writes must decode back to what it was given, and look like the files
// the game saves (short runs, small files).
#include "tools/design_encoder.h"

#include <gtest/gtest.h>

#include "catalogue/error.h"
#include "catalogue/track_design.h"
#include "tests/support/test_support.h"

namespace velodex {
namespace {

using Bytes = std::vector<uint8_t>;

struct EncodedRun {
  bool repeat;
  size_t length;
};

// Splits a body into its runs, failing the test if a run reaches past the body.
std::vector<EncodedRun> RunsOf(const Bytes& body) {
  std::vector<EncodedRun> runs;
  size_t pos = 0;
  while (pos < body.size()) {
    const unsigned c = body[pos];
    if (c >= 127) {
      runs.push_back({true, 257 - c});
      pos += 2;
    } else {
      runs.push_back({false, c + 1});
      pos += c + 2;
    }
  }
  EXPECT_EQ(pos, body.size()) << "a run reaches past the body";
  return runs;
}

// Small deterministic generator for the property tests.
uint32_t Next(uint32_t& state) {
  state = state * 1664525u + 1013904223u;
  return state >> 8;
}

DesignParams VariedParams(uint32_t seed) {
  uint32_t s = seed;
  DesignParams p;
  p.rideTypeCode = static_cast<uint8_t>(Next(s));
  p.trainColorScheme = static_cast<uint8_t>(Next(s));
  p.minWaitTime = static_cast<uint8_t>(Next(s));
  p.maxWaitTime = static_cast<uint8_t>(Next(s));
  p.maxSpeed = static_cast<uint8_t>(Next(s));
  p.avgSpeed = static_cast<uint8_t>(Next(s));
  p.rideLength = static_cast<uint16_t>(Next(s) % 7000);
  p.posGs = static_cast<uint8_t>(Next(s));
  p.negGs = static_cast<uint8_t>(Next(s));
  p.latGs = static_cast<uint8_t>(Next(s));
  p.invs = static_cast<uint8_t>(Next(s));
  p.drops = static_cast<uint8_t>(Next(s));
  p.maxDropHeight = static_cast<uint8_t>(Next(s));
  p.ex = static_cast<uint8_t>(Next(s));
  p.intensity = static_cast<uint8_t>(Next(s));
  p.na = static_cast<uint8_t>(Next(s));
  p.decodedLength = Next(s) % 4 == 0 ? kShortDesignLength : kFullDesignLength;
  p.seed = seed;
  return p;
}

TEST(DesignEncoder, DesignsDecodeBackToTheirBytesAndStatistics) {
  for (uint32_t seed = 1; seed <= 300; ++seed) {
    const DesignParams p = VariedParams(seed);
    const Bytes decoded = MakeDecodedDesign(p);
    ASSERT_EQ(decoded.size(), static_cast<size_t>(p.decodedLength));
    DecodedDesign design;
    ASSERT_TRUE(DecodeTrackDesignBytes(EncodeDesignFile(decoded, seed * 77u), design)) << seed;
    ASSERT_EQ(design.length, p.decodedLength) << seed;
    ASSERT_TRUE(std::equal(decoded.begin(), decoded.end(), design.bytes.begin())) << seed;
    const DesignStats stats = ExtractDesignStats(design);
    EXPECT_EQ(stats.rideTypeCode, p.rideTypeCode);
    EXPECT_EQ(stats.trainColorScheme, p.trainColorScheme);
    EXPECT_EQ(stats.minWaitTime, p.minWaitTime);
    EXPECT_EQ(stats.maxWaitTime, p.maxWaitTime);
    EXPECT_EQ(stats.maxSpeed, static_cast<float>(p.maxSpeed * 2.25));
    EXPECT_EQ(stats.rideLength, static_cast<float>(p.rideLength / 0.3048));
    EXPECT_EQ(stats.invs, p.invs & 31);
    EXPECT_EQ(stats.maxDropHeight, p.maxDropHeight);
    EXPECT_EQ(stats.na, static_cast<float>(p.na * 0.1));
  }
}

TEST(DesignEncoder, RunsAreAtMost125BytesLikeTheGames) {
  for (uint32_t seed = 1; seed <= 100; ++seed) {
    const Bytes body = EncodeRunLength(MakeDecodedDesign(VariedParams(seed)));
    for (const EncodedRun& run : RunsOf(body)) {
      ASSERT_GE(run.length, run.repeat ? 2u : 1u) << seed;
      ASSERT_LE(run.length, 125u) << seed;
    }
  }
}

TEST(DesignEncoder, AwkwardStretchesRoundTrip) {
  // Stretches around the run limit, single bytes between repeats, and alternating bytes.
  std::vector<Bytes> inputs;
  for (size_t n : {1u, 2u, 3u, 124u, 125u, 126u, 127u, 250u, 251u, 8198u}) inputs.push_back(Bytes(n, 0x5A));
  Bytes mixed;
  for (int i = 0; i < 1000; ++i) mixed.push_back(static_cast<uint8_t>(i % 7 == 0 ? 9 : i));
  inputs.push_back(mixed);
  Bytes alternating;
  for (int i = 0; i < 600; ++i) alternating.push_back(static_cast<uint8_t>(i % 2 ? 0x80 : 0x04));
  inputs.push_back(alternating);
  uint32_t state = 99;
  for (int trial = 0; trial < 50; ++trial) {
    Bytes random;
    while (random.size() < 3000) {
      const uint8_t value = static_cast<uint8_t>(Next(state) % 4);
      random.insert(random.end(), Next(state) % 140 + 1, value);
    }
    inputs.push_back(random);
  }
  for (const Bytes& input : inputs) {
    const Bytes body = EncodeRunLength(input);
    Bytes decoded;
    size_t pos = 0;
    for (const EncodedRun& run : RunsOf(body)) {
      ASSERT_LE(run.length, 125u);
      if (run.repeat) {
        decoded.insert(decoded.end(), run.length, body[pos + 1]);
        pos += 2;
      } else {
        decoded.insert(decoded.end(), body.begin() + pos + 1, body.begin() + pos + 1 + run.length);
        pos += run.length + 1;
      }
    }
    EXPECT_EQ(decoded, input) << input.size();
  }
}

TEST(DesignEncoder, FilesAreAsSmallAsRealOnes) {
  // Real designs are a few hundred bytes to a few kilobytes: mostly zeros after the track.
  size_t smallest = SIZE_MAX;
  size_t largest = 0;
  for (uint32_t seed = 1; seed <= 100; ++seed) {
    DesignParams p = VariedParams(seed);
    p.rideLength = static_cast<uint16_t>(50 + seed * 60);
    const size_t size = EncodeDesignFile(MakeDecodedDesign(p)).size();
    smallest = std::min(smallest, size);
    largest = std::max(largest, size);
  }
  EXPECT_GE(smallest, 150u);
  EXPECT_LT(smallest, 600u);
  EXPECT_GT(largest, 2000u);
  EXPECT_LE(largest, 6000u);
}

TEST(DesignEncoder, TrailerIsWrittenLittleEndianAfterTheBody) {
  const Bytes decoded(kFullDesignLength, 0);
  const Bytes file = EncodeDesignFile(decoded, 0x04030201u);
  ASSERT_GE(file.size(), 4u);
  EXPECT_EQ(Bytes(file.end() - 4, file.end()), (Bytes{1, 2, 3, 4}));
  EXPECT_EQ(Bytes(file.begin(), file.end() - 4), EncodeRunLength(decoded));
}

TEST(DesignEncoder, WrittenFileDecodes) {
  testing::TempFolder folder;
  DesignParams p;
  p.rideTypeCode = 52;
  p.ex = 65;
  WriteDesignFile(folder / "Twister.td4", p);
  const auto design = DecodeTrackDesign(folder / "Twister.td4");
  ASSERT_TRUE(design.has_value());
  EXPECT_EQ(ExtractDesignStats(*design).rideTypeCode, 52);
  EXPECT_EQ(ExtractDesignStats(*design).ex, 6.5f);
  EXPECT_THROW(WriteDesignFile(folder / "no-such-folder/x.td4", p), Error);
}

TEST(DesignEncoder, RefusesDesignsTooShortForTheStatistics) {
  DesignParams p;
  p.decodedLength = 53;
  EXPECT_THROW(MakeDecodedDesign(p), Error);
  p.decodedLength = 54;
  EXPECT_EQ(MakeDecodedDesign(p).size(), 54u);
}

}  // namespace
}  // namespace velodex
