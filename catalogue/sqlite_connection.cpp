// Connections and statements over SQLite's C interface.
#include "catalogue/sqlite_connection.h"

#include <sqlite3.h>

#include <algorithm>
#include <string_view>

#include "catalogue/error.h"
#include "catalogue/file_system.h"

namespace velodex {
namespace {

std::string MessageOf(sqlite3_stmt* statement) {
  return sqlite3_errmsg(sqlite3_db_handle(statement));
}

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool StartsWithNoCase(const char* text, std::string_view prefix) {
  if (text == nullptr) return false;
  for (char p : prefix) {
    if (*text == '\0' || LowerAscii(*text) != LowerAscii(p)) return false;
    ++text;
  }
  return true;
}

}  // namespace

void Statement::Finalizer::operator()(sqlite3_stmt* statement) const {
  sqlite3_finalize(statement);
}

bool Statement::step(const std::string& action) {
  const int rc = sqlite3_step(handle_.get());
  if (rc == SQLITE_ROW) return true;
  if (rc == SQLITE_DONE) return false;
  const std::string cause = MessageOf(handle_.get());
  sqlite3_reset(handle_.get());
  throw Error(action + ": " + cause);
}

void Statement::run(const std::string& action) {
  const int rc = sqlite3_step(handle_.get());
  const std::string cause = rc == SQLITE_DONE ? "" : MessageOf(handle_.get());
  sqlite3_reset(handle_.get());
  sqlite3_clear_bindings(handle_.get());
  if (rc != SQLITE_DONE) throw Error(action + ": " + cause);
}

void Statement::reset() { sqlite3_reset(handle_.get()); }

void Statement::bind(int index, const FieldValue& value) {
  sqlite3_stmt* statement = handle_.get();
  if (value.isInteger()) {
    sqlite3_bind_int64(statement, index, value.integer());
  } else if (value.isSingle()) {
    sqlite3_bind_double(statement, index, value.single());
  } else if (value.isDouble()) {
    sqlite3_bind_double(statement, index, value.real());
  } else if (value.isText()) {
    sqlite3_bind_text64(statement, index, value.text().data(), value.text().size(),
                        SQLITE_TRANSIENT, SQLITE_UTF8);
  } else {
    sqlite3_bind_null(statement, index);
  }
}

int Statement::parameterCount() const { return sqlite3_bind_parameter_count(handle_.get()); }

std::string Statement::parameterName(int index) const {
  const char* name = sqlite3_bind_parameter_name(handle_.get(), index);
  return name == nullptr ? std::string() : std::string(name + 1);
}

bool Statement::isQuery() const {
  return sqlite3_stmt_readonly(handle_.get()) != 0 && columnCount() != 0;
}

int Statement::columnCount() const { return sqlite3_column_count(handle_.get()); }

std::string Statement::columnName(int column) const {
  return sqlite3_column_name(handle_.get(), column);
}

bool Statement::isSingle(int column) const {
  return StartsWithNoCase(sqlite3_column_decltype(handle_.get(), column), "SINGLE");
}

FieldValue Statement::column(int column, bool single) const {
  sqlite3_stmt* statement = handle_.get();
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

SqliteConnection::SqliteConnection(const std::string& path, OpenMode mode, int busyTimeoutMs,
                                   const std::string& action)
    : path_(path) {
  const int flags = mode == OpenMode::kReadOnly ? SQLITE_OPEN_READONLY
                    : mode == OpenMode::kCreate ? SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE
                                                : SQLITE_OPEN_READWRITE;
  // A connection and its statements are used by one thread at a time (the run's), so the
  // library's own locking around every call is left out: it cost a tenth of reading a page's
  // rows.
  const int rc =
      sqlite3_open_v2(LibraryPathText(path).c_str(), &db_, flags | SQLITE_OPEN_NOMUTEX, nullptr);
  if (rc != SQLITE_OK) {
    const std::string cause = db_ != nullptr ? sqlite3_errmsg(db_) : sqlite3_errstr(rc);
    close();
    throw Error(action + ": " + cause);
  }
  sqlite3_busy_timeout(db_, busyTimeoutMs);
  sqlite3_db_config(db_, SQLITE_DBCONFIG_DQS_DML, 0, static_cast<int*>(nullptr));
  sqlite3_db_config(db_, SQLITE_DBCONFIG_DQS_DDL, 0, static_cast<int*>(nullptr));
}

SqliteConnection::~SqliteConnection() { close(); }

bool SqliteConnection::isReadOnly() const { return sqlite3_db_readonly(db_, "main") == 1; }

void SqliteConnection::close() {
  if (db_ == nullptr) return;
  rollback();
  sqlite3_close_v2(db_);
  db_ = nullptr;
}

Statement SqliteConnection::prepare(const std::string& sql, const std::string& action) {
  sqlite3_stmt* raw = nullptr;
  const char* tail = nullptr;
  const int rc =
      sqlite3_prepare_v2(db_, sql.c_str(), static_cast<int>(sql.size()) + 1, &raw, &tail);
  Statement statement(raw);
  if (rc != SQLITE_OK) throw Error(action + ": " + sqlite3_errmsg(db_));
  if (!statement) throw Error(action + ": the text holds no statement");
  if (tail != nullptr &&
      std::string_view(tail).find_first_not_of(" \t\n\r\f\v;") != std::string_view::npos) {
    throw Error(action + ": the text holds more than one statement");
  }
  return statement;
}

void SqliteConnection::execute(const std::string& sql, const std::string& action) {
  if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) {
    throw Error(action + ": " + sqlite3_errmsg(db_));
  }
}

bool SqliteConnection::inTransaction() const { return sqlite3_get_autocommit(db_) == 0; }

void SqliteConnection::begin(const std::string& action) {
  if (!inTransaction()) execute("BEGIN IMMEDIATE", action);
}

void SqliteConnection::commit(const std::string& action) {
  if (!inTransaction()) return;
  if (sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) {
    const std::string cause = sqlite3_errmsg(db_);
    rollback();
    throw Error(action + ": " + cause);
  }
}

void SqliteConnection::rollback() {
  if (inTransaction()) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
}

std::optional<std::string> SqliteConnection::findObject(const char* type, const std::string& name,
                                                        const std::string& action) {
  Statement statement = prepare(
      "SELECT name FROM sqlite_master WHERE type = ?1 AND name = ?2 COLLATE NOCASE", action);
  statement.bind(1, type);
  statement.bind(2, name);
  if (!statement.step(action)) return std::nullopt;
  return statement.column(0).text();
}

bool NoCaseLess::operator()(std::string_view a, std::string_view b) const {
  const size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    const char x = LowerAscii(a[i]);
    const char y = LowerAscii(b[i]);
    if (x != y) return static_cast<unsigned char>(x) < static_cast<unsigned char>(y);
  }
  return a.size() < b.size();
}

bool SameName(std::string_view a, std::string_view b) {
  return !NoCaseLess()(a, b) && !NoCaseLess()(b, a);
}

std::string QuoteIdentifier(const std::string& name) {
  std::string out = "\"";
  for (char c : name) {
    out += c;
    if (c == '"') out += '"';
  }
  return out + "\"";
}

}  // namespace velodex
