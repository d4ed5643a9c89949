// What a catalogue file holds: the table velodex (one row per design), the table TrackParts,
// and the stored queries RideTypeQuery and GenericQuery. Only the catalogue database's own
// sources use this header.
#pragma once

#include <optional>
#include <string>

namespace velodex {

class SqliteConnection;

// The SQL script that makes the tables, the index and the stored queries of an empty
// catalogue.
std::string CatalogueSchemaScript();

// Adds to the open catalogue's table velodex (named table, as stored) every column of the
// schema it lacks, so a catalogue made by an earlier version of the program takes the columns
// added since; its rows hold null there. Writes nothing when no column is missing. Throws
// Error(action + ": " + cause).
void AddMissingColumns(SqliteConnection& connection, const std::string& table,
                       const std::string& action);

struct StoredQuery {
  std::string name;  // as stored
  std::string sql;   // SQLite's text, with named parameters (:name)
};

// A stored query by name, without regard to case: a definition in QueryDefs, or else a view
// of that name. nullopt when there is neither.
std::optional<StoredQuery> FindStoredQuery(SqliteConnection& connection, const std::string& name,
                                           const std::string& action);

}  // namespace velodex
