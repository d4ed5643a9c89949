// Pictures of a layout: the plan's path data, the profile's points, the picture's budget.
#include "report/layout_pictures.h"

#include <gtest/gtest.h>

#include "report/layout_drawing.h"
#include "tests/support/test_support.h"
#include "tools/design_encoder.h"
#include "tools/track_circuit.h"

namespace velodex {
namespace {

TrackLayout LayoutOf(const DesignParams& p) {
  DecodedDesign design;
  const std::vector<uint8_t> decoded = MakeDecodedDesign(p);
  std::copy(decoded.begin(), decoded.end(), design.bytes.begin());
  design.length = static_cast<int>(decoded.size());
  return WalkTrackLayout(design);
}

TrackLayout LayoutOfTrack(std::initializer_list<TrackElement> track) {
  DesignParams p;
  p.track = std::vector<TrackElement>(track);
  return LayoutOf(p);
}

// The d attribute of the first path whose attributes start with the given text.
std::string PathData(const std::string& svg, const std::string& attributes) {
  const size_t at = svg.find("<path " + attributes);
  if (at == std::string::npos) return "(none)";
  const size_t d = svg.find(" d=\"", at) + 4;
  return svg.substr(d, svg.find('"', d) - d);
}

TEST(PictureSvg, PlanStepsFromJointToJointInTheShortestForm) {
  // Three station tiles north, 1-tile turns right, three flats south, 1-tile turns back: the
  // pieces join at (1,2), (1,0), (1,-2), (1,-4), (2,-5), (3,-4) ... (3,2), (2,3), in half
  // tiles; each turn curves through its tile's centre. Level track takes the middle colour.
  const TrackLayout layout = LayoutOfTrack(
      {{2, 0}, {3, 0}, {1, 8}, {0x33, 0}, {0x33, 0}, {0, 0}, {0, 0}, {0, 0}, {0x33, 0}, {0x33, 0}});
  const std::string svg = PictureSvg(layout);
  EXPECT_EQ(PathData(svg, "stroke=\"#2a8\""), "M1 2v-6q0-1 1-1 1 0 1 1v6q0 1-1 1-1 0-1-1");
  EXPECT_EQ(PathData(svg, "stroke=\"#d33\""), "M1 2v-6");
  EXPECT_EQ(PathData(svg, "stroke=\"#222\""), "(none)");  // no chain lift
  // Covered tiles: rows x = -3 to 1, each two tiles (y = 0 and 1) wide.
  EXPECT_EQ(PathData(svg, "fill=\"#eee\""),
            "M0-6h4v2h-4zm0 2h4v2h-4zm0 2h4v2h-4zm0 2h4v2h-4zm0 2h4v2h-4z");
}

TEST(PictureSvg, MazeWallsAndPillarsComeFromTheWallBits) {
  // Tile (0, 0): the low-x half of its y = 0 edge (bit 0), the high-x half of its y = 31 edge
  // (bit 8), the high-y half of its x = 0 edge (bit 4), the solid quarter at high x and y
  // (bit 11). Tile (1, 0): both halves of its y = 0 edge (bits 0, 13), one wall two halves
  // long. Walls are drawn rows first, then columns, each left to right and top down.
  DesignParams p;
  p.rideTypeCode = kMazeRideType;
  p.trackArea = std::vector<uint8_t>{0, 0, 0x11, 0x08 | 0x01, 1, 0, 0x01, 0x20, 0, 0, 0, 0};
  const std::string svg = PictureSvg(LayoutOf(p));
  EXPECT_EQ(PathData(svg, "stroke=\"#373\""), "M1 0h1m-2 0v1m0 1v2m2-3v1");
  EXPECT_EQ(PathData(svg, "fill=\"#373\""), "M1 1h1v1h-1z");
}

TEST(DrawProfile, HeightsAlongTheTrackWithTheLoopTop) {
  // Up onto 25 degrees (1 tile, +1), a vertical loop (120/32 tiles, its top 15 units above
  // its entry), down to level (1 tile, -1).
  const std::vector<ProfilePoint> points =
      DrawProfile(LayoutOfTrack({{0x06, 0}, {0x29, 0}, {0x0F, 0}}));
  const std::vector<std::pair<double, double>> expected = {
      {0, 0}, {1, 1}, {2.875, 16}, {4.75, 1}, {5.75, 0}};
  ASSERT_EQ(points.size(), expected.size());
  for (size_t i = 0; i < points.size(); ++i) {
    EXPECT_DOUBLE_EQ(points[i].along, expected[i].first) << i;
    EXPECT_DOUBLE_EQ(points[i].height, expected[i].second) << i;
  }
}

TEST(PictureSvg, EveryLayoutFitsTheBudgetAndStillShowsItsTrack) {
  SeededRandom random(5);
  std::vector<TrackLayout> layouts;
  for (size_t pieces : {40u, 400u, 3800u}) {
    DesignParams p;
    p.track = MakeCircuit(random, pieces);
    layouts.push_back(LayoutOf(p));
  }
  DesignParams maze;
  maze.rideTypeCode = kMazeRideType;
  maze.rideLength = 7000;
  layouts.push_back(LayoutOf(maze));
  // A damaged maze: scattered tiles all walls and pillars, and a door on every tenth entry.
  TrackLayout damaged;
  damaged.maze = true;
  for (int i = 0; i < 400; ++i) {
    damaged.mazeEntries.push_back({static_cast<int8_t>(i % 120 - 60),
                                   static_cast<int8_t>(i / 4 - 50), 0xFFFF,
                                   i % 10 == 0 ? MazeEntry::kEntrance : MazeEntry::kTile});
  }
  layouts.push_back(damaged);
  if (const std::string folder = testing::RealTracksFolder(); !folder.empty()) {
    DecodedDesign raptor;
    if (DecodeTrackDesign(folder + "/raptor.td4", raptor).verdict == DesignVerdict::kAccepted) {
      layouts.push_back(WalkTrackLayout(raptor));
    }
  }
  for (const TrackLayout& layout : layouts) {
    const std::string svg = PictureSvg(layout);
    EXPECT_LE(svg.size(), kPictureBudget) << layout.pieces.size();
    EXPECT_NE(svg.find(" d=\"M"), std::string::npos) << layout.pieces.size();
    EXPECT_TRUE(
        svg.starts_with("<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 100 134\""));
  }
}

TEST(PictureFileName, FollowsTheDesignAndItsArchive) {
  EXPECT_EQ(PictureFileName("LOOP.td4", "none"), "LOOP.svg");
  EXPECT_EQ(PictureFileName("Loop.td4", "pack.zip"), "pack.zip - Loop.svg");
}

}  // namespace
}  // namespace velodex
