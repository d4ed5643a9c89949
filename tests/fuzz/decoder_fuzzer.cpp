// Feeds arbitrary bytes to the design decoder as a whole file. Whatever the bytes, decoding
// must end, stay inside the input and the decoded buffer, and give one of the two accepted
// lengths or a rejection; the statistics of an accepted design must keep to their ranges.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "catalogue/track_design.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

bool WithinSingleRange(float value, float low, float high) {
  return std::isfinite(value) && value >= low && value <= high;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // One decoding buffer for every input, as a folder scan reuses one for all its designs.
  static velodex::DecodedDesign design;
  const std::span<const uint8_t> file(data, size);
  if (!velodex::DecodeTrackDesignBytes(file, design)) {
    Check(design.length == 0);
    return 0;
  }
  Check(design.length == velodex::kFullDesignLength ||
        design.length == velodex::kShortDesignLength);
  // Every run turns at most two body bytes into each decoded byte.
  Check(size >= 4 && size - 4 <= 2 * static_cast<size_t>(design.length));

  const velodex::DesignStats stats = velodex::ExtractDesignStats(design);
  Check(stats.rideTypeCode == design.bytes[0]);
  Check(WithinSingleRange(stats.maxSpeed, 0.0f, 573.75f));
  Check(WithinSingleRange(stats.avgSpeed, 0.0f, 573.75f));
  Check(WithinSingleRange(stats.rideLength, 0.0f, 215009.84375f));
  for (float gs : {stats.posGs, stats.latGs}) Check(WithinSingleRange(gs, -4.8f, 40.96f));
  Check(WithinSingleRange(stats.negGs, -40.64f, 40.96f));
  Check(stats.invs >= 0 && stats.invs <= 31);
  Check(stats.drops >= 0 && stats.drops <= 63);
  Check(stats.maxDropHeight >= 0 && stats.maxDropHeight <= 255);
  for (float rating : {stats.ex, stats.intensity, stats.na}) {
    Check(WithinSingleRange(rating, 0.0f, 25.5f));
  }
  Check(stats.rating == stats.ex - (stats.intensity + stats.na));
  return 0;
}
