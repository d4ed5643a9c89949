// Feeds arbitrary bytes to the design decoder as a whole file. Whatever the bytes, decoding
// must end, stay inside the input and the decoded buffer, and give one of the two accepted
// lengths or a rejection; the statistics of an accepted design must keep to their ranges.
// The same bytes are also laid into a design's track area (the first byte picking a track
// ride or the maze) and walked: the layout must stay on the map and inside the area, and its
// picture within its byte budget.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>

#include "catalogue/track_design.h"
#include "catalogue/track_layout.h"
#include "report/layout_pictures.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

bool WithinSingleRange(float value, float low, float high) {
  return std::isfinite(value) && value >= low && value <= high;
}

void CheckLayout(const velodex::DecodedDesign& design) {
  static velodex::TrackLayout layout;
  velodex::WalkTrackLayout(design, layout);
  const velodex::LayoutFacts facts = velodex::LayoutFactsOf(layout);
  Check(facts.pieces >= 0 && facts.pieces <= 4001);
  Check(facts.width <= facts.length && facts.length <= 128);
  Check(facts.rise >= 0 && facts.dip >= 0 && facts.rise + facts.dip <= 255);
  Check(!facts.closed || layout.complete());
  Check((facts.group != 0) == (facts.pieces > 0 || !layout.mazeEntries.empty()));
  Check(facts.group >= 0 && facts.group < (int64_t{1} << 53));
  for (const velodex::CoveredTile& tile : velodex::CoveredTiles(layout)) {
    Check(tile.x >= layout.minX && tile.x <= layout.maxX);
    Check(tile.y >= layout.minY && tile.y <= layout.maxY);
  }
  Check(velodex::PictureSvg(layout).size() <= velodex::kPictureBudget);
}

// The input as the track area of an accepted design of the length its first byte picks.
void WalkAsTrackArea(const uint8_t* data, size_t size) {
  static velodex::DecodedDesign design;
  if (size == 0) return;
  design.bytes.fill(0);
  design.length = data[0] & 1 ? velodex::kShortDesignLength : velodex::kFullDesignLength;
  design.bytes[0] = data[0] & 2 ? velodex::kMazeRideType : 0;
  const size_t start = design.length == velodex::kShortDesignLength ? velodex::kShortListStart
                                                                    : velodex::kFullListStart;
  const size_t count = std::min(size - 1, static_cast<size_t>(design.length) - start);
  std::memcpy(design.bytes.data() + start, data + 1, count);
  CheckLayout(design);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // One decoding buffer for every input, as a folder scan reuses one for all its designs.
  WalkAsTrackArea(data, size);
  static velodex::DecodedDesign design;
  const std::span<const uint8_t> file(data, size);
  if (!velodex::DecodeTrackDesignBytes(file, design)) {
    Check(design.length == 0);
    return 0;
  }
  CheckLayout(design);
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
