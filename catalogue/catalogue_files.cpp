// The catalogue as a file: creating an empty one, telling a whole one from a partial one,
// compacting it into a new file and putting that file in its place, so that a crash at any
// moment leaves one whole catalogue under the catalogue's name.
#include <cerrno>
#include <filesystem>
#include <system_error>

#include "catalogue/catalogue_database.h"
#include "catalogue/catalogue_schema.h"
#include "catalogue/error.h"
#include "catalogue/file_system.h"
#include "catalogue/sqlite_connection.h"

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

// Flushes a file (or, on POSIX, a folder's entries) to the disk. Returns the system's cause
// when it refuses.
std::error_code SyncToDisk(const std::string& path, bool folder) {
  const auto failed = [] { return std::error_code(errno, std::generic_category()); };
#ifdef _WIN32
  if (folder) return {};  // Windows keeps no separate folder entries to flush.
  const int fd = _open(path.c_str(), _O_RDWR | _O_BINARY);
  if (fd < 0) return failed();
  const std::error_code cause = _commit(fd) == 0 ? std::error_code() : failed();
  _close(fd);
#else
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | (folder ? O_DIRECTORY : 0));
  if (fd < 0) return failed();
  const std::error_code cause = ::fsync(fd) == 0 ? std::error_code() : failed();
  ::close(fd);
#endif
  return cause;
}

std::string FolderOf(const std::string& path) {
  const std::string folder = fs::path(path).parent_path().string();
  return folder.empty() ? "." : folder;
}

bool PathTaken(const std::string& path) {
  std::error_code ec;
  return fs::symlink_status(path, ec).type() != fs::file_type::not_found;
}

}  // namespace

void CatalogueDatabase::compact(const std::string& source, const std::string& destination) {
  const std::string action = "cannot compact catalogue '" + source + "' into '" + destination + "'";
  // VACUUM INTO would also write into an existing empty file; the destination must be new.
  if (PathTaken(destination)) throw Error(action + ": the destination exists");
  std::error_code ec;
  if (!fs::is_regular_file(source, ec)) throw Error(action + ": no such file");

  SqliteConnection connection(source, OpenMode::kReadWrite, kDefaultBusyTimeoutMs, action);
  try {
    Statement vacuum = connection.prepare("VACUUM INTO ?1", action);
    vacuum.bind(1, destination);
    vacuum.run(action);
  } catch (const Error&) {
    fs::remove(destination, ec);  // a partial copy is worthless, and it did not exist before
    throw;
  }
  // SQLite writes the copy without syncing it; the caller deletes the source right after, so
  // the copy must be on the disk, and its name in its folder, before this returns.
  std::error_code cause = SyncToDisk(destination, false);
  if (!cause) cause = SyncToDisk(FolderOf(destination), true);
  if (cause) throw Error(action + ": cannot flush the copy to disk: " + cause.message());
}

void CatalogueDatabase::createEmpty(const std::string& path) {
  const std::string action = "cannot create catalogue '" + path + "'";
  if (PathTaken(path)) throw Error(action + ": the file exists");
  try {
    SqliteConnection connection(path, OpenMode::kCreate, kDefaultBusyTimeoutMs, action);
    connection.execute("BEGIN;" + CatalogueSchemaScript() + "COMMIT;", action);
  } catch (const Error&) {
    std::error_code ec;
    fs::remove(path, ec);  // closed by now; it did not exist before
    throw;
  }
}

bool CatalogueDatabase::isComplete(const std::string& path) {
  std::error_code ec;
  if (!fs::is_regular_file(path, ec)) return false;
  try {
    SqliteConnection connection(path, OpenMode::kReadOnly, kDefaultBusyTimeoutMs, "check");
    Statement check = connection.prepare("PRAGMA quick_check", "check");
    if (!check.step("check")) return false;
    const FieldValue verdict = check.column(0);
    if (!verdict.isText() || verdict.text() != "ok") return false;
    return connection.findObject("table", "velodex", "check").has_value();
  } catch (const Error&) {
    return false;
  }
}

void CatalogueDatabase::replace(const std::string& source, const std::string& destination) {
  const std::string action = "put catalogue '" + source + "' in place of";
  std::error_code ec;
  // rename() replaces the destination atomically: at every moment one whole catalogue
  // answers to the destination's name.
  fs::rename(source, destination, ec);
  if (ec) throw FileError(action, destination, ec);
  if (const std::error_code cause = SyncToDisk(FolderOf(destination), true)) {
    throw Error("cannot " + action + " '" + destination +
                "': cannot flush the folder to disk: " + cause.message());
  }
}

}  // namespace velodex
