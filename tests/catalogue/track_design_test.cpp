// Decoding of design files and reading of their statistics.
#include "catalogue/track_design.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/test_support.h"

namespace velodex {
namespace {

using Bytes = std::vector<uint8_t>;

// A body that decodes to count zeros: repeat runs of 125, a last shorter repeat, or a
// one-byte literal for a single zero.
Bytes ZerosBody(int count) {
  Bytes body;
  while (count >= 2) {
    const int run = std::min(count, 125);
    body.push_back(static_cast<uint8_t>(257 - run));
    body.push_back(0);
    count -= run;
  }
  if (count == 1) body.insert(body.end(), {0x00, 0x00});
  return body;
}

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

const Bytes kZeroTrailer = {0, 0, 0, 0};

uint32_t Bits(float value) { return std::bit_cast<uint32_t>(value); }

// Decodes file from memory; -1 for a rejected file, else the decoded length.
int DecodedLength(const Bytes& file) {
  DecodedDesign design;
  return DecodeTrackDesignBytes(file, design) ? design.length : -1;
}

TEST(DecodeTrackDesign, AcceptsOnlyTheTwoDesignLengths) {
  struct Case {
    const char* name;
    Bytes file;
    int expected;  // -1: rejected
  };
  const Case cases[] = {
      {"empty file", {}, -1},
      {"three bytes", {0x05, 0x41, 0x42}, -1},
      {"trailer only, nothing decoded", kZeroTrailer, -1},
      {"8057 bytes", Concat({ZerosBody(8057), kZeroTrailer}), -1},
      {"8058 bytes", Concat({ZerosBody(8058), kZeroTrailer}), 8058},
      {"8059 bytes", Concat({ZerosBody(8059), kZeroTrailer}), -1},
      {"8197 bytes", Concat({ZerosBody(8197), kZeroTrailer}), -1},
      {"8198 bytes", Concat({ZerosBody(8198), kZeroTrailer}), 8198},
      {"8199 bytes, the buffer exactly full", Concat({ZerosBody(8199), kZeroTrailer}), -1},
      {"8200 bytes", Concat({ZerosBody(8200), kZeroTrailer}), -1},
      // Control bytes come only from the body: a first trailer byte that would add one more
      // byte as a literal or two as a repeat is never read as a control byte.
      {"8197 bytes, trailer opens with a literal control",
       Concat({ZerosBody(8197), {0x00, 0x00, 0x00, 0x00}}), -1},
      {"8196 bytes, trailer opens with a repeat control",
       Concat({ZerosBody(8196), {0xFF, 0x00, 0x00, 0x00}}), -1},
      {"far past the buffer", Concat({ZerosBody(40000), kZeroTrailer}), -1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DecodedLength(c.file), c.expected) << c.name;
  }
}

TEST(DecodeTrackDesign, ControlBytesChooseTheRunKindAndLength) {
  struct Case {
    const char* name;
    Bytes run;     // the first run of the body
    Bytes output;  // what that run must decode to
  };
  Bytes literal127;
  for (int i = 0; i < 127; ++i) literal127.push_back(static_cast<uint8_t>(i + 1));
  const Case cases[] = {
      {"127 repeats 130 times", {127, 0xAB}, Bytes(130, 0xAB)},
      {"128 repeats 129 times", {128, 0xAB}, Bytes(129, 0xAB)},
      {"131 repeats 126 times", {131, 0xAB}, Bytes(126, 0xAB)},
      {"255 repeats twice", {255, 0xAB}, Bytes(2, 0xAB)},
      {"0 copies one byte", {0, 0xAB}, Bytes{0xAB}},
      {"126 copies 127 bytes", Concat({Bytes{126}, literal127}), literal127},
  };
  for (const Case& c : cases) {
    const int rest = kFullDesignLength - static_cast<int>(c.output.size());
    const Bytes file = Concat({c.run, ZerosBody(rest), {9, 9, 9, 9}});
    DecodedDesign design;
    ASSERT_TRUE(DecodeTrackDesignBytes(file, design)) << c.name;
    EXPECT_EQ(Bytes(design.bytes.begin(), design.bytes.begin() + c.output.size()), c.output)
        << c.name;
    EXPECT_EQ(design.bytes[c.output.size()], 0) << c.name;
  }
}

TEST(DecodeTrackDesign, LiteralRunMayEndOnFirstTrailerByte) {
  // A literal of three bytes whose last byte is the first trailer byte (index L).
  const Bytes file =
      Concat({ZerosBody(kFullDesignLength - 3), {0x02, 0x11, 0x22}, {0x33, 1, 2, 3}});
  DecodedDesign design;
  ASSERT_TRUE(DecodeTrackDesignBytes(file, design));
  EXPECT_EQ(design.bytes[kFullDesignLength - 3], 0x11);
  EXPECT_EQ(design.bytes[kFullDesignLength - 2], 0x22);
  EXPECT_EQ(design.bytes[kFullDesignLength - 1], 0x33);
}

TEST(DecodeTrackDesign, LiteralRunNeedingSecondTrailerByteIsRejected) {
  // Same length if it were allowed, but the fourth byte would be index L + 1.
  const Bytes file =
      Concat({ZerosBody(kFullDesignLength - 4), {0x03, 0x11, 0x22}, {0x33, 1, 2, 3}});
  EXPECT_EQ(DecodedLength(file), -1);
}

TEST(DecodeTrackDesign, RepeatRunMayTakeItsByteFromFirstTrailerByte) {
  const Bytes file = Concat({ZerosBody(kFullDesignLength - 2), {0xFF}, {0x44, 1, 2, 3}});
  DecodedDesign design;
  ASSERT_TRUE(DecodeTrackDesignBytes(file, design));
  EXPECT_EQ(design.bytes[kFullDesignLength - 2], 0x44);
  EXPECT_EQ(design.bytes[kFullDesignLength - 1], 0x44);
}

TEST(DecodeTrackDesign, TrailerIsNeverExamined) {
  const Bytes body = ZerosBody(kFullDesignLength);
  for (const Bytes& trailer : {Bytes{0, 0, 0, 0}, Bytes{0xFF, 0xFF, 0xFF, 0xFF},
                               Bytes{0x7E, 0x7F, 0x80, 0x81}, Bytes{0x00, 0xFF, 0x12, 0x34}}) {
    EXPECT_EQ(DecodedLength(Concat({body, trailer})), kFullDesignLength);
  }
}

TEST(DecodeTrackDesign, RejectionLeavesNoLengthBehind) {
  DecodedDesign design;
  ASSERT_TRUE(
      DecodeTrackDesignBytes(Concat({ZerosBody(kShortDesignLength), kZeroTrailer}), design));
  EXPECT_FALSE(DecodeTrackDesignBytes(Concat({ZerosBody(100), kZeroTrailer}), design));
  EXPECT_EQ(design.length, 0);
}

TEST(DecodeTrackDesign, ReusedBufferGivesTheSameDesignAsAFreshOne) {
  // The buffer is not cleared between designs; only the produced bytes matter.
  DecodedDesign reused;
  ASSERT_TRUE(DecodeTrackDesignBytes(Concat({ZerosBody(kFullDesignLength), kZeroTrailer}), reused));
  reused.bytes.fill(0xEE);
  const Bytes file = Concat({{0x01, 0x03, 0x50}, ZerosBody(kShortDesignLength - 2), {7, 7, 7, 7}});
  ASSERT_TRUE(DecodeTrackDesignBytes(file, reused));
  DecodedDesign fresh;
  ASSERT_TRUE(DecodeTrackDesignBytes(file, fresh));
  ASSERT_EQ(reused.length, kShortDesignLength);
  EXPECT_TRUE(std::equal(fresh.bytes.begin(), fresh.bytes.begin() + kShortDesignLength,
                         reused.bytes.begin()));
  EXPECT_EQ(ExtractDesignStats(reused).rideTypeCode, 3);
}

// The longest body an accepted design can have: 8,198 one-byte literals.
Bytes LongestAcceptableFile() {
  Bytes file;
  for (int i = 0; i < kFullDesignLength; ++i)
    file.insert(file.end(), {0x00, static_cast<uint8_t>(i)});
  file.insert(file.end(), kZeroTrailer.begin(), kZeroTrailer.end());
  return file;
}

TEST(DecodeTrackDesign, LongestPossibleDesignFileIsAccepted) {
  const Bytes file = LongestAcceptableFile();
  ASSERT_EQ(file.size(), 16400u);
  EXPECT_EQ(DecodedLength(file), kFullDesignLength);

  testing::TempFolder folder;
  testing::WriteFile(folder / "long.td4", std::string(file.begin(), file.end()));
  const auto design = DecodeTrackDesign(folder / "long.td4");
  ASSERT_TRUE(design.has_value());
  EXPECT_EQ(design->bytes[kFullDesignLength - 1], static_cast<uint8_t>(kFullDesignLength - 1));
}

TEST(DecodeTrackDesign, FilesLongerThanAnyDesignAreRejected) {
  // One byte more than the longest acceptable file, and files past the 16-bit positions of
  // old loaders: decoded or loaded, they are rejected and nothing breaks.
  Bytes oneMore = LongestAcceptableFile();
  oneMore.insert(oneMore.begin(), {0x00, 0x01});
  oneMore.erase(oneMore.end() - 1);
  Bytes past16Bits(40000, 0x00);  // 19,998 one-byte literals of zero
  Bytes megabyte(1 << 20, 0x84);  // repeat runs only
  testing::TempFolder folder;
  for (const Bytes* file : {&oneMore, &past16Bits, &megabyte}) {
    EXPECT_EQ(DecodedLength(*file), -1) << file->size();
    testing::WriteFile(folder / "big.td4", std::string(file->begin(), file->end()));
    EXPECT_FALSE(DecodeTrackDesign(folder / "big.td4").has_value()) << file->size();
  }
}

TEST(DecodeTrackDesign, FileThatCannotBeReadIsRejected) {
  testing::TempFolder folder;
  std::filesystem::create_directory(folder / "folder.td4");
  DecodedDesign design;
  EXPECT_FALSE(DecodeTrackDesign(folder / "missing.td4", design));
  EXPECT_FALSE(DecodeTrackDesign(folder / "folder.td4", design));
}

TEST(DecodeTrackDesign, FileOnDiskDecodesLikeMemory) {
  const Bytes file =
      Concat({{0x02, 0x11, 0x22, 0x33}, ZerosBody(kFullDesignLength - 3), {5, 6, 7, 8}});
  testing::TempFolder folder;
  testing::WriteFile(folder / "Loop.td4", std::string(file.begin(), file.end()));
  DecodedDesign fromFile;
  ASSERT_TRUE(DecodeTrackDesign(folder / "Loop.td4", fromFile));
  DecodedDesign fromMemory;
  ASSERT_TRUE(DecodeTrackDesignBytes(file, fromMemory));
  ASSERT_EQ(fromFile.length, fromMemory.length);
  // Only the produced bytes are the design; the buffer's last byte is never written here.
  EXPECT_TRUE(std::equal(fromFile.bytes.begin(), fromFile.bytes.begin() + fromFile.length,
                         fromMemory.bytes.begin()));
}

TEST(DecodeTrackDesign, RealDesignsDecode) {
  const std::string folder = testing::RealTracksFolder();
  if (folder.empty()) GTEST_SKIP() << "no folder of real designs";
  struct Case {
    const char* file;
    DesignStats expected;
  };
  // Worked by hand from the decoded bytes 0, 7 and 38 to 53: raptor holds 3, 4 and
  // 20 60 12 27 8 140 5 11 250 6 6 75 88 77 96 81; wooden-simple holds 0, 4 and
  // 5 60 0 2 1 50 0 3 3 1 0 0 0 1 32 0.
  const Case cases[] = {
      {"raptor.td4",
       {.rideTypeCode = 3,
        .trainColorScheme = 4,
        .minWaitTime = 20,
        .maxWaitTime = 60,
        .maxSpeed = 60.75f,
        .avgSpeed = 18.0f,
        .rideLength = 4658.79248046875f,  // 1420 / 0.3048
        .posGs = 3.52f,
        .negGs = -1.92f,  // 250: -(256 - 250) x 0.32
        .latGs = 1.92f,
        .invs = 6,
        .drops = 11,  // 75 AND 63
        .maxDropHeight = 88,
        .ex = 7.7f,
        .intensity = 9.6f,
        .na = 8.1f,
        .rating = -0x1.400002p+3f}},  // 7.7 - (9.6 + 8.1) in single steps, about -10
      {"wooden-simple.TD4",
       {.rideTypeCode = 0,
        .trainColorScheme = 4,
        .minWaitTime = 5,
        .maxWaitTime = 60,
        .maxSpeed = 4.5f,
        .avgSpeed = 2.25f,
        .rideLength = 164.0419921875f,  // 50 / 0.3048
        .posGs = 0.96f,
        .negGs = 0.96f,
        .latGs = 0.32f,
        .invs = 0,
        .drops = 0,
        .maxDropHeight = 0,
        .ex = 0.1f,
        .intensity = 3.2f,
        .na = 0.0f,
        .rating = -0x1.8ccccep+1f}},  // 0.1 - 3.2, about -3.1
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    const std::string path = folder + "/" + c.file;
    if (!std::filesystem::exists(path)) GTEST_SKIP() << "missing " << path;
    const auto design = DecodeTrackDesign(path);
    ASSERT_TRUE(design.has_value());
    EXPECT_EQ(design->length, kFullDesignLength);
    const DesignStats s = ExtractDesignStats(*design);
    const DesignStats& e = c.expected;
    EXPECT_EQ(s.rideTypeCode, e.rideTypeCode);
    EXPECT_EQ(s.trainColorScheme, e.trainColorScheme);
    EXPECT_EQ(s.minWaitTime, e.minWaitTime);
    EXPECT_EQ(s.maxWaitTime, e.maxWaitTime);
    EXPECT_EQ(s.invs, e.invs);
    EXPECT_EQ(s.drops, e.drops);
    EXPECT_EQ(s.maxDropHeight, e.maxDropHeight);
    const std::pair<float, float> singles[] = {{s.maxSpeed, e.maxSpeed},
                                               {s.avgSpeed, e.avgSpeed},
                                               {s.rideLength, e.rideLength},
                                               {s.posGs, e.posGs},
                                               {s.negGs, e.negGs},
                                               {s.latGs, e.latGs},
                                               {s.ex, e.ex},
                                               {s.intensity, e.intensity},
                                               {s.na, e.na},
                                               {s.rating, e.rating}};
    for (const auto& [got, want] : singles) EXPECT_EQ(Bits(got), Bits(want)) << got << " " << want;
  }
}

// A design with every statistic byte zero except those set by the test.
DecodedDesign DesignWith(std::initializer_list<std::pair<int, uint8_t>> bytes) {
  DecodedDesign design;
  design.bytes.fill(0);
  design.length = kFullDesignLength;
  for (const auto& [offset, value] : bytes) design.bytes[offset] = value;
  return design;
}

TEST(ExtractDesignStats, RawBytesAreTakenAsTheyAre) {
  const DesignStats stats =
      ExtractDesignStats(DesignWith({{0, 0xFF}, {7, 2}, {38, 200}, {39, 255}, {50, 255}}));
  EXPECT_EQ(stats.rideTypeCode, 255);
  EXPECT_EQ(stats.trainColorScheme, 2);
  EXPECT_EQ(stats.minWaitTime, 200);
  EXPECT_EQ(stats.maxWaitTime, 255);
  EXPECT_EQ(stats.maxDropHeight, 255);
}

TEST(ExtractDesignStats, GForceBytesFollowTheirBitRules) {
  struct Case {
    uint8_t b;
    float posAndLat;  // PosGs and LatGs share a rule
    float neg;
  };
  // Each product is rounded once from double precision: 5 x 0.32 is the single nearest 1.6,
  // not the single product 5.0f x 0.32f. A byte above 128 with clear low bits gives 0 x 0.32
  // x -1.0, a negative zero. Compared bit for bit, so the sign of a zero counts.
  const Case cases[] = {
      {0, 0.0f, 0.0f},       {1, 0.32f, 0.32f},     {5, 1.6f, 1.6f},        {20, 6.4f, 6.4f},
      {127, 40.64f, 40.64f}, {128, 40.96f, 40.96f}, {129, -0.32f, -40.64f}, {143, -4.8f, -36.16f},
      {144, -0.0f, -35.84f}, {240, -0.0f, -5.12f},  {241, -0.32f, -4.8f},   {255, -4.8f, -0.32f},
  };
  for (const Case& c : cases) {
    const DesignStats stats = ExtractDesignStats(DesignWith({{45, c.b}, {46, c.b}, {47, c.b}}));
    EXPECT_EQ(Bits(stats.posGs), Bits(c.posAndLat)) << int(c.b) << ": " << stats.posGs;
    EXPECT_EQ(Bits(stats.latGs), Bits(c.posAndLat)) << int(c.b) << ": " << stats.latGs;
    EXPECT_EQ(Bits(stats.negGs), Bits(c.neg)) << int(c.b) << ": " << stats.negGs;
  }
}

TEST(ExtractDesignStats, RideLengthIsTheSingleNearestTheExactQuotient) {
  struct Case {
    uint8_t low;
    uint8_t high;
    float expected;
  };
  const Case cases[] = {
      {0x00, 0x00, 0.0f},
      {0x10, 0x01, 892.388427734375f},  // 272 / 0.3048 = 892.38845...
      {0x00, 0x01, 839.89501953125f},   // the high byte counts 256
      {31, 0, 0x1.96d2fcp+6f},          // a single-precision division would give ...fap+6
      {0xFF, 0xFF, 215009.84375f},      // unsigned, never negative
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ExtractDesignStats(DesignWith({{43, c.low}, {44, c.high}})).rideLength, c.expected)
        << int(c.low) << "," << int(c.high);
  }
}

TEST(ExtractDesignStats, SpeedsAndRatings) {
  const DesignStats stats =
      ExtractDesignStats(DesignWith({{41, 255}, {42, 27}, {51, 9}, {52, 255}, {53, 1}}));
  EXPECT_EQ(stats.maxSpeed, 573.75f);
  EXPECT_EQ(stats.avgSpeed, 60.75f);
  EXPECT_EQ(stats.ex, 0.9f);  // a single-precision product would give 0x1.cccccep-1
  EXPECT_EQ(stats.intensity, 25.5f);
  EXPECT_EQ(stats.na, 0.1f);
}

TEST(ExtractDesignStats, RatingIsComputedInSinglePrecisionSteps) {
  struct Case {
    uint8_t ex, intensity, na;
    float rating;
  };
  // Int + Na is rounded to single before the difference; summing in double would give
  // -0x1.ccccc8p+0 and 0x1.999996p-4.
  const Case cases[] = {
      {65, 52, 31, -0x1.ccccc0p+0f},  // about -1.8
      {7, 1, 5, 0x1.99999p-4f},       // about 0.1
      {0, 0, 0, 0.0f},
  };
  for (const Case& c : cases) {
    const DesignStats stats =
        ExtractDesignStats(DesignWith({{51, c.ex}, {52, c.intensity}, {53, c.na}}));
    EXPECT_EQ(stats.rating, c.rating) << int(c.ex) << " " << int(c.intensity) << " " << int(c.na);
  }
  const DesignStats worked = ExtractDesignStats(DesignWith({{51, 65}, {52, 52}, {53, 31}}));
  EXPECT_EQ(worked.ex, 6.5f);
  EXPECT_EQ(worked.intensity, 5.2f);
  EXPECT_EQ(worked.na, 3.1f);
}

TEST(ExtractDesignStats, InversionsAndDropsKeepOnlyTheirLowBits) {
  struct Case {
    uint8_t b;
    int16_t invs;   // low five bits
    int16_t drops;  // low six bits
  };
  const Case cases[] = {
      {0x00, 0, 0}, {0x05, 5, 5}, {0x1F, 31, 31}, {0x20, 0, 32},
      {0x40, 0, 0}, {0x45, 5, 5}, {0x7F, 31, 63}, {0xFF, 31, 63},
  };
  for (const Case& c : cases) {
    const DesignStats stats = ExtractDesignStats(DesignWith({{48, c.b}, {49, c.b}}));
    EXPECT_EQ(stats.invs, c.invs) << int(c.b);
    EXPECT_EQ(stats.drops, c.drops) << int(c.b);
  }
}

TEST(BadDesignName, ReplacesTheLastThreeCharactersWithBad) {
  const std::pair<std::string, std::string> cases[] = {
      {"Loop.td4", "Loop.bad"},
      {"X.TD4", "X.bad"},
      {"Big Dipper.td4", "Big Dipper.bad"},
      {"a.td4.td4", "a.td4.bad"},
      {"abc", "bad"},
      // Shorter names lose what they have rather than failing.
      {"ab", "bad"},
      {"", "bad"},
  };
  for (const auto& [name, expected] : cases) EXPECT_EQ(BadDesignName(name), expected) << name;
}

}  // namespace
}  // namespace velodex
