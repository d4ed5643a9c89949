// The catalogue run end to end on a folder of designs: every dispatch row's files on disk,
// the catalogue it leaves, its messages, its completion text and its failures.
#include "catalogue/catalogue_run.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>

#include "catalogue/catalogue_database.h"
#include "catalogue/error.h"
#include "tests/support/test_support.h"
#include "tools/design_encoder.h"

namespace velodex {
namespace {

using testing::ReadFile;
using testing::RunHarness;
using testing::WriteFile;
namespace fs = std::filesystem;

// Three Wooden designs (two pages at two per page), one Corkscrew, one of an unknown type,
// companions for a Wooden and for the unknown design.
void WriteCollection(const RunHarness& h) {
  DesignParams p;
  p.rideTypeCode = 0;
  p.ex = 70;
  WriteDesignFile(h.designs + "/Alpha.td4", p);
  p.ex = 60;
  WriteDesignFile(h.designs + "/BRAVO.TD4", p);
  p.ex = 50;
  WriteDesignFile(h.designs + "/Charlie.td4", p);
  p.rideTypeCode = 19;
  WriteDesignFile(h.designs + "/Delta.td4", p);
  p.rideTypeCode = 21;
  WriteDesignFile(h.designs + "/Echo.td4", p);
  WriteFile(h.designs + "/Alpha.tp4", "alpha companion");
  WriteFile(h.designs + "/Echo.tp4", "echo companion");
}

bool Exists(const std::string& path) { return fs::exists(path); }

size_t IndexOf(const std::vector<std::string>& events, const std::string& event) {
  auto it = std::find(events.begin(), events.end(), event);
  return it == events.end() ? events.size() : static_cast<size_t>(it - events.begin());
}

struct RowCase {
  bool separate, copy, hyperlinks;
  bool simpleIndex;  // else the ride index and type pages
  bool folders;
};

class DispatchRows : public ::testing::TestWithParam<RowCase> {};

TEST_P(DispatchRows, WriteTheirPagesFoldersAndCopies) {
  const RowCase& c = GetParam();
  RunHarness h;
  WriteCollection(h);
  h.options.separate = c.separate;
  h.options.copy = c.copy;
  h.options.hyperlinks = c.hyperlinks;
  h.options.ridesPerPageText = "2";
  h.options.columns.fill(true);
  h.options.explorer = true;

  EXPECT_EQ(RunCatalogue(h.context()), RunOutcome::kCompleted);

  const std::string& d = h.designs;
  EXPECT_EQ(h.progress.text(ProgressLabel::kStatus),
            "Done - Look at " + d + (c.simpleIndex ? "/simpleindex.htm" : "/rideindex.htm") +
                " and " + d + "/explorer.htm");
  EXPECT_NE(ReadFile(d + "/explorer.htm").find("\"name\":[\"Alpha.td4\","), std::string::npos);
  EXPECT_EQ(h.windows.moves, (std::vector<std::string>{"progress", "quit"}));
  EXPECT_EQ(h.windows.offeredPage, d + "/explorer.htm");
  EXPECT_EQ(h.catalogueRows().size(), 5u);

  EXPECT_EQ(Exists(d + "/simpleindex.htm"), c.simpleIndex);
  EXPECT_EQ(Exists(d + "/rideindex.htm"), !c.simpleIndex);
  for (const char* type : {"Wooden", "Corkscrew", "Unknown"}) {
    EXPECT_EQ(fs::is_directory(d + "/" + type), c.folders) << type;
  }
  if (!c.simpleIndex) {
    EXPECT_TRUE(Exists(d + "/Wooden/Wooden0.htm"));
    EXPECT_TRUE(Exists(d + "/Wooden/Wooden2.htm"));
    EXPECT_FALSE(Exists(d + "/Wooden/Wooden.htm"));
    EXPECT_TRUE(Exists(d + "/Corkscrew/Corkscrew.htm"));
    EXPECT_TRUE(Exists(d + "/Unknown/Unknown.htm"));
  }
  // Copies under the catalogue's spelling, companions except for unknown types; the
  // originals all stay.
  EXPECT_EQ(Exists(d + "/Wooden/Alpha.td4"), c.copy);
  EXPECT_EQ(Exists(d + "/Wooden/BRAVO.td4"), c.copy);
  EXPECT_EQ(Exists(d + "/Wooden/Alpha.tp4"), c.copy);
  EXPECT_EQ(Exists(d + "/Corkscrew/Delta.td4"), c.copy);
  EXPECT_EQ(Exists(d + "/Unknown/Echo.td4"), c.copy);
  EXPECT_FALSE(Exists(d + "/Unknown/Echo.tp4"));
  for (const char* name : {"Alpha.td4", "BRAVO.TD4", "Charlie.td4", "Delta.td4", "Echo.td4",
                           "Alpha.tp4", "Echo.tp4"}) {
    EXPECT_TRUE(Exists(d + "/" + name)) << name;
  }
  if (c.copy) {
    EXPECT_EQ(ReadFile(d + "/Wooden/Alpha.tp4"), "alpha companion");
    EXPECT_EQ(ReadFile(d + "/Wooden/BRAVO.td4"), ReadFile(d + "/BRAVO.TD4"));
  }
}

INSTANTIATE_TEST_SUITE_P(Codes, DispatchRows,
                         ::testing::Values(RowCase{false, false, false, true, false},  // 0
                                           RowCase{true, false, false, false, true},   // 2
                                           RowCase{false, true, false, true, true},    // 4
                                           RowCase{true, true, false, false, true},    // 6
                                           RowCase{false, false, true, true, false},   // 16
                                           RowCase{true, false, true, false, true},    // 18
                                           RowCase{false, true, true, true, true},     // 20
                                           RowCase{true, true, true, false, true}),    // 22
                         [](const auto& info) {
                           const RowCase& c = info.param;
                           return "Code" +
                                  std::to_string(2 * c.separate + 4 * c.copy + 16 * c.hyperlinks);
                         });

TEST(RunCatalogue, CopiesBeforeTheIndexForSixAndAfterTheTypePagesForTwentyTwo) {
  for (bool hyperlinks : {false, true}) {
    RunHarness h;
    WriteCollection(h);
    h.options.separate = h.options.copy = true;
    h.options.hyperlinks = hyperlinks;
    RunCatalogue(h.context());
    const size_t copying = IndexOf(h.progress.events, "set 3=Copying Files");
    const size_t writing = IndexOf(h.progress.events, "set 3=Writing Ride Type Files");
    ASSERT_LT(copying, h.progress.events.size());
    ASSERT_LT(writing, h.progress.events.size());
    EXPECT_EQ(copying < writing, !hyperlinks) << "hyperlinks " << hyperlinks;
  }
}

TEST(RunCatalogue, ReportsItsStepsInOrder) {
  RunHarness h;
  WriteCollection(h);
  RunCatalogue(h.context());
  const auto& e = h.progress.events;
  const size_t deleting = IndexOf(e, "set 3=Deleting Records");
  const size_t compacting = IndexOf(e, "set 3=Compacting Database");
  const size_t reading = IndexOf(e, "set 3=Reading Tracks");
  ASSERT_LT(reading, e.size());
  EXPECT_LT(deleting, compacting);
  EXPECT_LT(compacting, reading);
  EXPECT_EQ(e[deleting + 1], "repaint 3");
  EXPECT_EQ(e[compacting + 1], "repaint 3");
  EXPECT_EQ(e[e.size() - 2], "set 3=Done - ");
}

TEST(RunCatalogue, StartsFromAnEmptyCatalogueEveryTime) {
  RunHarness h;
  WriteCollection(h);
  RunCatalogue(h.context());
  fs::remove(h.designs + "/Echo.td4");
  RunCatalogue(h.context());
  EXPECT_EQ(h.catalogueRows().size(), 4u);
}

TEST(RunCatalogue, ReplacesEmptyTextsAndSortsAsTheButtonsSay) {
  RunHarness h;
  WriteCollection(h);
  h.options.ridesPerPageText = "";
  h.options.sortFieldText = "";
  h.options.columns[0] = true;
  RunCatalogue(h.context());
  EXPECT_EQ(h.options.ridesPerPage(), "10");
  EXPECT_EQ(h.options.sortField(), "Rating");
  // Descending by rating: Alpha (ex 7.0) first, then Bravo, Charlie/Delta/Echo.
  const std::string page = ReadFile(h.designs + "/simpleindex.htm");
  EXPECT_LT(page.find("Alpha.td4"), page.find("BRAVO.td4"));

  h.options.descending = false;
  h.options.sortFieldText = "File_Name";
  RunCatalogue(h.context());
  const std::string ascending = ReadFile(h.designs + "/simpleindex.htm");
  EXPECT_LT(ascending.find("Delta.td4"), ascending.find("Echo.td4"));
  EXPECT_LT(ascending.find("Alpha.td4"), ascending.find("BRAVO.td4"));
}

TEST(RunCatalogue, AnEmptyFolderShowsTheRowsMessageAndReturnsToTheFirstStep) {
  struct Case {
    bool separate, copy, hyperlinks;
    const char* message;
  };
  const Case cases[] = {
      {false, false, false, "No Ride files found"}, {true, false, false, "No Ride files found"},
      {false, true, false, "No Ride files found"},  {true, true, false, "No Ride files found"},
      {false, false, true, "No Files found"},       {true, false, true, "No Files found"},
      {false, true, true, "No Ride files found"},   {true, true, true, "No Files found"},
  };
  for (const Case& c : cases) {
    RunHarness h;
    WriteFile(h.designs + "/archive.zip", "not a design");
    h.options.separate = c.separate;
    h.options.copy = c.copy;
    h.options.hyperlinks = c.hyperlinks;
    EXPECT_EQ(RunCatalogue(h.context()), RunOutcome::kEmptyFolder);
    ASSERT_EQ(h.prompts.messages.size(), 1u);
    EXPECT_EQ(h.prompts.messages[0].text, c.message);
    EXPECT_EQ(h.prompts.messages[0].icon, MessageIcon::kNone);
    EXPECT_EQ(h.windows.moves, (std::vector<std::string>{"progress", "first step"}));
    EXPECT_EQ(h.progress.text(ProgressLabel::kStatus), "Compacting Database");
    EXPECT_EQ(testing::ListFolder(h.designs), (std::vector<std::string>{"archive.zip"}));
  }
}

TEST(RunCatalogue, AnUnhandledCodeShowsItsNumberThenCompletesWithAnEmptyCatalogue) {
  RunHarness h;
  WriteCollection(h);
  h.options.zip = true;
  h.options.copy = true;  // 12: the wizard cannot normally produce it
  EXPECT_EQ(RunCatalogue(h.context()), RunOutcome::kUnhandledCode);
  ASSERT_EQ(h.prompts.messages.size(), 1u);
  EXPECT_EQ(h.prompts.messages[0].text, "12");
  EXPECT_EQ(h.prompts.messages[0].icon, MessageIcon::kInformation);
  EXPECT_EQ(h.progress.text(ProgressLabel::kStatus),
            "Done - Look at " + h.designs + "/rideindex.htm");
  EXPECT_TRUE(h.catalogueRows().empty());
  EXPECT_FALSE(Exists(h.designs + "/rideindex.htm"));
}

TEST(RunCatalogue, DeletesALeftoverCompactedCopyAndLeavesOnlyTheCatalogue) {
  RunHarness h;
  WriteCollection(h);
  WriteFile(h.databaseFolder + "/velodex2.mdb", "left by an interrupted run");
  RunCatalogue(h.context());
  EXPECT_EQ(testing::ListFolder(h.databaseFolder), (std::vector<std::string>{"velodex.mdb"}));
}

TEST(RunCatalogue, FinishesASwapThatWasInterruptedAfterTheOldCatalogueWasDeleted) {
  RunHarness h;
  WriteCollection(h);
  fs::rename(h.databaseFolder + "/velodex.mdb", h.databaseFolder + "/velodex2.mdb");
  EXPECT_EQ(RunCatalogue(h.context()), RunOutcome::kCompleted);
  EXPECT_EQ(testing::ListFolder(h.databaseFolder), (std::vector<std::string>{"velodex.mdb"}));
  EXPECT_EQ(h.catalogueRows().size(), 5u);
}

TEST(RunCatalogue, DoesNotTakeAHalfWrittenCopyForTheCatalogue) {
  RunHarness h;
  WriteCollection(h);
  const std::string whole = ReadFile(h.databaseFolder + "/velodex.mdb");
  fs::remove(h.databaseFolder + "/velodex.mdb");
  WriteFile(h.databaseFolder + "/velodex2.mdb", whole.substr(0, whole.size() / 3));
  EXPECT_THROW(RunCatalogue(h.context()), Error);
  EXPECT_TRUE(Exists(h.databaseFolder + "/velodex2.mdb"));
}

std::string FailureMessage(RunHarness& h) {
  try {
    RunCatalogue(h.context());
  } catch (const Error& e) {
    return e.what();
  }
  return "(no failure)";
}

TEST(RunCatalogue, FailuresNameWhatFailedAndWhereAndKeepTheDesigns) {
  {
    RunHarness h;
    WriteCollection(h);
    fs::remove(h.databaseFolder + "/velodex.mdb");
    EXPECT_NE(FailureMessage(h).find(h.databaseFolder + "/velodex.mdb"), std::string::npos);
  }
  {
    RunHarness h;
    WriteCollection(h);
    h.options.sortFieldText = "NoSuchColumn";
    EXPECT_NE(FailureMessage(h).find("NoSuchColumn"), std::string::npos);
  }
  {
    RunHarness h;
    WriteCollection(h);
    fs::create_directory(h.designs + "/simpleindex.htm");
    EXPECT_NE(FailureMessage(h).find("simpleindex.htm"), std::string::npos);
  }
  {
    // A plain file named like a ride type: no folder is made and the copy fails.
    RunHarness h;
    WriteCollection(h);
    WriteFile(h.designs + "/Corkscrew", "the user's file");
    h.options.copy = true;
    EXPECT_NE(FailureMessage(h).find("Corkscrew"), std::string::npos);
    EXPECT_EQ(ReadFile(h.designs + "/Corkscrew"), "the user's file");
    for (const char* name : {"Alpha.td4", "BRAVO.TD4", "Charlie.td4", "Delta.td4", "Echo.td4"}) {
      EXPECT_TRUE(Exists(h.designs + "/" + name)) << name;
    }
  }
}

TEST(RunCatalogue, EmptiesALargeCatalogueQuickly) {
  RunHarness h;
  {
    CatalogueDatabase database;
    database.open(h.databaseFolder + "/velodex.mdb");
    RecordSet table = database.openTable("velodex");
    for (int i = 0; i < 100000; ++i) {
      table.addNew();
      table.setField("File_Name", "design" + std::to_string(i) + ".td4");
      table.setField("Ride_Name", "Wooden");
      table.update();
    }
    table.close();
  }
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(RunCatalogue(h.context()), RunOutcome::kEmptyFolder);
  const auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_TRUE(h.catalogueRows().empty());
  // The release build empties them in a fraction of a second; sanitized builds run several
  // times slower, and a shared machine adds more.
#if defined(__SANITIZE_ADDRESS__)
  constexpr auto kLimit = std::chrono::seconds(8);
#else
  constexpr auto kLimit = std::chrono::seconds(2);
#endif
  EXPECT_LT(elapsed, kLimit) << "emptying and compacting 100,000 rows";
}

}  // namespace
}  // namespace velodex
