// The catalogue database: values read back as written, the callers' query texts, navigation,
// changes seen across connections, stored queries, the file operations, and failures that
// name the file.
#include "catalogue/catalogue_database.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <bit>
#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>
#include <map>
#include <string>
#include <vector>

#include "catalogue/error.h"
#include "tests/support/test_support.h"

namespace velodex {
namespace {

namespace fs = std::filesystem;
using testing::ReadFile;
using testing::TempFolder;
using testing::WriteFile;
using Row = std::map<std::string, FieldValue>;
using Names = std::vector<std::string>;

// Expects call to fail with an Error whose message holds every one of parts.
void ExpectErrorNaming(const std::function<void()>& call,
                       std::initializer_list<std::string> parts) {
  try {
    call();
    ADD_FAILURE() << "expected an Error naming " << *parts.begin();
  } catch (const Error& error) {
    for (const std::string& part : parts)
      EXPECT_NE(std::string(error.what()).find(part), std::string::npos)
          << part << " not in: " << error.what();
  }
}

void Sql(const std::string& path, const std::string& sql) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK)
      << sqlite3_errmsg(db);
  sqlite3_close(db);
}

void AddRows(CatalogueDatabase& database, const std::vector<Row>& rows,
             const std::string& table = "velodex") {
  RecordSet set = database.openTable(table);
  for (const Row& row : rows) {
    set.addNew();
    for (const auto& [name, value] : row) set.setField(name, value);
    set.update();
  }
  set.close();
}

// Adds one row per design, each with a File_Name and a Ride_Name.
void AddDesigns(CatalogueDatabase& database,
                std::initializer_list<std::pair<const char*, const char*>> designs) {
  std::vector<Row> rows;
  for (const auto& [file, ride] : designs)
    rows.push_back({{"File_Name", file}, {"Ride_Name", ride}});
  AddRows(database, rows);
}

// The File_Name of every row from the set's position on.
Names FileNames(RecordSet& set) {
  Names names;
  for (; !set.atEnd(); set.moveNext()) names.push_back(set.field("File_Name").text());
  return names;
}
Names FileNames(RecordSet&& set) { return FileNames(set); }

const char kByName[] = "SELECT * From velodex ORDER BY File_Name ASC;";

// A per-type query as the ride type pages build it, shortened to three of its columns.
std::string PerTypeQuery(const std::string& rideTypeName) {
  return "SELECT velodex.File_Name, velodex.Ride_Name, velodex.ZipFileName From Velodex WHERE "
         "velodex.Ride_Name=\"" +
         rideTypeName + "\" ORDER BY File_Name ASC";
}

class Catalogue : public ::testing::Test {
 protected:
  void SetUp() override {
    CatalogueDatabase::createEmpty(path_);
    database_.open(path_);
  }

  TempFolder temp_;
  const std::string path_ = temp_ / "velodex.mdb";
  CatalogueDatabase database_;
};

TEST_F(Catalogue, EveryColumnReadsBackAsWrittenAndOfItsKind) {
  // Singles a double or REAL store would change (-0.0, the smallest subnormal), bytes that are
  // not UTF-8, a zero byte, the limits of the whole numbers.
  const Row row = {{"File_Name", std::string("caf\xE9 \xFF.td4")},
                   {"Min_Wait_Time", 255},
                   {"Invs", -32768},
                   {"PosGs", -0.0f},
                   {"NegGs", std::numeric_limits<float>::denorm_min()},
                   {"LatGs", -std::numeric_limits<float>::infinity()},
                   {"Rating", std::numeric_limits<float>::max()},
                   {"Author", std::string("Ann \"the\" O'Brien\r\n")},
                   {"Alink", std::string("a\0b", 3)}};
  AddRows(database_, {row});
  RecordSet table = database_.openTable("velodex");
  RecordSet query = database_.openQuery(kByName);
  for (RecordSet* set : {&table, &query}) {
    for (const auto& [name, written] : row) {
      const FieldValue read = set->field(name);
      EXPECT_EQ(read.isSingle(), written.isSingle()) << name;
      if (written.isSingle()) {
        EXPECT_EQ(std::bit_cast<uint32_t>(read.single()),
                  std::bit_cast<uint32_t>(written.single()));
      } else {
        EXPECT_EQ(read, written) << name;
      }
    }
    // Never written: null, which pages print empty.
    EXPECT_TRUE(set->field("Ride_Category").isNull());
  }
}

TEST_F(Catalogue, QueryTextsReadValuesBetweenDoubleQuotesAndNamesInAnyCase) {
  // Values that are also column names: read as names, Ride_Name="Ride_Name" would hold for
  // every row. How a text is translated is TranslateQueryText's; SQL's letter case is SQLite's.
  AddDesigns(database_,
             {{"w1", "Wooden"}, {"w2", "Wooden"}, {"rn", "Ride_Name"}, {"q", "O'Brien"}});
  const std::pair<std::string, Names> cases[] = {
      {"Wooden", {"w1", "w2"}}, {"Ride_Name", {"rn"}}, {"O'Brien", {"q"}}, {"", {}}};
  for (const auto& [value, files] : cases) {
    EXPECT_EQ(database_.openQuery(PerTypeQuery(value)).recordCount(), std::ssize(files)) << value;
    EXPECT_EQ(FileNames(database_.openQuery(PerTypeQuery(value))), files) << value;
  }
  // Fields and tables are found in any case (ZipFileName reads the column written as
  // zipfilename); a query holds only the columns it selects.
  RecordSet set = database_.openQuery(PerTypeQuery("Wooden"));
  EXPECT_TRUE(set.field("ZipFileName").isNull());
  EXPECT_EQ(set.field("ride_NAME").text(), "Wooden");
  ExpectErrorNaming([&] { set.field("Min_Wait_Time"); }, {"Min_Wait_Time", path_});
  EXPECT_EQ(database_.openTable("VELODEX").recordCount(), 4);
  EXPECT_EQ(database_.openTable("trackparts").recordCount(), 0);
}

TEST_F(Catalogue, RefusedCallsFailNamingTheCatalogue) {
  AddDesigns(database_, {{"a", "Wooden"}});
  RecordSet table = database_.openTable("velodex");
  RecordSet query = database_.openQuery(kByName);
  const std::function<void()> calls[] = {
      [&] { database_.openQuery("SELECT * From velodex ORDER BY Ride_Speed ASC;"); },
      [&] { database_.openQuery("DELETE FROM velodex"); },
      [&] { database_.openQuery("SELECT * From velodex; DELETE FROM velodex;"); },
      [&] { database_.openQuery(""); },
      [&] { database_.openTable("RideTypeQuery"); },
      [&] { database_.openStoredQuery("NoQuery"); },
      [&] { database_.openStoredQuery("GenericQuery"); },  // its parameter has no value
      [&] { database_.setParameter("GenericQuery", "ridename", "Wooden"); },
      [&] { table.field("Colour"); },
      [&] { table.setField("File_Name", "x"); },  // no addNew
      [&] { table.addNew(), table.setField("Ex", std::numeric_limits<float>::quiet_NaN()); },
      [&] { table.addNew(), table.setField("Colour", "red"); },
      [&] { query.addNew(); },
      [&] { query.deleteCurrent(); },
  };
  for (const auto& call : calls) ExpectErrorNaming(call, {path_});
  table.close();
  EXPECT_EQ(FileNames(database_.openQuery(kByName)), Names{"a"});
}

// moveLast has no caller in the program, so it is not walked here.
TEST_F(Catalogue, NavigationOverEmptyOneAndSeveralRows) {
  size_t present = 0;
  for (const Names& files : {Names{}, Names{"a"}, Names{"a", "b", "c"}}) {
    SCOPED_TRACE(files.size());
    for (size_t n = files.size(); n > present; --n) {  // out of order
      AddRows(database_, {{{"File_Name", files[n - 1]}}});
    }
    present = files.size();
    RecordSet set = database_.openQuery(kByName);
    EXPECT_EQ(set.atEnd(), files.empty());
    EXPECT_EQ(set.recordCount(), std::ssize(files));
    EXPECT_EQ(FileNames(set), files);
    // Past the end there is no row to read or move from; moveFirst walks again.
    ExpectErrorNaming([&] { set.field("File_Name"); }, {path_});
    ExpectErrorNaming([&] { set.moveNext(); }, {path_});
    set.moveFirst();
    EXPECT_EQ(FileNames(set), files);
  }
}

// The run's emptying loop over none, one and many rows is the run's own test: every run
// empties what the run before it left.
TEST_F(Catalogue, DeletedRowsAreGoneFromTheSetAtOnce) {
  AddRows(database_, {{{"File_Name", "a"}}, {{"File_Name", "b"}}, {{"File_Name", "c"}}});
  RecordSet set = database_.openTable("velodex");
  set.deleteCurrent();
  ExpectErrorNaming([&] { set.field("File_Name"); }, {path_});
  ExpectErrorNaming([&] { set.deleteCurrent(); }, {path_});
  set.moveNext();
  EXPECT_EQ(set.field("File_Name").text(), "b");
  // A delete at the last row ends the walk.
  set.moveNext();
  set.deleteCurrent();
  set.moveNext();
  EXPECT_TRUE(set.atEnd());
  EXPECT_EQ(set.recordCount(), 1);
  set.moveFirst();
  EXPECT_EQ(FileNames(set), Names{"b"});
}

TEST_F(Catalogue, AddNewStoresOnlyWhatUpdateIsGiven) {
  RecordSet set = database_.openTable("velodex");
  set.addNew();
  set.setField("File_Name", "first");
  set.setField("file_name", "second");  // the last assignment counts
  set.update();
  // Moving away from a started row drops it.
  set.addNew();
  set.setField("File_Name", "dropped");
  set.moveFirst();
  ExpectErrorNaming([&] { set.update(); }, {path_});
  set.close();
  RecordSet rows = database_.openQuery(kByName);
  EXPECT_EQ(rows.recordCount(), 1);
  for (const std::string& column : CatalogueDatabase::columnNames()) {
    EXPECT_EQ(rows.field(column), column == "File_Name" ? FieldValue("second") : FieldValue());
  }
}

TEST_F(Catalogue, ChangesAreSeenByOtherConnectionsOnceTheirSetCloses) {
  CatalogueDatabase scan;  // the run's connection (database_) is open before the scan's
  scan.open(path_);
  AddDesigns(scan, {{"a", "Wooden"}});
  EXPECT_EQ(FileNames(database_.openQuery(kByName)), Names{"a"});
  RecordSet left = scan.openTable("velodex");
  left.addNew();
  left.setField("File_Name", "b");
  left.update();
  scan.close();  // commits what the set left open, and closes it
  ExpectErrorNaming([&] { left.atEnd(); }, {"velodex"});
  EXPECT_EQ(database_.openStoredQuery("RideTypeQuery").recordCount(), 2);
  database_.openTable("velodex").deleteCurrent();  // deletes travel the same way
  scan.open(path_);
  EXPECT_EQ(FileNames(scan.openQuery(kByName)), Names{"b"});
}

TEST_F(Catalogue, StoredQueriesGroupByRideNameAndFilterByTheParameter) {
  EXPECT_TRUE(database_.openStoredQuery("RideTypeQuery").atEnd());
  AddDesigns(database_,
             {{"w1", "Wooden"}, {"u1", "Unknown"}, {"w2", "Wooden"}, {"rn", "Ride_Name"}});
  // Right after opening, as the type pages read it. The groups' names, counts and order are
  // the ride index page's own case.
  EXPECT_EQ(database_.openStoredQuery("ridetypequery").recordCount(), 3);
  const std::pair<std::string, Names> cases[] = {
      {"Wooden", {"w1", "w2"}}, {"Ride_Name", {"rn"}}, {"Steel", {}}};
  for (const auto& [value, files] : cases) {
    database_.setParameter("genericquery", "TheRideName", value);
    RecordSet rows = database_.openStoredQuery("GenericQuery");
    EXPECT_EQ(rows.recordCount(), std::ssize(files)) << value;
    EXPECT_EQ(FileNames(std::move(rows)), files) << value;
  }
}

TEST_F(Catalogue, CatalogueOfAnEarlierVersionGainsTheColumnsAddedSince) {
  AddRows(database_, {{{"File_Name", "old"}, {"Ride_Category", "x"}}});
  database_.close();
  Sql(path_, "ALTER TABLE velodex DROP COLUMN Ride_Category; ALTER TABLE velodex DROP COLUMN Na");
  database_.open(path_);
  AddRows(database_, {{{"File_Name", "new"}, {"Na", 1.5f}}});
  RecordSet rows = database_.openQuery(kByName);
  EXPECT_EQ(rows.field("Na"), FieldValue(1.5f));
  rows.moveNext();
  EXPECT_EQ(rows.field("File_Name").text(), "old");
  EXPECT_TRUE(rows.field("Ride_Category").isNull());
}

TEST_F(Catalogue, CompactionCopiesEverythingIntoANewFileAndLeavesTheSource) {
  AddRows(database_,
          {{{"File_Name", "w1"}, {"Ride_Name", "Wooden"}, {"Ex", 0.1f}}, {{"Ride_Name", "Steel"}}});
  AddRows(database_, {{{"File_Name", "part"}}}, "TrackParts");
  database_.close();
  const std::string copy = temp_ / "velodex2.mdb";
  const std::string before = ReadFile(path_);
  CatalogueDatabase::compact(path_, copy);
  EXPECT_EQ(ReadFile(path_), before);
  CatalogueDatabase compacted;
  compacted.open(copy);
  EXPECT_EQ(compacted.openTable("TrackParts").recordCount(), 1);
  EXPECT_EQ(compacted.openStoredQuery("RideTypeQuery").recordCount(), 2);
  compacted.setParameter("GenericQuery", "theridename", "Wooden");
  EXPECT_EQ(compacted.openStoredQuery("GenericQuery").field("Ex"), FieldValue(0.1f));
  compacted.close();
  // Never over an existing file, not even an empty one.
  for (const std::string existing : {"", "keep me"}) {
    WriteFile(copy, existing);
    ExpectErrorNaming([&] { CatalogueDatabase::compact(path_, copy); }, {copy});
    EXPECT_EQ(ReadFile(copy), existing);
  }
  fs::remove(copy);
  ExpectErrorNaming([&] { CatalogueDatabase::compact(path_ + "x", copy); }, {path_ + "x"});
  EXPECT_FALSE(fs::exists(copy));
}

TEST_F(Catalogue, ReplacePutsTheFileInPlaceOfTheOther) {
  database_.close();
  const std::string copy = temp_ / "velodex2.mdb";
  WriteFile(copy, "the copy");
  CatalogueDatabase::replace(copy, path_);
  EXPECT_EQ(ReadFile(path_), "the copy");
  EXPECT_FALSE(fs::exists(copy));
  ExpectErrorNaming([&] { CatalogueDatabase::replace(copy, path_); }, {copy, path_});
  EXPECT_EQ(ReadFile(path_), "the copy");
}

TEST_F(Catalogue, OnlyAWholeCatalogueIsCompleteAndOpens) {
  AddRows(database_, std::vector<Row>(2000, Row{{"File_Name", std::string(60, 'a')}}));
  database_.close();
  const TempFolder& temp = temp_;
  const std::string bytes = ReadFile(path_);
  ASSERT_GT(bytes.size(), 40000u);
  std::string scrambled = bytes;  // page 1 intact, so the file opens; the rows' pages not
  std::fill(scrambled.begin() + 4096, scrambled.end(), '\xA5');
  WriteFile(temp / "truncated.mdb", bytes.substr(0, bytes.size() / 3));
  WriteFile(temp / "scrambled.mdb", scrambled);
  WriteFile(temp / "empty.mdb", "");
  WriteFile(temp / "text.mdb", std::string(5000, 'x'));
  Sql(temp / "foreign.mdb", "CREATE TABLE other (x)");
  fs::create_directory(temp / "folder.mdb");
  EXPECT_TRUE(CatalogueDatabase::isComplete(path_));
  for (const char* name : {"truncated.mdb", "scrambled.mdb", "empty.mdb", "text.mdb", "foreign.mdb",
                           "folder.mdb", "missing.mdb"}) {
    EXPECT_FALSE(CatalogueDatabase::isComplete(temp / name)) << name;
    // Whatever step notices first, the failure is an Error naming the file.
    ExpectErrorNaming(
        [&] {
          CatalogueDatabase database;
          database.open(temp / name);
          RecordSet set = database.openTable("velodex");
          for (set.recordCount(); !set.atEnd(); set.moveNext()) {
            set.field("File_Name");
            set.deleteCurrent();
          }
          set.close();
        },
        {temp / name});
  }
  EXPECT_EQ(ReadFile(path_), bytes);
  EXPECT_FALSE(fs::exists(temp / "missing.mdb"));
}

TEST_F(Catalogue, LockedCatalogueFailsNamingTheFileAndTheLock) {
  database_.close();
  sqlite3* holder = nullptr;  // another connection, holding the file exclusively
  ASSERT_EQ(sqlite3_open(path_.c_str(), &holder), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(holder, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
  database_.setBusyTimeout(50);
  ExpectErrorNaming([&] { database_.open(path_); }, {path_, "locked"});
  EXPECT_FALSE(database_.isOpen());
  sqlite3_close(holder);
}

TEST_F(Catalogue, ReadOnlyCatalogueFailsNamingTheFile) {
  AddRows(database_, {{{"File_Name", "kept"}}});
  database_.close();
  fs::permissions(path_, fs::perms::owner_write, fs::perm_options::remove);
  if (std::ofstream(path_, std::ios::app)) {
    fs::permissions(path_, fs::perms::owner_write, fs::perm_options::add);
    GTEST_SKIP() << "permissions do not bind this user (the superuser)";
  }
  ExpectErrorNaming([&] { database_.open(path_); }, {path_});
  fs::permissions(path_, fs::perms::owner_write, fs::perm_options::add);
  database_.open(path_);
  EXPECT_EQ(database_.openTable("velodex").recordCount(), 1);
}

}  // namespace
}  // namespace velodex
