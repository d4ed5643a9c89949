// The explorer page: the data it carries (read back as JSON), the script-safe strings, and
// which existing files it may replace. Its behaviour in a browser is tested in tests/browser.
#include "report/explorer_page.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "catalogue/error.h"
#include "tests/report/report_fixtures.h"

namespace velodex {
namespace {

using testing::ReadFile;
using testing::TestCatalogue;
using testing::WriteFile;

TEST(AppendScriptJsonString, EscapesWhatCouldEndTheScriptAndKeepsEveryByte) {
  const struct {
    std::string in, out;
  } cases[] = {
      {"plain.td4", R"("plain.td4")"},
      {"a\"b\\c", R"("a\"b\\c")"},
      {"</script><!--", R"("\u003c/script>\u003c!--")"},
      {"\x01\r\n\x7f", R"("\u0001\u000d\u000a\u007f")"},
      {"Caf\xc3\xa9 \xf0\x9f\x8e\xa2", "\"Caf\xc3\xa9 \xf0\x9f\x8e\xa2\""},  // valid UTF-8 kept
      {"Caf\xe9", R"("Caf\udce9")"},                                         // a Latin-1 byte
      {"\xc0\xaf", R"("\udcc0\udcaf")"},                                     // overlong slash
      {"\xed\xa0\x80", R"("\udced\udca0\udc80")"},                           // a surrogate
      {"\xe2\x82", R"("\udce2\udc82")"},                                     // cut short
  };
  for (const auto& c : cases) {
    std::string out;
    AppendScriptJsonString(out, c.in);
    EXPECT_EQ(out, c.out) << c.in;
  }
}

// The JSON between the data script's tags.
nlohmann::json PageData(const std::string& page) {
  const std::string open = "<script id=\"explorer-data\" type=\"application/json\">";
  const size_t start = page.find(open) + open.size();
  return nlohmann::json::parse(page.substr(start, page.find("</script>", start) - start));
}

TEST(WriteExplorerPage, CarriesEveryRowInTheRunsOrderWithGroupsOfEqualDigests) {
  TestCatalogue catalogue;
  // clang-format off
  const testing::Row designs[] = {
      {{"File_Name", "b.td4"}, {"Ride_Name", "Steel"}, {"Ex", 6.5f}, {"Ride_Length", 892.3885f},
       {"Design_Digest", "d1"}},
      {{"File_Name", "a.td4"}, {"Ex", 7.0f}, {"Author", "Ann"}, {"Alink", "x@y"},
       {"zipfilename", "P.zip"}, {"Design_Digest", "d1"}},
      {{"File_Name", "c<.td4"}, {"Ride_Name", "Steel"}, {"Ex", 1.0f}, {"NegGs", -0.32f},
       {"Disk_Name", "C<.TD4"}, {"Design_Digest", "d2"}},
      {{"File_Name", "d.td4"}, {"Ex", 2.0f}, {"Design_Digest", "d3"}},
      {{"File_Name", "e.td4"}, {"Ex", 3.0f}, {"Design_Digest", "d3"}},
  };
  // clang-format on
  for (const testing::Row& design : designs) catalogue.add(design);
  PlainRunOptions options;
  options.folderText = "/home/ann/designs";
  options.sortFieldText = "Ex";
  RecordSet rows = catalogue.database.openQuery("SELECT * From velodex ORDER BY Ex DESC;");
  const std::string path = catalogue.folder / "explorer.htm";
  WriteExplorerPage(options, path, rows);

  const std::string page = ReadFile(path);
  EXPECT_EQ(page.rfind("<!DOCTYPE html>\r\n", 0), 0u);
  EXPECT_NE(page.find("default-src 'none'; script-src 'sha256-"), std::string::npos);
  EXPECT_EQ(page.find("'unsafe-inline'"), std::string::npos);
  const nlohmann::json data = PageData(page);
  EXPECT_EQ(data["folder"], "/home/ann/designs");
  EXPECT_EQ(data["sort"], nlohmann::json::parse(R"(["Ex",1])"));
  EXPECT_EQ(data["name"], nlohmann::json::parse(R"(["a.td4","b.td4","e.td4","d.td4","c<.td4"])"));
  EXPECT_EQ(data["types"], nlohmann::json::parse(R"(["Wooden","Steel"])"));
  EXPECT_EQ(data["type"], nlohmann::json::parse("[0,1,0,0,1]"));
  EXPECT_EQ(data["Ride_Length"][1].dump(), "892.3885");  // the digits a page shows
  EXPECT_EQ(data["NegGs"][4].dump(), "-0.32");
  EXPECT_EQ(data["Ex"][0].dump(), "7");
  EXPECT_EQ(data["authors"], nlohmann::json::parse(R"([["Ann","x@y"],["Anonymous","none"]])"));
  EXPECT_EQ(data["archives"], nlohmann::json::parse(R"(["P.zip","none"])"));
  // d1 pairs a.td4 with b.td4, d3 e.td4 with d.td4; c<.td4 is alone.
  EXPECT_EQ(data["group"], nlohmann::json::parse("[1,1,2,2,0]"));
  EXPECT_EQ(data["groups"], 2);
  // Only a name on disk that differs from the stored one is carried, by its row.
  EXPECT_EQ(data["disk"], nlohmann::json::parse(R"([[4,"C\u003c.TD4"]])"));
}

TEST(WriteExplorerPage, ReplacesOnlyAnExplorerPage) {
  TestCatalogue catalogue;
  PlainRunOptions options;
  const std::string path = catalogue.folder / "explorer.htm";
  for (const char* existing : {"", "<html>my own notes</html>"}) {
    WriteFile(path, existing);
    RecordSet rows = catalogue.database.openQuery("SELECT * From velodex ORDER BY Ex DESC;");
    EXPECT_THROW(WriteExplorerPage(options, path, rows), Error) << existing;
    EXPECT_EQ(ReadFile(path), existing);
  }
  std::remove(path.c_str());
  for (int run = 0; run < 2; ++run) {
    RecordSet rows = catalogue.database.openQuery("SELECT * From velodex ORDER BY Ex DESC;");
    EXPECT_NO_THROW(WriteExplorerPage(options, path, rows)) << run;
    EXPECT_EQ(PageData(ReadFile(path))["name"], nlohmann::json::array());
  }
}

}  // namespace
}  // namespace velodex
