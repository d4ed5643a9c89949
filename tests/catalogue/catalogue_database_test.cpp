// The catalogue database: values read back as written, the callers' query texts, result set
// navigation, stored queries, several connections, compaction and the failures that name the
// file.
#include "catalogue/catalogue_database.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <limits>
#include <map>
#include <string>
#include <vector>

#include "catalogue/error.h"
#include "tests/support/test_support.h"

namespace velodex {
namespace {

namespace fs = std::filesystem;
using testing::TempFolder;
using Row = std::map<std::string, FieldValue>;

// The fourteen columns the wizard offers as sort fields.
const char* const kSortFields[] = {
    "Rating", "File_Name", "Max_Speed", "Avg_Speed",       "Ride_Length", "PosGs", "NegGs",
    "LatGs",  "Invs",      "Drops",     "Max_Drop_Height", "Ex",          "Int",   "Na"};

// The per-type query as the ride type pages build it.
std::string PerTypeQuery(const std::string& rideTypeName, const std::string& sortField,
                         const std::string& direction) {
  return "SELECT velodex.File_Name, velodex.Ride_Type, velodex.Ride_Name, velodex.Max_Speed, "
         "velodex.Avg_Speed, velodex.Ride_Length, velodex.PosGs, velodex.NegGs, "
         "velodex.LatGs, velodex.Invs, velodex.Drops, velodex.Max_Drop_Height, velodex.Ex, "
         "velodex.Int, velodex.Rating, velodex.Na, velodex.Ride_Category, velodex.Author, "
         "velodex.Alink, velodex.ZipFileName From Velodex WHERE velodex.Ride_Name=\"" +
         rideTypeName + "\" ORDER BY " + sortField + " " + direction;
}

// Throws unless the call fails with an Error whose message holds every one of parts.
template <typename Call>
void ExpectErrorNaming(Call call, std::initializer_list<std::string> parts) {
  try {
    call();
    ADD_FAILURE() << "expected an Error naming " << *parts.begin();
  } catch (const Error& error) {
    const std::string message = error.what();
    for (const std::string& part : parts) {
      EXPECT_NE(message.find(part), std::string::npos) << "'" << part << "' not in: " << message;
    }
  }
}

int64_t RowCount(CatalogueDatabase& database, const std::string& table = "velodex") {
  RecordSet set = database.openTable(table);
  return set.recordCount();
}

class Catalogue : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = temp_ / "velodex.mdb";
    CatalogueDatabase::createEmpty(path_);
    database_.open(path_);
  }

  // Adds rows through a table set of database and closes the set.
  static void AddRows(CatalogueDatabase& database, const std::vector<Row>& rows,
                      const std::string& table = "velodex") {
    RecordSet set = database.openTable(table);
    for (const Row& row : rows) {
      set.addNew();
      for (const auto& [name, value] : row) set.setField(name, value);
      set.update();
    }
    set.close();
  }
  void AddRows(const std::vector<Row>& rows) { AddRows(database_, rows); }

  // A row of one ride type with a name and a value in every sort field derived from n, so
  // that different n never tie.
  static Row Design(const std::string& fileName, const std::string& rideName, int n) {
    return Row{{"File_Name", fileName},
               {"Ride_Name", rideName},
               {"Ride_Type", rideName},
               {"Max_Speed", static_cast<float>(n * 2.25)},
               {"Avg_Speed", static_cast<float>(n * 1.125)},
               {"Ride_Length", static_cast<float>(n * 100 / 0.3048)},
               {"PosGs", static_cast<float>(n * 0.32)},
               {"NegGs", static_cast<float>(-n * 0.32)},
               {"LatGs", static_cast<float>(n * 0.64)},
               {"Invs", n},
               {"Drops", 2 * n},
               {"Max_Drop_Height", 3 * n},
               {"Ex", static_cast<float>(n * 0.1)},
               {"Int", static_cast<float>(n * 0.2)},
               {"Na", static_cast<float>(n * 0.3)},
               {"Rating", static_cast<float>(-n * 0.4)}};
  }

  // The File_Name of every row of set, in the set's order, from the set's current position.
  static std::vector<std::string> FileNames(RecordSet& set) {
    std::vector<std::string> names;
    for (; !set.atEnd(); set.moveNext()) names.push_back(set.field("File_Name").text());
    return names;
  }

  std::vector<std::string> QueryFileNames(const std::string& text) {
    RecordSet set = database_.openQuery(text);
    return FileNames(set);
  }

  TempFolder temp_;
  std::string path_;
  CatalogueDatabase database_;
};

uint32_t Bits(float value) { return std::bit_cast<uint32_t>(value); }

TEST_F(Catalogue, EveryColumnReadsBackAsWrittenAndOfItsKind) {
  const float kInfinity = std::numeric_limits<float>::infinity();
  // Floats that a double-precision or REAL-affinity store would not give back unchanged: the
  // nearest singles of inexact products, -0.0, the smallest subnormal, the largest single.
  const std::vector<Row> rows = {
      {{"File_Name", "Loop.td4"},
       {"Ride_Name", "Wooden"},
       {"Min_Wait_Time", 0},
       {"Max_Wait_Time", 255},
       {"Train_Color_Scheme", 7},
       {"Ride_Type", "Wooden"},
       {"Max_Speed", 573.75f},
       {"Avg_Speed", 0.0f},
       {"Ride_Length", 892.388427734375f},
       {"PosGs", -0.0f},
       {"NegGs", -40.64f},
       {"LatGs", 40.96f},
       {"Invs", 31},
       {"Drops", 63},
       {"Max_Drop_Height", 255},
       {"Ex", 0.1f},
       {"Int", 5.2f},
       {"Na", 3.1f},
       {"Author", "Anonymous"},
       {"Alink", "none"},
       {"zipfilename", "none"},
       {"Rating", -0x1.ccccc0p+0f}},
      {{"File_Name", std::string("caf\xE9 \xFF\xFE.td4")},  // single-byte text, not UTF-8
       {"Ride_Name", "Unknown"},
       {"Min_Wait_Time", 255},
       {"Max_Wait_Time", 0},
       {"Train_Color_Scheme", 255},
       {"Ride_Type", "Unknown"},
       {"Max_Speed", std::numeric_limits<float>::denorm_min()},
       {"Avg_Speed", std::numeric_limits<float>::max()},
       {"Ride_Length", 215009.84375f},
       {"PosGs", kInfinity},
       {"NegGs", -kInfinity},
       {"LatGs", -4.8f},
       {"Invs", -32768},
       {"Drops", 32767},
       {"Max_Drop_Height", 0},
       {"Ex", 25.5f},
       {"Int", 0.9f},
       {"Na", 0.0f},
       {"Author", std::string("Ann \"the\" O'Brien\r\nline two\xA0")},
       {"Alink", std::string("a\0b", 3)},
       {"zipfilename", "Pack [1].zip"},
       {"Rating", 0x1.99999p-4f}},
  };
  AddRows(rows);

  RecordSet table = database_.openTable("velodex");
  RecordSet query = database_.openQuery("SELECT * From velodex ORDER BY Max_Wait_Time DESC;");
  for (RecordSet* set : {&table, &query}) {
    ASSERT_EQ(set->recordCount(), 2);
    for (const Row& row : rows) {
      ASSERT_FALSE(set->atEnd());
      for (const auto& [name, written] : row) {
        const FieldValue read = set->field(name);
        if (written.isSingle()) {
          ASSERT_TRUE(read.isSingle()) << name;
          EXPECT_EQ(Bits(read.single()), Bits(written.single())) << name << " " << written.single();
        } else if (written.isInteger()) {
          ASSERT_TRUE(read.isInteger()) << name;
          EXPECT_EQ(read.integer(), written.integer()) << name;
        } else {
          ASSERT_TRUE(read.isText()) << name;
          EXPECT_EQ(read.text(), written.text()) << name;
        }
      }
      // Never written: the engine's default for a new row, which pages print empty.
      EXPECT_TRUE(set->field("Ride_Category").isNull());
      set->moveNext();
    }
    EXPECT_TRUE(set->atEnd());
  }
}

TEST_F(Catalogue, EverySingleTheDesignsCanHoldReadsBackBitForBit) {
  // Each statistic rule applied to every byte value, rounded once from double precision.
  std::vector<float> values;
  for (int b = 0; b <= 255; ++b) {
    for (double factor : {2.25, 0.32, -0.32, 0.1, 1 / 0.3048, 256 / 0.3048}) {
      values.push_back(static_cast<float>(b * factor));
    }
  }
  std::vector<Row> rows;
  for (size_t i = 0; i < values.size(); ++i) {
    rows.push_back({{"File_Name", std::to_string(i)},
                    {"Invs", static_cast<int>(i)},
                    {"Ex", values[i]},
                    {"Rating", -values[i]}});
  }
  AddRows(rows);
  RecordSet set = database_.openQuery("SELECT * From velodex ORDER BY Invs ASC;");
  for (size_t i = 0; i < values.size(); ++i, set.moveNext()) {
    ASSERT_FALSE(set.atEnd()) << i;
    EXPECT_EQ(Bits(set.field("Ex").single()), Bits(values[i])) << i;
    EXPECT_EQ(Bits(set.field("Rating").single()), Bits(-values[i])) << i;
  }
  EXPECT_TRUE(set.atEnd());
}

TEST_F(Catalogue, DoubleWrittenToSingleColumnReadsBackAsTheNearestSingle) {
  AddRows({{{"File_Name", "a.td4"}, {"Ex", 0.1}, {"Invs", 3.0}}});
  RecordSet set = database_.openTable("velodex");
  EXPECT_EQ(Bits(set.field("Ex").single()), Bits(0.1f));
  EXPECT_EQ(set.field("Invs"), FieldValue(int64_t{3}));
}

TEST_F(Catalogue, NotANumberIsRefusedRatherThanStoredAsSomethingElse) {
  RecordSet set = database_.openTable("velodex");
  set.addNew();
  ExpectErrorNaming([&] { set.setField("Ex", std::numeric_limits<float>::quiet_NaN()); },
                    {"Ex", path_});
  ExpectErrorNaming([&] { set.setField("Ex", std::nan("")); }, {"Ex", path_});
}

TEST_F(Catalogue, SortedQueryOrdersByEverySortFieldBothWays) {
  // Rows added out of order; n sets every sort field, and File_Name sorts like n.
  const int order[] = {3, 1, 4, 0, 2};
  std::vector<Row> rows;
  for (int n : order) rows.push_back(Design("design" + std::to_string(n) + ".td4", "Steel", n));
  AddRows(rows);
  const std::vector<std::string> ascending = {"design0.td4", "design1.td4", "design2.td4",
                                              "design3.td4", "design4.td4"};
  std::vector<std::string> descending(ascending.rbegin(), ascending.rend());
  for (const std::string field : kSortFields) {
    // NegGs and Rating fall as n grows.
    const bool falling = field == "NegGs" || field == "Rating";
    EXPECT_EQ(QueryFileNames("SELECT * From velodex ORDER BY " + field + " ASC;"),
              falling ? descending : ascending)
        << field;
    EXPECT_EQ(QueryFileNames("SELECT * From velodex ORDER BY " + field + " DESC;"),
              falling ? ascending : descending)
        << field;
    EXPECT_EQ(QueryFileNames(PerTypeQuery("Steel", field, "ASC")), falling ? descending : ascending)
        << field;
  }
}

TEST_F(Catalogue, PerTypeQueryComparesWithTheTextBetweenDoubleQuotes) {
  // Ride type values that are also column names: read as columns, Ride_Name="Ride_Name" would
  // hold for every row and Ride_Name="Rating" would compare with the rating.
  AddRows({Design("w1.td4", "Wooden", 1), Design("w2.td4", "Wooden", 2),
           Design("s1.td4", "Steel", 3), Design("rn.td4", "Ride_Name", 4),
           Design("rt.td4", "Rating", 5), Design("un.td4", "Unknown", 6),
           Design("q.td4", "O'Brien", 7), Design("lower.td4", "ride_name", 8)});
  struct Case {
    std::string value;
    std::vector<std::string> files;  // by Max_Speed ASC
  };
  const Case cases[] = {
      {"Wooden", {"w1.td4", "w2.td4"}},
      {"Steel", {"s1.td4"}},
      {"Ride_Name", {"rn.td4"}},
      {"ride_name", {"lower.td4"}},
      {"Rating", {"rt.td4"}},
      {"File_Name", {}},
      {"Unknown", {"un.td4"}},
      {"O'Brien", {"q.td4"}},
      {"Corkscrew", {}},
      {"", {}},
  };
  for (const Case& c : cases) {
    RecordSet set = database_.openQuery(PerTypeQuery(c.value, "Max_Speed", "ASC"));
    EXPECT_EQ(set.recordCount(), static_cast<int64_t>(c.files.size())) << c.value;
    EXPECT_EQ(FileNames(set), c.files) << c.value;
  }
}

TEST_F(Catalogue, PerTypeQueryGivesItsTwentyColumnsByName) {
  Row row = Design("w1.td4", "Wooden", 1);
  row["Author"] = "Ann";
  row["Alink"] = "http://example.org";
  row["zipfilename"] = "pack.zip";
  AddRows({row});
  RecordSet set = database_.openQuery(PerTypeQuery("Wooden", "Rating", "DESC"));
  ASSERT_FALSE(set.atEnd());
  EXPECT_EQ(set.field("ZipFileName").text(), "pack.zip");
  EXPECT_EQ(set.field("zipfilename").text(), "pack.zip");
  EXPECT_EQ(set.field("Author").text(), "Ann");
  EXPECT_EQ(Bits(set.field("Ride_Length").single()), Bits(row["Ride_Length"].single()));
  EXPECT_TRUE(set.field("Ride_Category").isNull());
  // Selected columns only: the waiting times are not among the twenty.
  ExpectErrorNaming([&] { set.field("Min_Wait_Time"); }, {"Min_Wait_Time", path_});
}

TEST_F(Catalogue, TableAndColumnNamesAreMatchedWithoutRegardToCase) {
  AddRows({Design("a.td4", "Wooden", 1), Design("b.td4", "Wooden", 2)});
  const std::vector<std::string> texts = {
      "SELECT * From velodex ORDER BY File_Name ASC;",
      "SELECT * From Velodex ORDER BY file_name ASC;",
      "select * from VELODEX order by FILE_NAME asc",
      "SELECT velodex.File_Name From Velodex WHERE VELODEX.ride_name=\"Wooden\" ORDER BY ex ASC",
  };
  for (const std::string& text : texts) {
    EXPECT_EQ(QueryFileNames(text), (std::vector<std::string>{"a.td4", "b.td4"})) << text;
  }
  for (const char* name : {"velodex", "Velodex", "VELODEX"}) {
    RecordSet set = database_.openTable(name);
    EXPECT_EQ(set.recordCount(), 2) << name;
    EXPECT_EQ(set.field("FILE_NAME").text(), "a.td4") << name;
    EXPECT_EQ(set.field("ride_NAME").text(), "Wooden") << name;
  }
  EXPECT_EQ(RowCount(database_, "trackparts"), 0);
}

TEST_F(Catalogue, BadQueryTextsFailNamingTheCatalogue) {
  AddRows({Design("a.td4", "Wooden", 1)});
  const std::string texts[] = {
      "SELECT * From velodex ORDER BY Ride_Speed ASC;",                      // no such column
      "SELECT * From tracks ORDER BY Rating ASC;",                           // no such table
      "SELECT * From velodex WHERE Ride_Name=\"Wooden ORDER BY Rating ASC",  // unclosed
      "DELETE FROM velodex",                                                 // not a query
      "SELECT * From velodex; DELETE FROM velodex;",                         // two statements
      "",
  };
  for (const std::string& text : texts) {
    ExpectErrorNaming([&] { database_.openQuery(text); }, {path_});
  }
  EXPECT_EQ(RowCount(database_), 1);
}

TEST_F(Catalogue, NavigationOverEmptyOneAndSeveralRows) {
  for (int rows : {0, 1, 3}) {
    SCOPED_TRACE(rows);
    TempFolder temp;
    CatalogueDatabase::createEmpty(temp / "velodex.mdb");
    CatalogueDatabase database;
    database.open(temp / "velodex.mdb");
    std::vector<Row> added;
    for (int n = rows; n >= 1; --n) added.push_back(Design("d" + std::to_string(n), "Steel", n));
    AddRows(database, added);

    RecordSet set = database.openQuery("SELECT * From velodex ORDER BY File_Name ASC;");
    EXPECT_EQ(set.atEnd(), rows == 0);
    EXPECT_EQ(set.recordCount(), rows);
    set.moveLast();
    EXPECT_EQ(set.atEnd(), rows == 0);
    if (rows > 0) {
      EXPECT_EQ(set.field("File_Name").text(), "d" + std::to_string(rows));
    }
    EXPECT_EQ(set.recordCount(), rows);
    set.moveFirst();
    EXPECT_EQ(set.atEnd(), rows == 0);
    int walked = 0;
    for (; !set.atEnd(); set.moveNext()) {
      EXPECT_EQ(set.field("File_Name").text(), "d" + std::to_string(++walked));
    }
    EXPECT_EQ(walked, rows);
    // Past the end there is no row to read or move from.
    ExpectErrorNaming([&] { set.field("File_Name"); }, {temp / "velodex.mdb"});
    ExpectErrorNaming([&] { set.moveNext(); }, {temp / "velodex.mdb"});
    // moveLast then moveNext runs off the end; moveFirst comes back.
    set.moveLast();
    if (rows > 0) set.moveNext();
    EXPECT_TRUE(set.atEnd());
    set.moveFirst();
    EXPECT_EQ(set.atEnd(), rows == 0);
    if (rows > 0) {
      EXPECT_EQ(set.field("File_Name").text(), "d1");
    }
  }
}

TEST_F(Catalogue, EmptyingLoopDeletesEveryRowAndIsSeenByOtherConnections) {
  for (int rows : {0, 1, 2, 130}) {
    SCOPED_TRACE(rows);
    TempFolder temp;
    const std::string path = temp / "velodex.mdb";
    CatalogueDatabase::createEmpty(path);
    CatalogueDatabase database;
    database.open(path);
    std::vector<Row> added;
    for (int n = 0; n < rows; ++n) added.push_back(Design("d" + std::to_string(n), "Steel", n));
    AddRows(database, added);
    AddRows(database, {{{"File_Name", "part"}}}, "TrackParts");

    // The run's loop: nothing happens to a set whose count is 0.
    RecordSet set = database.openTable("velodex");
    int deleted = 0;
    if (set.recordCount() != 0) {
      do {
        set.deleteCurrent();
        ++deleted;
        set.moveNext();
      } while (!set.atEnd());
    }
    EXPECT_EQ(deleted, rows);
    EXPECT_EQ(set.recordCount(), 0);
    // A deleted row is gone: it cannot be read or deleted again.
    set.close();

    CatalogueDatabase other;
    other.open(path);
    EXPECT_EQ(RowCount(other), 0);
    EXPECT_EQ(RowCount(other, "TrackParts"), 1);
  }
}

TEST_F(Catalogue, DeletedRowCannotBeReadOrDeletedAgain) {
  AddRows({Design("a", "Steel", 1), Design("b", "Steel", 2), Design("c", "Steel", 3)});
  RecordSet set = database_.openTable("velodex");
  set.deleteCurrent();
  ExpectErrorNaming([&] { set.field("File_Name"); }, {"File_Name", path_});
  ExpectErrorNaming([&] { set.deleteCurrent(); }, {path_});
  set.moveNext();
  EXPECT_EQ(set.field("File_Name").text(), "b");
  // The last row is the last of the rows left, and a delete there ends the walk.
  set.moveLast();
  EXPECT_EQ(set.recordCount(), 2);
  EXPECT_EQ(set.field("File_Name").text(), "c");
  set.deleteCurrent();
  set.moveNext();
  EXPECT_TRUE(set.atEnd());
  set.moveFirst();
  EXPECT_EQ(set.field("File_Name").text(), "b");
  set.close();
  EXPECT_EQ(QueryFileNames("SELECT * From velodex ORDER BY File_Name ASC;"),
            std::vector<std::string>{"b"});
}

TEST_F(Catalogue, AddNewStoresOnlyWhatUpdateIsGiven) {
  RecordSet set = database_.openTable("velodex");
  set.addNew();
  set.setField("File_Name", "first.td4");
  set.setField("file_name", "second.td4");  // the last assignment counts
  set.setField("Ex", 1.5f);
  set.update();
  // Moving away from a started row drops it.
  set.addNew();
  set.setField("File_Name", "dropped.td4");
  set.moveFirst();
  ExpectErrorNaming([&] { set.update(); }, {path_});
  ExpectErrorNaming([&] { set.setField("File_Name", "x"); }, {"File_Name", path_});
  set.addNew();
  ExpectErrorNaming([&] { set.setField("Colour", "red"); }, {"Colour", path_});
  set.close();

  RecordSet rows = database_.openQuery("SELECT * From velodex ORDER BY File_Name ASC;");
  ASSERT_EQ(rows.recordCount(), 1);
  EXPECT_EQ(rows.field("File_Name").text(), "second.td4");
  EXPECT_EQ(rows.field("Ex").single(), 1.5f);
  for (const std::string& column : testing::kCatalogueColumns) {
    if (column != "File_Name" && column != "Ex") {
      EXPECT_TRUE(rows.field(column).isNull()) << column;
    }
  }
  // Query sets are read-only.
  ExpectErrorNaming([&] { rows.addNew(); }, {path_});
  ExpectErrorNaming([&] { rows.deleteCurrent(); }, {path_});
}

TEST_F(Catalogue, RowsCommittedThroughOneConnectionAreSeenByLaterSetsOfAnother) {
  CatalogueDatabase run;  // open before the scan's rows exist, as the run's connection is
  run.open(path_);
  {
    CatalogueDatabase scan;
    scan.open(path_);
    AddRows(scan, {Design("a.td4", "Wooden", 1), Design("b.td4", "Steel", 2)});
    // Visible as soon as the scan's set is closed, with the scan's connection still open.
    EXPECT_EQ(RowCount(run), 2);
    AddRows(scan, {Design("c.td4", "Wooden", 3)});
    scan.close();
  }
  EXPECT_EQ(QueryFileNames("SELECT * From velodex ORDER BY File_Name ASC;"),
            (std::vector<std::string>{"a.td4", "b.td4", "c.td4"}));
  RecordSet types = run.openStoredQuery("RideTypeQuery");
  EXPECT_EQ(types.recordCount(), 2);
  // Deletions travel the same way.
  RecordSet table = run.openTable("velodex");
  table.deleteCurrent();
  table.close();
  EXPECT_EQ(RowCount(database_), 2);
}

TEST_F(Catalogue, ClosingTheConnectionCommitsChangesOfSetsLeftOpen) {
  RecordSet set = database_.openTable("velodex");
  set.addNew();
  set.setField("File_Name", "kept.td4");
  set.update();
  database_.close();
  // The set is closed with its connection: using it fails instead of touching a closed file.
  ExpectErrorNaming([&] { set.atEnd(); }, {"velodex"});
  CatalogueDatabase other;
  other.open(path_);
  EXPECT_EQ(RowCount(other), 1);
}

TEST_F(Catalogue, RideTypeQueryCountsEachRideNameOnce) {
  {
    RecordSet types = database_.openStoredQuery("RideTypeQuery");
    EXPECT_TRUE(types.atEnd());
    EXPECT_EQ(types.recordCount(), 0);
  }
  AddRows({Design("w1", "Wooden", 1), Design("u1", "Unknown", 2), Design("w2", "Wooden", 3),
           Design("s1", "Steel_Wild_Mouse", 4), Design("u2", "Unknown", 5),
           Design("w3", "Wooden", 6)});
  RecordSet types = database_.openStoredQuery("ridetypequery");
  // Read right after opening, as the ride index page does.
  EXPECT_EQ(types.recordCount(), 3);
  std::vector<std::pair<std::string, int64_t>> groups;
  for (; !types.atEnd(); types.moveNext()) {
    ASSERT_TRUE(types.field("CountOfRide_Name").isInteger());
    groups.emplace_back(types.field("Ride_Name").text(), types.field("countofride_name").integer());
  }
  // The order is ours to choose: by name, so every page and folder lists the types alike.
  EXPECT_EQ(groups, (std::vector<std::pair<std::string, int64_t>>{
                        {"Steel_Wild_Mouse", 1}, {"Unknown", 2}, {"Wooden", 3}}));
}

TEST_F(Catalogue, GenericQueryYieldsTheRowsOfItsParameter) {
  AddRows({Design("w1", "Wooden", 1), Design("s1", "Steel", 2), Design("w2", "Wooden", 3),
           Design("rn", "Ride_Name", 4)});
  ExpectErrorNaming([&] { database_.openStoredQuery("GenericQuery"); }, {"theridename", path_});
  struct Case {
    std::string query, parameter, value;
    std::vector<std::string> files;
  };
  const Case cases[] = {
      {"GenericQuery", "theridename", "Wooden", {"w1", "w2"}},
      {"GenericQuery", "theridename", "Steel", {"s1"}},
      {"genericquery", "TheRideName", "Ride_Name", {"rn"}},
      {"GenericQuery", "theridename", "Corkscrew", {}},
  };
  for (const Case& c : cases) {
    database_.setParameter(c.query, c.parameter, c.value);
    RecordSet rows = database_.openStoredQuery("GenericQuery");
    EXPECT_EQ(rows.recordCount(), static_cast<int64_t>(c.files.size())) << c.value;
    std::vector<std::string> files = FileNames(rows);
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files, c.files) << c.value;
  }
  ExpectErrorNaming([&] { database_.setParameter("GenericQuery", "ridename", "Wooden"); },
                    {"ridename", path_});
  ExpectErrorNaming([&] { database_.setParameter("NoQuery", "theridename", "Wooden"); },
                    {"NoQuery", path_});
  ExpectErrorNaming([&] { database_.openStoredQuery("NoQuery"); }, {"NoQuery", path_});
  ExpectErrorNaming([&] { database_.openTable("RideTypeQuery"); }, {"RideTypeQuery", path_});
}

TEST_F(Catalogue, CompactionCopiesTablesRowsAndStoredQueriesIntoANewFile) {
  AddRows({Design("w1", "Wooden", 1), Design("s1", "Steel", 2)});
  AddRows(database_, {{{"File_Name", "part"}}}, "TrackParts");
  database_.close();
  const std::string copy = temp_ / "velodex2.mdb";
  const std::string before = testing::ReadFile(path_);
  CatalogueDatabase::compact(path_, copy);
  EXPECT_EQ(testing::ReadFile(path_), before);
  EXPECT_TRUE(CatalogueDatabase::isComplete(copy));

  CatalogueDatabase compacted;
  compacted.open(copy);
  EXPECT_EQ(RowCount(compacted), 2);
  EXPECT_EQ(RowCount(compacted, "TrackParts"), 1);
  RecordSet types = compacted.openStoredQuery("RideTypeQuery");
  EXPECT_EQ(types.recordCount(), 2);
  compacted.setParameter("GenericQuery", "theridename", "Steel");
  RecordSet steel = compacted.openStoredQuery("GenericQuery");
  EXPECT_EQ(FileNames(steel), std::vector<std::string>{"s1"});
  RecordSet row = compacted.openQuery("SELECT * From velodex ORDER BY Rating ASC;");
  EXPECT_EQ(Bits(row.field("Ride_Length").single()), Bits(static_cast<float>(2 * 100 / 0.3048)));
}

TEST_F(Catalogue, CompactionNeverWritesOverAnExistingFile) {
  database_.close();
  const std::string copy = temp_ / "velodex2.mdb";
  for (const std::string& existing : {std::string(), std::string("keep me")}) {
    testing::WriteFile(copy, existing);
    ExpectErrorNaming([&] { CatalogueDatabase::compact(path_, copy); }, {copy});
    EXPECT_EQ(testing::ReadFile(copy), existing);
  }
  fs::remove(copy);
  ExpectErrorNaming([&] { CatalogueDatabase::compact(temp_ / "missing.mdb", copy); },
                    {temp_ / "missing.mdb"});
  EXPECT_FALSE(fs::exists(copy));
}

// A catalogue file with enough rows to span many pages, closed.
std::string FilledCatalogue(const TempFolder& temp, const std::string& name) {
  const std::string path = temp / name;
  CatalogueDatabase::createEmpty(path);
  CatalogueDatabase database;
  database.open(path);
  RecordSet set = database.openTable("velodex");
  for (int n = 0; n < 2000; ++n) {
    set.addNew();
    set.setField("File_Name", "design number " + std::to_string(n) + ".td4");
    set.setField("Author", std::string(40, 'a'));
    set.update();
  }
  set.close();
  database.close();
  return path;
}

TEST(CatalogueFiles, IsCompleteOnlyForAWholeCatalogue) {
  TempFolder temp;
  const std::string whole = FilledCatalogue(temp, "whole.mdb");
  const std::string bytes = testing::ReadFile(whole);
  ASSERT_GT(bytes.size(), 40000u);
  testing::WriteFile(temp / "truncated.mdb", bytes.substr(0, bytes.size() / 2));
  testing::WriteFile(temp / "header.mdb", bytes.substr(0, 100));
  testing::WriteFile(temp / "empty.mdb", "");
  testing::WriteFile(temp / "text.mdb", "Standard Jet DB, or so it says\n");
  {
    sqlite3* foreign = nullptr;
    ASSERT_EQ(sqlite3_open((temp / "foreign.mdb").c_str(), &foreign), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(foreign, "CREATE TABLE other (x)", nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(foreign);
  }
  fs::create_directory(temp / "folder.mdb");
  const std::pair<std::string, bool> cases[] = {
      {"whole.mdb", true}, {"truncated.mdb", false}, {"header.mdb", false}, {"empty.mdb", false},
      {"text.mdb", false}, {"foreign.mdb", false},   {"folder.mdb", false}, {"missing.mdb", false},
  };
  for (const auto& [name, complete] : cases) {
    EXPECT_EQ(CatalogueDatabase::isComplete(temp / name), complete) << name;
  }
  // Asking changes nothing.
  EXPECT_EQ(testing::ReadFile(whole), bytes);
  EXPECT_FALSE(fs::exists(temp / "missing.mdb"));
}

TEST(CatalogueFiles, UnusableCatalogueFailsNamingTheFileWithoutCreatingOne) {
  TempFolder temp;
  const std::string whole = FilledCatalogue(temp, "whole.mdb");
  const std::string bytes = testing::ReadFile(whole);
  // Page 1 intact, so the file opens; the pages of the rows overwritten.
  std::string scrambled = bytes;
  std::fill(scrambled.begin() + 4096, scrambled.end(), '\xA5');
  testing::WriteFile(temp / "scrambled.mdb", scrambled);
  testing::WriteFile(temp / "truncated.mdb", bytes.substr(0, bytes.size() / 3));
  testing::WriteFile(temp / "text.mdb", std::string(5000, 'x'));
  {
    sqlite3* foreign = nullptr;
    ASSERT_EQ(sqlite3_open((temp / "foreign.mdb").c_str(), &foreign), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(foreign, "CREATE TABLE velodex (x)", nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(foreign);
  }
  fs::create_directory(temp / "folder.mdb");
  for (const char* name :
       {"missing.mdb", "folder.mdb", "text.mdb", "foreign.mdb", "truncated.mdb", "scrambled.mdb"}) {
    SCOPED_TRACE(name);
    const std::string path = temp / name;
    // Whatever step notices first, the failure is an Error naming the file.
    ExpectErrorNaming(
        [&] {
          CatalogueDatabase database;
          database.open(path);
          RecordSet set = database.openTable("velodex");
          EXPECT_GE(set.recordCount(), 0);
          while (!set.atEnd()) {
            set.field("File_Name");
            set.deleteCurrent();
            set.moveNext();
          }
          set.close();
          database.close();
        },
        {path});
  }
  EXPECT_FALSE(fs::exists(temp / "missing.mdb"));
}

TEST(CatalogueFiles, LockedCatalogueFailsNamingTheFileAndTheLock) {
  TempFolder temp;
  const std::string path = temp / "velodex.mdb";
  CatalogueDatabase::createEmpty(path);

  // Another connection writing: this one may read, but its own changes wait and then fail.
  CatalogueDatabase writer;
  writer.open(path);
  RecordSet writing = writer.openTable("velodex");
  writing.addNew();
  writing.setField("File_Name", "pending.td4");
  writing.update();

  CatalogueDatabase database;
  database.setBusyTimeout(50);
  database.open(path);
  RecordSet set = database.openTable("velodex");
  EXPECT_EQ(set.recordCount(), 0);
  set.addNew();
  set.setField("File_Name", "mine.td4");
  ExpectErrorNaming([&] { set.update(); }, {path, "locked"});
  set.close();
  writing.close();
  EXPECT_EQ(RowCount(database), 1);

  // Another connection holding the file exclusively: opening itself fails.
  sqlite3* holder = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &holder), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(holder, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
  CatalogueDatabase late;
  late.setBusyTimeout(50);
  ExpectErrorNaming([&] { late.open(path); }, {path, "locked"});
  EXPECT_FALSE(late.isOpen());
  ExpectErrorNaming([&] { CatalogueDatabase::compact(path, temp / "velodex2.mdb"); },
                    {path, "locked"});
  EXPECT_FALSE(fs::exists(temp / "velodex2.mdb"));
  sqlite3_exec(holder, "ROLLBACK", nullptr, nullptr, nullptr);
  sqlite3_close(holder);
  late.open(path);
  EXPECT_EQ(RowCount(late), 1);
}

TEST(CatalogueFiles, ReadOnlyCatalogueFailsNamingTheFile) {
  if (geteuid() == 0) GTEST_SKIP() << "permissions do not bind the superuser";
  TempFolder temp;
  const std::string path = temp / "velodex.mdb";
  CatalogueDatabase::createEmpty(path);
  fs::permissions(path, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  CatalogueDatabase database;
  ExpectErrorNaming([&] { database.open(path); }, {path});

  // A writable file in a folder that refuses the engine's journal beside it.
  fs::permissions(path, fs::perms::owner_write, fs::perm_options::add);
  {
    CatalogueDatabase filler;
    filler.open(path);
    RecordSet set = filler.openTable("velodex");
    set.addNew();
    set.setField("File_Name", "kept.td4");
    set.update();
    set.close();
  }
  fs::permissions(temp.path(), fs::perms::owner_read | fs::perms::owner_exec);
  ExpectErrorNaming(
      [&] {
        database.open(path);
        RecordSet set = database.openTable("velodex");
        set.deleteCurrent();
        set.close();
      },
      {path});
  database.close();
  fs::permissions(temp.path(), fs::perms::owner_all);
  CatalogueDatabase check;
  check.open(path);
  RecordSet set = check.openTable("velodex");
  EXPECT_EQ(set.recordCount(), 1);
}

}  // namespace
}  // namespace velodex
