#include "report/ride_type_pages.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "catalogue/error.h"
#include "catalogue/file_system.h"
#include "tests/report/report_fixtures.h"

namespace velodex {
namespace {

using testing::HeadStart;
using testing::kCreditLines;
using testing::Lines;
using testing::ListFolder;
using testing::ReadFile;
using testing::RecordingProgress;
using testing::TestCatalogue;

// Pages show the design name column only, so each row names its design.
const std::string kHeading = Lines({"<TD>Ride Name</TD></TR>"});

// Rows of the designs <prefix><from>.td4 to <prefix><to>.td4 (two-digit numbers), in order.
std::string NameRows(const std::string& prefix, int from, int to) {
  std::string rows;
  for (int i = from; i <= to; ++i) {
    rows += Lines(
        {"<TR>", "<TD>" + prefix + (i < 10 ? "0" : "") + std::to_string(i) + ".td4</TD>", "</TR>"});
  }
  return rows;
}

std::string SingleFoot(const std::string& indexTarget) {
  return Lines({"</table>", "<a href=\"" + indexTarget + "\">Main Index</a>", "<P>"}) +
         kCreditLines;
}

std::string PagedFoot(std::initializer_list<std::string> links) {
  return Lines({"</table>"}) + Lines(links) + Lines({"<p>"}) + kCreditLines;
}

// The page files in folder, sorted; the catalogue's own files are left out.
std::vector<std::string> Pages(const std::string& folder) {
  std::vector<std::string> pages;
  for (const auto& name : ListFolder(folder)) {
    if (name.ends_with(".htm")) pages.push_back(name);
  }
  return pages;
}

PlainRunOptions Options(const std::string& ridesPerPage, bool zip = false) {
  PlainRunOptions options;
  options.ridesPerPageText = ridesPerPage;
  options.columns[0] = true;
  options.sortFieldText = "Ex";
  options.descending = false;
  options.zip = zip;
  options.separate = true;
  return options;
}

struct PagesTest : ::testing::Test {
  // Makes the given ride type folders, then writes the pages.
  void write(const PlainRunOptions& options, const std::vector<std::string>& folders) {
    for (const auto& name : folders) std::filesystem::create_directory(catalogue.folder / name);
    WriteRideTypePages(options, progress, catalogue.folder.path(), catalogue.database);
  }
  std::string page(const std::string& relative) { return ReadFile(catalogue.folder / relative); }

  TestCatalogue catalogue;
  RecordingProgress progress;
};

TEST_F(PagesTest, TypeThatFillsOnePageGetsOnePageWithTheOrdinaryFoot) {
  catalogue.addNumbered("Wooden", "w", 3);
  write(Options("3"), {"Wooden"});
  EXPECT_EQ(Pages(catalogue.folder / "Wooden"), std::vector<std::string>{"Wooden.htm"});
  EXPECT_EQ(page("Wooden/Wooden.htm"),
            HeadStart("Wooden") + kHeading + NameRows("w", 1, 3) + SingleFoot("..\\rideindex.htm"));
}

TEST_F(PagesTest, OneDesignOverAPageGivesTwoPagesLinkedBothWays) {
  catalogue.addNumbered("Wooden", "w", 11);
  write(Options("10"), {"Wooden"});
  EXPECT_EQ(Pages(catalogue.folder / "Wooden"),
            (std::vector<std::string>{"Wooden0.htm", "Wooden10.htm"}));
  EXPECT_EQ(page("Wooden/Wooden0.htm"),
            HeadStart("Wooden") + kHeading + NameRows("w", 1, 10) +
                PagedFoot({"<a href=\"../rideindex.htm\">Main Index</a>",
                           "<a href=\"Wooden10.htm\">Next 10</a>"}));
  EXPECT_EQ(page("Wooden/Wooden10.htm"),
            HeadStart("Wooden") + kHeading + NameRows("w", 11, 11) +
                PagedFoot({"<a href=\"Wooden0.htm\">Previous 10</a>",
                           "<a href=\"../rideindex.htm\">Main Index</a>"}));
}

TEST_F(PagesTest, TwoFullPagesLeaveNoEmptyThirdPage) {
  catalogue.addNumbered("Wooden", "w", 4);
  write(Options("2"), {"Wooden"});
  EXPECT_EQ(Pages(catalogue.folder / "Wooden"),
            (std::vector<std::string>{"Wooden0.htm", "Wooden2.htm"}));
  EXPECT_EQ(page("Wooden/Wooden0.htm"),
            HeadStart("Wooden") + kHeading + NameRows("w", 1, 2) +
                PagedFoot({"<a href=\"../rideindex.htm\">Main Index</a>",
                           "<a href=\"Wooden2.htm\">Next 2</a>"}));
  EXPECT_EQ(page("Wooden/Wooden2.htm"),
            HeadStart("Wooden") + kHeading + NameRows("w", 3, 4) +
                PagedFoot({"<a href=\"Wooden0.htm\">Previous 2</a>",
                           "<a href=\"../rideindex.htm\">Main Index</a>"}));
}

TEST_F(PagesTest, MiddlePagesLinkBothWaysAndTheLastHoldsTheRest) {
  catalogue.addNumbered("Wooden", "w", 19);  // 3 x 5 + 4
  write(Options("5"), {"Wooden"});
  EXPECT_EQ(
      Pages(catalogue.folder / "Wooden"),
      (std::vector<std::string>{"Wooden0.htm", "Wooden10.htm", "Wooden15.htm", "Wooden5.htm"}));
  const std::string index = "<a href=\"../rideindex.htm\">Main Index</a>";
  EXPECT_EQ(page("Wooden/Wooden0.htm"),
            HeadStart("Wooden") + kHeading + NameRows("w", 1, 5) +
                PagedFoot({index, "<a href=\"Wooden5.htm\">Next 5</a>"}));
  EXPECT_EQ(page("Wooden/Wooden5.htm"),
            HeadStart("Wooden") + kHeading + NameRows("w", 6, 10) +
                PagedFoot({"<a href=\"Wooden0.htm\">Previous 5</a>", index,
                           "<a href=\"Wooden10.htm\">Next 5</a>"}));
  EXPECT_EQ(page("Wooden/Wooden10.htm"),
            HeadStart("Wooden") + kHeading + NameRows("w", 11, 15) +
                PagedFoot({"<a href=\"Wooden5.htm\">Previous 5</a>", index,
                           "<a href=\"Wooden15.htm\">Next 5</a>"}));
  EXPECT_EQ(page("Wooden/Wooden15.htm"),
            HeadStart("Wooden") + kHeading + NameRows("w", 16, 19) +
                PagedFoot({"<a href=\"Wooden10.htm\">Previous 5</a>", index}));
}

TEST_F(PagesTest, WithArchivesPagesLieInTheScanFolderAndLinkTheIndexBeside) {
  catalogue.addNumbered("Wooden", "w", 2);
  catalogue.addNumbered("Go_Karts", "g", 3);
  PlainRunOptions options = Options("2", true);
  options.columns[0] = false;
  write(options, {});
  EXPECT_EQ(Pages(catalogue.folder.path()),
            (std::vector<std::string>{"Go_Karts0.htm", "Go_Karts2.htm", "Wooden.htm"}));
  const std::string heading = Lines({"<TD>Author</TD><TD>Zip File Name</TD></TR>"});
  const std::string row =
      Lines({"<TR>", "<TD>Anonymous</TD><TD><a href=\"none\">none</a>"}) + "</TD></TR>\r\n";
  EXPECT_EQ(page("Wooden.htm"),
            HeadStart("Wooden") + heading + row + row + SingleFoot("rideindex.htm"));
  EXPECT_EQ(page("Go_Karts0.htm"), HeadStart("Go_Karts") + heading + row + row +
                                       PagedFoot({"<a href=\"rideindex.htm\">Main Index</a>",
                                                  "<a href=\"Go_Karts2.htm\">Next 2</a>"}));
  EXPECT_EQ(page("Go_Karts2.htm"), HeadStart("Go_Karts") + heading + row +
                                       PagedFoot({"<a href=\"Go_Karts0.htm\">Previous 2</a>",
                                                  "<a href=\"rideindex.htm\">Main Index</a>"}));
}

TEST_F(PagesTest, RowsFollowTheChosenSortFieldAndDirection) {
  catalogue.addNumbered("Wooden", "w", 3);
  PlainRunOptions options = Options("2");
  options.descending = true;
  write(options, {"Wooden"});
  const std::string descending =
      Lines({"<TR>", "<TD>w03.td4</TD>", "</TR>", "<TR>", "<TD>w02.td4</TD>", "</TR>"});
  EXPECT_EQ(page("Wooden/Wooden0.htm"),
            HeadStart("Wooden") + kHeading + descending +
                PagedFoot({"<a href=\"../rideindex.htm\">Main Index</a>",
                           "<a href=\"Wooden2.htm\">Next 2</a>"}));
  EXPECT_EQ(page("Wooden/Wooden2.htm"),
            HeadStart("Wooden") + kHeading + NameRows("w", 1, 1) +
                PagedFoot({"<a href=\"Wooden0.htm\">Previous 2</a>",
                           "<a href=\"../rideindex.htm\">Main Index</a>"}));
}

TEST_F(PagesTest, EachTypeGetsOnlyItsOwnDesigns) {
  catalogue.addNumbered("Wooden", "w", 2);
  catalogue.addNumbered("Steel_Wild_Mouse", "m", 1);
  write(Options("10"), {"Wooden", "Steel_Wild_Mouse"});
  EXPECT_EQ(page("Wooden/Wooden.htm"),
            HeadStart("Wooden") + kHeading + NameRows("w", 1, 2) + SingleFoot("..\\rideindex.htm"));
  EXPECT_EQ(page("Steel_Wild_Mouse/Steel_Wild_Mouse.htm"), HeadStart("Steel_Wild_Mouse") +
                                                               kHeading + NameRows("m", 1, 1) +
                                                               SingleFoot("..\\rideindex.htm"));
}

TEST_F(PagesTest, ShowsProgressPerTypeAndPerRowOfASinglePage) {
  catalogue.addNumbered("Wooden", "w", 2);
  write(Options("2"), {"Wooden"});
  EXPECT_EQ(progress.events,
            (std::vector<std::string>{"set 3=Writing Ride Type Files", "set 1=Wooden", "repaint 1",
                                      "set 2=2", "repaint 2", "set 2=1", "repaint 2", "set 2=2",
                                      "repaint 2"}));
}

TEST_F(PagesTest, MultiPageTypeKeepsShowingItsCount) {
  catalogue.addNumbered("Wooden", "w", 3);
  write(Options("2"), {"Wooden"});
  EXPECT_EQ(progress.events,
            (std::vector<std::string>{"set 3=Writing Ride Type Files", "set 1=Wooden", "repaint 1",
                                      "set 2=3", "repaint 2"}));
}

TEST_F(PagesTest, EmptyCatalogueWritesNoPage) {
  write(Options("10", true), {});
  EXPECT_EQ(Pages(catalogue.folder.path()), std::vector<std::string>{});
}

TEST_F(PagesTest, AMissingRideTypeFolderNamesThePage) {
  catalogue.addNumbered("Wooden", "w", 1);
  const std::string path = JoinPath(JoinPath(catalogue.folder.path(), "Wooden"), "Wooden.htm");
  try {
    write(Options("10"), {});
    FAIL() << "no error";
  } catch (const Error& error) {
    EXPECT_EQ(std::string(error.what()),
              "cannot write page '" + path + "': No such file or directory");
  }
}

TEST_F(PagesTest, ASortFieldThatIsNoColumnFails) {
  catalogue.addNumbered("Wooden", "w", 1);
  PlainRunOptions options = Options("10");
  options.sortFieldText = "Colour";
  EXPECT_THROW(write(options, {"Wooden"}), Error);
}

TEST_F(PagesTest, RidesPerPageBelowOneFails) {
  catalogue.addNumbered("Wooden", "w", 1);
  EXPECT_THROW(write(Options("0"), {"Wooden"}), Error);
  EXPECT_TRUE(Pages(catalogue.folder / "Wooden").empty());
}

TEST(WritePagedFoot, ChoosesTheLinksByThePagePosition) {
  struct Case {
    int firstRow;
    int isLastPage;
    bool zip;
    std::string links;
  };
  const std::vector<Case> cases = {
      {0, 0, false,
       Lines(
           {"<a href=\"../rideindex.htm\">Main Index</a>", "<a href=\"Wild12.htm\">Next 12</a>"})},
      // The first-page test comes first, whatever isLastPage says.
      {0, 1, false,
       Lines(
           {"<a href=\"../rideindex.htm\">Main Index</a>", "<a href=\"Wild12.htm\">Next 12</a>"})},
      {24, 1, false,
       Lines({"<a href=\"Wild12.htm\">Previous 12</a>",
              "<a href=\"../rideindex.htm\">Main Index</a>"})},
      {24, 0, true,
       Lines({"<a href=\"Wild12.htm\">Previous 12</a>", "<a href=\"rideindex.htm\">Main Index</a>",
              "<a href=\"Wild36.htm\">Next 12</a>"})},
      // Only 1 marks the last page.
      {12, 2, false,
       Lines({"<a href=\"Wild0.htm\">Previous 12</a>",
              "<a href=\"../rideindex.htm\">Main Index</a>",
              "<a href=\"Wild24.htm\">Next 12</a>"})},
  };
  for (const auto& c : cases) {
    testing::TempFolder folder;
    PlainRunOptions options;
    options.zip = c.zip;
    PageFile page(folder / "p.htm");
    WritePagedFoot(page, options, "Wild", c.firstRow, 12, c.isLastPage);
    page.close();
    EXPECT_EQ(ReadFile(folder / "p.htm"), "</table>\r\n" + c.links + "<p>\r\n" + kCreditLines)
        << "firstRow " << c.firstRow << ", isLastPage " << c.isLastPage;
  }
}

}  // namespace
}  // namespace velodex
