// The catalogue run end to end on a folder of designs: every dispatch row's files on disk,
// the catalogue it leaves, its messages, its completion text and its failures.
#include "run/catalogue_run.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>

#include "catalogue/catalogue_database.h"
#include "catalogue/error.h"
#include "catalogue/file_system.h"
#include "tests/support/test_support.h"
#include "tools/design_encoder.h"

namespace velodex {
namespace {

using testing::PathIn;
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
  WriteDesignFile(PathIn(h.designs, "Alpha.td4"), p);
  p.ex = 60;
  WriteDesignFile(PathIn(h.designs, "BRAVO.TD4"), p);
  p.ex = 50;
  WriteDesignFile(PathIn(h.designs, "Charlie.td4"), p);
  p.rideTypeCode = 19;
  WriteDesignFile(PathIn(h.designs, "Delta.td4"), p);
  p.rideTypeCode = 21;
  WriteDesignFile(PathIn(h.designs, "Echo.td4"), p);
  WriteFile(PathIn(h.designs, "Alpha.tp4"), "alpha companion");
  WriteFile(PathIn(h.designs, "Echo.tp4"), "echo companion");
}

bool Exists(const std::string& path) { return fs::exists(path); }

// The status texts in the order shown, each once however often it was set again.
std::vector<std::string> Statuses(const std::vector<std::string>& events) {
  std::vector<std::string> statuses;
  for (const std::string& event : events) {
    if (event.rfind("set 3=", 0) == 0 && (statuses.empty() || statuses.back() != event.substr(6))) {
      statuses.push_back(event.substr(6));
    }
  }
  return statuses;
}

TEST(RunCatalogue, EachDispatchRowWritesItsPagesFoldersAndCopiesInOrder) {
  struct Case {
    bool separate, copy, hyperlinks;
    std::vector<std::string> writing;  // the status texts after "Reading Tracks"
  };
  const std::string kPages = "Writing Ride Type Files", kCopies = "Copying Files";
  const Case cases[] = {
      {false, false, false, {}},       {true, false, false, {kPages}},
      {false, true, false, {kCopies}}, {true, true, false, {kCopies, kPages}},
      {false, false, true, {}},        {true, false, true, {kPages}},
      {false, true, true, {kCopies}},  {true, true, true, {kPages, kCopies}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(2 * c.separate + 4 * c.copy + 16 * c.hyperlinks);
    RunHarness h;
    WriteCollection(h);
    h.options.separate = c.separate;
    h.options.copy = c.copy;
    h.options.hyperlinks = c.hyperlinks;
    h.options.ridesPerPageText = "2";
    h.options.columns.fill(true);
    h.options.explorer = true;

    EXPECT_EQ(RunCatalogue(h.context), RunOutcome::kCompleted);

    const std::string& d = h.designs;
    const bool folders = c.separate || c.copy;
    const std::string page = c.separate ? "rideindex.htm" : "simpleindex.htm";
    std::vector<std::string> statuses = {"Deleting Records", "Compacting Database",
                                         "Reading Tracks"};
    statuses.insert(statuses.end(), c.writing.begin(), c.writing.end());
    statuses.insert(statuses.end(), {"Done - ", "Done - Look at " + JoinPath(d, page) + " and " +
                                                    JoinPath(d, "explorer.htm")});
    EXPECT_EQ(Statuses(h.progress.events), statuses);
    // Each step's status shows at once.
    EXPECT_EQ(h.progress.events[1], "repaint 3");
    EXPECT_EQ(h.progress.events[3], "repaint 3");
    EXPECT_EQ(h.windows.moves, (std::vector<std::string>{"progress", "quit"}));
    EXPECT_EQ(h.windows.offeredPage, JoinPath(d, "explorer.htm"));
    EXPECT_NE(ReadFile(d + "/explorer.htm").find("\"name\":[\"Alpha.td4\","), std::string::npos);
    EXPECT_EQ(h.catalogueRows().size(), 5u);

    EXPECT_EQ(Exists(PathIn(d, "simpleindex.htm")), !c.separate);
    EXPECT_EQ(Exists(PathIn(d, "rideindex.htm")), c.separate);
    for (const char* type : {"Wooden", "Corkscrew", "Unknown"}) {
      EXPECT_EQ(fs::is_directory(d + "/" + type), folders) << type;
    }
    for (const char* typePage : {"/Wooden/Wooden0.htm", "/Wooden/Wooden2.htm",
                                 "/Corkscrew/Corkscrew.htm", "/Unknown/Unknown.htm"}) {
      EXPECT_EQ(Exists(d + typePage), c.separate) << typePage;
    }
    // Copies under the catalogue's spelling, companions except for unknown types; the
    // originals all stay.
    for (const char* copy : {"/Wooden/Alpha.td4", "/Wooden/BRAVO.td4", "/Wooden/Alpha.tp4",
                             "/Corkscrew/Delta.td4", "/Unknown/Echo.td4"}) {
      EXPECT_EQ(Exists(d + copy), c.copy) << copy;
    }
    EXPECT_FALSE(Exists(PathIn(d, "Unknown/Echo.tp4")));
    for (const char* name : {"Alpha.td4", "BRAVO.TD4", "Charlie.td4", "Delta.td4", "Echo.td4",
                             "Alpha.tp4", "Echo.tp4"}) {
      EXPECT_TRUE(Exists(d + "/" + name)) << name;
    }
  }
}

TEST(RunCatalogue, ReplacesEmptyTextsAndSortsAsTheButtonsSay) {
  RunHarness h;
  WriteCollection(h);
  h.options.ridesPerPageText = "";
  h.options.sortFieldText = "";
  h.options.columns[0] = true;
  RunCatalogue(h.context);
  EXPECT_EQ(h.options.ridesPerPage(), "10");
  EXPECT_EQ(h.options.sortField(), "Rating");
  // Descending by rating: Alpha (ex 7.0) first, then Bravo, Charlie/Delta/Echo.
  const std::string page = ReadFile(PathIn(h.designs, "simpleindex.htm"));
  EXPECT_LT(page.find("Alpha.td4"), page.find("BRAVO.td4"));

  // Every run starts from an empty catalogue.
  fs::remove(PathIn(h.designs, "Echo.td4"));
  h.options.descending = false;
  h.options.sortFieldText = "File_Name";
  RunCatalogue(h.context);
  EXPECT_EQ(h.catalogueRows().size(), 4u);
  const std::string ascending = ReadFile(PathIn(h.designs, "simpleindex.htm"));
  EXPECT_LT(ascending.find("Charlie.td4"), ascending.find("Delta.td4"));
  EXPECT_LT(ascending.find("Alpha.td4"), ascending.find("BRAVO.td4"));
}

TEST(RunCatalogue, AnUnhandledCodeShowsItsNumberThenCompletesWithAnEmptyCatalogue) {
  RunHarness h;
  WriteCollection(h);
  h.options.zip = true;
  h.options.copy = true;  // 12: the wizard cannot normally produce it
  EXPECT_EQ(RunCatalogue(h.context), RunOutcome::kUnhandledCode);
  ASSERT_EQ(h.prompts.messages.size(), 1u);
  EXPECT_EQ(h.prompts.messages[0].text, "12");
  EXPECT_EQ(h.prompts.messages[0].icon, MessageIcon::kInformation);
  EXPECT_EQ(h.progress.text(ProgressLabel::kStatus),
            "Done - Look at " + PathIn(h.designs, "rideindex.htm"));
  EXPECT_TRUE(h.catalogueRows().empty());
  EXPECT_FALSE(Exists(PathIn(h.designs, "rideindex.htm")));
}

TEST(RunCatalogue, LeavesOnlyTheCatalogueWhateverAnEarlierRunLeft) {
  // A leftover compacted copy is deleted; a copy left after the catalogue was deleted (a swap
  // that was interrupted) is put in place, unless it is not a whole catalogue.
  for (const char* left : {"copy beside the catalogue", "whole copy alone", "half a copy"}) {
    SCOPED_TRACE(left);
    RunHarness h;
    WriteCollection(h);
    const std::string catalogue = PathIn(h.databaseFolder, "velodex.mdb");
    const std::string copy = PathIn(h.databaseFolder, "velodex2.mdb");
    const std::string whole = ReadFile(catalogue);
    const bool half = std::string(left) == "half a copy";
    if (std::string(left) == "copy beside the catalogue") {
      WriteFile(copy, "left by an interrupted run");
    } else {
      fs::remove(catalogue);
      WriteFile(copy, half ? whole.substr(0, whole.size() / 3) : whole);
    }
    if (half) {
      EXPECT_THROW(RunCatalogue(h.context), Error);
      EXPECT_TRUE(Exists(copy));
      continue;
    }
    EXPECT_EQ(RunCatalogue(h.context), RunOutcome::kCompleted);
    // The one-run lock's file stays: removing it could race with the next run's lock.
    EXPECT_EQ(testing::ListFolder(h.databaseFolder),
              (std::vector<std::string>{"velodex.mdb", "velodex.mdb.lock"}));
    EXPECT_EQ(h.catalogueRows().size(), 5u);
  }
}

TEST(RunCatalogue, FailuresNameWhatFailedAndWhereAndKeepTheDesigns) {
  struct Case {
    const char* name;
    std::function<void(RunHarness&)> arrange;
    std::string named;  // in the message, after the harness's folder of designs
  };
  const Case cases[] = {
      {"no catalogue", [](RunHarness& h) { fs::remove(PathIn(h.databaseFolder, "velodex.mdb")); },
       "velodex.mdb"},
      {"no such column", [](RunHarness& h) { h.options.sortFieldText = "NoSuchColumn"; },
       "NoSuchColumn"},
      {"page name taken by a folder",
       [](RunHarness& h) { fs::create_directory(PathIn(h.designs, "simpleindex.htm")); },
       "simpleindex.htm"},
  };
  for (const Case& c : cases) {
    RunHarness h;
    WriteCollection(h);
    c.arrange(h);
    try {
      RunCatalogue(h.context);
      ADD_FAILURE() << c.name << ": no failure";
    } catch (const Error& e) {
      EXPECT_NE(std::string(e.what()).find(c.named), std::string::npos) << c.name << e.what();
    }
    for (const char* name : {"Alpha.td4", "BRAVO.TD4", "Charlie.td4", "Delta.td4", "Echo.td4"}) {
      EXPECT_TRUE(Exists(h.designs + "/" + name)) << c.name << name;
    }
  }
}

TEST(RunCatalogue, EmptiesALargeCatalogueQuickly) {
  RunHarness h;
  const auto filling = std::chrono::steady_clock::now();
  {
    CatalogueDatabase database;
    database.open(PathIn(h.databaseFolder, "velodex.mdb"));
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
  const auto fillTime = start - filling;
  EXPECT_EQ(RunCatalogue(h.context), RunOutcome::kEmptyFolder);
  const auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_TRUE(h.catalogueRows().empty());
  // Emptying the table in one statement and compacting takes well under a second; a
  // transaction per row takes minutes. The bound grows with the time the rows took to add on
  // this machine, so that a sanitized build, Wine or a busy machine does not fail it.
#if defined(__SANITIZE_ADDRESS__)
  constexpr std::chrono::nanoseconds kFloor = std::chrono::seconds(8);
#else
  constexpr std::chrono::nanoseconds kFloor = std::chrono::seconds(2);
#endif
  EXPECT_LT(elapsed, std::max(kFloor, 10 * fillTime)) << "emptying and compacting 100,000 rows";
}

}  // namespace
}  // namespace velodex
