#include "report/ride_row.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "catalogue/error.h"
#include "tests/report/report_fixtures.h"

namespace velodex {
namespace {

using testing::Design;
using testing::Lines;
using testing::ReadFile;
using testing::TestCatalogue;

// The row WriteRideRow writes for the only design of a fresh catalogue.
std::string RowText(const Design& design, const PlainRunOptions& options) {
  TestCatalogue catalogue;
  catalogue.add(design);
  RecordSet rows = catalogue.database.openQuery("SELECT * From velodex ORDER BY Rating DESC;");
  const std::string path = catalogue.folder / "page.htm";
  PageFile page(path);
  WriteRideRow(page, options, rows);
  page.close();
  EXPECT_FALSE(rows.atEnd()) << "the writer moved the rows";
  return ReadFile(path);
}

PlainRunOptions WithColumns(std::initializer_list<int> columns) {
  PlainRunOptions options;
  for (int i : columns) options.columns[static_cast<size_t>(i)] = true;
  return options;
}

TEST(WriteRideRow, NoColumnWritesAnEmptyRow) {
  EXPECT_EQ(RowText(Design{}, PlainRunOptions{}), "<TR>\r\n</TR>\r\n");
}

TEST(WriteRideRow, NameCellFollowsTheHyperlinkAndCopySwitches) {
  struct Case {
    bool hyperlinks;
    bool copy;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {false, false, Lines({"<TR>", "<TD>Big Loop.td4</TD>", "</TR>"})},
      {false, true, Lines({"<TR>", "<TD>Big Loop.td4</TD>", "</TR>"})},
      {true, false,
       Lines({"<TR>", "<TD>", "<a href=\"../Big Loop.td4\">Big Loop.td4</a>", "</TD>", "</TR>"})},
      {true, true,
       Lines({"<TR>", "<TD>", "<a href=\"Big Loop.td4\">Big Loop.td4</a>", "</TD>", "</TR>"})},
  };
  Design design;
  design.fileName = "Big Loop.td4";
  for (const auto& c : cases) {
    PlainRunOptions options = WithColumns({0});
    options.hyperlinks = c.hyperlinks;
    options.copy = c.copy;
    EXPECT_EQ(RowText(design, options), c.expected)
        << "hyperlinks " << c.hyperlinks << ", copy " << c.copy;
  }
}

TEST(WriteRideRow, WritesEveryColumnInIndexOrder) {
  Design design;
  design.fileName = "x.td4";
  design.rideName = "Steel_Wild_Mouse";
  design.rideType = "Steel_Wild_Mouse";
  design.maxSpeed = 101.25f;
  design.avgSpeed = 45.0f;
  design.rideLength = 892.388427734375f;
  design.posGs = 3.84f;
  design.negGs = -1.28f;
  design.latGs = 0.96f;
  design.invs = 0;
  design.drops = 7;
  design.maxDropHeight = 33;
  design.ex = 6.5f;
  design.intensity = 7.25f;
  design.na = 4.0f;
  const std::string expected = Lines({
      "<TR>",
      "<TD>x.td4</TD>",
      "<TD>Steel_Wild_Mouse</TD>",
      "<TD>101.25</TD>",
      "<TD>45</TD>",
      "<TD>892.3884</TD>",
      "<TD>3.84</TD>",
      "<TD>-1.28</TD>",
      "<TD>0.96</TD>",
      "<TD>0</TD>",
      "<TD>7</TD>",
      "<TD>33</TD>",
      "<TD>6.5</TD>",
      "<TD>7.25</TD>",
      "<TD>4</TD>",
      "</TR>",
  });
  EXPECT_EQ(RowText(design, WithColumns({0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13})), expected);
}

TEST(WriteRideRow, ArchiveCellsShareLinesAsTheAuthorLinkDecides) {
  struct Case {
    std::string alink;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"none",
       Lines({"<TR>", "<TD>Ann</TD><TD><a href=\"pack.zip\">pack.zip</a>"}) + "</TD></TR>\r\n"},
      {"None", Lines({"<TR>", "<TD><a href=\"None\">Ann</a>",
                      "</TD><TD><a href=\"pack.zip\">pack.zip</a>"}) +
                   "</TD></TR>\r\n"},
      {"http://ann.example.org/", Lines({"<TR>", "<TD><a href=\"http://ann.example.org/\">Ann</a>",
                                         "</TD><TD><a href=\"pack.zip\">pack.zip</a>"}) +
                                      "</TD></TR>\r\n"},
      {"ann@example.org", Lines({"<TR>", "<TD><a href=\"mailto:ann@example.org\">Ann</a>",
                                 "</TD><TD><a href=\"pack.zip\">pack.zip</a>"}) +
                              "</TD></TR>\r\n"},
      {"@", Lines({"<TR>", "<TD><a href=\"mailto:@\">Ann</a>",
                   "</TD><TD><a href=\"pack.zip\">pack.zip</a>"}) +
                "</TD></TR>\r\n"},
  };
  Design design;
  design.author = "Ann";
  design.zipFileName = "pack.zip";
  PlainRunOptions options;
  options.zip = true;
  for (const auto& c : cases) {
    design.alink = c.alink;
    EXPECT_EQ(RowText(design, options), c.expected) << "Alink " << c.alink;
  }
}

TEST(WriteRideRow, ArchiveCellsFollowTheColumns) {
  Design design;
  design.fileName = "a.td4";
  design.maxSpeed = 50.5f;
  design.zipFileName = "p.zip";
  PlainRunOptions options = WithColumns({0, 2});
  options.zip = true;
  EXPECT_EQ(RowText(design, options),
            Lines({"<TR>", "<TD>a.td4</TD>", "<TD>50.5</TD>",
                   "<TD>Anonymous</TD><TD><a href=\"p.zip\">p.zip</a>", "</TD></TR>"}));
}

TEST(WriteRideRow, ValuesReachThePageUnescaped) {
  Design design;
  design.fileName = "<b>&amp;.td4";
  design.rideType = "A&B";
  design.author = "\"Q\" <q>";
  design.zipFileName = "a&b.zip";
  PlainRunOptions options = WithColumns({0, 1});
  options.zip = true;
  EXPECT_EQ(RowText(design, options),
            Lines({"<TR>", "<TD><b>&amp;.td4</TD>", "<TD>A&B</TD>",
                   "<TD>\"Q\" <q></TD><TD><a href=\"a&b.zip\">a&b.zip</a>", "</TD></TR>"}));
}

TEST(WriteRideRow, AMissingFieldIsAnError) {
  TestCatalogue catalogue;
  catalogue.add(Design{});
  RecordSet rows =
      catalogue.database.openQuery("SELECT File_Name From velodex ORDER BY File_Name ASC;");
  PageFile page(catalogue.folder / "page.htm");
  EXPECT_THROW(WriteRideRow(page, WithColumns({0, 1}), rows), Error);
}

}  // namespace
}  // namespace velodex
