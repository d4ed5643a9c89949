// Ride type folders and the copies sorted into them: which folders are made, what lands in
// them under which name, what the progress display shows, and that the user's files survive
// every failure.
#include "files/ride_type_folders.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
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

using testing::ErrorOf;
using testing::ListFolder;
using testing::ReadFile;
using testing::RunHarness;
using testing::WriteFile;
namespace fs = std::filesystem;

using Names = std::vector<std::string>;

struct Row {
  std::string fileName;
  std::string rideName;
  std::string diskName = "";  // the name as listed on disk; "" for none (an older catalogue)
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
      if (!row.diskName.empty()) table.setField("Disk_Name", row.diskName);
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

  RunHarness h_;
  CatalogueDatabase database_;
};

TEST_F(RideTypeFolders, MakesMissingFoldersOnlyWhenNoLinkOrFileTakesAName) {
  fs::create_directory(at("Corkscrew"));
  WriteFile(at("Corkscrew/notes.txt"), "the user's notes");
  WriteFile(at("Corkscrew/A.td4.velodex-Ab12Cd"), "a copy a killed run left");
  fs::create_symlink("notes.txt", at("Corkscrew/B.td4.velodex-Ab12Cd"));
  Catalogue(
      {{"A.td4", "Corkscrew"}, {"C.td4", "Wooden"}, {"E.td4", "Unknown"}, {"F.td4", "Steel"}});

  MakeRideTypeFolders(d(), database_);
  MakeRideTypeFolders(d(), database_);  // a second run finds every folder there
  EXPECT_EQ(ListFolder(d()), (Names{"Corkscrew", "Steel", "Unknown", "Wooden"}));
  EXPECT_EQ(ListFolder(at("Corkscrew")), (Names{"B.td4.velodex-Ab12Cd", "notes.txt"}));
  EXPECT_EQ(ListFolder(at("Wooden")), Names{});

  // A link or a file at a ride type's name stops the run before any folder is made.
  for (const auto& [kind, plant] : std::vector<std::pair<std::string, std::function<void()>>>{
           {"link", [&] { fs::create_symlink(h_.temp.path(), at("Steel")); }},
           {"file", [&] { WriteFile(at("Steel"), "a plain file named like a ride type"); }}}) {
    fs::remove_all(at("Steel"));
    fs::remove_all(at("Wooden"));
    plant();
    EXPECT_EQ(ErrorOf([&] { MakeRideTypeFolders(d(), database_); }),
              "cannot use the ride type folder '" + at("Steel") + "': a " + kind +
                  " stands at that name; move it out of the way and run again");
    EXPECT_FALSE(fs::exists(at("Wooden"))) << kind;
  }
}

TEST_F(RideTypeFolders, CopiesUnderTheCatalogueSpellingAndKeepsTheOriginals) {
  const std::map<std::string, std::string> onDisk = {
      {"Alpha.td4", "alpha design"},   {"Alpha.tp4", "alpha companion"},
      {"BRAVO.TD4", "bravo design"},   {"BRAVO.TP4", "bravo companion"},
      {"Kilo.td4", "kilo design"},     {"kilo.Tp4", "kilo companion"},
      {"Echo.td4", "echo design"},     {"Echo.tp4", "echo companion"},
      {"Delta.td4", "delta design"},   {"Delta.tp3", "not a companion"},
      {"Xray.td4", "lower design"},    {"XRAY.td4", "upper design"},
      {"Xray.tp4", "lower companion"}, {"XRAY.tp4", "upper companion"},
      {"Yank.td4", "lower yank"},      {"Yank.TD4", "upper yank"},
      {"Golf.td4", "golf design"},     {"Hotel.td4", "hotel design"}};
  for (const auto& [name, bytes] : onDisk) WriteFile(at(name), bytes);
  // Companions that are no files are not copied.
  fs::create_directory(at("Golf.tp4"));
  fs::create_symlink("nowhere", at("Hotel.tp4"));
  // Copies of an earlier run are replaced; the user's own files stay.
  fs::create_directory(at("Wooden"));
  WriteFile(at("Wooden/Alpha.td4"), "copy of an earlier run");
  WriteFile(at("Wooden/keep.txt"), "the user's file");
  Catalogue({{"Alpha.td4", "Wooden"},
             {"BRAVO.td4", "Wooden", "BRAVO.TD4"},
             {"Kilo.td4", "Steel"},
             {"Yank.td4", "Wooden", "Yank.td4"},
             {"Yank.td4", "Steel", "Yank.TD4"},
             {"Echo.td4", "Unknown"},
             {"Delta.td4", "Corkscrew"},
             {"Xray.td4", "Wooden"},
             {"XRAY.td4", "Wooden"},
             {"Golf.td4", "Wooden"},
             {"Hotel.td4", "Wooden"}});

  MakeAndCopy();

  // Each copy under the catalogue's spelling, from its own file on disk (Yank.td4 and
  // Yank.TD4 are two designs), or for a row without the name on disk from the file of that
  // spelling, else of any case. Designs of unknown ride types travel without companions.
  const std::map<std::string, std::string> copies = {
      {"Wooden/Alpha.td4", "Alpha.td4"}, {"Wooden/Alpha.tp4", "Alpha.tp4"},
      {"Wooden/BRAVO.td4", "BRAVO.TD4"}, {"Wooden/BRAVO.tp4", "BRAVO.TP4"},
      {"Steel/Kilo.td4", "Kilo.td4"},    {"Steel/Kilo.tp4", "kilo.Tp4"},
      {"Unknown/Echo.td4", "Echo.td4"},  {"Corkscrew/Delta.td4", "Delta.td4"},
      {"Wooden/Xray.td4", "Xray.td4"},   {"Wooden/Xray.tp4", "Xray.tp4"},
      {"Wooden/XRAY.td4", "XRAY.td4"},   {"Wooden/XRAY.tp4", "XRAY.tp4"},
      {"Wooden/Yank.td4", "Yank.td4"},   {"Steel/Yank.td4", "Yank.TD4"},
      {"Wooden/Golf.td4", "Golf.td4"},   {"Wooden/Hotel.td4", "Hotel.td4"}};
  std::map<std::string, Names> listings = {{"Wooden", {"keep.txt"}}};
  for (const auto& [copy, original] : copies) {
    EXPECT_EQ(ReadFile(at(copy)), onDisk.at(original)) << copy;
    listings[copy.substr(0, copy.find('/'))].push_back(copy.substr(copy.find('/') + 1));
  }
  for (auto& [type, names] : listings) {
    std::sort(names.begin(), names.end());
    EXPECT_EQ(ListFolder(at(type)), names) << type;
  }
  EXPECT_EQ(ReadFile(at("Wooden/keep.txt")), "the user's file");
  // Copied, never moved.
  for (const auto& [name, bytes] : onDisk) EXPECT_EQ(ReadFile(at(name)), bytes) << name;
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

TEST_F(RideTypeFolders, FailuresNameThePathAndKeepTheCopiesMadeBefore) {
  struct Case {
    const char* name;
    std::function<void()> arrange;  // on a folder holding Alpha.td4 (Wooden), Zulu.td4
    std::string named;              // the path the message names
    Names left;                     // the folder's listing afterwards
  };
  const Case cases[] = {
      {"a folder where the companion's copy belongs: fails after the design's copy",
       [&] {
         WriteFile(at("Alpha.tp4"), "alpha companion");
         fs::create_directories(at("Wooden/Alpha.tp4"));
       },
       at("Wooden/Alpha.tp4"), Names{"Alpha.td4", "Alpha.tp4", "Corkscrew", "Wooden", "Zulu.td4"}},
      {"a design missing from the disk", [&] { fs::remove(at("Alpha.td4")); }, at("Alpha.td4"),
       Names{"Corkscrew", "Wooden", "Zulu.td4"}},
  };
  for (const Case& c : cases) {
    fs::remove_all(d());
    fs::create_directory(d());
    WriteFile(at("Alpha.td4"), "alpha design");
    WriteFile(at("Zulu.td4"), "zulu design");
    c.arrange();
    if (!database_.isOpen()) Catalogue({{"Zulu.td4", "Corkscrew"}, {"Alpha.td4", "Wooden"}});
    EXPECT_PRED_FORMAT2(::testing::IsSubstring, c.named, ErrorOf([&] { MakeAndCopy(); })) << c.name;
    EXPECT_EQ(ListFolder(d()), c.left) << c.name;
    EXPECT_EQ(ReadFile(at("Corkscrew/Zulu.td4")), "zulu design") << c.name;
    if (c.named.ends_with("tp4")) {
      EXPECT_EQ(ReadFile(at("Wooden/Alpha.td4")), "alpha design");
    }
  }
  // A ride type folder that cannot be made.
  EXPECT_PRED_FORMAT2(::testing::IsSubstring, at("gone/Corkscrew"),
                      ErrorOf([&] { MakeRideTypeFolders(at("gone"), database_); }));
}

}  // namespace
}  // namespace velodex
