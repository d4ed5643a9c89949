// The catalogue over SQLite.
//
// Query texts arrive in the dialect the callers write, where a text between double quotes is a
// value ("Wooden"), never a column. They are rewritten into SQLite's dialect before preparing
// (see TranslateQueryText), and SQLite's own double-quoted-string fallback is switched off on
// every connection, because that fallback reads a value as a column whenever the value happens
// to match a column name.
//
// Result sets are forward cursors over one prepared statement: only the current row is held,
// whatever the size of the catalogue. The record count is a separate COUNT(*) over the same
// query, and moveLast() only notes the position (count - 1); the statement walks there when a
// field of that row is actually read.
//
// Changes made through table sets go into one write transaction per connection, begun by the
// first change and committed when the last set that changed something closes. Loading or
// emptying a whole catalogue therefore costs one disk sync instead of one per row; the rows are
// visible to other connections once the set is closed. Crash safety stays as SQLite ships it
// (rollback journal, full sync).

#include "catalogue/catalogue_database.h"

#include <sqlite3.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <string_view>
#include <utility>
#include <vector>

#include "catalogue/error.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace velodex {
namespace {

namespace fs = std::filesystem;

constexpr int kDefaultBusyTimeoutMs = 5000;

// Column types of the catalogue:
// - SINGLE BLOB: a single-precision float, read back as float. The word BLOB gives the column
//   no affinity, so SQLite keeps exactly the double it is given; under a REAL or NUMERIC
//   affinity -0.0 would be stored as the integer 0 and lose its sign.
// - TINYINT, SMALLINT: the raw bytes and the 16-bit counts, read back as whole numbers.
// - TEXT: the bytes as written, never transcoded.
// Ride_Category has no default: a row that never sets it holds null, which pages print empty.
// The index on Ride_Name serves the per-type queries, GenericQuery and RideTypeQuery.
// RideTypeQuery is a view, ordered by name so that the index page, the type pages and the
// folders all list the types in one order. A query with parameters cannot be a view, so
// GenericQuery is kept in QueryDefs as SQLite SQL with named parameters (:name); both travel
// with the file through compaction.
constexpr const char* kSchema = R"sql(
CREATE TABLE velodex (
  File_Name TEXT,
  Ride_Name TEXT,
  Min_Wait_Time TINYINT,
  Max_Wait_Time TINYINT,
  Train_Color_Scheme TINYINT,
  Ride_Type TEXT,
  Max_Speed SINGLE BLOB,
  Avg_Speed SINGLE BLOB,
  Ride_Length SINGLE BLOB,
  PosGs SINGLE BLOB,
  NegGs SINGLE BLOB,
  LatGs SINGLE BLOB,
  Invs SMALLINT,
  Drops SMALLINT,
  Max_Drop_Height SMALLINT,
  Ex SINGLE BLOB,
  Int SINGLE BLOB,
  Na SINGLE BLOB,
  Author TEXT,
  Alink TEXT,
  zipfilename TEXT,
  Rating SINGLE BLOB,
  Ride_Category TEXT,
  Design_Digest TEXT
);
CREATE INDEX velodex_Ride_Name ON velodex (Ride_Name);
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

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Orders names without regard to ASCII letter case, as the engine matches identifiers.
struct NoCaseLess {
  using is_transparent = void;
  bool operator()(std::string_view a, std::string_view b) const {
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
      const char x = LowerAscii(a[i]);
      const char y = LowerAscii(b[i]);
      if (x != y) return static_cast<unsigned char>(x) < static_cast<unsigned char>(y);
    }
    return a.size() < b.size();
  }
};

bool StartsWithNoCase(const char* text, std::string_view prefix) {
  if (text == nullptr) return false;
  for (char p : prefix) {
    if (*text == '\0' || LowerAscii(*text) != LowerAscii(p)) return false;
    ++text;
  }
  return true;
}

std::string QuoteIdentifier(const std::string& name) {
  std::string out = "\"";
  for (char c : name) {
    out += c;
    if (c == '"') out += '"';
  }
  return out + "\"";
}

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

// Copies a span that opens with text[i] and ends with the first close character after it
// (for single-quoted literals, a doubled quote stays inside). Returns the index after it.
size_t CopySpan(const std::string& text, size_t i, char close, std::string& out) {
  out += text[i++];
  while (i < text.size()) {
    const char c = text[i++];
    out += c;
    if (c != close) continue;
    if (close == '\'' && i < text.size() && text[i] == '\'') {
      out += text[i++];
      continue;
    }
    break;
  }
  return i;
}

// Rewrites a query text from the callers' dialect into SQLite's: a text between double quotes
// (a doubled double quote stands for one inside it) becomes a single-quoted literal, with its
// single quotes doubled. Single-quoted literals, [bracketed] and `backquoted` names and comments
// pass unchanged. Trailing blanks and semicolons are dropped so the text can be nested in a
// COUNT(*). An unclosed double quote becomes an unclosed literal, which SQLite then refuses.
std::string TranslateQueryText(const std::string& text) {
  std::string out;
  out.reserve(text.size() + 8);
  size_t i = 0;
  while (i < text.size()) {
    const char c = text[i];
    const char next = i + 1 < text.size() ? text[i + 1] : '\0';
    if (c == '\'') {
      i = CopySpan(text, i, '\'', out);
    } else if (c == '[') {
      i = CopySpan(text, i, ']', out);
    } else if (c == '`') {
      i = CopySpan(text, i, '`', out);
    } else if (c == '-' && next == '-') {
      i = CopySpan(text, i, '\n', out);
    } else if (c == '/' && next == '*') {
      const size_t end = text.find("*/", i + 2);
      const size_t stop = end == std::string::npos ? text.size() : end + 2;
      out.append(text, i, stop - i);
      i = stop;
    } else if (c == '"') {
      out += '\'';
      ++i;
      bool closed = false;
      while (i < text.size()) {
        const char v = text[i++];
        if (v == '"') {
          if (i < text.size() && text[i] == '"') {
            out += '"';
            ++i;
            continue;
          }
          closed = true;
          break;
        }
        out += v;
        if (v == '\'') out += '\'';
      }
      if (closed) out += '\'';
    } else {
      out += c;
      ++i;
    }
  }
  while (!out.empty() && (IsSpace(out.back()) || out.back() == ';')) out.pop_back();
  return out;
}

struct StatementDeleter {
  void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};
using Statement = std::unique_ptr<sqlite3_stmt, StatementDeleter>;

// Prepares exactly one statement; failures throw Error(action + ": " + the engine's message).
Statement Prepare(sqlite3* db, const std::string& sql, const std::string& action) {
  sqlite3_stmt* raw = nullptr;
  const char* tail = nullptr;
  const int rc = sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size()) + 1, &raw, &tail);
  Statement statement(raw);
  if (rc != SQLITE_OK) throw Error(action + ": " + sqlite3_errmsg(db));
  if (!statement) throw Error(action + ": the text holds no statement");
  for (; tail != nullptr && *tail != '\0'; ++tail) {
    if (!IsSpace(*tail) && *tail != ';') {
      throw Error(action + ": the text holds more than one statement");
    }
  }
  return statement;
}

int Bind(sqlite3_stmt* statement, int index, const FieldValue& value) {
  if (value.isInteger()) return sqlite3_bind_int64(statement, index, value.integer());
  if (value.isSingle()) return sqlite3_bind_double(statement, index, value.single());
  if (value.isDouble()) return sqlite3_bind_double(statement, index, value.real());
  if (value.isText()) {
    return sqlite3_bind_text64(statement, index, value.text().data(), value.text().size(),
                               SQLITE_TRANSIENT, SQLITE_UTF8);
  }
  return sqlite3_bind_null(statement, index);
}

// Declared types starting with SINGLE hold single-precision floats (see kSchema).
bool IsSingleColumn(sqlite3_stmt* statement, int column) {
  return StartsWithNoCase(sqlite3_column_decltype(statement, column), "SINGLE");
}

FieldValue ReadColumn(sqlite3_stmt* statement, int column, bool single) {
  switch (sqlite3_column_type(statement, column)) {
    case SQLITE_INTEGER: {
      const int64_t value = sqlite3_column_int64(statement, column);
      if (single) return FieldValue(static_cast<float>(value));
      return FieldValue(value);
    }
    case SQLITE_FLOAT: {
      const double value = sqlite3_column_double(statement, column);
      if (single) return FieldValue(static_cast<float>(value));
      return FieldValue(value);
    }
    case SQLITE_TEXT: {
      const auto* bytes = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
      const int size = sqlite3_column_bytes(statement, column);
      return FieldValue(std::string(bytes == nullptr ? "" : bytes, static_cast<size_t>(size)));
    }
    case SQLITE_BLOB: {
      const auto* bytes = static_cast<const char*>(sqlite3_column_blob(statement, column));
      const int size = sqlite3_column_bytes(statement, column);
      return FieldValue(std::string(bytes == nullptr ? "" : bytes, static_cast<size_t>(size)));
    }
    default:
      return FieldValue();
  }
}

// Flushes a file (or, on POSIX, a folder's entries) to the disk. False when the system refuses.
bool SyncToDisk(const std::string& path, bool folder) {
#ifdef _WIN32
  if (folder) return true;  // Windows keeps no separate folder entries to flush.
  const int fd = _open(path.c_str(), _O_RDWR | _O_BINARY);
  if (fd < 0) return false;
  const bool ok = _commit(fd) == 0;
  _close(fd);
  return ok;
#else
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | (folder ? O_DIRECTORY : 0));
  if (fd < 0) return false;
  const bool ok = ::fsync(fd) == 0;
  ::close(fd);
  return ok;
#endif
}

bool PathTaken(const std::string& path) {
  std::error_code ec;
  return fs::symlink_status(path, ec).type() != fs::file_type::not_found;
}

}  // namespace

// One open SQLite connection, shared by the CatalogueDatabase and its result sets so that a set
// outliving its database object fails cleanly instead of touching a closed handle.
struct CatalogueConnection {
  sqlite3* db = nullptr;
  std::string path;
  std::set<RecordSet::Impl*> openSets;
  int changingSets = 0;  // open sets whose changes are not committed yet
  std::map<std::string, std::map<std::string, FieldValue, NoCaseLess>, NoCaseLess> parameters;

  CatalogueConnection() = default;
  CatalogueConnection(const CatalogueConnection&) = delete;
  CatalogueConnection& operator=(const CatalogueConnection&) = delete;
  ~CatalogueConnection() {
    if (db != nullptr) sqlite3_close_v2(db);
  }

  std::string message() const { return sqlite3_errmsg(db); }

  // Starts the write transaction unless one is open. IMMEDIATE takes the write lock at once,
  // waiting up to the busy timeout, so two writing connections cannot deadlock each other.
  void beginChanges(const std::string& action) {
    if (sqlite3_get_autocommit(db) == 0) return;
    if (sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK) {
      throw Error(action + ": " + message());
    }
  }

  // One changing set is done; the last one commits. A refused commit is rolled back so the
  // connection stays usable, and reported.
  void finishChanges(const std::string& action) {
    if (--changingSets > 0 || db == nullptr || sqlite3_get_autocommit(db) != 0) return;
    if (sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) {
      const std::string cause = message();
      sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
      throw Error(action + ": " + cause);
    }
  }

  // The name of a table or view as stored, matched without regard to case.
  std::optional<std::string> findObject(const char* type, const std::string& name,
                                        const std::string& action) const {
    Statement statement = Prepare(
        db, "SELECT name FROM sqlite_master WHERE type = ?1 AND name = ?2 COLLATE NOCASE", action);
    sqlite3_bind_text(statement.get(), 1, type, -1, SQLITE_STATIC);
    sqlite3_bind_text(statement.get(), 2, name.data(), static_cast<int>(name.size()),
                      SQLITE_STATIC);
    const int rc = sqlite3_step(statement.get());
    if (rc == SQLITE_DONE) return std::nullopt;
    if (rc != SQLITE_ROW) throw Error(action + ": " + message());
    return std::string(reinterpret_cast<const char*>(sqlite3_column_text(statement.get(), 0)));
  }

  struct StoredQuery {
    std::string name;
    std::string sql;
  };

  // A stored query: a definition in QueryDefs, or else a view of that name.
  std::optional<StoredQuery> findStoredQuery(const std::string& name,
                                             const std::string& action) const {
    if (findObject("table", "QueryDefs", action)) {
      Statement statement =
          Prepare(db, "SELECT Name, SqlText FROM QueryDefs WHERE Name = ?1 COLLATE NOCASE", action);
      sqlite3_bind_text(statement.get(), 1, name.data(), static_cast<int>(name.size()),
                        SQLITE_STATIC);
      const int rc = sqlite3_step(statement.get());
      if (rc == SQLITE_ROW) {
        return StoredQuery{ReadColumn(statement.get(), 0, false).text(),
                           ReadColumn(statement.get(), 1, false).text()};
      }
      if (rc != SQLITE_DONE) throw Error(action + ": " + message());
    }
    if (auto view = findObject("view", name, action)) {
      return StoredQuery{*view, "SELECT * FROM " + QuoteIdentifier(*view)};
    }
    return std::nullopt;
  }
};

struct RecordSet::Impl {
  std::shared_ptr<CatalogueConnection> connection;
  std::string description;  // "table 'velodex'", "query '...'", "stored query '...'"
  std::string table;        // table sets only: the table's name as stored
  std::string countSql;
  std::vector<std::pair<int, FieldValue>> parameters;  // bound to the cursor and the count
  Statement cursor;
  Statement counter;
  Statement inserter;
  Statement deleter;
  int firstField = 0;  // table sets read the rowid into column 0
  std::map<std::string, int, NoCaseLess> fields;
  std::vector<bool> singles;  // per column: holds single-precision floats

  // position is the row the callers are on; cursorRow the row the statement is on (-1 before
  // its first step). They differ only after moveLast, until a row is needed.
  int64_t position = 0;
  int64_t cursorRow = -1;
  bool cursorDone = false;
  bool atEnd = true;
  bool currentDeleted = false;
  bool changing = false;
  bool adding = false;
  bool closed = false;
  std::vector<std::pair<int, FieldValue>> newRow;  // column, value, in assignment order
  std::vector<int> inserterColumns;

  Impl() = default;
  Impl(const Impl&) = delete;
  Impl& operator=(const Impl&) = delete;
  ~Impl() {
    try {
      close();
    } catch (...) {
      // A destructor cannot report; close() explicitly to see a refused commit.
    }
  }

  // "cannot <action> of <set> in catalogue '<path>'"
  std::string context(const std::string& action) const {
    return action + " of " + description + " in catalogue '" + connection->path + "'";
  }

  Error fail(const std::string& action, const std::string& cause) const {
    return Error(context(action) + ": " + cause);
  }

  void requireOpen() const {
    if (closed) throw Error("the result set over " + description + " is closed");
  }

  void requireTable(const std::string& action) const {
    if (table.empty()) throw fail(action, "the result set is read-only");
  }

  void bindParameters(sqlite3_stmt* statement) const {
    for (const auto& [index, value] : parameters) Bind(statement, index, value);
  }

  // Prepares the cursor, registers the set with its connection and moves to the first row.
  void start(const std::string& sql, const std::string& action) {
    cursor = Prepare(connection->db, sql, action);
    if (sqlite3_stmt_readonly(cursor.get()) == 0 || sqlite3_column_count(cursor.get()) == 0) {
      throw Error(action + ": the text is not a query");
    }
    bindParameters(cursor.get());
    const int columns = sqlite3_column_count(cursor.get());
    singles.resize(static_cast<size_t>(columns));
    for (int column = firstField; column < columns; ++column) {
      fields.emplace(sqlite3_column_name(cursor.get(), column), column);
      singles[static_cast<size_t>(column)] = IsSingleColumn(cursor.get(), column);
    }
    connection->openSets.insert(this);
    atEnd = !step(action);
  }

  bool step(const std::string& action) {
    const int rc = sqlite3_step(cursor.get());
    if (rc == SQLITE_ROW) {
      ++cursorRow;
      return true;
    }
    if (rc == SQLITE_DONE) {
      cursorDone = true;
      return false;
    }
    const std::string cause = connection->message();
    sqlite3_reset(cursor.get());
    cursorRow = -1;
    cursorDone = false;
    throw fail(action, cause);
  }

  void rewind() {
    sqlite3_reset(cursor.get());
    cursorRow = -1;
    cursorDone = false;
  }

  // Brings the statement to the row at position; false when the set has fewer rows by now.
  bool seek(const std::string& action) {
    if (cursorRow == position && !cursorDone) return true;
    if (cursorDone || cursorRow > position) rewind();
    while (cursorRow < position) {
      if (!step(action)) return false;
    }
    return true;
  }

  void requireCurrentRow(const std::string& action) {
    if (atEnd || currentDeleted || !seek(action)) throw fail(action, "there is no current row");
  }

  // Moving away from a row started with addNew() drops it, as an update that never came.
  void cancelAdd() {
    adding = false;
    newRow.clear();
  }

  int64_t count() {
    const std::string action = "cannot count the rows";
    if (!counter) {
      counter = Prepare(connection->db, countSql, action);
      bindParameters(counter.get());
    }
    const int rc = sqlite3_step(counter.get());
    const int64_t rows = rc == SQLITE_ROW ? sqlite3_column_int64(counter.get(), 0) : 0;
    const std::string cause = rc == SQLITE_ROW ? "" : connection->message();
    sqlite3_reset(counter.get());  // releases the read lock at once
    if (rc != SQLITE_ROW) throw fail(action, cause);
    return rows;
  }

  void markChanging(const std::string& action) {
    connection->beginChanges(context(action));
    if (!changing) {
      changing = true;
      ++connection->changingSets;
    }
  }

  void deleteCurrent() {
    const std::string action = "cannot delete the current row";
    requireTable(action);
    cancelAdd();
    requireCurrentRow(action);
    const int64_t rowid = sqlite3_column_int64(cursor.get(), 0);
    if (!deleter) {
      deleter =
          Prepare(connection->db, "DELETE FROM " + QuoteIdentifier(table) + " WHERE rowid = ?1",
                  context(action));
    }
    markChanging(action);
    sqlite3_bind_int64(deleter.get(), 1, rowid);
    const int rc = sqlite3_step(deleter.get());
    const std::string cause = rc == SQLITE_DONE ? "" : connection->message();
    sqlite3_reset(deleter.get());
    if (rc != SQLITE_DONE) throw fail(action, cause);
    currentDeleted = true;
  }

  void setField(const std::string& name, const FieldValue& value) {
    const std::string action = "cannot set field '" + name + "'";
    requireTable(action);
    if (!adding) throw fail(action, "no new row was started");
    const auto found = fields.find(name);
    if (found == fields.end()) throw fail(action, "no such field");
    const int column = found->second;
    // The engine would store a NaN as null; refusing it keeps "reads back as written" true.
    if ((value.isSingle() && std::isnan(value.single())) ||
        (value.isDouble() && std::isnan(value.real()))) {
      throw fail(action, "a value that is not a number cannot be stored");
    }
    // A single-precision column holds what it would read back: a double is narrowed here.
    const FieldValue stored = singles[static_cast<size_t>(column)] && value.isDouble()
                                  ? FieldValue(static_cast<float>(value.real()))
                                  : value;
    for (auto& [assigned, previous] : newRow) {
      if (assigned == column) {
        previous = stored;
        return;
      }
    }
    newRow.emplace_back(column, stored);
  }

  void update() {
    const std::string action = "cannot store the new row";
    requireTable(action);
    if (!adding) throw fail(action, "no new row was started");
    std::vector<int> columns;
    for (const auto& entry : newRow) columns.push_back(entry.first);
    if (!inserter || columns != inserterColumns) {
      std::string sql = "INSERT INTO " + QuoteIdentifier(table);
      if (columns.empty()) {
        sql += " DEFAULT VALUES";
      } else {
        std::string names;
        std::string values;
        for (size_t i = 0; i < columns.size(); ++i) {
          names +=
              (i == 0 ? "" : ", ") + QuoteIdentifier(sqlite3_column_name(cursor.get(), columns[i]));
          values += (i == 0 ? "?" : ", ?");
        }
        sql += " (" + names + ") VALUES (" + values + ")";
      }
      inserter.reset();
      inserter = Prepare(connection->db, sql, context(action));
      inserterColumns = columns;
    }
    markChanging(action);
    for (size_t i = 0; i < newRow.size(); ++i) {
      Bind(inserter.get(), static_cast<int>(i) + 1, newRow[i].second);
    }
    const int rc = sqlite3_step(inserter.get());
    const std::string cause = rc == SQLITE_DONE ? "" : connection->message();
    sqlite3_reset(inserter.get());
    sqlite3_clear_bindings(inserter.get());
    cancelAdd();
    if (rc != SQLITE_DONE) throw fail(action, cause);
  }

  void close() {
    if (closed) return;
    closed = true;
    cancelAdd();
    cursor.reset();
    counter.reset();
    inserter.reset();
    deleter.reset();
    if (!connection) return;
    connection->openSets.erase(this);
    if (changing) {
      changing = false;
      connection->finishChanges("cannot commit the changes made through " + description +
                                " in catalogue '" + connection->path + "'");
    }
  }
};

namespace {

RecordSet::Impl& Live(const std::unique_ptr<RecordSet::Impl>& impl) {
  if (!impl) throw Error("the result set is closed");
  impl->requireOpen();
  return *impl;
}

}  // namespace

RecordSet::RecordSet(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
RecordSet::~RecordSet() = default;
RecordSet::RecordSet(RecordSet&&) noexcept = default;
RecordSet& RecordSet::operator=(RecordSet&&) noexcept = default;

int64_t RecordSet::recordCount() { return Live(impl_).count(); }

bool RecordSet::atEnd() const { return Live(impl_).atEnd; }

void RecordSet::moveFirst() {
  Impl& set = Live(impl_);
  set.cancelAdd();
  set.rewind();
  set.position = 0;
  set.currentDeleted = false;
  set.atEnd = !set.step("cannot move to the first row");
}

void RecordSet::moveLast() {
  Impl& set = Live(impl_);
  set.cancelAdd();
  const int64_t rows = set.count();
  // The count is of the rows as they are now, so the position is taken from a fresh walk: a
  // walk under way still numbers the rows this set has deleted since it began.
  set.rewind();
  set.currentDeleted = false;
  set.position = rows == 0 ? 0 : rows - 1;
  set.atEnd = rows == 0;
}

void RecordSet::moveNext() {
  Impl& set = Live(impl_);
  const std::string action = "cannot move to the next row";
  set.cancelAdd();
  if (set.atEnd) throw set.fail(action, "there is no current row");
  const bool inStep = set.cursorRow == set.position && !set.cursorDone;
  ++set.position;
  set.currentDeleted = false;
  set.atEnd = inStep ? !set.step(action) : !set.seek(action);
}

FieldValue RecordSet::field(const std::string& name) {
  Impl& set = Live(impl_);
  const std::string action = "cannot read field '" + name + "'";
  const auto found = set.fields.find(name);
  if (found == set.fields.end()) throw set.fail(action, "no such field");
  set.requireCurrentRow(action);
  return ReadColumn(set.cursor.get(), found->second,
                    set.singles[static_cast<size_t>(found->second)]);
}

void RecordSet::deleteCurrent() { Live(impl_).deleteCurrent(); }

void RecordSet::addNew() {
  Impl& set = Live(impl_);
  set.requireTable("cannot add a row");
  set.cancelAdd();
  set.adding = true;
}

void RecordSet::setField(const std::string& name, const FieldValue& value) {
  Live(impl_).setField(name, value);
}

void RecordSet::update() { Live(impl_).update(); }

void RecordSet::close() {
  if (impl_) impl_->close();
}

struct CatalogueDatabase::Impl {
  std::shared_ptr<CatalogueConnection> connection;
  std::string path;
  int busyTimeoutMs = kDefaultBusyTimeoutMs;

  CatalogueConnection& require(const std::string& action) const {
    if (!connection) throw Error(action + ": the catalogue is not open");
    return *connection;
  }

  std::string where(const std::string& action) const {
    return action + " in catalogue '" + path + "'";
  }

  RecordSet makeSet(std::unique_ptr<RecordSet::Impl> set, const std::string& sql,
                    const std::string& action) {
    set->connection = connection;
    set->start(sql, action);
    return RecordSet(std::move(set));
  }
};

CatalogueDatabase::CatalogueDatabase() : impl_(std::make_unique<Impl>()) {}

CatalogueDatabase::~CatalogueDatabase() {
  try {
    close();
  } catch (...) {
    // A destructor cannot report; close() explicitly to see a refused commit.
  }
}

void CatalogueDatabase::open(const std::string& path) {
  close();
  impl_->path = path;
  const std::string action = "cannot open catalogue '" + path + "'";
  std::error_code ec;
  const fs::file_status status = fs::status(path, ec);
  if (!fs::exists(status)) throw Error(action + ": no such file");
  if (fs::is_directory(status)) throw Error(action + ": it is a folder");

  // READWRITE without CREATE: a catalogue that vanished between the test and here is an
  // error, never a new empty file.
  auto connection = std::make_shared<CatalogueConnection>();
  connection->path = path;
  const int rc = sqlite3_open_v2(path.c_str(), &connection->db, SQLITE_OPEN_READWRITE, nullptr);
  if (rc != SQLITE_OK) {
    throw Error(action + ": " +
                (connection->db != nullptr ? connection->message() : sqlite3_errstr(rc)));
  }
  sqlite3_busy_timeout(connection->db, impl_->busyTimeoutMs);
  sqlite3_db_config(connection->db, SQLITE_DBCONFIG_DQS_DML, 0, static_cast<int*>(nullptr));
  sqlite3_db_config(connection->db, SQLITE_DBCONFIG_DQS_DDL, 0, static_cast<int*>(nullptr));
  if (sqlite3_db_readonly(connection->db, "main") == 1) {
    throw Error(action + ": the file is read-only");
  }
  // Reading the schema is the first real access: a locked, corrupt or foreign file fails here.
  for (const char* table : {"velodex", "TrackParts"}) {
    if (!connection->findObject("table", table, action)) {
      throw Error(action + ": it holds no table " + table);
    }
  }
  impl_->connection = std::move(connection);
}

void CatalogueDatabase::close() {
  if (!impl_->connection) return;
  std::shared_ptr<CatalogueConnection> connection = std::move(impl_->connection);
  impl_->connection.reset();
  std::optional<Error> firstFailure;
  while (!connection->openSets.empty()) {
    try {
      (*connection->openSets.begin())->close();
    } catch (const Error& error) {
      if (!firstFailure) firstFailure = error;
    }
  }
  if (sqlite3_get_autocommit(connection->db) == 0) {
    sqlite3_exec(connection->db, "ROLLBACK", nullptr, nullptr, nullptr);
  }
  sqlite3_close_v2(connection->db);
  connection->db = nullptr;
  if (firstFailure) throw *firstFailure;
}

bool CatalogueDatabase::isOpen() const { return impl_->connection != nullptr; }

const std::string& CatalogueDatabase::path() const { return impl_->path; }

void CatalogueDatabase::setBusyTimeout(int milliseconds) { impl_->busyTimeoutMs = milliseconds; }

RecordSet CatalogueDatabase::openTable(const std::string& name) {
  const std::string action = impl_->where("cannot open table '" + name + "'");
  CatalogueConnection& connection = impl_->require(action);
  const auto table = connection.findObject("table", name, action);
  if (!table) throw Error(action + ": no such table");
  auto set = std::make_unique<RecordSet::Impl>();
  set->description = "table '" + *table + "'";
  set->table = *table;
  set->firstField = 1;
  set->countSql = "SELECT COUNT(*) FROM " + QuoteIdentifier(*table);
  return impl_->makeSet(std::move(set), "SELECT rowid, * FROM " + QuoteIdentifier(*table), action);
}

RecordSet CatalogueDatabase::openQuery(const std::string& text) {
  const std::string action = impl_->where("cannot open query '" + text + "'");
  impl_->require(action);
  const std::string sql = TranslateQueryText(text);
  auto set = std::make_unique<RecordSet::Impl>();
  set->description = "query '" + text + "'";
  // The newline ends a trailing "--" comment before the closing parenthesis.
  set->countSql = "SELECT COUNT(*) FROM (" + sql + "\n)";
  return impl_->makeSet(std::move(set), sql, action);
}

RecordSet CatalogueDatabase::openStoredQuery(const std::string& name) {
  const std::string action = impl_->where("cannot open stored query '" + name + "'");
  CatalogueConnection& connection = impl_->require(action);
  const auto query = connection.findStoredQuery(name, action);
  if (!query) throw Error(action + ": no such stored query");

  auto set = std::make_unique<RecordSet::Impl>();
  set->description = "stored query '" + query->name + "'";
  set->countSql = "SELECT COUNT(*) FROM (" + query->sql + "\n)";
  Statement probe = Prepare(connection.db, query->sql, action);
  const auto values = connection.parameters.find(query->name);
  for (int index = 1; index <= sqlite3_bind_parameter_count(probe.get()); ++index) {
    const char* parameter = sqlite3_bind_parameter_name(probe.get(), index);
    if (parameter == nullptr) continue;
    const std::string bare = parameter + 1;  // without its ':', '@' or '$'
    const bool known = values != connection.parameters.end() && values->second.count(bare) != 0;
    if (!known) throw Error(action + ": parameter '" + bare + "' has no value");
    set->parameters.emplace_back(index, values->second.find(bare)->second);
  }
  return impl_->makeSet(std::move(set), query->sql, action);
}

void CatalogueDatabase::setParameter(const std::string& query, const std::string& parameter,
                                     const FieldValue& value) {
  const std::string action =
      impl_->where("cannot set parameter '" + parameter + "' of stored query '" + query + "'");
  CatalogueConnection& connection = impl_->require(action);
  const auto stored = connection.findStoredQuery(query, action);
  if (!stored) throw Error(action + ": no such stored query");
  Statement probe = Prepare(connection.db, stored->sql, action);
  for (int index = 1; index <= sqlite3_bind_parameter_count(probe.get()); ++index) {
    const char* name = sqlite3_bind_parameter_name(probe.get(), index);
    if (name != nullptr && !NoCaseLess()(name + 1, parameter) &&
        !NoCaseLess()(parameter, name + 1)) {
      connection.parameters[stored->name][name + 1] = value;
      return;
    }
  }
  throw Error(action + ": no such parameter");
}

void CatalogueDatabase::compact(const std::string& source, const std::string& destination) {
  const std::string action = "cannot compact catalogue '" + source + "' into '" + destination + "'";
  // VACUUM INTO would also write into an existing empty file; the destination must be new.
  if (PathTaken(destination)) throw Error(action + ": the destination exists");
  std::error_code ec;
  if (!fs::is_regular_file(source, ec)) throw Error(action + ": no such file");

  CatalogueConnection connection;
  connection.path = source;
  const int rc = sqlite3_open_v2(source.c_str(), &connection.db, SQLITE_OPEN_READWRITE, nullptr);
  if (rc != SQLITE_OK) {
    throw Error(action + ": " +
                (connection.db != nullptr ? connection.message() : sqlite3_errstr(rc)));
  }
  sqlite3_busy_timeout(connection.db, kDefaultBusyTimeoutMs);
  try {
    Statement vacuum = Prepare(connection.db, "VACUUM INTO ?1", action);
    sqlite3_bind_text(vacuum.get(), 1, destination.c_str(), -1, SQLITE_STATIC);
    if (sqlite3_step(vacuum.get()) != SQLITE_DONE) {
      throw Error(action + ": " + connection.message());
    }
  } catch (const Error&) {
    fs::remove(destination, ec);  // a partial copy is worthless, and it did not exist before
    throw;
  }
  // SQLite writes the copy without syncing it; the caller deletes the source right after, so
  // the copy must be on the disk, and its name in its folder, before this returns.
  std::string folder = fs::path(destination).parent_path().string();
  if (folder.empty()) folder = ".";
  if (!SyncToDisk(destination, false) || !SyncToDisk(folder, true)) {
    throw Error(action + ": cannot flush the copy to disk: " + std::strerror(errno));
  }
}

void CatalogueDatabase::createEmpty(const std::string& path) {
  const std::string action = "cannot create catalogue '" + path + "'";
  if (PathTaken(path)) throw Error(action + ": the file exists");
  CatalogueConnection connection;
  const int rc = sqlite3_open_v2(path.c_str(), &connection.db,
                                 SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
  std::string cause;
  if (rc != SQLITE_OK) {
    cause = connection.db != nullptr ? connection.message() : sqlite3_errstr(rc);
  } else {
    sqlite3_db_config(connection.db, SQLITE_DBCONFIG_DQS_DDL, 0, static_cast<int*>(nullptr));
    const std::string script = std::string("BEGIN;") + kSchema + "COMMIT;";
    if (sqlite3_exec(connection.db, script.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) {
      cause = connection.message();
    }
  }
  if (!cause.empty()) {
    sqlite3_close_v2(connection.db);
    connection.db = nullptr;
    std::error_code ec;
    fs::remove(path, ec);
    throw Error(action + ": " + cause);
  }
}

bool CatalogueDatabase::isComplete(const std::string& path) {
  std::error_code ec;
  if (!fs::is_regular_file(path, ec)) return false;
  CatalogueConnection connection;
  if (sqlite3_open_v2(path.c_str(), &connection.db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
    return false;
  }
  sqlite3_busy_timeout(connection.db, kDefaultBusyTimeoutMs);
  sqlite3_stmt* raw = nullptr;
  if (sqlite3_prepare_v2(connection.db, "PRAGMA quick_check", -1, &raw, nullptr) != SQLITE_OK) {
    return false;
  }
  Statement check(raw);
  if (sqlite3_step(check.get()) != SQLITE_ROW) return false;
  const auto* verdict = reinterpret_cast<const char*>(sqlite3_column_text(check.get(), 0));
  if (verdict == nullptr || std::string_view(verdict) != "ok") return false;
  try {
    return connection.findObject("table", "velodex", "check").has_value();
  } catch (const Error&) {
    return false;
  }
}

void CatalogueDatabase::replace(const std::string& source, const std::string& destination) {
  const std::string action =
      "cannot put catalogue '" + source + "' in place of '" + destination + "'";
  std::error_code ec;
  // rename() replaces the destination atomically: at every moment one whole catalogue
  // answers to the destination's name.
  fs::rename(source, destination, ec);
  if (ec) throw Error(action + ": " + ec.message());
  std::string folder = fs::path(destination).parent_path().string();
  if (folder.empty()) folder = ".";
  if (!SyncToDisk(folder, true)) {
    throw Error(action + ": cannot flush the folder to disk: " + std::strerror(errno));
  }
}

}  // namespace velodex
