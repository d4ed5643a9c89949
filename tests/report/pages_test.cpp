// The pages of a report separated by ride type: the ride index and each type's page set.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "catalogue/file_system.h"
#include "report/ride_index_page.h"
#include "report/ride_type_pages.h"
#include "tests/report/report_fixtures.h"

namespace velodex {
namespace {

namespace fs = std::filesystem;
using testing::kCreditLines;
using testing::kPlainFoot;
using testing::kSeparate;
using testing::kZip;
using testing::Lines;
using testing::Options;
using testing::TestCatalogue;

// The page files under folder, relative to it, sorted.
std::vector<std::string> Pages(const std::string& folder) {
  std::vector<std::string> pages;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    if (entry.path().extension() == ".htm") {
      pages.push_back(entry.path().lexically_relative(folder).generic_string());
    }
  }
  std::sort(pages.begin(), pages.end());
  return pages;
}

TEST(WriteRideIndexPage, LinksEachTypeToTheFirstPageOfItsSetInNameOrder) {
  // With 10 rides per page, 10 designs fit on one page and 11 do not.
  const auto row = [](const std::string& name, const std::string& target, const char* count) {
    return Lines({"<TR>", "<TD>", "<a href=\"" + target + "\">" + name + "</a>", "</TD>", "<TD>",
                  count, "</TD>", "</TR>"});
  };
  // with designs, switches, the ride type rows
  const std::vector<std::tuple<bool, int, std::string>> cases = {
      {true, 0,
       row("Go_Karts", "Go_Karts/Go_Karts.htm", " 5 ") +
           row("Steel_Wild_Mouse", "Steel_Wild_Mouse/Steel_Wild_Mouse0.htm", " 11 ") +
           row("Wooden", "Wooden/Wooden.htm", " 10 ")},
      {true, kZip,
       row("Go_Karts", "Go_Karts.htm", " 5 ") +
           row("Steel_Wild_Mouse", "Steel_Wild_Mouse0.htm", " 11 ") +
           row("Wooden", "Wooden.htm", " 10 ")},
      {false, 0, ""}};
  for (const auto& [designs, switches, rows] : cases) {
    TestCatalogue catalogue;
    for (const auto& [name, count] :
         {std::pair{"Wooden", 10}, {"Steel_Wild_Mouse", 11}, {"Go_Karts", 5}}) {
      if (designs) catalogue.addNumbered(name, "d", count);
    }
    // Columns are on, yet the index page has its own head without heading cells.
    WriteRideIndexPage(Options({0}, switches), catalogue.folder.path(), catalogue.database);
    EXPECT_EQ(testing::ReadFile(catalogue.folder / "rideindex.htm"),
              Lines({"<html><head><title>Rides Index</title></head><body>", "<table border=1>",
                     "<TR>", "<TD>Ride Type</TD><TD>Number of Rides</TD></TR>"}) +
                  rows + kPlainFoot);
  }
}

// Row k (from 1) of the type Wooden of n designs w01.td4 ... sorted by Ex: the design name
// cell, and with archives the author and archive cells.
std::string NameRow(int k, int n, bool descending, bool zip) {
  const int i = descending ? n + 1 - k : k;
  const std::string cell =
      "<TD>w" + std::string(i < 10 ? "0" : "") + std::to_string(i) + ".td4</TD>";
  if (!zip) return Lines({"<TR>", cell, "</TR>"});
  return Lines({"<TR>", cell, "<TD>Anonymous</TD><TD><a href=\"none\">none</a>", "</TD></TR>"});
}

// The foot of a Wooden page: "" the ordinary foot with its index link, else the paged foot
// with the links named in order, "<" Previous, "i" Main Index, ">" Next.
std::string Foot(const std::string& links, int firstRow, int p, bool zip) {
  const std::string index = zip ? "rideindex.htm" : "../rideindex.htm";
  if (links.empty()) {
    return Lines({"</table>",
                  zip ? "<a href=\"rideindex.htm\">Main Index</a>"
                      : "<a href=\"..\\rideindex.htm\">Main Index</a>",
                  "<P>"}) +
           kCreditLines;
  }
  std::string text = Lines({"</table>"});
  for (char link : links) {
    const std::string page = "Wooden" + std::to_string(link == '<' ? firstRow - p : firstRow + p);
    text +=
        Lines({link == 'i'   ? "<a href=\"" + index + "\">Main Index</a>"
               : link == '<' ? "<a href=\"" + page + ".htm\">Previous " + std::to_string(p) + "</a>"
                             : "<a href=\"" + page + ".htm\">Next " + std::to_string(p) + "</a>"});
  }
  return text + Lines({"<p>"}) + kCreditLines;
}

struct ExpectedPage {
  std::string file;  // in the type's folder, or with archives in the scanned folder
  int firstRow, rows;
  std::string links;  // as Foot takes them
};

TEST(WriteRideTypePages, SplitsEachTypeIntoPagesOfRidesPerPage) {
  struct Case {
    int designs, ridesPerPage, switches;
    bool descending;
    std::vector<ExpectedPage> pages;
  };
  // clang-format off
  const std::vector<Case> cases = {
      {3, 3, 0, false, {{"Wooden.htm", 0, 3, ""}}},
      {11, 10, 0, false, {{"Wooden0.htm", 0, 10, "i>"}, {"Wooden10.htm", 10, 1, "<i"}}},
      {4, 2, 0, false, {{"Wooden0.htm", 0, 2, "i>"}, {"Wooden2.htm", 2, 2, "<i"}}},
      {19, 5, 0, false, {{"Wooden0.htm", 0, 5, "i>"}, {"Wooden5.htm", 5, 5, "<i>"},
                         {"Wooden10.htm", 10, 5, "<i>"}, {"Wooden15.htm", 15, 4, "<i"}}},
      {3, 2, kZip, false, {{"Wooden0.htm", 0, 2, "i>"}, {"Wooden2.htm", 2, 1, "<i"}}},
      {2, 2, kZip, false, {{"Wooden.htm", 0, 2, ""}}},
      {3, 2, 0, true, {{"Wooden0.htm", 0, 2, "i>"}, {"Wooden2.htm", 2, 1, "<i"}}}};
  // clang-format on
  for (const auto& c : cases) {
    TestCatalogue catalogue;
    catalogue.addNumbered("Wooden", "w", c.designs);
    catalogue.addNumbered("Go_Karts", "g", 1);  // each type gets only its own designs
    fs::create_directory(catalogue.folder / "Wooden");
    fs::create_directory(catalogue.folder / "Go_Karts");
    PlainRunOptions options = Options({0}, kSeparate | c.switches);
    options.ridesPerPageText = std::to_string(c.ridesPerPage);
    options.descending = c.descending;
    testing::RecordingProgress progress;
    WriteRideTypePages(options, progress, catalogue.folder.path(), catalogue.database);

    const bool zip = (c.switches & kZip) != 0;
    const std::string head =
        testing::Head("Wooden", zip ? "<TD>Ride Name</TD><TD>Author</TD><TD>Zip File Name</TD></TR>"
                                    : "<TD>Ride Name</TD></TR>");
    const std::string folder = zip ? "" : "Wooden/";
    std::vector<std::string> files = {zip ? "Go_Karts.htm" : "Go_Karts/Go_Karts.htm"};
    for (const auto& page : c.pages) {
      files.push_back(folder + page.file);
      std::string rows;
      for (int k = page.firstRow + 1; k <= page.firstRow + page.rows; ++k) {
        rows += NameRow(k, c.designs, c.descending, zip);
      }
      EXPECT_EQ(testing::ReadFile(catalogue.folder / (folder + page.file)),
                head + rows + Foot(page.links, page.firstRow, c.ridesPerPage, zip))
          << page.file;
    }
    std::sort(files.begin(), files.end());
    EXPECT_EQ(Pages(catalogue.folder.path()), files);
  }
}

TEST(WriteRideTypePages, ShowsProgressPerTypeAndPerRowOfASinglePage) {
  // A multi-page type keeps showing its count.
  const std::vector<std::pair<int, std::string>> cases = {
      {2,
       "set 3=Writing Ride Type Files, set 1=Wooden, repaint 1, set 2=2, repaint 2, set 2=1, "
       "repaint 2, set 2=2, repaint 2, "},
      {3, "set 3=Writing Ride Type Files, set 1=Wooden, repaint 1, set 2=3, repaint 2, "}};
  for (const auto& [designs, events] : cases) {
    TestCatalogue catalogue;
    catalogue.addNumbered("Wooden", "w", designs);
    PlainRunOptions options = Options({}, kZip | kSeparate);
    options.ridesPerPageText = "2";
    testing::RecordingProgress progress;
    WriteRideTypePages(options, progress, catalogue.folder.path(), catalogue.database);
    std::string shown;
    for (const auto& event : progress.events) shown += event + ", ";
    EXPECT_EQ(shown, events);
  }
}

TEST(WriteRideTypePages, FailuresNameTheirCauseAndAnEmptyCatalogueWritesNothing) {
  TestCatalogue catalogue;
  const std::string page = JoinPath(JoinPath(catalogue.folder.path(), "Wooden"), "Wooden.htm");
  // designs added, rides per page, sort field, the error (part of it)
  const std::vector<std::tuple<int, std::string, std::string, std::string>> cases = {
      {0, "10", "Ex", "no error"},
      {1, "10", "Ex", "cannot write page '" + page + "': No such file or directory"},
      {0, "10", "Colour", "no such column"},
      {0, "0", "Ex", "rides per page '0' is not a whole number from 1 to 32767"}};
  for (const auto& [designs, ridesPerPage, sortField, message] : cases) {
    catalogue.addNumbered("Wooden", "w", designs);
    PlainRunOptions options = Options({0}, kSeparate);
    options.ridesPerPageText = ridesPerPage;
    options.sortFieldText = sortField;
    testing::RecordingProgress progress;
    const std::string error = testing::ErrorOf([&] {
      WriteRideTypePages(options, progress, catalogue.folder.path(), catalogue.database);
    });
    EXPECT_NE(error.find(message), std::string::npos) << error;
    EXPECT_EQ(Pages(catalogue.folder.path()), std::vector<std::string>{}) << message;
  }
}

}  // namespace
}  // namespace velodex
