// The catalogue: an SQLite file ("velodex.mdb") holding the table velodex (one row per
// design), the table TrackParts and the stored queries RideTypeQuery and GenericQuery.
// CatalogueDatabase is the connection, RecordSet a result set with the navigation the run
// and the page writers use. Every failing engine call throws Error naming the file (or the
// query) and the engine's message.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <variant>
#include <vector>

namespace velodex {

// A column value as it was written: text as text, whole numbers as whole numbers,
// single-precision floats as the same float.
class FieldValue {
 public:
  FieldValue() = default;  // database null
  FieldValue(int64_t value) : value_(value) {}
  FieldValue(int value) : value_(static_cast<int64_t>(value)) {}
  FieldValue(float value) : value_(value) {}
  FieldValue(double value) : value_(value) {}
  FieldValue(std::string value) : value_(std::move(value)) {}
  FieldValue(const char* value) : value_(std::string(value)) {}

  bool isNull() const { return std::holds_alternative<std::monostate>(value_); }
  bool isInteger() const { return std::holds_alternative<int64_t>(value_); }
  bool isSingle() const { return std::holds_alternative<float>(value_); }
  bool isDouble() const { return std::holds_alternative<double>(value_); }
  bool isText() const { return std::holds_alternative<std::string>(value_); }

  int64_t integer() const { return std::get<int64_t>(value_); }
  float single() const { return std::get<float>(value_); }
  double real() const { return std::get<double>(value_); }
  const std::string& text() const { return std::get<std::string>(value_); }

  bool operator==(const FieldValue&) const = default;

 private:
  std::variant<std::monostate, int64_t, float, double, std::string> value_;
};

class CatalogueDatabase;

// A result set. Reading sets are positioned on their first row when opened (atEnd() at once
// when empty). Field names are matched without regard to case.
class RecordSet {
 public:
  ~RecordSet();
  RecordSet(RecordSet&&) noexcept;
  RecordSet& operator=(RecordSet&&) noexcept;

  // The number of rows of the whole result set.
  int64_t recordCount();
  // True once moved past the last row, and at once for an empty set.
  bool atEnd() const;
  void moveFirst();
  // Positions on the last row (atEnd() stays false unless the set is empty).
  void moveLast();
  void moveNext();
  // The current row's value of the named column. Throws Error for an unknown column or
  // when there is no current row.
  FieldValue field(const std::string& name);
  // For readers that go through many rows: the position of the named column (throws Error
  // for an unknown one), and the current row's value of the column at that position, with the
  // same checks as field().
  int columnIndex(const std::string& name);
  FieldValue field(int index);

  // Table sets only: removes the current row; the position then moves on with moveNext().
  void deleteCurrent();
  // Table sets only: starts a new row, assigns columns, stores it on update(). Columns not
  // assigned keep the table's default. setField refuses a NaN, which could not read back.
  void addNew();
  void setField(const std::string& name, const FieldValue& value);
  void update();

  // Releases the set; changes made through it are committed by the time this returns.
  void close();

  // The catalogue database makes result sets; Impl is its own.
  struct Impl;
  explicit RecordSet(std::unique_ptr<Impl> impl);

 private:
  std::unique_ptr<Impl> impl_;
};

class CatalogueDatabase {
 public:
  CatalogueDatabase();
  ~CatalogueDatabase();
  CatalogueDatabase(const CatalogueDatabase&) = delete;
  CatalogueDatabase& operator=(const CatalogueDatabase&) = delete;

  // Opens an existing catalogue file shared and read-write; never creates one. A catalogue
  // made by an earlier version gains the columns added since. Throws Error for a missing,
  // locked or corrupt file, or one without the catalogue's tables.
  void open(const std::string& path);
  // Closes the connection; the file can then be compacted, deleted or renamed.
  void close();
  bool isOpen() const;
  const std::string& path() const;
  // How long open() and writes wait for another connection's lock before failing with
  // "database is locked" (default 5000 ms). Applies to connections opened afterwards.
  void setBusyTimeout(int milliseconds);

  // A set over all rows of a table (velodex, TrackParts), allowing deletes and new rows.
  RecordSet openTable(const std::string& name);
  // A read-only set over a query text as the callers build it, e.g.
  // SELECT * From velodex ORDER BY Rating DESC;  Text between double quotes is a value.
  RecordSet openQuery(const std::string& text);
  // A read-only set over a stored query (RideTypeQuery, GenericQuery) with the parameter
  // values set so far.
  RecordSet openStoredQuery(const std::string& name);
  // Sets a parameter of a stored query for its next openStoredQuery.
  void setParameter(const std::string& query, const std::string& parameter,
                    const FieldValue& value);

  // Writes a compacted copy of the closed catalogue file source into destination, which
  // must not exist. The source stays unchanged. Throws Error naming the file on failure.
  static void compact(const std::string& source, const std::string& destination);

  // The names of the columns of the table velodex, in table order.
  static std::vector<std::string> columnNames();

  // Creates a new empty catalogue file at path (tables, stored queries); the build's
  // empty-catalogue maker and the tests use it. Throws Error if path exists.
  static void createEmpty(const std::string& path);

  // True when path is a whole catalogue file: it opens, passes SQLite's quick check and holds
  // the table velodex. Never throws; a missing, partial or foreign file is false.
  static bool isComplete(const std::string& path);

  // Puts the closed file source in place of destination in one step (an existing destination
  // is replaced), and flushes the folder so the new name survives a crash. Throws Error
  // naming both files on failure.
  static void replace(const std::string& source, const std::string& destination);

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace velodex
