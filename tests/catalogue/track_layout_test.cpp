// Walking a design's track into its layout, and the facts and groups made from it.
#include "catalogue/track_layout.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "tests/support/test_support.h"
#include "tools/design_encoder.h"
#include "tools/track_circuit.h"

namespace velodex {
namespace {

using Elements = std::vector<TrackElement>;

Elements Ids(std::initializer_list<uint8_t> ids) {
  Elements out;
  for (uint8_t id : ids) out.push_back({id, 0});
  return out;
}

Elements Join(std::initializer_list<Elements> parts) {
  Elements all;
  for (const Elements& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

// Encodes a design holding the track (or raw track area), decodes the file and walks it.
// Every walk also checks that the facts walked alone, as the scan walks them, are the facts
// of the whole layout.
TrackLayout LayoutOf(DesignParams p) {
  DecodedDesign design;
  EXPECT_TRUE(DecodeTrackDesignBytes(EncodeDesignFile(MakeDecodedDesign(p)), design));
  TrackLayout layout = WalkTrackLayout(design);
  EXPECT_EQ(WalkLayoutFacts(design), LayoutFactsOf(layout));
  return layout;
}

TrackLayout LayoutOfTrack(const Elements& track, int decodedLength = kFullDesignLength) {
  DesignParams p;
  p.track = track;
  p.decodedLength = decodedLength;
  return LayoutOf(p);
}

TrackLayout LayoutOfArea(const std::vector<uint8_t>& area, uint8_t rideType = 0) {
  DesignParams p;
  p.rideTypeCode = rideType;
  p.trackArea = area;
  return LayoutOf(p);
}

const Elements kStation = {{0x02, 0}, {0x03, 0}, {0x01, 0x08}};

TEST(WalkTrackLayout, RealDesignsCloseWithTheirFootprintAndHeights) {
  const std::string folder = testing::RealTracksFolder();
  if (folder.empty()) GTEST_SKIP() << "no folder of real designs";
  struct Case {
    const char* file;
    int pieces, width, length, rise, dip, stationPieces, chainPieces;
  };
  // raptor: a 12-tile station and a 22-piece lift, from -10 to +36 height units. wooden-simple:
  // a level oval of four 3-tile turns, a 1-tile station and one straight.
  const Case cases[] = {{"raptor.td4", 195, 37, 59, 36, 10, 12, 22},
                        {"wooden-simple.TD4", 6, 4, 5, 0, 0, 1, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    DecodedDesign design;
    if (DecodeTrackDesign(folder + "/" + c.file, design).verdict != DesignVerdict::kAccepted) {
      GTEST_SKIP() << "missing " << c.file;
    }
    const TrackLayout layout = WalkTrackLayout(design);
    const LayoutFacts facts = LayoutFactsOf(layout);
    EXPECT_EQ(WalkLayoutFacts(design), facts);
    EXPECT_TRUE(layout.complete());
    EXPECT_TRUE(facts.closed);
    EXPECT_EQ(facts.pieces, c.pieces);
    EXPECT_EQ(facts.width, c.width);
    EXPECT_EQ(facts.length, c.length);
    EXPECT_EQ(facts.rise, c.rise);
    EXPECT_EQ(facts.dip, c.dip);
    const auto count = [&](auto predicate) {
      return std::count_if(layout.pieces.begin(), layout.pieces.end(), predicate);
    };
    EXPECT_EQ(count([](const TrackPiece& p) { return p.id >= 1 && p.id <= 3; }), c.stationPieces);
    EXPECT_EQ(count([](const TrackPiece& p) { return p.chainLift(); }), c.chainPieces);
  }
}

// Circuits written by hand, one per kind of geometry. Sides run between U-turns (half
// helices, one climbing and one falling) or between four equal corners.
struct Circuit {
  const char* kind;
  Elements track;
  int width, length, rise, dip;
};

std::vector<Circuit> Circuits() {
  const Elements right5 = Ids({0x11});
  const Elements diagonalCorner = Ids({0x86, 0x90, 0x93, 0x96, 0x99, 0x88});
  const Elements upCorner = Ids({0x06, 0x23, 0x09});
  const Elements downCorner = Ids({0x0C, 0x25, 0x0F});
  const Elements flats = Ids({0x00, 0x00, 0x00});
  const Elements smallUp = Ids({0x13, 0x58, 0x15});
  const Elements smallDown = Ids({0x13, 0x5A, 0x15});
  return {
      {"5-tile turns", Join({kStation, right5, right5, flats, right5, right5}), 6, 9, 0, 0},
      {"3-tile and banked turns",
       Join({kStation, Ids({0x2B, 0x13, 0x2D, 0x15}), flats, Ids({0x2B, 0x13, 0x2D, 0x15})}), 5, 8,
       0, 0},
      {"1-tile turns", Join({kStation, Ids({0x33, 0x33}), flats, Ids({0x33, 0x33})}), 2, 5, 0, 0},
      {"slopes, gentle and steep",
       Join({kStation, Ids({0x06, 0x04, 0x09, 0x0C, 0x0A, 0x0F}), right5, right5,
             Ids({0x00, 0x06, 0x07, 0x08, 0x09, 0x0C, 0x0D, 0x0E, 0x0F}), right5, right5}),
       6, 15, 10, 0},
      {"sloped turns", Join({kStation, downCorner, upCorner, flats, downCorner, upCorner}), 8, 11,
       0, 10},
      {"loops, corkscrews and rolls",
       Join({kStation,
             Ids({0x06, 0x29, 0x0F, 0x06, 0x28, 0x0F, 0x06, 0xB8, 0xB9, 0x0F, 0x06, 0xB7, 0xBA,
                  0x0F}),
             smallUp,
             Ids({0x3A, 0x3D, 0x3B, 0x3C, 0x06, 0x38, 0x39, 0x0F, 0x00, 0x35, 0x37, 0xAE, 0xB0}),
             smallDown}),
       7, 29, 36, 0},
      {"diagonals",
       Join({kStation, diagonalCorner, diagonalCorner, flats, diagonalCorner, diagonalCorner}), 16,
       19, 2, 0},
      {"helices",
       Join({kStation, Ids({0x13, 0x5C, 0x15, 0x6B, 0x6B, 0x6B, 0x6B, 0x00, 0x6C, 0x6C, 0x6C, 0x6C,
                            0x00, 0x00, 0x13, 0x5E, 0x15})}),
       11, 11, 10, 0},
  };
}

TEST(WalkTrackLayout, GeneratedCircuitOfEachKindClosesBothWays) {
  for (const Circuit& c : Circuits()) {
    for (bool mirrored : {false, true}) {
      SCOPED_TRACE(std::string(c.kind) + (mirrored ? ", mirrored" : ""));
      const Elements track = mirrored ? MirrorTrack(c.track) : c.track;
      const TrackLayout layout = LayoutOfTrack(track);
      const LayoutFacts facts = LayoutFactsOf(layout);
      EXPECT_TRUE(facts.closed) << "ends at " << layout.endX << "," << layout.endY << " height "
                                << layout.endHeight << " heading " << int(layout.endHeading);
      EXPECT_EQ(facts.pieces, static_cast<int>(track.size()));
      EXPECT_EQ(facts.width, c.width);
      EXPECT_EQ(facts.length, c.length);
      EXPECT_EQ(facts.rise, c.rise);
      EXPECT_EQ(facts.dip, c.dip);
      EXPECT_EQ(facts.group, LayoutGroup(LayoutOfTrack(c.track)));
    }
  }
}

TEST(WalkTrackLayout, OriginalFormatListStartsAfterItsShorterHeader) {
  const Circuit c = Circuits()[0];
  const LayoutFacts facts = LayoutFactsOf(LayoutOfTrack(c.track, kShortDesignLength));
  EXPECT_TRUE(facts.closed);
  EXPECT_EQ(facts.pieces, static_cast<int>(c.track.size()));
}

TEST(LayoutGroup, PlantedTwinsShareAGroupAndOtherTracksDoNot) {
  const Elements base = Circuits()[3].track;
  auto changed = [&](auto change) {
    Elements copy = base;
    change(copy);
    return copy;
  };
  struct Case {
    const char* twin;
    Elements track;
    bool same;
  };
  const Case cases[] = {
      {"colour schemes and brake speeds", changed([](Elements& t) {
         for (TrackElement& e : t) e.qualifier = static_cast<uint8_t>(e.qualifier | 0x30 | 5);
       }),
       true},
      {"listed from another piece",
       changed([](Elements& t) { std::rotate(t.begin(), t.begin() + 7, t.end()); }), true},
      {"mirror image listed from another piece", changed([](Elements& t) {
         t = MirrorTrack(t);
         std::rotate(t.begin(), t.begin() + 11, t.end());
       }),
       true},
      {"a chain lift added", changed([](Elements& t) { t[4].qualifier = 0x80; }), false},
      {"an inverted piece", changed([](Elements& t) { t[6].qualifier = 0x40; }), false},
      {"brakes for a straight", changed([](Elements& t) { t[11].id = 0x63; }), false},
      {"the same track, open", changed([](Elements& t) { t.pop_back(); }), false},
  };
  const int64_t group = LayoutGroup(LayoutOfTrack(base));
  ASSERT_GT(group, 0);
  for (const Case& c : cases) {
    EXPECT_EQ(LayoutGroup(LayoutOfTrack(c.track)) == group, c.same) << c.twin;
  }
  // Without a station to start from, a circuit is still the same from any piece.
  Elements level = Circuits()[0].track;
  for (TrackElement& e : level) e = e.id <= 3 ? TrackElement{0x00, 0} : e;
  Elements turned = MirrorTrack(level);
  std::rotate(turned.begin(), turned.begin() + 4, turned.end());
  EXPECT_EQ(LayoutGroup(LayoutOfTrack(turned)), LayoutGroup(LayoutOfTrack(level)));
  // Nor does it matter which of two platforms the list begins with.
  const Elements twoStations = Join({kStation, Ids({0x33, 0x33, 0x02, 0x01, 0x00, 0x33, 0x33})});
  turned = twoStations;
  std::rotate(turned.begin(), turned.begin() + 5, turned.end());
  EXPECT_EQ(LayoutGroup(LayoutOfTrack(turned)), LayoutGroup(LayoutOfTrack(twoStations)));
}

std::vector<uint8_t> Entries(std::initializer_list<std::pair<uint8_t, uint8_t>> entries,
                             bool endMarker = true) {
  std::vector<uint8_t> area;
  for (const auto& [id, qualifier] : entries) area.insert(area.end(), {id, qualifier});
  if (endMarker) area.push_back(0xFF);
  return area;
}

std::vector<uint8_t> Repeated(uint8_t id, int count, bool endMarker) {
  std::vector<uint8_t> area;
  for (int i = 0; i < count; ++i) area.insert(area.end(), {id, 0});
  if (endMarker) area.push_back(0xFF);
  return area;
}

TEST(WalkTrackLayout, DamagedListsEndTheLayoutWhereTheyGoWrong) {
  struct Case {
    const char* damage;
    std::vector<uint8_t> area;
    LayoutEnd end;
    int pieces;
  };
  // 8,002 bytes of track area hold 4,001 entries; 1-tile turns circle on two tiles for ever.
  const Case cases[] = {
      {"id no design holds", Entries({{0x00, 0}, {0x00, 0}, {0x65, 0}, {0x00, 0}}),
       LayoutEnd::kUnknownPiece, 2},
      {"diagonal piece on a straight heading", Entries({{0x00, 0}, {0x8D, 0}}), LayoutEnd::kMisfit,
       1},
      {"straight piece on a diagonal heading", Entries({{0x86, 0}, {0x00, 0}}), LayoutEnd::kMisfit,
       1},
      {"no end marker", Repeated(0x33, 4001, false), LayoutEnd::kNoEndMarker, 4001},
      {"wider than a park", Repeated(0x00, 300, true), LayoutEnd::kLeftTheMap, 128},
      {"taller than a park", Repeated(0x7E, 100, true), LayoutEnd::kLeftTheMap, 63},
      {"empty list", Entries({}), LayoutEnd::kEndMarker, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.damage);
    const TrackLayout layout = LayoutOfArea(c.area);
    const LayoutFacts facts = LayoutFactsOf(layout);
    EXPECT_EQ(layout.end, c.end);
    EXPECT_EQ(facts.pieces, c.pieces);
    EXPECT_FALSE(facts.closed);
    EXPECT_LE(facts.length, 128);
    EXPECT_EQ(facts.group == 0, c.pieces == 0);
  }
}

TEST(WalkTrackLayout, RandomTrackAreasNeverCrashOrClose) {
  SeededRandom random(77);
  for (int trial = 0; trial < 2000; ++trial) {
    std::vector<uint8_t> area(static_cast<size_t>(random.between(0, 8002)));
    for (uint8_t& b : area) b = static_cast<uint8_t>(random.between(0, 255));
    const TrackLayout layout = LayoutOfArea(area, static_cast<uint8_t>(random.between(19, 21)));
    const LayoutFacts facts = LayoutFactsOf(layout);
    ASSERT_LE(facts.pieces, 4001);
    ASSERT_LE(facts.length, 128);
    ASSERT_TRUE(!facts.closed || layout.complete());
  }
}

TEST(WalkTrackLayout, MazeIsReadFromItsWallEntries) {
  // A 2 by 3 maze, its entrance and exit beside it, then the all-zero end entry.
  std::vector<uint8_t> area;
  for (int8_t x = 0; x < 2; ++x) {
    for (int8_t y = 0; y < 3; ++y) area.insert(area.end(), {uint8_t(x), uint8_t(y), 0x13, 0x21});
  }
  area.insert(area.end(), {0xFF, 0, 2, 0x08, 2, 2, 0, 0x80, 0, 0, 0, 0});
  const TrackLayout layout = LayoutOfArea(area, kMazeRideType);
  const LayoutFacts facts = LayoutFactsOf(layout);
  EXPECT_TRUE(layout.maze);
  EXPECT_TRUE(layout.complete());
  ASSERT_EQ(layout.mazeEntries.size(), 8u);
  EXPECT_EQ(layout.mazeEntries[6].kind, MazeEntry::kEntrance);
  EXPECT_EQ(layout.mazeEntries[7].kind, MazeEntry::kExit);
  EXPECT_EQ(layout.mazeEntries[5].walls, 0x2113);
  EXPECT_EQ(facts.pieces, 6);
  EXPECT_EQ(facts.width, 2);
  EXPECT_EQ(facts.length, 3);
  EXPECT_FALSE(facts.closed);
  EXPECT_GT(facts.group, 0);
  area.resize(area.size() - 4);  // no end entry: the zeros after it are not one either
  area.insert(area.end(), 8002 - area.size(), 0x01);
  EXPECT_EQ(LayoutOfArea(area, kMazeRideType).end, LayoutEnd::kNoEndMarker);
}

}  // namespace
}  // namespace velodex
