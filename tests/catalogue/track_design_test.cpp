// Decoding of design files and reading of their statistics.
#include "catalogue/track_design.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <bit>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/test_support.h"

namespace velodex {
namespace {

using Bytes = std::vector<uint8_t>;
namespace fs = std::filesystem;

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

// The longest body an accepted design can have: 8,198 one-byte literals.
Bytes LongestAcceptableFile() {
  Bytes file;
  for (int i = 0; i < kFullDesignLength; ++i) {
    file.insert(file.end(), {0x00, static_cast<uint8_t>(i)});
  }
  return Concat({file, kZeroTrailer});
}

uint32_t Bits(float value) { return std::bit_cast<uint32_t>(value); }

TEST(DecodeTrackDesign, AcceptsOnlyTheTwoDesignLengths) {
  struct Case {
    const char* name;
    Bytes file;
    int expected;  // -1: rejected
    Bytes tail;    // the last decoded bytes of an accepted file
  };
  Bytes oneMore = LongestAcceptableFile();
  oneMore.insert(oneMore.begin(), {0x00, 0x01});
  oneMore.pop_back();
  const Case cases[] = {
      {"empty file", {}, -1, {}},
      {"three bytes", {0x05, 0x41, 0x42}, -1, {}},
      {"trailer only, nothing decoded", kZeroTrailer, -1, {}},
      {"8057 bytes", Concat({ZerosBody(8057), kZeroTrailer}), -1, {}},
      {"8058 bytes", Concat({ZerosBody(8058), kZeroTrailer}), 8058, {}},
      {"8059 bytes", Concat({ZerosBody(8059), kZeroTrailer}), -1, {}},
      {"8197 bytes", Concat({ZerosBody(8197), kZeroTrailer}), -1, {}},
      {"8198 bytes, any trailer", Concat({ZerosBody(8198), {0xFF, 0x7F, 0x80, 0x12}}), 8198, {}},
      {"8199 bytes, the buffer exactly full", Concat({ZerosBody(8199), kZeroTrailer}), -1, {}},
      {"far past the buffer", Concat({ZerosBody(40000), kZeroTrailer}), -1, {}},
      {"the longest acceptable file", LongestAcceptableFile(), 8198, {0x02, 0x03, 0x04, 0x05}},
      {"one byte longer", oneMore, -1, {}},
      {"past 16-bit positions", Bytes(40000, 0x00), -1, {}},
      {"a megabyte of repeats", Bytes(1 << 20, 0x84), -1, {}},
      // Control bytes come only from the body (the 8197 bytes above end before a trailer
      // that opens with a literal control), but a run's data may use the first trailer byte
      // (index L): a literal may end on it, a repeat may take its byte from it.
      // clang-format off
      {"literal ends on the first trailer byte",
       Concat({ZerosBody(8195), {0x02, 0x11, 0x22}, {0x33, 1, 2, 3}}), 8198, {0x11, 0x22, 0x33}},
      {"literal needs the second trailer byte",
       Concat({ZerosBody(8194), {0x03, 0x11, 0x22}, {0x33, 1, 2, 3}}), -1, {}},
      {"repeat takes the first trailer byte",
       Concat({ZerosBody(8196), {0xFF}, {0x44, 1, 2, 3}}), 8198, {0x00, 0x44, 0x44}},
      {"a trailer opening with a repeat control is no run",
       Concat({ZerosBody(8196), {0xFF, 0x00, 0x00, 0x00}}), -1, {}},
      // clang-format on
  };
  DecodedDesign design;  // reused from case to case, as the scan does
  for (const Case& c : cases) {
    design.bytes.fill(0xEE);
    const bool accepted = DecodeTrackDesignBytes(c.file, design);
    EXPECT_EQ(accepted ? design.length : -1, c.expected) << c.name;
    if (!accepted) {
      EXPECT_EQ(design.length, 0) << c.name;
      continue;
    }
    // Every produced byte is written: a buffer holding other bytes before gives the same.
    const auto end = design.bytes.begin() + c.expected;
    DecodedDesign other;
    other.bytes.fill(0x11);
    DecodeTrackDesignBytes(c.file, other);
    EXPECT_TRUE(std::equal(design.bytes.begin(), end, other.bytes.begin())) << c.name;
    EXPECT_EQ(Bytes(end - static_cast<int>(c.tail.size()), end), c.tail) << c.name;
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

TEST(DecodeTrackDesign, TellsAcceptedRejectedAndUnreadableFilesApart) {
  testing::TempFolder folder;
  const Bytes longest = LongestAcceptableFile();
  testing::WriteFile(folder / "long.td4", std::string(longest.begin(), longest.end()));
  testing::WriteFile(folder / "big.td4", std::string(longest.size() + 1, '\0'));
  testing::WriteFile(folder / "short.td4", "abc");
  fs::create_directory(folder / "folder.td4");
  struct Case {
    std::string path;
    DesignVerdict verdict;
    std::string cause;
  };
  std::vector<Case> cases = {
      {folder / "long.td4", DesignVerdict::kAccepted, ""},
      {folder / "big.td4", DesignVerdict::kRejected, ""},
      {folder / "short.td4", DesignVerdict::kRejected, ""},
      {folder / "missing.td4", DesignVerdict::kUnreadable, "No such file or directory"},
      {folder / "folder.td4", DesignVerdict::kUnreadable, "Is a directory"},
  };
#ifndef _WIN32
  mkfifo((folder / "pipe.td4").c_str(), 0600);
  cases.push_back({folder / "pipe.td4", DesignVerdict::kUnreadable, "Operation not supported"});
  // A file that opens as a plain file and then fails to read, whoever reads it.
  if (fs::exists("/proc/self/mem")) {
    cases.push_back({"/proc/self/mem", DesignVerdict::kUnreadable, "Input/output error"});
  }
#endif
  for (const Case& c : cases) {
    DecodedDesign design;
    const DesignReading reading = DecodeTrackDesign(c.path, design);
    EXPECT_EQ(reading.verdict, c.verdict) << c.path;
    EXPECT_EQ(reading.cause ? reading.cause.message() : "", c.cause) << c.path;
  }
  DecodedDesign fromFile;
  DecodeTrackDesign(folder / "long.td4", fromFile);
  EXPECT_EQ(fromFile.length, kFullDesignLength);
  EXPECT_EQ(fromFile.bytes[kFullDesignLength - 1], static_cast<uint8_t>(kFullDesignLength - 1));
}

// A design with every statistic byte zero except those set by the test.
DecodedDesign DesignWith(std::initializer_list<std::pair<int, uint8_t>> bytes) {
  DecodedDesign design;
  design.bytes.fill(0);
  design.length = kFullDesignLength;
  for (const auto& [offset, value] : bytes) design.bytes[offset] = value;
  return design;
}

// The statistics as one list, floats bit for bit, so the sign of a zero counts.
std::vector<uint32_t> Fields(const DesignStats& s) {
  // clang-format off
  return {s.rideTypeCode, s.trainColorScheme, s.minWaitTime, s.maxWaitTime, Bits(s.maxSpeed),
          Bits(s.avgSpeed), Bits(s.rideLength), Bits(s.posGs), Bits(s.negGs), Bits(s.latGs),
          static_cast<uint32_t>(s.invs), static_cast<uint32_t>(s.drops),
          static_cast<uint32_t>(s.maxDropHeight), Bits(s.ex), Bits(s.intensity), Bits(s.na),
          Bits(s.rating)};
  // clang-format on
}

TEST(DecodeTrackDesign, RealDesignsDecode) {
  const std::string folder = testing::RealTracksFolder();
  if (folder.empty()) GTEST_SKIP() << "no folder of real designs";
  // Worked by hand from the decoded bytes 0, 7 and 38 to 53: raptor holds 3, 4 and
  // 20 60 12 27 8 140 5 11 250 6 6 75 88 77 96 81; wooden-simple holds 0, 4 and
  // 5 60 0 2 1 50 0 3 3 1 0 0 0 1 32 0. Ride lengths are 1420 and 50 / 0.3048; raptor's
  // NegGs byte 250 is -(256 - 250) x 0.32, its drops 75 AND 63; ratings are Ex - (Int + Na)
  // in single steps.
  const std::pair<const char*, DesignStats> cases[] = {
      {"raptor.td4",
       {3, 4, 20, 60, 60.75f, 18.0f, 4658.79248046875f, 3.52f, -1.92f, 1.92f, 6, 11, 88, 7.7f, 9.6f,
        8.1f, -0x1.400002p+3f}},
      {"wooden-simple.TD4",
       {0, 4, 5, 60, 4.5f, 2.25f, 164.0419921875f, 0.96f, 0.96f, 0.32f, 0, 0, 0, 0.1f, 3.2f, 0.0f,
        -0x1.8ccccep+1f}},
  };
  for (const auto& [file, expected] : cases) {
    const std::string path = folder + "/" + file;
    if (!fs::exists(path)) GTEST_SKIP() << "missing " << path;
    DecodedDesign design;
    ASSERT_EQ(DecodeTrackDesign(path, design).verdict, DesignVerdict::kAccepted) << file;
    EXPECT_EQ(design.length, kFullDesignLength) << file;
    EXPECT_EQ(Fields(ExtractDesignStats(design)), Fields(expected)) << file;
  }
}

TEST(ExtractDesignStats, TakesEachFieldFromItsOffsetByItsRule) {
  struct Case {
    const char* name;
    std::initializer_list<std::pair<int, uint8_t>> bytes;
    DesignStats expected;
  };
  // Each product or quotient is rounded once from double precision (5 x 0.32 is the single
  // nearest 1.6, not 5.0f x 0.32f; 31 / 0.3048 is 0x1.96d2fcp+6, not ...fap+6), and the
  // rating subtracts the single-rounded Int + Na (summing in double would give
  // -0x1.ccccc8p+0 for 6.5 - (5.2 + 3.1)).
  // clang-format off
  const Case cases[] = {
      {"raw bytes as they are", {{0, 0xFF}, {7, 2}, {38, 200}, {39, 255}, {50, 255}},
       {.rideTypeCode = 255, .trainColorScheme = 2, .minWaitTime = 200, .maxWaitTime = 255,
        .maxDropHeight = 255}},
      {"speeds and ratings", {{41, 255}, {42, 27}, {51, 9}, {52, 255}, {53, 1}},
       {.maxSpeed = 573.75f, .avgSpeed = 60.75f, .ex = 0.9f, .intensity = 25.5f, .na = 0.1f,
        .rating = 0.9f - (25.5f + 0.1f)}},
      {"rating in single steps", {{51, 65}, {52, 52}, {53, 31}},
       {.ex = 6.5f, .intensity = 5.2f, .na = 3.1f, .rating = -0x1.ccccc0p+0f}},
      {"rating of 0.7 - (0.1 + 0.5)", {{51, 7}, {52, 1}, {53, 5}},
       {.ex = 0.7f, .intensity = 0.1f, .na = 0.5f, .rating = 0x1.99999p-4f}},
      {"ride length: the high byte counts 256", {{43, 0x10}, {44, 0x01}},
       {.rideLength = 892.388427734375f}},
      {"ride length rounded once", {{43, 31}}, {.rideLength = 0x1.96d2fcp+6f}},
      {"ride length unsigned", {{43, 0xFF}, {44, 0xFF}}, {.rideLength = 215009.84375f}},
  };
  // clang-format on
  for (const Case& c : cases) {
    EXPECT_EQ(Fields(ExtractDesignStats(DesignWith(c.bytes))), Fields(c.expected)) << c.name;
  }
}

TEST(ExtractDesignStats, GForceBytesFollowTheirBitRules) {
  struct Case {
    uint8_t b;
    float posAndLat;  // PosGs and LatGs share a rule
    float neg;
  };
  // A byte above 128 with clear low bits gives 0 x 0.32 x -1.0, a negative zero.
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

TEST(ExtractDesignStats, InversionsAndDropsKeepOnlyTheirLowBits) {
  // {byte, inversions (low five bits), drops (low six bits)}
  const int cases[][3] = {{0x00, 0, 0}, {0x05, 5, 5}, {0x1F, 31, 31}, {0x20, 0, 32},
                          {0x40, 0, 0}, {0x45, 5, 5}, {0x7F, 31, 63}, {0xFF, 31, 63}};
  for (const auto& [b, invs, drops] : cases) {
    const uint8_t byte = static_cast<uint8_t>(b);
    const DesignStats stats = ExtractDesignStats(DesignWith({{48, byte}, {49, byte}}));
    EXPECT_EQ(stats.invs, invs) << b;
    EXPECT_EQ(stats.drops, drops) << b;
  }
}

}  // namespace
}  // namespace velodex
