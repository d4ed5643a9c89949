#include "report/page_framing.h"

#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/resource.h>
#endif

#include <clocale>
#include <csignal>
#include <functional>
#include <string>
#include <vector>

#include "tests/report/report_fixtures.h"

namespace velodex {
namespace {

using testing::kZip;
using testing::Options;

// What write puts into a page whose name holds an older, longer page.
std::string PageText(const std::function<void(PageFile&)>& write) {
  testing::TempFolder folder;
  testing::WriteFile(folder / "page.htm", "an older and much longer page");
  PageFile page(folder / "page.htm");
  write(page);
  page.close();
  return testing::ReadFile(folder / "page.htm");
}

// A page is an AtomicFile: a link planted at its name is replaced, not written through.
TEST(PageFile, ReplacesWhatStandsAtItsNameAndEndsLinesWithCrLf) {
  EXPECT_EQ(PageText([](PageFile& page) {
              page.write("<TD>");
              page.writeLine("</TD>");
              page.writeLine("");
              page.write("tail");
            }),
            "<TD></TD>\r\n\r\ntail");
}

#ifndef _WIN32  // a file size limit is a POSIX resource limit
// A page that cannot be made at all names its path too (a missing ride type folder, in the
// type pages' failures).
TEST(PageFile, AFailedWriteNamesThePageAndLeavesWhatStoodAtItsName) {
  testing::TempFolder folder;
  testing::WriteFile(folder / "page.htm", "earlier page");
  {
    PageFile unclosed(folder / "page.htm");
    unclosed.writeLine("<html>");
  }
  // A file size limit makes the write fail for anyone, root included.
  std::signal(SIGXFSZ, SIG_IGN);
  rlimit saved{};
  getrlimit(RLIMIT_FSIZE, &saved);
  rlimit small = saved;
  small.rlim_cur = 100;
  setrlimit(RLIMIT_FSIZE, &small);
  const std::string error = testing::ErrorOf([&] {
    PageFile page(folder / "page.htm");
    page.writeLine(std::string(200, 'x'));
    page.close();
  });
  setrlimit(RLIMIT_FSIZE, &saved);
  EXPECT_EQ(error, "cannot write page '" + folder / "page.htm" + "': File too large");
  EXPECT_EQ(testing::ReadFile(folder / "page.htm"), "earlier page");
  EXPECT_EQ(testing::ListFolder(folder.path()), std::vector<std::string>{"page.htm"});
}
#endif

TEST(WritePageHead, WritesOneHeadingCellPerSwitchedOnColumn) {
  struct Case {
    PlainRunOptions options;
    std::string title, titleOnPage, headingLine;
  };
  const std::vector<Case> cases = {
      // Fewer columns are the pages' own cases.
      {Options({}), "", "", "</TR>"},
      {Options({13}), "<b>&\"", "&lt;b&gt;&amp;&quot;", "<TD>Nausea</TD></TR>"},
      {Options({0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13}, kZip), "S", "S",
       "<TD>Ride Name</TD><TD>Coaster Type</TD><TD>Max Speed</TD><TD>Avg Speed</TD>"
       "<TD>Ride Length</TD><TD>Pos. Gs</TD><TD>Neg. Gs</TD><TD>Lat Gs</TD><TD>Invs</TD>"
       "<TD>Drops</TD><TD>Max Drop Height</TD><TD>Excitement</TD><TD>Intensity</TD>"
       "<TD>Nausea</TD><TD>Author</TD><TD>Zip File Name</TD></TR>"}};
  for (const auto& c : cases) {
    EXPECT_EQ(PageText([&](PageFile& page) { WritePageHead(page, c.options, c.title); }),
              testing::Head(c.titleOnPage, c.headingLine));
  }
}

TEST(IsSafeAuthorLink, AllowsOnlyWebAndMailSchemes) {
  for (const char* link : {"http://ann.example.org/", "HTTPS://a", " ftp://a", "mailto:a@b.org",
                           "www.example.org", "ann@example.org"}) {
    EXPECT_TRUE(IsSafeAuthorLink(link)) << link;
  }
  for (const char* link : {"javascript:alert(1)", "JavaScript:x", "java\tscript:x",
                           " java script :x", "\x01javascript:x", "data:text/html,x",
                           "file:///etc/passwd", ":x", "https2://a", "a/b:c"}) {
    EXPECT_FALSE(IsSafeAuthorLink(link)) << link;
  }
}

TEST(FormatSingle, GivesTheShortestFormOfAtMostSevenDigits) {
  // 892.388427734375 needs nine digits to read back and is rounded to seven; 1.9999999
  // carries into the whole digit; no value is written with an exponent.
  // clang-format off
  const std::vector<std::pair<float, std::string>> cases = {
      {0.0f, "0"}, {-0.0f, "0"}, {45.0f, "45"}, {101.25f, "101.25"}, {0.1f, "0.1"},
      {-1.28f, "-1.28"}, {892.388427734375f, "892.3884"}, {1234567.75f, "1234568"},
      {1.9999999f, "2"}, {0.99999994f, "0.9999999"}, {10000000.0f, "10000000"},
      {-0.00000025f, "-0.00000025"}, {3.0e10f, "30000000000"}};
  // clang-format on
  for (const auto& [value, expected] : cases) EXPECT_EQ(FormatSingle(value), expected) << value;
}

TEST(FormatSingle, UsesTheLocaleDecimalSeparator) {
  const std::string saved = std::setlocale(LC_NUMERIC, nullptr);
  bool found = false;
  for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "nl_NL.UTF-8"}) {
    if ((found = std::setlocale(LC_NUMERIC, name) != nullptr)) break;
  }
  if (!found) GTEST_SKIP() << "no locale with a decimal comma installed";
  const std::string text = FormatSingle(101.25f) + " " + FormatSingle(45.0f);
  std::setlocale(LC_NUMERIC, saved.c_str());
  EXPECT_EQ(text, "101,25 45");
}

TEST(CellText, ShowsEachKindOfValuePlainly) {
  // clang-format off
  const std::vector<std::pair<FieldValue, std::string>> cases = {
      {FieldValue(), ""}, {FieldValue(int64_t{-12}), "-12"}, {FieldValue("<b>"), "<b>"},
      {FieldValue(-2.5f), "-2.5"}, {FieldValue(6.5), "6.5"},
      {FieldValue(892.388427734375), "892.3884"}};
  // clang-format on
  for (const auto& [value, text] : cases) EXPECT_EQ(CellText(value), text);
}

}  // namespace
}  // namespace velodex
