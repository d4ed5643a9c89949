// Our encoder makes every design the tests, benchmarks and samples use: what it writes must
// decode back to exactly what it was given.
#include "tools/design_encoder.h"

#include <gtest/gtest.h>

#include "catalogue/track_design.h"

namespace velodex {
namespace {

using Bytes = std::vector<uint8_t>;

TEST(DesignEncoder, DesignsDecodeBackToTheirBytes) {
  std::vector<Bytes> inputs;
  SeededRandom random(99);
  for (uint32_t seed = 1; seed <= 300; ++seed) {
    DesignParams p;
    p.rideTypeCode = static_cast<uint8_t>(random.next());
    p.rideLength = static_cast<uint16_t>(random.between(0, 7000));
    p.ex = static_cast<uint8_t>(random.next());
    p.decodedLength = random.oneIn(4) ? kShortDesignLength : kFullDesignLength;
    p.seed = seed;
    inputs.push_back(MakeDecodedDesign(p));
  }
  // Stretches around the run limit of 125 and alternating bytes, padded to a design's length.
  for (size_t n : {1u, 124u, 125u, 126u, 250u, 251u}) {
    Bytes input(n, 0x5A);
    for (size_t i = 0; input.size() < static_cast<size_t>(kFullDesignLength); ++i) {
      input.push_back(static_cast<uint8_t>(i % 2 ? 0x80 : 0x04));
    }
    inputs.push_back(input);
  }
  for (const Bytes& input : inputs) {
    DecodedDesign design;
    ASSERT_TRUE(DecodeTrackDesignBytes(EncodeDesignFile(input, 0x04030201u), design));
    ASSERT_EQ(design.length, static_cast<int>(input.size()));
    EXPECT_TRUE(std::equal(input.begin(), input.end(), design.bytes.begin()));
  }
}

}  // namespace
}  // namespace velodex
