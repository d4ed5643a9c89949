// The catalogue connection: opening and checking the file, and the result sets over its tables,
// the callers' query texts and the stored queries.
#include "catalogue/catalogue_database.h"

#include <filesystem>
#include <map>

#include "catalogue/catalogue_schema.h"
#include "catalogue/error.h"
#include "catalogue/query_text.h"
#include "catalogue/result_set.h"

namespace velodex {

struct CatalogueDatabase::Impl {
  std::shared_ptr<CatalogueConnection> connection;
  std::string path;
  int busyTimeoutMs = kDefaultBusyTimeoutMs;
  // Values set for the stored queries' parameters, per query, for this connection.
  std::map<std::string, std::map<std::string, FieldValue, NoCaseLess>, NoCaseLess> parameters;

  CatalogueConnection& require(const std::string& action) const {
    if (!connection) throw Error(action + ": the catalogue is not open");
    return *connection;
  }

  std::string where(const std::string& action) const {
    return action + " in catalogue '" + path + "'";
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
  namespace fs = std::filesystem;
  close();
  impl_->path = path;
  const std::string action = "cannot open catalogue '" + path + "'";
  std::error_code ec;
  const fs::file_status status = fs::status(path, ec);
  if (!fs::exists(status)) throw Error(action + ": no such file");
  if (fs::is_directory(status)) throw Error(action + ": it is a folder");

  // Read and write without creating: a catalogue that vanished between the test and here is
  // an error, never a new empty file.
  auto connection = std::make_shared<CatalogueConnection>(path, OpenMode::kReadWrite,
                                                          impl_->busyTimeoutMs, action);
  if (connection->isReadOnly()) throw Error(action + ": the file is read-only");
  // Reading the schema is the first real access: a locked, corrupt or foreign file fails here.
  const auto velodex = connection->findObject("table", "velodex", action);
  if (!velodex) throw Error(action + ": it holds no table velodex");
  if (!connection->findObject("table", "TrackParts", action)) {
    throw Error(action + ": it holds no table TrackParts");
  }
  AddMissingColumns(*connection, *velodex, action);
  impl_->connection = std::move(connection);
}

void CatalogueDatabase::close() {
  if (!impl_->connection) return;
  std::shared_ptr<CatalogueConnection> connection = std::move(impl_->connection);
  impl_->connection.reset();
  impl_->parameters.clear();
  CloseConnection(*connection);
}

bool CatalogueDatabase::isOpen() const { return impl_->connection != nullptr; }

const std::string& CatalogueDatabase::path() const { return impl_->path; }

void CatalogueDatabase::setBusyTimeout(int milliseconds) { impl_->busyTimeoutMs = milliseconds; }

RecordSet CatalogueDatabase::openTable(const std::string& name) {
  const std::string action = impl_->where("cannot open table '" + name + "'");
  CatalogueConnection& connection = impl_->require(action);
  const auto table = connection.findObject("table", name, action);
  if (!table) throw Error(action + ": no such table");
  RecordSetSource source;
  source.description = "table '" + *table + "'";
  source.table = *table;
  source.sql = "SELECT rowid, * FROM " + QuoteIdentifier(*table);
  source.countSql = "SELECT COUNT(*) FROM " + QuoteIdentifier(*table);
  return OpenRecordSet(impl_->connection, std::move(source), action);
}

RecordSet CatalogueDatabase::openQuery(const std::string& text) {
  const std::string action = impl_->where("cannot open query '" + text + "'");
  impl_->require(action);
  RecordSetSource source;
  source.description = "query '" + text + "'";
  source.sql = TranslateQueryText(text);
  // The newline ends a trailing "--" comment before the closing parenthesis.
  source.countSql = "SELECT COUNT(*) FROM (" + source.sql + "\n)";
  return OpenRecordSet(impl_->connection, std::move(source), action);
}

RecordSet CatalogueDatabase::openStoredQuery(const std::string& name) {
  const std::string action = impl_->where("cannot open stored query '" + name + "'");
  CatalogueConnection& connection = impl_->require(action);
  const auto query = FindStoredQuery(connection, name, action);
  if (!query) throw Error(action + ": no such stored query");

  RecordSetSource source;
  source.description = "stored query '" + query->name + "'";
  source.sql = query->sql;
  source.countSql = "SELECT COUNT(*) FROM (" + query->sql + "\n)";
  const Statement probe = connection.prepare(query->sql, action);
  const auto values = impl_->parameters.find(query->name);
  for (int index = 1; index <= probe.parameterCount(); ++index) {
    const std::string parameter = probe.parameterName(index);
    if (parameter.empty()) continue;
    const bool known = values != impl_->parameters.end() && values->second.count(parameter) != 0;
    if (!known) throw Error(action + ": parameter '" + parameter + "' has no value");
    source.parameters.emplace_back(index, values->second.find(parameter)->second);
  }
  return OpenRecordSet(impl_->connection, std::move(source), action);
}

void CatalogueDatabase::setParameter(const std::string& query, const std::string& parameter,
                                     const FieldValue& value) {
  const std::string action =
      impl_->where("cannot set parameter '" + parameter + "' of stored query '" + query + "'");
  CatalogueConnection& connection = impl_->require(action);
  const auto stored = FindStoredQuery(connection, query, action);
  if (!stored) throw Error(action + ": no such stored query");
  const Statement probe = connection.prepare(stored->sql, action);
  for (int index = 1; index <= probe.parameterCount(); ++index) {
    const std::string name = probe.parameterName(index);
    if (!name.empty() && SameName(name, parameter)) {
      impl_->parameters[stored->name][name] = value;
      return;
    }
  }
  throw Error(action + ": no such parameter");
}

}  // namespace velodex
