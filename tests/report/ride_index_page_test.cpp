#include "report/ride_index_page.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "catalogue/error.h"
#include "catalogue/file_system.h"
#include "tests/report/report_fixtures.h"

namespace velodex {
namespace {

using testing::kPlainFoot;
using testing::Lines;
using testing::ReadFile;
using testing::TestCatalogue;

const std::string kIndexHead =
    Lines({"<html><head><title>Rides Index</title></head><body>", "<table border=1>", "<TR>",
           "<TD>Ride Type</TD><TD>Number of Rides</TD></TR>"});

// The eight lines of one ride type; countLine is written out as the page must hold it.
std::string TypeRows(const std::string& name, const std::string& target,
                     const std::string& countLine) {
  return Lines({"<TR>", "<TD>", "<a href=\"" + target + "\">" + name + "</a>", "</TD>", "<TD>",
                countLine, "</TD>", "</TR>"});
}

// The ride type names in the order the catalogue's RideTypeQuery gives them.
std::vector<std::string> QueryOrder(CatalogueDatabase& database) {
  std::vector<std::string> names;
  RecordSet rows = database.openStoredQuery("RideTypeQuery");
  for (; !rows.atEnd(); rows.moveNext()) names.push_back(rows.field("Ride_Name").text());
  return names;
}

std::string IndexPage(TestCatalogue& catalogue, const PlainRunOptions& options) {
  WriteRideIndexPage(options, catalogue.folder.path(), catalogue.database);
  return ReadFile(catalogue.folder / "rideindex.htm");
}

TEST(WriteRideIndexPage, EmptyCatalogueGivesTheHeadAndTheFoot) {
  TestCatalogue catalogue;
  EXPECT_EQ(IndexPage(catalogue, PlainRunOptions{}), kIndexHead + kPlainFoot);
}

TEST(WriteRideIndexPage, LinksEachTypeToTheFirstPageOfItsSet) {
  // p = 10: 10 designs fit on one page, 11 do not; 5 and 12 give the count lines.
  TestCatalogue catalogue;
  catalogue.addNumbered("Wooden", "w", 10);
  catalogue.addNumbered("Steel_Wild_Mouse", "m", 11);
  catalogue.addNumbered("Go_Karts", "g", 5);
  catalogue.addNumbered("Unknown", "u", 12);

  struct Case {
    bool zip;
    std::map<std::string, std::string> rows;
  };
  const std::vector<Case> cases = {
      {false,
       {{"Wooden", TypeRows("Wooden", "Wooden/Wooden.htm", " 10 ")},
        {"Steel_Wild_Mouse",
         TypeRows("Steel_Wild_Mouse", "Steel_Wild_Mouse/Steel_Wild_Mouse0.htm", " 11 ")},
        {"Go_Karts", TypeRows("Go_Karts", "Go_Karts/Go_Karts.htm", " 5 ")},
        {"Unknown", TypeRows("Unknown", "Unknown/Unknown0.htm", " 12 ")}}},
      {true,
       {{"Wooden", TypeRows("Wooden", "Wooden.htm", " 10 ")},
        {"Steel_Wild_Mouse", TypeRows("Steel_Wild_Mouse", "Steel_Wild_Mouse0.htm", " 11 ")},
        {"Go_Karts", TypeRows("Go_Karts", "Go_Karts.htm", " 5 ")},
        {"Unknown", TypeRows("Unknown", "Unknown0.htm", " 12 ")}}},
  };
  const std::vector<std::string> order = QueryOrder(catalogue.database);
  ASSERT_EQ(order.size(), 4u);
  for (const auto& c : cases) {
    PlainRunOptions options;
    options.zip = c.zip;
    options.columns[0] = true;  // the index page has its own head: no heading cells
    std::string expected = kIndexHead;
    for (const auto& name : order) expected += c.rows.at(name);
    expected += kPlainFoot;
    EXPECT_EQ(IndexPage(catalogue, options), expected) << "zip " << c.zip;
  }
}

TEST(WriteRideIndexPage, ReadsRidesPerPageAsAWholeNumber) {
  TestCatalogue catalogue;
  catalogue.addNumbered("Wooden", "w", 3);
  struct Case {
    std::string ridesPerPage;
    std::string target;
  };
  const std::vector<Case> cases = {
      {"3", "Wooden/Wooden.htm"},   {"2", "Wooden/Wooden0.htm"},    {" 3 ", "Wooden/Wooden.htm"},
      {"+2", "Wooden/Wooden0.htm"}, {"32767", "Wooden/Wooden.htm"}, {"1", "Wooden/Wooden0.htm"},
  };
  for (const auto& c : cases) {
    PlainRunOptions options;
    options.ridesPerPageText = c.ridesPerPage;
    EXPECT_EQ(IndexPage(catalogue, options),
              kIndexHead + TypeRows("Wooden", c.target, " 3 ") + kPlainFoot)
        << "rides per page '" << c.ridesPerPage << "'";
  }
}

TEST(WriteRideIndexPage, RejectsRidesPerPageThatIsNoPageSizeBeforeWriting) {
  TestCatalogue catalogue;
  catalogue.addNumbered("Wooden", "w", 1);
  for (const std::string text : {"", "abc", "0", "-5", "32768", "10.5", "1e3", "12 x"}) {
    PlainRunOptions options;
    options.ridesPerPageText = text;
    try {
      WriteRideIndexPage(options, catalogue.folder.path(), catalogue.database);
      ADD_FAILURE() << "no error for '" << text << "'";
    } catch (const Error& error) {
      EXPECT_EQ(std::string(error.what()),
                "rides per page '" + text + "' is not a whole number from 1 to 32767");
    }
    EXPECT_FALSE(FileExists(catalogue.folder / "rideindex.htm")) << text;
  }
}

TEST(WriteRideIndexPage, APageThatCannotBeCreatedNamesItsPath) {
  TestCatalogue catalogue;
  const std::string folder = catalogue.folder / "gone";
  try {
    WriteRideIndexPage(PlainRunOptions{}, folder, catalogue.database);
    FAIL() << "no error";
  } catch (const Error& error) {
    EXPECT_EQ(std::string(error.what()), "cannot write page '" + folder + kPathSeparator +
                                             "rideindex.htm': No such file or directory");
  }
}

}  // namespace
}  // namespace velodex
