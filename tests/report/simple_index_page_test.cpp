#include "report/simple_index_page.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "catalogue/error.h"
#include "tests/report/report_fixtures.h"

namespace velodex {
namespace {

using testing::Design;
using testing::HeadStart;
using testing::kPlainFoot;
using testing::Lines;
using testing::ReadFile;
using testing::TestCatalogue;

const std::string kTitle = "Roller Coaster Specifications";

// Writes the page for the catalogue sorted by sortClause and returns its text.
std::string PageFor(TestCatalogue& catalogue, const PlainRunOptions& options,
                    const std::string& sortClause = "Ex DESC") {
  RecordSet rows =
      catalogue.database.openQuery("SELECT * From velodex ORDER BY " + sortClause + ";");
  const std::string path = catalogue.folder / "simpleindex.htm";
  WriteSpecificationPage(options, path, rows);
  return ReadFile(path);
}

TEST(WriteSpecificationPage, WritesEveryDesignInSortOrderBetweenHeadAndFoot) {
  TestCatalogue catalogue;
  Design low;
  low.fileName = "low.td4";
  low.ex = 2.5f;
  Design high;
  high.fileName = "high.td4";
  high.ex = 7.75f;
  catalogue.add(low);
  catalogue.add(high);
  PlainRunOptions options;
  options.columns[0] = true;
  options.columns[11] = true;

  const std::string head =
      HeadStart(kTitle) + Lines({"<TD>Ride Name</TD><TD>Excitement</TD></TR>"});
  EXPECT_EQ(PageFor(catalogue, options, "Ex DESC"),
            head +
                Lines({"<TR>", "<TD>", "high.td4", "</TD>", "<TD>7.75</TD>", "</TR>",  //
                       "<TR>", "<TD>", "low.td4", "</TD>", "<TD>2.5</TD>", "</TR>"}) +
                kPlainFoot);
  EXPECT_EQ(PageFor(catalogue, options, "Ex ASC"),
            head +
                Lines({"<TR>", "<TD>", "low.td4", "</TD>", "<TD>2.5</TD>", "</TR>",  //
                       "<TR>", "<TD>", "high.td4", "</TD>", "<TD>7.75</TD>", "</TR>"}) +
                kPlainFoot);
}

TEST(WriteSpecificationPage, NameCellIsChosenByTheOptionCode) {
  struct Case {
    int code;
    std::string contentLine;
  };
  const std::vector<Case> cases = {
      {0, "Loop.td4"},
      {4, "Loop.td4"},
      {8, "Loop.td4"},
      {16, "<a href=\"Loop.td4\">Loop.td4</a>"},
      {20, "<a href=\"Wooden/Loop.td4\">Loop.td4</a>"},
      // Codes the run never sends here follow the same hyperlink and copy switches.
      {2, "Loop.td4"},
      {18, "<a href=\"Loop.td4\">Loop.td4</a>"},
  };
  TestCatalogue catalogue;
  Design design;
  design.fileName = "Loop.td4";
  design.rideName = "Wooden";
  catalogue.add(design);
  for (const auto& c : cases) {
    PlainRunOptions options;
    options.columns[0] = true;
    options.separate = (c.code & 2) != 0;
    options.copy = (c.code & 4) != 0;
    options.zip = (c.code & 8) != 0;
    options.hyperlinks = (c.code & 16) != 0;
    const std::string heading = options.zip
                                    ? "<TD>Ride Name</TD><TD>Author</TD><TD>Zip File Name</TD></TR>"
                                    : "<TD>Ride Name</TD></TR>";
    const std::string archiveCells =
        options.zip ? Lines({"<TD>Anonymous</TD><TD><a href=\"none\">none</a>"}) + "</TD>" : "";
    EXPECT_EQ(PageFor(catalogue, options),
              HeadStart(kTitle) + Lines({heading, "<TR>", "<TD>", c.contentLine, "</TD>"}) +
                  archiveCells + Lines({"</TR>"}) + kPlainFoot)
        << "option code " << c.code;
  }
}

TEST(WriteSpecificationPage, ColumnZeroOffWritesNoNameCell) {
  TestCatalogue catalogue;
  Design design;
  design.drops = 3;
  catalogue.add(design);
  PlainRunOptions options;
  options.hyperlinks = true;
  options.copy = true;
  options.columns[9] = true;
  EXPECT_EQ(PageFor(catalogue, options),
            HeadStart(kTitle) + Lines({"<TD>Drops</TD></TR>", "<TR>", "<TD>3</TD>", "</TR>"}) +
                kPlainFoot);
}

TEST(WriteSpecificationPage, NoColumnGivesEmptyRows) {
  TestCatalogue catalogue;
  catalogue.addNumbered("Wooden", "w", 2);
  EXPECT_EQ(PageFor(catalogue, PlainRunOptions{}),
            HeadStart(kTitle) + Lines({"</TR>", "<TR>", "</TR>", "<TR>", "</TR>"}) + kPlainFoot);
}

TEST(WriteSpecificationPage, EmptyCatalogueGivesHeadAndFootOnly) {
  TestCatalogue catalogue;
  PlainRunOptions options;
  options.columns[0] = true;
  EXPECT_EQ(PageFor(catalogue, options),
            HeadStart(kTitle) + Lines({"<TD>Ride Name</TD></TR>"}) + kPlainFoot);
}

TEST(WriteSpecificationPage, ReplacesAnOlderPage) {
  TestCatalogue catalogue;
  testing::WriteFile(catalogue.folder / "simpleindex.htm", std::string(5000, 'x'));
  EXPECT_EQ(PageFor(catalogue, PlainRunOptions{}),
            HeadStart(kTitle) + Lines({"</TR>"}) + kPlainFoot);
}

TEST(WriteSpecificationPage, APageThatCannotBeCreatedNamesItsPath) {
  TestCatalogue catalogue;
  RecordSet rows = catalogue.database.openQuery("SELECT * From velodex ORDER BY Rating DESC;");
  const std::string path = catalogue.folder / "gone/simpleindex.htm";
  try {
    WriteSpecificationPage(PlainRunOptions{}, path, rows);
    FAIL() << "no error";
  } catch (const Error& error) {
    EXPECT_EQ(std::string(error.what()),
              "cannot write page '" + path + "': No such file or directory");
  }
}

}  // namespace
}  // namespace velodex
