// The cursor behind RecordSet, and the connection that CatalogueDatabase shares with its
// result sets. Only the catalogue database's own sources use this header.
//
// A result set is a forward cursor over one prepared statement: only the current row is held,
// whatever the size of the catalogue. The record count is a separate COUNT(*) over the same
// query, and moveLast() only notes the position (count - 1); the statement walks there when a
// field of that row is actually read.
//
// Changes made through table sets go into one write transaction per connection, begun by the
// first change and committed when the last set that changed something closes. Loading or
// emptying a whole catalogue therefore costs one disk sync instead of one per row; the rows
// are visible to other connections once the set is closed. Crash safety stays as SQLite ships
// it (rollback journal, full sync).
#pragma once

#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "catalogue/catalogue_database.h"
#include "catalogue/sqlite_connection.h"

namespace velodex {

// An open catalogue connection, shared by the CatalogueDatabase and its result sets so that a
// set outliving its database object fails cleanly instead of touching a closed handle.
class CatalogueConnection : public SqliteConnection {
 public:
  using SqliteConnection::SqliteConnection;
  std::set<RecordSet::Impl*> openSets;
  int changingSets = 0;  // open sets whose changes are not committed yet
};

// What a result set reads.
struct RecordSetSource {
  std::string description;  // "table 'velodex'", "query '...'", "stored query '...'"
  std::string table;        // table sets only: the table's name as stored
  std::string sql;          // table sets select the rowid first
  std::string countSql;
  std::vector<std::pair<int, FieldValue>> parameters;  // bound to the cursor and the count
};

// Opens a result set over source, positioned on its first row. Throws Error naming action when
// the text is not a single query or the first row cannot be read.
RecordSet OpenRecordSet(const std::shared_ptr<CatalogueConnection>& connection,
                        RecordSetSource source, const std::string& action);

// Closes every result set still open on connection, committing their changes, then the
// connection itself (rolling back what a refused commit left). Throws the first failure once
// everything is closed.
void CloseConnection(CatalogueConnection& connection);

}  // namespace velodex
