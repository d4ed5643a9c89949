// The catalogue's schema.
//
// Column types:
// - SINGLE BLOB: a single-precision float, read back as float. The word BLOB gives the column
//   no affinity, so SQLite keeps exactly the double it is given; under a REAL or NUMERIC
//   affinity -0.0 would be stored as the integer 0 and lose its sign.
// - TINYINT, SMALLINT, INTEGER: the raw bytes, the 16-bit counts and other whole numbers.
// - TEXT: the bytes as written, never transcoded.
// Ride_Category has no default: a row that never sets it holds null, which pages print empty.
// The index on Ride_Name serves the per-type queries, GenericQuery and RideTypeQuery.
// RideTypeQuery is a view, ordered by name so that the index page, the type pages and the
// folders all list the types in one order. A query with parameters cannot be a view, so
// GenericQuery is kept in QueryDefs as SQLite SQL with named parameters (:name); both travel
// with the file through compaction.
#include "catalogue/catalogue_schema.h"

#include <vector>

#include "catalogue/catalogue_database.h"
#include "catalogue/sqlite_connection.h"

namespace velodex {
namespace {

struct CatalogueColumn {
  const char* name;
  const char* type;  // as declared; see above
};

// To add a column, add one line at the end of this list, such as {"Disk_Name", "TEXT"}: a
// new catalogue gets it from CatalogueSchemaScript(), and a catalogue made before gets it when
// it is opened (AddMissingColumns). Keep it at the end, where an added column lands in an
// existing file, so every catalogue lists its columns in one order.
constexpr CatalogueColumn kVelodexColumns[] = {
    {"File_Name", "TEXT"},
    {"Ride_Name", "TEXT"},
    {"Min_Wait_Time", "TINYINT"},
    {"Max_Wait_Time", "TINYINT"},
    {"Train_Color_Scheme", "TINYINT"},
    {"Ride_Type", "TEXT"},
    {"Max_Speed", "SINGLE BLOB"},
    {"Avg_Speed", "SINGLE BLOB"},
    {"Ride_Length", "SINGLE BLOB"},
    {"PosGs", "SINGLE BLOB"},
    {"NegGs", "SINGLE BLOB"},
    {"LatGs", "SINGLE BLOB"},
    {"Invs", "SMALLINT"},
    {"Drops", "SMALLINT"},
    {"Max_Drop_Height", "SMALLINT"},
    {"Ex", "SINGLE BLOB"},
    {"Int", "SINGLE BLOB"},
    {"Na", "SINGLE BLOB"},
    {"Author", "TEXT"},
    {"Alink", "TEXT"},
    {"zipfilename", "TEXT"},
    {"Rating", "SINGLE BLOB"},
    {"Ride_Category", "TEXT"},
    {"Disk_Name", "TEXT"},  // the design's file name as listed on disk
    {"Design_Digest", "TEXT"},  // the digest of the decoded contents (design_digest.h)
    {"Layout_Pieces", "SMALLINT"},
    {"Layout_Width", "SMALLINT"},
    {"Layout_Length", "SMALLINT"},
    {"Layout_Rise", "SMALLINT"},
    {"Layout_Dip", "SMALLINT"},
    {"Layout_Closed", "TINYINT"},
    {"Layout_Group", "INTEGER"},
};

constexpr const char* kOtherObjects = R"sql(CREATE INDEX velodex_Ride_Name ON velodex (Ride_Name);
CREATE TABLE TrackParts (
  File_Name TEXT,
  Part_Number SMALLINT,
  Part_Code SMALLINT
);
CREATE VIEW RideTypeQuery AS
  SELECT Ride_Name, COUNT(*) AS CountOfRide_Name FROM velodex
  GROUP BY Ride_Name ORDER BY Ride_Name;
CREATE TABLE QueryDefs (
  Name TEXT PRIMARY KEY COLLATE NOCASE,
  SqlText TEXT NOT NULL
);
INSERT INTO QueryDefs (Name, SqlText)
  VALUES ('GenericQuery', 'SELECT * FROM velodex WHERE Ride_Name = :theridename');
)sql";

}  // namespace

std::vector<std::string> CatalogueDatabase::columnNames() {
  std::vector<std::string> names;
  for (const CatalogueColumn& column : kVelodexColumns) names.emplace_back(column.name);
  return names;
}

std::string CatalogueSchemaScript() {
  std::string script = "CREATE TABLE velodex (\n";
  for (const CatalogueColumn& column : kVelodexColumns) {
    if (&column != kVelodexColumns) script += ",\n";
    script += std::string("  ") + column.name + " " + column.type;
  }
  return script + "\n);\n" + kOtherObjects;
}

void AddMissingColumns(SqliteConnection& connection, const std::string& table,
                       const std::string& action) {
  std::vector<const CatalogueColumn*> missing;
  {
    const Statement existing =
        connection.prepare("SELECT * FROM " + QuoteIdentifier(table), action);
    for (const CatalogueColumn& column : kVelodexColumns) {
      bool present = false;
      for (int i = 0; i < existing.columnCount() && !present; ++i) {
        present = SameName(existing.columnName(i), column.name);
      }
      if (!present) missing.push_back(&column);
    }
  }
  if (missing.empty()) return;
  connection.begin(action);
  for (const CatalogueColumn* column : missing) {
    connection.execute("ALTER TABLE " + QuoteIdentifier(table) + " ADD COLUMN " +
                           QuoteIdentifier(column->name) + " " + column->type,
                       action);
  }
  connection.commit(action);
}

std::optional<StoredQuery> FindStoredQuery(SqliteConnection& connection, const std::string& name,
                                           const std::string& action) {
  if (connection.findObject("table", "QueryDefs", action)) {
    Statement statement = connection.prepare(
        "SELECT Name, SqlText FROM QueryDefs WHERE Name = ?1 COLLATE NOCASE", action);
    statement.bind(1, name);
    if (statement.step(action)) {
      return StoredQuery{statement.column(0).text(), statement.column(1).text()};
    }
  }
  if (auto view = connection.findObject("view", name, action)) {
    return StoredQuery{*view, "SELECT * FROM " + QuoteIdentifier(*view)};
  }
  return std::nullopt;
}

}  // namespace velodex
