// The one wrapper over SQLite: a connection and its prepared statements as RAII handles.
// Every failing SQLite call becomes an Error here and nowhere else, as "ACTION: CAUSE", where
// the caller's action names the catalogue file (and the object) and the cause is SQLite's
// message. Only the catalogue database's own sources use this header.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "catalogue/catalogue_database.h"

struct sqlite3;
struct sqlite3_stmt;

namespace velodex {

// How long a connection waits for another connection's lock before failing with "database
// is locked".
inline constexpr int kDefaultBusyTimeoutMs = 5000;

// One prepared statement over one connection; it must not outlive the connection.
class Statement {
 public:
  Statement() = default;
  explicit operator bool() const { return handle_ != nullptr; }

  // Steps once: true on a row, false at the end. A failure resets the statement and throws
  // Error(action + ": " + cause).
  bool step(const std::string& action);
  // Steps a statement that yields no rows to its end, then resets it and clears its bindings
  // whatever the outcome. Throws like step().
  void run(const std::string& action);
  // Back to before the first row; a reading statement gives up its read lock.
  void reset();

  // Binds by position (from 1): integers, floats (a single is widened exactly), text as its
  // bytes, null.
  void bind(int index, const FieldValue& value);
  int parameterCount() const;
  // The parameter's name without its ':', '@' or '$'; empty for a nameless one.
  std::string parameterName(int index) const;

  // True when the statement only reads and yields columns.
  bool isQuery() const;
  int columnCount() const;
  std::string columnName(int column) const;
  // True when the column's declared type starts with SINGLE: it holds single-precision floats.
  bool isSingle(int column) const;
  // The current row's value of a column: text and blobs as their bytes, whole numbers as
  // integers, floats as doubles, or as singles when single is set.
  FieldValue column(int column, bool single = false) const;

 private:
  friend class SqliteConnection;
  struct Finalizer {
    void operator()(sqlite3_stmt* statement) const;
  };
  explicit Statement(sqlite3_stmt* handle) : handle_(handle) {}
  std::unique_ptr<sqlite3_stmt, Finalizer> handle_;
};

enum class OpenMode {
  kReadWrite,  // an existing file, shared, for reading and writing; never creates one
  kReadOnly,   // an existing file, only read
  kCreate,     // a new file
};

// One connection to a catalogue file.
class SqliteConnection {
 public:
  // The one way the program opens a catalogue file. Every connection gets the same settings:
  // it waits up to busyTimeoutMs for another connection's lock, and a text between double
  // quotes is always a name, never SQLite's fallback string literal (which would read a
  // value as a column whenever the value matches a column name). Throws Error(action + ": " +
  // cause) when SQLite refuses the file.
  SqliteConnection(const std::string& path, OpenMode mode, int busyTimeoutMs,
                   const std::string& action);
  ~SqliteConnection();
  SqliteConnection(const SqliteConnection&) = delete;
  SqliteConnection& operator=(const SqliteConnection&) = delete;

  const std::string& path() const { return path_; }
  bool isOpen() const { return db_ != nullptr; }
  // True when SQLite could open the file only for reading.
  bool isReadOnly() const;
  // Closes the connection; an open transaction is rolled back.
  void close();

  // Prepares exactly one statement; a text with none or with more than one fails.
  Statement prepare(const std::string& sql, const std::string& action);
  // Runs a script of statements, stopping at the first failure.
  void execute(const std::string& sql, const std::string& action);

  // The write transaction: begin() starts one unless one is open, taking the write lock at
  // once (waiting up to the busy timeout), so two writing connections cannot deadlock each
  // other. A refused commit() is rolled back, so the connection stays usable, and reported.
  bool inTransaction() const;
  void begin(const std::string& action);
  void commit(const std::string& action);
  void rollback();

  // The name of a table or view as stored, matched without regard to case; nullopt when
  // there is none.
  std::optional<std::string> findObject(const char* type, const std::string& name,
                                        const std::string& action);

 private:
  std::string path_;
  sqlite3* db_ = nullptr;
};

// A name quoted for SQLite's text, whatever characters it holds.
std::string QuoteIdentifier(const std::string& name);

// Orders names without regard to ASCII letter case, as SQLite matches names.
struct NoCaseLess {
  using is_transparent = void;
  bool operator()(std::string_view a, std::string_view b) const;
};

// True when two names are the same without regard to ASCII letter case.
bool SameName(std::string_view a, std::string_view b);

}  // namespace velodex
