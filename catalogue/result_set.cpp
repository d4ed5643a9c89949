// Result sets: navigation, reading, deleting and adding rows.
#include "catalogue/result_set.h"

#include <cmath>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "catalogue/error.h"

namespace velodex {

struct RecordSet::Impl {
  std::shared_ptr<CatalogueConnection> connection;
  RecordSetSource source;
  Statement cursor;
  Statement counter;
  Statement inserter;
  Statement deleter;
  int firstField = 0;  // table sets read the rowid into column 0
  std::map<std::string, int, NoCaseLess> fields;
  std::vector<std::string> names;  // per column: its name as the engine gives it
  std::vector<bool> singles;       // per column: holds single-precision floats

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

  Impl(std::shared_ptr<CatalogueConnection> c, RecordSetSource s)
      : connection(std::move(c)), source(std::move(s)), firstField(source.table.empty() ? 0 : 1) {}
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
    return action + " of " + source.description + " in catalogue '" + connection->path() + "'";
  }

  Error fail(const std::string& action, const std::string& cause) const {
    return Error(context(action) + ": " + cause);
  }

  void requireOpen() const {
    if (closed) throw Error("the result set over " + source.description + " is closed");
  }

  void requireTable(const std::string& action) const {
    if (source.table.empty()) throw fail(action, "the result set is read-only");
  }

  void bindParameters(Statement& statement) const {
    for (const auto& [index, value] : source.parameters) statement.bind(index, value);
  }

  // Prepares the cursor, registers the set with its connection and moves to the first row.
  void start(const std::string& action) {
    cursor = connection->prepare(source.sql, action);
    if (!cursor.isQuery()) throw Error(action + ": the text is not a query");
    bindParameters(cursor);
    const int columns = cursor.columnCount();
    singles.resize(static_cast<size_t>(columns));
    names.resize(static_cast<size_t>(columns));
    for (int column = firstField; column < columns; ++column) {
      names[static_cast<size_t>(column)] = cursor.columnName(column);
      fields.emplace(names[static_cast<size_t>(column)], column);
      singles[static_cast<size_t>(column)] = cursor.isSingle(column);
    }
    connection->openSets.insert(this);
    atEnd = !step(action);
  }

  bool step(const std::string& action) {
    const int64_t row = cursorRow;
    rewound();  // where a failing step leaves the statement
    if (cursor.step(context(action))) {
      cursorRow = row + 1;
      return true;
    }
    cursorRow = row;
    cursorDone = true;
    return false;
  }

  void rewound() {
    cursorRow = -1;
    cursorDone = false;
  }

  void rewind() {
    cursor.reset();
    rewound();
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
    const std::string action = context("cannot count the rows");
    if (!counter) {
      counter = connection->prepare(source.countSql, action);
      bindParameters(counter);
    }
    const int64_t rows = counter.step(action) ? counter.column(0).integer() : 0;
    counter.reset();  // releases the read lock at once
    return rows;
  }

  void markChanging(const std::string& action) {
    connection->begin(context(action));
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
    const FieldValue rowid = cursor.column(0);
    if (!deleter) {
      deleter = connection->prepare(
          "DELETE FROM " + QuoteIdentifier(source.table) + " WHERE rowid = ?1", context(action));
    }
    markChanging(action);
    deleter.bind(1, rowid);
    deleter.run(context(action));
    currentDeleted = true;
  }

  // The column of a field, or -1. A new row is mostly filled in column order, so the column
  // after the one set last is tried before the search by name.
  int fieldColumn(const std::string& name) const {
    const size_t next = newRow.empty() ? static_cast<size_t>(firstField)
                                       : static_cast<size_t>(newRow.back().first) + 1;
    if (next < names.size() && names[next].size() == name.size() && SameName(names[next], name)) {
      return static_cast<int>(next);
    }
    const auto found = fields.find(name);
    return found == fields.end() ? -1 : found->second;
  }

  void setField(const std::string& name, const FieldValue& value) {
    // The action's text is made only for a failure: a scan sets every field of every row.
    auto action = [&name] { return "cannot set field '" + name + "'"; };
    if (source.table.empty()) throw fail(action(), "the result set is read-only");
    if (!adding) throw fail(action(), "no new row was started");
    const int column = fieldColumn(name);
    if (column < 0) throw fail(action(), "no such field");
    // The engine would store a NaN as null; refusing it keeps "reads back as written" true.
    if ((value.isSingle() && std::isnan(value.single())) ||
        (value.isDouble() && std::isnan(value.real()))) {
      throw fail(action(), "a value that is not a number cannot be stored");
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
      std::string sql = "INSERT INTO " + QuoteIdentifier(source.table);
      if (columns.empty()) {
        sql += " DEFAULT VALUES";
      } else {
        std::string names;
        std::string values;
        for (size_t i = 0; i < columns.size(); ++i) {
          names += (i == 0 ? "" : ", ") + QuoteIdentifier(cursor.columnName(columns[i]));
          values += (i == 0 ? "?" : ", ?");
        }
        sql += " (" + names + ") VALUES (" + values + ")";
      }
      inserter = Statement();
      inserter = connection->prepare(sql, context(action));
      inserterColumns = columns;
    }
    markChanging(action);
    for (size_t i = 0; i < newRow.size(); ++i) {
      inserter.bind(static_cast<int>(i) + 1, newRow[i].second);
    }
    cancelAdd();  // the values are bound; the row is stored or dropped now
    inserter.run(context(action));
  }

  void close() {
    if (closed) return;
    closed = true;
    cancelAdd();
    cursor = Statement();
    counter = Statement();
    inserter = Statement();
    deleter = Statement();
    if (!connection) return;
    connection->openSets.erase(this);
    if (changing) {
      changing = false;
      if (--connection->changingSets > 0 || !connection->isOpen()) return;
      connection->commit("cannot commit the changes made through " + source.description +
                         " in catalogue '" + connection->path() + "'");
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

RecordSet OpenRecordSet(const std::shared_ptr<CatalogueConnection>& connection,
                        RecordSetSource source, const std::string& action) {
  auto set = std::make_unique<RecordSet::Impl>(connection, std::move(source));
  set->start(action);
  return RecordSet(std::move(set));
}

void CloseConnection(CatalogueConnection& connection) {
  std::optional<Error> firstFailure;
  while (!connection.openSets.empty()) {
    try {
      (*connection.openSets.begin())->close();
    } catch (const Error& error) {
      if (!firstFailure) firstFailure = error;
    }
  }
  connection.close();
  if (firstFailure) throw *firstFailure;
}

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
  const auto found = set.fields.find(name);
  // Page writers read every field of every row: the failure's text is made only on the way
  // to a failure, and a statement already on the current row is read as it stands.
  const bool onCurrentRow = found != set.fields.end() && !set.atEnd && !set.currentDeleted &&
                            set.cursorRow == set.position && !set.cursorDone;
  if (!onCurrentRow) {
    const std::string action = "cannot read field '" + name + "'";
    if (found == set.fields.end()) throw set.fail(action, "no such field");
    set.requireCurrentRow(action);
  }
  return set.cursor.column(found->second, set.singles[static_cast<size_t>(found->second)]);
}

int RecordSet::columnIndex(const std::string& name) {
  Impl& set = Live(impl_);
  const auto found = set.fields.find(name);
  if (found == set.fields.end()) {
    throw set.fail("cannot read field '" + name + "'", "no such field");
  }
  return found->second;
}

FieldValue RecordSet::field(int index) {
  Impl& set = Live(impl_);
  const bool onCurrentRow =
      !set.atEnd && !set.currentDeleted && set.cursorRow == set.position && !set.cursorDone;
  const bool known = index >= 0 && static_cast<size_t>(index) < set.singles.size();
  if (!onCurrentRow || !known) {
    const std::string action = "cannot read field " + std::to_string(index);
    if (!known) throw set.fail(action, "no such field");
    set.requireCurrentRow(action);
  }
  return set.cursor.column(index, set.singles[static_cast<size_t>(index)]);
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

}  // namespace velodex
