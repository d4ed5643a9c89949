// The catalogue exported as CSV and JSON, and which files an export may replace.
#include "report/catalogue_export.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "catalogue/error.h"
#include "tests/report/report_fixtures.h"

namespace velodex {
namespace {

using testing::ReadFile;
using testing::TestCatalogue;
using testing::WriteFile;

constexpr const char* kHeader =
    "File_Name,Ride_Name,Min_Wait_Time,Max_Wait_Time,Train_Color_Scheme,Ride_Type,Max_Speed,"
    "Avg_Speed,Ride_Length,PosGs,NegGs,LatGs,Invs,Drops,Max_Drop_Height,Ex,Int,Na,Author,Alink,"
    "zipfilename,Rating,Ride_Category,Disk_Name,Design_Digest,Layout_Pieces,Layout_Width,"
    "Layout_Length,Layout_Rise,Layout_Dip,Layout_Closed,Layout_Group,Duplicate_Group\r\n";

class ExportCatalogueTest : public ::testing::Test {
 protected:
  ExportCatalogueTest() {
    // clang-format off
    catalogue.add({{"File_Name", "Say \"hi\", all.td4"}, {"Max_Speed", 101.25f}, {"NegGs", -0.32f},
                   {"Invs", 2}, {"Ex", 6.5f}, {"Rating", 6.5f - (5.2f + 3.1f)},
                   {"Disk_Name", "Say \"hi\", all.TD4"}, {"Design_Digest", "d1"},
                   {"Layout_Width", 6}});
    // clang-format on
    catalogue.add({{"File_Name", "Caf\xe9.td4"}, {"Ex", 1.0f}, {"Design_Digest", "d1"}});
  }
  void Export(const std::string& path, ExportFormat format) {
    RecordSet rows = catalogue.database.openQuery("SELECT * From velodex ORDER BY Ex DESC;");
    ExportCatalogue(rows, path, format);
  }
  TestCatalogue catalogue;
};

TEST_F(ExportCatalogueTest, WritesCsvWithAHeaderAndQuotedFields) {
  const std::string path = catalogue.folder / "out.csv";
  Export(path, ExportFormat::kCsv);
  EXPECT_EQ(ReadFile(path),
            std::string(kHeader) +
                "\"Say \"\"hi\"\", all.td4\",Wooden,,,,Wooden,101.25,,,,-0.32,,2,,,6.5,,,Anonymous,"
                "none,none,-1.799999,,\"Say \"\"hi\"\", all.TD4\",d1,,6,,,,,,1\r\n"
                "Caf\xe9.td4,Wooden,,,,Wooden,,,,,,,,,,1,,,Anonymous,none,none,,,,d1,,,,,,,,1\r\n");
}

TEST_F(ExportCatalogueTest, WritesJsonObjectsWithNumbersAsNumbers) {
  const std::string path = catalogue.folder / "out.json";
  Export(path, ExportFormat::kJson);
  const nlohmann::json rows = nlohmann::json::parse(ReadFile(path));
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0]["File_Name"], "Say \"hi\", all.td4");
  EXPECT_EQ(rows[0]["Max_Speed"].dump(), "101.25");
  EXPECT_EQ(rows[0]["Rating"].dump(), "-1.799999");  // 6.5 - (5.2 + 3.1) in single precision
  EXPECT_EQ(rows[0]["Invs"], 2);
  EXPECT_TRUE(rows[0]["Min_Wait_Time"].is_null());
  EXPECT_EQ(rows[0]["Duplicate_Group"], 1);
  EXPECT_EQ(rows[1]["File_Name"], "Caf\xc3\xa9.td4");  // the Latin-1 byte as its character
  EXPECT_EQ(rows[1].size(), 33u);
  EXPECT_EQ(rows[0]["Layout_Width"], 6);
  EXPECT_EQ(rows[0]["Disk_Name"], "Say \"hi\", all.TD4");
}

TEST_F(ExportCatalogueTest, ReplacesOnlyAnEarlierExport) {
  const struct {
    const char* name;
    ExportFormat format;
    const char* existing;
    bool replaced;
  } cases[] = {
      {"a.csv", ExportFormat::kCsv, kHeader, true},
      {"b.csv", ExportFormat::kCsv, "Name,Score\r\n", false},
      {"c.json", ExportFormat::kJson, "[]\r\n", true},
      {"d.json", ExportFormat::kJson, "{\"mine\": 1}", false},
  };
  for (const auto& c : cases) {
    const std::string path = catalogue.folder / c.name;
    WriteFile(path, c.existing);
    if (c.replaced) {
      Export(path, c.format);
      EXPECT_NE(ReadFile(path), c.existing) << c.name;
    } else {
      EXPECT_THROW(Export(path, c.format), Error) << c.name;
      EXPECT_EQ(ReadFile(path), c.existing) << c.name;
    }
  }
}

TEST(ExportFormatOf, ReadsTheEndingInAnyCase) {
  EXPECT_EQ(ExportFormatOf("a.csv"), ExportFormat::kCsv);
  EXPECT_EQ(ExportFormatOf("dir.x/A.JSON"), ExportFormat::kJson);
  for (const char* other : {"a.txt", "csv", "a.csv.bak", ".jso"}) {
    EXPECT_EQ(ExportFormatOf(other), std::nullopt) << other;
  }
}

}  // namespace
}  // namespace velodex
