// Ride type folders and the copies sorted into them: which folders are made, what lands in
// them under which name, what the progress display shows, and that the user's files survive
// every failure.
#include "files/ride_type_folders.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "catalogue/catalogue_database.h"
#include "catalogue/error.h"
#include "catalogue/file_system.h"
#include "tests/support/test_support.h"

namespace velodex {
namespace {

using testing::ListFolder;
using testing::ReadFile;
using testing::RunHarness;
using testing::WriteFile;
namespace fs = std::filesystem;

using Names = std::vector<std::string>;

struct Row {
  std::string fileName;
  std::string rideName;
};

class RideTypeFolders : public ::testing::Test {
 protected:
  // Opens the harness's empty catalogue and stores one row per design, as the scan does.
  void Catalogue(const std::vector<Row>& rows) {
    database_.open(JoinPath(h_.databaseFolder, "velodex.mdb"));
    RecordSet table = database_.openTable("velodex");
    for (const Row& row : rows) {
      table.addNew();
      table.setField("File_Name", row.fileName);
      table.setField("Ride_Name", row.rideName);
      table.setField("Ride_Type", row.rideName);
      table.update();
    }
    table.close();
  }

  void Copy() { CopyTracksToRideTypeFolders(h_.progress, d(), database_); }
  void MakeAndCopy() {
    MakeRideTypeFolders(d(), database_);
    Copy();
  }

  const std::string& d() const { return h_.designs; }
  std::string at(const std::string& relative) const { return d() + "/" + relative; }

  // The message of the Error that action throws, or a failure when it throws none.
  template <typename Action>
  std::string ErrorOf(Action&& action) {
    try {
      action();
    } catch (const Error& e) {
      return e.what();
    }
    ADD_FAILURE() << "no Error thrown";
    return std::string();
  }

  RunHarness h_;
  CatalogueDatabase database_;
};

TEST_F(RideTypeFolders, MakesFoldersOnlyWhereNothingOfThatNameExists) {
  fs::create_directory(at("Corkscrew"));
  WriteFile(at("Corkscrew/notes.txt"), "the user's notes");
  WriteFile(at("Steel"), "a plain file named like a ride type");
  fs::create_symlink("nowhere", at("Mine_Train"));
  Catalogue({{"A.td4", "Corkscrew"},
             {"B.td4", "Steel"},
             {"C.td4", "Wooden"},
             {"D.td4", "Wooden"},
             {"E.td4", "Unknown"},
             {"F.td4", "Mine_Train"}});

  MakeRideTypeFolders(d(), database_);
  // A second run finds every name taken and changes nothing.
  MakeRideTypeFolders(d(), database_);

  EXPECT_EQ(ListFolder(d()), (Names{"Corkscrew", "Mine_Train", "Steel", "Unknown", "Wooden"}));
  EXPECT_TRUE(fs::is_directory(at("Wooden")));
  EXPECT_TRUE(fs::is_directory(at("Unknown")));
  EXPECT_EQ(ListFolder(at("Wooden")), Names{});
  EXPECT_EQ(ListFolder(at("Corkscrew")), Names{"notes.txt"});
  EXPECT_EQ(ReadFile(at("Corkscrew/notes.txt")), "the user's notes");
  EXPECT_TRUE(fs::is_regular_file(at("Steel")));
  EXPECT_EQ(ReadFile(at("Steel")), "a plain file named like a ride type");
  EXPECT_TRUE(fs::is_symlink(at("Mine_Train")));
  EXPECT_EQ(fs::read_symlink(at("Mine_Train")), "nowhere");
}

TEST_F(RideTypeFolders, FolderThatCannotBeMadeThrowsNamingIt) {
  Catalogue({{"A.td4", "Wooden"}});
  const std::string gone = at("gone");
  const std::string message = ErrorOf([&] { MakeRideTypeFolders(gone, database_); });
  EXPECT_PRED_FORMAT2(::testing::IsSubstring, gone + "/Wooden", message);
}

// One design (and what lies beside it) per case, all of one ride type.
struct CopyCase {
  const char* name;
  std::vector<std::pair<std::string, std::string>> onDisk;  // file name -> bytes
  Row row;
  std::map<std::string, std::string> copied;  // name in the type folder -> file it copies
};

void PrintTo(const CopyCase& c, std::ostream* out) { *out << c.name; }

class CopyTracks : public RideTypeFolders, public ::testing::WithParamInterface<CopyCase> {};

TEST_P(CopyTracks, CopiesUnderTheCatalogueSpellingAndKeepsTheOriginals) {
  const CopyCase& c = GetParam();
  Names originals;
  for (const auto& [name, bytes] : c.onDisk) {
    WriteFile(at(name), bytes);
    originals.push_back(name);
  }
  Catalogue({c.row});

  MakeAndCopy();

  Names expected;
  for (const auto& [copy, original] : c.copied) {
    expected.push_back(copy);
    EXPECT_EQ(ReadFile(at(c.row.rideName + "/" + copy)), ReadFile(at(original))) << copy;
  }
  EXPECT_EQ(ListFolder(at(c.row.rideName)), expected);
  // Copied, never moved: the scan folder holds what it held, plus the type folder.
  originals.push_back(c.row.rideName);
  std::sort(originals.begin(), originals.end());
  EXPECT_EQ(ListFolder(d()), originals);
  for (const auto& [name, bytes] : c.onDisk) EXPECT_EQ(ReadFile(at(name)), bytes) << name;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CopyTracks,
    ::testing::Values(CopyCase{"DesignAndCompanion",
                               {{"Alpha.td4", "alpha design"}, {"Alpha.tp4", "alpha companion"}},
                               {"Alpha.td4", "Wooden"},
                               {{"Alpha.td4", "Alpha.td4"}, {"Alpha.tp4", "Alpha.tp4"}}},
                      CopyCase{"UpperCaseOnDiskCopiedAsCatalogued",
                               {{"BRAVO.TD4", "bravo design"}, {"BRAVO.TP4", "bravo companion"}},
                               {"BRAVO.td4", "Wooden"},
                               {{"BRAVO.td4", "BRAVO.TD4"}, {"BRAVO.tp4", "BRAVO.TP4"}}},
                      CopyCase{"CompanionFoundWhateverItsCase",
                               {{"Kilo.td4", "kilo design"}, {"kilo.Tp4", "kilo companion"}},
                               {"Kilo.td4", "Steel"},
                               {{"Kilo.td4", "Kilo.td4"}, {"Kilo.tp4", "kilo.Tp4"}}},
                      CopyCase{"UnknownTypeTravelsWithoutCompanion",
                               {{"Echo.td4", "echo design"}, {"Echo.tp4", "echo companion"}},
                               {"Echo.td4", "Unknown"},
                               {{"Echo.td4", "Echo.td4"}}},
                      CopyCase{"NoCompanionIsNoError",
                               {{"Delta.td4", "delta design"}, {"Delta.tp3", "not a companion"}},
                               {"Delta.td4", "Corkscrew"},
                               {{"Delta.td4", "Delta.td4"}}},
                      // Two files differing only in case were catalogued as two designs; each copy
                      // comes from its own file.
                      CopyCase{"ExactSpellingPreferredOverOtherCase",
                               {{"Xray.td4", "lower design"},
                                {"XRAY.td4", "upper design"},
                                {"Xray.tp4", "lower companion"},
                                {"XRAY.tp4", "upper companion"}},
                               {"Xray.td4", "Wooden"},
                               {{"Xray.td4", "Xray.td4"}, {"Xray.tp4", "Xray.tp4"}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(RideTypeFolders, CompanionThatIsNoFileIsNotCopied) {
  WriteFile(at("Golf.td4"), "golf design");
  fs::create_directory(at("Golf.tp4"));
  WriteFile(at("Hotel.td4"), "hotel design");
  fs::create_symlink("nowhere", at("Hotel.tp4"));
  Catalogue({{"Golf.td4", "Wooden"}, {"Hotel.td4", "Wooden"}});

  MakeAndCopy();

  EXPECT_EQ(ListFolder(at("Wooden")), (Names{"Golf.td4", "Hotel.td4"}));
}

TEST_F(RideTypeFolders, EarlierCopiesAreReplacedAndOtherFilesStay) {
  WriteFile(at("Alpha.td4"), "new design");
  WriteFile(at("Alpha.tp4"), "new companion");
  fs::create_directory(at("Wooden"));
  WriteFile(at("Wooden/Alpha.td4"), "copy of an earlier run");
  WriteFile(at("Wooden/Alpha.tp4"), "companion of an earlier run");
  WriteFile(at("Wooden/keep.txt"), "the user's file");
  Catalogue({{"Alpha.td4", "Wooden"}});

  MakeAndCopy();

  EXPECT_EQ(ListFolder(at("Wooden")), (Names{"Alpha.td4", "Alpha.tp4", "keep.txt"}));
  EXPECT_EQ(ReadFile(at("Wooden/Alpha.td4")), "new design");
  EXPECT_EQ(ReadFile(at("Wooden/Alpha.tp4")), "new companion");
  EXPECT_EQ(ReadFile(at("Wooden/keep.txt")), "the user's file");
}

TEST_F(RideTypeFolders, ProgressShowsEachTypeWithItsCountThenCountsItsDesigns) {
  for (const char* name : {"A.td4", "B.td4", "C.td4"}) WriteFile(at(name), name);
  Catalogue({{"A.td4", "Wooden"}, {"B.td4", "Corkscrew"}, {"C.td4", "Wooden"}});
  MakeRideTypeFolders(d(), database_);
  h_.progress.events.clear();

  Copy();

  // The ride types come in name order.
  // clang-format off
  EXPECT_EQ(h_.progress.events, (Names{
      "set 1=Corkscrew", "repaint 1", "set 3=Copying Files", "set 1=Corkscrew 1",
      "set 2=1", "repaint 2",
      "set 1=Wooden", "repaint 1", "set 3=Copying Files", "set 1=Wooden 2",
      "set 2=1", "repaint 2",
      "set 2=2", "repaint 2"}));
  // clang-format on
}

TEST_F(RideTypeFolders, CompanionIsCopiedAfterItsDesign) {
  // A folder where the companion's copy belongs makes that copy fail, after the design's.
  WriteFile(at("Alpha.td4"), "alpha design");
  WriteFile(at("Alpha.tp4"), "alpha companion");
  fs::create_directories(at("Wooden/Alpha.tp4"));
  Catalogue({{"Alpha.td4", "Wooden"}});

  const std::string message = ErrorOf([&] { MakeAndCopy(); });

  EXPECT_PRED_FORMAT2(::testing::IsSubstring, at("Wooden/Alpha.tp4"), message);
  EXPECT_EQ(ReadFile(at("Wooden/Alpha.td4")), "alpha design");
  EXPECT_TRUE(fs::is_directory(at("Wooden/Alpha.tp4")));
  EXPECT_EQ(ListFolder(at("Wooden")), (Names{"Alpha.td4", "Alpha.tp4"}));
}

TEST_F(RideTypeFolders, PlainFileWhereTheFolderBelongsFailsTheCopyNamingThePath) {
  WriteFile(at("Alpha.td4"), "alpha design");
  WriteFile(at("Zulu.td4"), "zulu design");
  WriteFile(at("Wooden"), "a plain file named like a ride type");
  Catalogue({{"Zulu.td4", "Corkscrew"}, {"Alpha.td4", "Wooden"}});

  const std::string message = ErrorOf([&] { MakeAndCopy(); });

  EXPECT_PRED_FORMAT2(::testing::IsSubstring, at("Wooden/Alpha.td4"), message);
  EXPECT_EQ(ReadFile(at("Wooden")), "a plain file named like a ride type");
  EXPECT_EQ(ReadFile(at("Alpha.td4")), "alpha design");
  // The copy made before the failure stays; nothing half-made is left behind.
  EXPECT_EQ(ReadFile(at("Corkscrew/Zulu.td4")), "zulu design");
  EXPECT_EQ(ListFolder(d()), (Names{"Alpha.td4", "Corkscrew", "Wooden", "Zulu.td4"}));
}

TEST_F(RideTypeFolders, DesignMissingFromDiskFailsNamingIt) {
  WriteFile(at("Alpha.td4"), "alpha design");
  Catalogue({{"Alpha.td4", "Corkscrew"}, {"Ghost.td4", "Wooden"}});

  const std::string message = ErrorOf([&] { MakeAndCopy(); });

  EXPECT_PRED_FORMAT2(::testing::IsSubstring, at("Ghost.td4"), message);
  EXPECT_EQ(ReadFile(at("Corkscrew/Alpha.td4")), "alpha design");
  EXPECT_EQ(ListFolder(at("Wooden")), Names{});
}

}  // namespace
}  // namespace velodex
