// The design rows of the ride type pages (WriteRideRow) and the single sorted page.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "report/ride_row.h"
#include "report/simple_index_page.h"
#include "tests/report/report_fixtures.h"

namespace velodex {
namespace {

using testing::Head;
using testing::kCopy;
using testing::kHyperlinks;
using testing::kPlainFoot;
using testing::kZip;
using testing::Lines;
using testing::Options;
using testing::Row;
using testing::TestCatalogue;

// A design whose name, archive and author carry markup and link syntax, and how they must
// reach a page: as text, as the target naming the file (on disk, or its copy), as the
// archive cells.
const Row kHostile = {{"File_Name", "<i>\"x\"&#?%.td4"},
                      {"Disk_Name", "<i>\"x\"&#?%.TD4"},
                      {"Author", "<script>alert(1)</script>"},
                      {"Alink", "javascript:alert(1)"},
                      {"zipfilename", "a&b \"1\"#?.zip"}};
const std::string kHostileText = "&lt;i&gt;&quot;x&quot;&amp;#?%.td4";
const std::string kHostileTarget = "&lt;i&gt;%22x%22&amp;%23%3F%25.TD4";
const std::string kHostileCopyTarget = "&lt;i&gt;%22x%22&amp;%23%3F%25.td4";
const std::string kHostileArchive =
    "<TD>&lt;script&gt;alert(1)&lt;/script&gt;</TD>"
    "<TD><a href=\"a&amp;b %221%22%23%3F.zip\">a&amp;b &quot;1&quot;#?.zip</a>";

std::string RowText(const Row& design, const PlainRunOptions& options) {
  TestCatalogue catalogue;
  catalogue.add(design);
  RecordSet rows = catalogue.database.openQuery("SELECT * From velodex;");
  PageFile page(catalogue.folder / "page.htm");
  WriteRideRow(page, options, rows);
  page.close();
  EXPECT_FALSE(rows.atEnd()) << "the writer moved the rows";
  return testing::ReadFile(catalogue.folder / "page.htm");
}

// The row of a design by Ann from p.zip with only the archive cells, the author cell given.
std::string AuthorRow(const std::string& authorCell) {
  return "<TR>\r\n" + authorCell + "</TD><TD><a href=\"p.zip\">p.zip</a>\r\n</TD></TR>\r\n";
}

TEST(WriteRideRow, WritesTheSwitchedOnCellsAsTheSwitchesSay) {
  struct Case {
    Row design;
    PlainRunOptions options;
    std::string expected;
  };
  const Row big = {{"File_Name", "Big Loop.td4"}, {"Disk_Name", "Big Loop.TD4"}};
  const auto by = [](const char* alink) {
    return Row{{"Author", "Ann"}, {"Alink", alink}, {"zipfilename", "p.zip"}};
  };
  // clang-format off
  const std::vector<Case> cases = {
      {{}, Options({}), Lines({"<TR>", "</TR>"})},
      {big, Options({0}, kCopy), Lines({"<TR>", "<TD>Big Loop.td4</TD>", "</TR>"})},
      {big, Options({0}, kHyperlinks),
       Lines({"<TR>", "<TD>", "<a href=\"../Big Loop.TD4\">Big Loop.td4</a>", "</TD>", "</TR>"})},
      {{}, Options({0}, kHyperlinks),  // a row of an earlier catalogue, without Disk_Name
       Lines({"<TR>", "<TD>", "<a href=\"../loop.td4\">loop.td4</a>", "</TD>", "</TR>"})},
      {big, Options({0}, kHyperlinks | kCopy),
       Lines({"<TR>", "<TD>", "<a href=\"Big Loop.td4\">Big Loop.td4</a>", "</TD>", "</TR>"})},
      {{{"File_Name", "x.td4"}, {"Ride_Type", "Steel_Wild_Mouse"}, {"Max_Speed", 101.25f},
        {"Avg_Speed", 45.0f}, {"Ride_Length", 892.388427734375f}, {"PosGs", 3.84f},
        {"NegGs", -1.28f}, {"LatGs", 0.96f}, {"Invs", 0}, {"Drops", 7}, {"Max_Drop_Height", 33},
        {"Ex", 6.5f}, {"Int", 7.25f}, {"Na", 4.0f}},
       Options({0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13}),
       Lines({"<TR>", "<TD>x.td4</TD>", "<TD>Steel_Wild_Mouse</TD>", "<TD>101.25</TD>",
              "<TD>45</TD>", "<TD>892.3884</TD>", "<TD>3.84</TD>", "<TD>-1.28</TD>",
              "<TD>0.96</TD>", "<TD>0</TD>", "<TD>7</TD>", "<TD>33</TD>", "<TD>6.5</TD>",
              "<TD>7.25</TD>", "<TD>4</TD>", "</TR>"})},
      {{{"Drops", 3}, {"zipfilename", "p.zip"}}, Options({0, 9}, kZip),
       Lines({"<TR>", "<TD>loop.td4</TD>", "<TD>3</TD>",
              "<TD>Anonymous</TD><TD><a href=\"p.zip\">p.zip</a>", "</TD></TR>"})},
      {by("none"), Options({}, kZip), AuthorRow("<TD>Ann")},
      {by("None"), Options({}, kZip), AuthorRow("<TD><a href=\"None\">Ann</a>\r\n")},
      {by("HTTP://a.org/?b=1&c"), Options({}, kZip),
       AuthorRow("<TD><a href=\"HTTP://a.org/?b=1&amp;c\">Ann</a>\r\n")},
      {by("ann@example.org"), Options({}, kZip),
       AuthorRow("<TD><a href=\"mailto:ann@example.org\">Ann</a>\r\n")},
      {by("\"@"), Options({}, kZip), AuthorRow("<TD><a href=\"mailto:&quot;@\">Ann</a>\r\n")},
      // A link that would run script is written as "none" is.
      {by("java\tscript:alert('@')"), Options({}, kZip), AuthorRow("<TD>Ann")},
      {kHostile, Options({0}), Lines({"<TR>", "<TD>" + kHostileText + "</TD>", "</TR>"})},
      {kHostile, Options({0, 1}, kZip | kHyperlinks),
       Lines({"<TR>", "<TD>", "<a href=\"../" + kHostileTarget + "\">" + kHostileText + "</a>",
              "</TD>", "<TD>Wooden</TD>", kHostileArchive, "</TD></TR>"})}};
  // clang-format on
  for (const auto& c : cases) EXPECT_EQ(RowText(c.design, c.options), c.expected);
}

const std::string kTitle = "Roller Coaster Specifications";

// The sorted list page of catalogue sorted by Ex, descending.
std::string SpecificationPage(TestCatalogue& catalogue, const PlainRunOptions& options) {
  RecordSet rows = catalogue.database.openQuery("SELECT * From velodex ORDER BY Ex DESC;");
  WriteSpecificationPage(options, catalogue.folder / "simpleindex.htm", rows);
  return testing::ReadFile(catalogue.folder / "simpleindex.htm");
}

TEST(WriteSpecificationPage, NameCellIsChosenByTheOptionCode) {
  TestCatalogue catalogue;
  catalogue.add(kHostile);
  const std::string text = Lines({kHostileText});
  const std::string link = Lines({"<a href=\"" + kHostileTarget + "\">" + kHostileText + "</a>"});
  // Codes 2 and 18 never reach this page; they follow the same hyperlink and copy switches.
  const std::vector<std::pair<int, std::string>> cases = {
      {0, text},
      {4, text},
      {2, text},
      {16, link},
      {18, link},
      {20, Lines({"<a href=\"Wooden/" + kHostileCopyTarget + "\">" + kHostileText + "</a>"})}};
  for (const auto& [code, contentLine] : cases) {
    PlainRunOptions options = Options({0}, (code & 16 ? kHyperlinks : 0) | (code & 4 ? kCopy : 0));
    options.separate = (code & 2) != 0;
    EXPECT_EQ(SpecificationPage(catalogue, options), Head(kTitle, "<TD>Ride Name</TD></TR>") +
                                                         Lines({"<TR>", "<TD>"}) + contentLine +
                                                         Lines({"</TD>", "</TR>"}) + kPlainFoot)
        << "option code " << code;
  }
  EXPECT_EQ(SpecificationPage(catalogue, Options({0}, kZip)),
            Head(kTitle, "<TD>Ride Name</TD><TD>Author</TD><TD>Zip File Name</TD></TR>") +
                Lines({"<TR>", "<TD>"}) + text + Lines({"</TD>", kHostileArchive, "</TD></TR>"}) +
                kPlainFoot);
}

TEST(WriteSpecificationPage, WritesEveryDesignInSortOrderWithOnlyTheSwitchedOnCells) {
  // designs w01.td4 ... with the excitement 1, 2 ..., sorted by Ex descending
  const std::vector<std::tuple<int, PlainRunOptions, std::string>> cases = {
      {2, Options({0, 11}),
       Head(kTitle, "<TD>Ride Name</TD><TD>Excitement</TD></TR>") +
           Lines({"<TR>", "<TD>", "w02.td4", "</TD>", "<TD>2</TD>", "</TR>"}) +
           Lines({"<TR>", "<TD>", "w01.td4", "</TD>", "<TD>1</TD>", "</TR>"})},
      {1, Options({8}, kHyperlinks | kCopy),
       Head(kTitle, "<TD>Invs</TD></TR>") + Lines({"<TR>", "<TD></TD>", "</TR>"})},
      {2, Options({}), Head(kTitle, "</TR>") + Lines({"<TR>", "</TR>", "<TR>", "</TR>"})},
      {0, Options({0}), Head(kTitle, "<TD>Ride Name</TD></TR>")}};
  for (const auto& [designs, options, expected] : cases) {
    TestCatalogue catalogue;
    catalogue.addNumbered("Wooden", "w", designs);
    EXPECT_EQ(SpecificationPage(catalogue, options), expected + kPlainFoot) << designs;
  }
}

}  // namespace
}  // namespace velodex
