// The folder scan: rows, layouts and pictures, renamed rejects, the unknown ride type log and
// the clean-up of the extraction folder.
#include "run/folder_scan.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <functional>

#include "tests/support/test_support.h"
#include "tools/design_encoder.h"
#include "tools/track_circuit.h"

namespace velodex {
namespace {

using testing::PathIn;
using testing::ReadFile;
using testing::RunHarness;
using testing::WriteFile;
namespace fs = std::filesystem;

// Distinct raw bytes for every statistic, so a field stored under the wrong name shows.
DesignParams Distinct(uint8_t code) {
  DesignParams p;
  p.rideTypeCode = code;
  p.trainColorScheme = 7;
  p.minWaitTime = 11;
  p.maxWaitTime = 99;
  p.maxSpeed = 45;        // 101.25
  p.avgSpeed = 18;        // 40.5
  p.rideLength = 0x0110;  // 272 / 0.3048
  p.posGs = 20;           // 6.4
  p.negGs = 255;          // -0.32
  p.latGs = 129;          // -0.32 (low four bits)
  p.invs = 0xE3;          // 3 (low five bits)
  p.drops = 0xC5;         // 5 (low six bits)
  p.maxDropHeight = 200;
  p.ex = 65;         // 6.5
  p.intensity = 52;  // 5.2
  p.na = 31;         // 3.1
  return p;
}

TEST(ReadTrackFolder, StoresTheTwentyTwoFieldsOfAnAcceptedDesign) {
  RunHarness h;
  WriteDesignFile(PathIn(h.designs, "Loop.td4"), Distinct(19));
  // Only archives carry an author: a loose folder's author.txt is one of the user's files.
  WriteFile(PathIn(h.designs, "author.txt"), "Ann\r\nann@example.org\r\n");
  ReadTrackFolder(h.context, h.designs, "none");

  auto rows = h.catalogueRows();
  ASSERT_EQ(rows.size(), 1u);
  const float kMinus032 = static_cast<float>(-0.32);
  // clang-format off
  const std::map<std::string, FieldValue> expected = {
      {"File_Name", "Loop.td4"}, {"Ride_Name", "Corkscrew"}, {"Min_Wait_Time", 11},
      {"Max_Wait_Time", 99}, {"Train_Color_Scheme", 7}, {"Ride_Type", "Corkscrew"},
      {"Max_Speed", 101.25f}, {"Avg_Speed", 40.5f}, {"Ride_Length", 892.388427734375f},
      {"PosGs", static_cast<float>(20 * 0.32)}, {"NegGs", kMinus032}, {"LatGs", kMinus032},
      {"Invs", 3}, {"Drops", 5}, {"Max_Drop_Height", 200}, {"Ex", 6.5f},
      {"Int", static_cast<float>(5.2)}, {"Na", static_cast<float>(3.1)},
      {"Author", "Anonymous"}, {"Alink", "none"}, {"zipfilename", "none"},
      {"Rating", 6.5f - static_cast<float>(5.2f + 3.1f)}};
  // clang-format on
  for (const auto& [column, value] : expected) {
    EXPECT_EQ(rows[0][column], value) << column;
  }
  EXPECT_TRUE(rows[0]["Ride_Category"].isNull() ||
              rows[0]["Ride_Category"] == FieldValue(std::string()));
}

TEST(ReadTrackFolder, StoresEachDesignsLayoutAndWritesItsPicture) {
  // A station and four 5-tile right turns round three straights: 6 by 9 tiles, level, closed
  // (worked out by hand); its mirror image shares its group. Torn is open: two station tiles
  // straight on, up 1 and 1, down 1, 2, 2 and 1 (rise 2, dip 4 height units), cut by an
  // unknown piece.
  const std::vector<TrackElement> oval = {{2, 0}, {3, 0}, {1, 8}, {0x11, 0}, {0x11, 0},
                                          {0, 0}, {0, 0}, {0, 0}, {0x11, 0}, {0x11, 0}};
  const std::vector<TrackElement> torn = {{2, 0},    {3, 0},    {0x06, 0}, {0x09, 0}, {0x0C, 0},
                                          {0x0A, 0}, {0x0A, 0}, {0x0F, 0}, {0x65, 0}};
  const std::pair<const char*, std::vector<TrackElement>> designs[] = {
      {"Mirror.td4", MirrorTrack(oval)}, {"Oval.td4", oval}, {"Torn.td4", torn}};
  RunHarness h;
  for (const auto& [file, track] : designs) {
    DesignParams p;
    p.track = track;
    WriteDesignFile(h.designs + "/" + file, p);
  }
  const std::string pictures = h.temp / "pictures";
  fs::create_directory(pictures);
  RunContext context{.setup = {.rideTypes = h.rideTypes,
                               .databaseFolder = h.databaseFolder,
                               .unknownsLog = h.unknownsLog(),
                               .picturesFolder = pictures},
                     .frontEnd = h.context.frontEnd};
  ReadTrackFolder(context, h.designs, "none");

  auto rows = h.catalogueRows();
  ASSERT_EQ(rows.size(), 3u);
  const std::pair<size_t, std::vector<FieldValue>> expected[] = {{1, {10, 6, 9, 0, 0, 1}},
                                                                 {2, {8, 1, 8, 2, 4, 0}}};
  for (const auto& [row, values] : expected) {
    size_t i = 0;
    for (const char* column : {"Layout_Pieces", "Layout_Width", "Layout_Length", "Layout_Rise",
                               "Layout_Dip", "Layout_Closed"}) {
      EXPECT_EQ(rows[row][column], values[i++]) << column;
    }
  }
  EXPECT_TRUE(rows[1]["Layout_Group"].isInteger());
  EXPECT_EQ(rows[0]["Layout_Group"], rows[1]["Layout_Group"]);
  EXPECT_NE(rows[2]["Layout_Group"], rows[1]["Layout_Group"]);
  EXPECT_EQ(testing::ListFolder(pictures),
            (std::vector<std::string>{"Mirror.svg", "Oval.svg", "Torn.svg"}));
}

TEST(ReadTrackFolder, CataloguesAcceptedRenamesRejectedAndReportsUnreadableDesigns) {
  RunHarness h;
  WriteDesignFile(PathIn(h.designs, "BIG.TD4"), Distinct(0));
  WriteDesignFile(PathIn(h.designs, "small.Td4"), Distinct(1));
  WriteFile(PathIn(h.designs, "BIG.TP4"), "companion");
  WriteFile(PathIn(h.designs, "notes.td4.txt"), "not a design");
  WriteFile(PathIn(h.designs, "Short.td4"), "abc");
  WriteFile(PathIn(h.designs, "Garbage.TD4"), std::string(600, '\x7f'));
  WriteFile(PathIn(h.designs, "Taken.td4"), "xyz");
  WriteFile(PathIn(h.designs, "Taken.bad"), "the user's own file");
  // Listed as a plain file, it opens and then fails to read, whoever reads it.
  const bool unreadable = fs::exists("/proc/self/mem") &&
                          testing::MakeLink("/proc/self/mem", PathIn(h.designs, "Memory.td4"));
  ReadTrackFolder(h.context, h.designs, "none");

  // Names are listed without regard to case and stored with a lower-case ending; the files
  // keep theirs. A rename onto a taken name fails and the scan goes on.
  std::vector<std::string> files = {"BIG.TD4",   "BIG.TP4",   "Garbage.bad",   "Short.bad",
                                    "Taken.bad", "Taken.td4", "notes.td4.txt", "small.Td4"};
  if (unreadable) files.insert(files.begin() + 3, "Memory.td4");
  EXPECT_EQ(testing::ListFolder(h.designs), files);
  EXPECT_EQ(ReadFile(PathIn(h.designs, "Taken.bad")), "the user's own file");
  EXPECT_EQ(ReadFile(PathIn(h.designs, "Short.bad")), "abc");
  auto rows = h.catalogueRows();
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0]["File_Name"], FieldValue("BIG.td4"));
  EXPECT_EQ(rows[0]["Disk_Name"], FieldValue("BIG.TD4"));
  EXPECT_EQ(rows[1]["File_Name"], FieldValue("small.td4"));
  EXPECT_EQ(rows[1]["Disk_Name"], FieldValue("small.Td4"));
  const RunSummary& counted = h.context.summary;
  EXPECT_EQ(std::vector<int>({counted.catalogued, counted.rejected, counted.unreadable}),
            std::vector<int>({2, 3, unreadable ? 1 : 0}));
  if (unreadable) {
    EXPECT_NE(std::find(h.progress.events.begin(), h.progress.events.end(),
                        "unreadable " + PathIn(h.designs, "Memory.td4: Input/output error")),
              h.progress.events.end());
  }
}

TEST(ReadTrackFolder, CataloguesUnknownRideTypesAndAppendsOneLogLineEach) {
  RunHarness h;
  WriteFile(h.unknownsLog(), "earlier line\r\n");
  WriteDesignFile(PathIn(h.designs, "Loop.td4"), Distinct(21));
  WriteDesignFile(PathIn(h.designs, "Mystery.TD4"), Distinct(255));
  WriteDesignFile(PathIn(h.designs, "Maze.td4"), Distinct(20));
  ReadTrackFolder(h.context, h.designs, "none");

  EXPECT_EQ(ReadFile(h.unknownsLog()), "earlier line\r\n21 Loop.td4\r\n255 Mystery.TD4\r\n");
  auto rows = h.catalogueRows();
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0]["Ride_Name"], FieldValue("Unknown"));
  EXPECT_EQ(rows[0]["Ride_Type"], FieldValue("Unknown"));
  EXPECT_EQ(rows[1]["Ride_Name"], FieldValue("Maze"));
  EXPECT_EQ(rows[2]["Ride_Name"], FieldValue("Unknown"));

  EXPECT_EQ(h.context.summary.unknownTypes, 2);

  // A log that is no regular file is never waited on nor written, and the failure is noted
  // once however many designs it concerns; the scan goes on.
  const std::vector<std::pair<std::function<void()>, std::string>> logs = {
      {[&] { fs::create_directory(h.unknownsLog()); }, "Is a directory"},
#ifndef _WIN32
      {[&] { ASSERT_EQ(mkfifo(h.unknownsLog().c_str(), 0600), 0); }, "not a regular file"},
#endif
  };
  for (const auto& [plant, cause] : logs) {
    fs::remove(h.unknownsLog());
    plant();
    h.context.summary = {};
    ReadTrackFolder(h.context, h.designs, "none");
    EXPECT_EQ(h.context.summary.problems,
              std::vector<std::string>{"cannot append to '" + h.unknownsLog() + "': " + cause});
  }
  EXPECT_EQ(h.catalogueRows().size(), 3 * (1 + logs.size()));  // three designs a scan
}

TEST(ReadTrackFolder, ArchiveModeDeletesOnlyThePlainFilesOfTheExtractionFolder) {
  RunHarness h;
  h.options.zip = true;
  const std::string extraction = PathIn(h.designs, "quilltemp");
  fs::create_directories(PathIn(extraction, "sub"));
  WriteFile(PathIn(extraction, "sub/keep.td4"), "nested, not ours to delete");
  WriteFile(h.temp / "outside.txt", "outside");
  const bool linked = testing::MakeLink(h.temp / "outside.txt", PathIn(extraction, "link.td4"));
  WriteDesignFile(PathIn(extraction, "A.td4"), Distinct(0));
  WriteFile(PathIn(extraction, "Bad.td4"), "x");
  WriteFile(PathIn(extraction, "readme.txt"), "other");
  WriteFile(PathIn(extraction, "author.txt"), "Ann\r\n");
  ReadTrackFolder(h.context, extraction, "pack.zip");

  // The link is read through like any listed design and, rejected, renamed itself; the
  // file it points to is neither renamed nor deleted.
  const std::vector<std::string> left = {"link.bad", "sub"};
  EXPECT_EQ(testing::ListFolder(extraction),
            std::vector<std::string>(left.begin() + (linked ? 0 : 1), left.end()));
  EXPECT_EQ(ReadFile(h.temp / "outside.txt"), "outside");
  EXPECT_EQ(ReadFile(PathIn(extraction, "sub/keep.td4")), "nested, not ours to delete");
  EXPECT_EQ(h.catalogueRows().size(), 1u);
}

TEST(ReadTrackFolder, ReportsReadingTracksTheCountAndEachDesignNumber) {
  RunHarness h;
  ReadTrackFolder(h.context, h.designs, "none");
  WriteDesignFile(PathIn(h.designs, "A.td4"), Distinct(0));
  WriteDesignFile(PathIn(h.designs, "B.td4"), Distinct(0));
  ReadTrackFolder(h.context, h.designs, "none");
  EXPECT_EQ(h.progress.events,
            (std::vector<std::string>{"set 3=Reading Tracks", "repaint 3", "set 2=0",
                                      "set 3=Reading Tracks", "repaint 3", "set 2=2", "set 1=1",
                                      "repaint 1", "set 1=2", "repaint 1"}));
  // Designs already catalogued are not looked for: every accepted file adds a row.
  ReadTrackFolder(h.context, h.designs, "none");
  EXPECT_EQ(h.catalogueRows().size(), 4u);
}

}  // namespace
}  // namespace velodex
