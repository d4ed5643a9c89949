// Finding the catalogue: beside a writable program, else in the per-user data folder.
#include "catalogue/catalogue_location.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "catalogue/error.h"
#include "catalogue/file_system.h"

#ifndef _WIN32
#include <unistd.h>
#endif

namespace velodex {
namespace fs = std::filesystem;

namespace {

bool IsWritableFolder(const std::string& folder) {
#ifdef _WIN32
  return IsDirectory(folder);
#else
  return IsDirectory(folder) && access(folder.c_str(), W_OK | X_OK) == 0;
#endif
}

bool HoldsCatalogue(const std::string& folder) {
  // A folder where a run died between compaction and rename still holds a catalogue: the
  // run finishes the swap.
  return FileExists(JoinPath(folder, kCatalogueFileName)) ||
         FileExists(JoinPath(folder, kCompactedFileName));
}

// The empty catalogue that comes with the program: beside it (portable copy), in the
// build's share folder, or in the installed data folder.
std::string InstalledEmptyCatalogue(const std::string& programFolder) {
  const fs::path program(programFolder);
  const fs::path candidates[] = {
      program / "share" / kCatalogueFileName,
      program.parent_path() / "share" / "velodex" / kCatalogueFileName,
      program / kCatalogueFileName,
  };
  for (const fs::path& candidate : candidates) {
    if (FileExists(candidate.string())) return candidate.string();
  }
  return std::string();
}

}  // namespace

std::string UserDataFolder() {
#ifdef _WIN32
  const char* local = std::getenv("LOCALAPPDATA");
  return (fs::path(local != nullptr ? local : DriveRoot()) / "velodex").string();
#else
  if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg != nullptr && *xdg == '/') {
    return (fs::path(xdg) / "velodex").string();
  }
  return (fs::path(DriveRoot()) / ".local" / "share" / "velodex").string();
#endif
}

std::string ResolveCatalogueFolder(const std::string& programFolder) {
  if (HoldsCatalogue(programFolder) && IsWritableFolder(programFolder)) return programFolder;

  const std::string userFolder = UserDataFolder();
  if (HoldsCatalogue(userFolder)) return userFolder;

  const std::string installed = InstalledEmptyCatalogue(programFolder);
  if (installed.empty()) {
    throw Error("cannot find the catalogue '" + JoinPath(programFolder, kCatalogueFileName) +
                "' or an installed empty catalogue to copy to '" + userFolder + "'");
  }
  std::error_code ec;
  fs::create_directories(userFolder, ec);
  if (ec) throw Error("cannot make the catalogue folder '" + userFolder + "': " + ec.message());
  // Copy under a temporary name and rename, so an interrupted first start never leaves a
  // half-copied catalogue that looks complete.
  const std::string target = JoinPath(userFolder, kCatalogueFileName);
  const std::string partial = target + ".partial";
  fs::copy_file(installed, partial, fs::copy_options::overwrite_existing, ec);
  // The copy takes the installed file's permissions, which may well be read-only; the
  // user's catalogue is rewritten by every run.
  if (!ec) {
    fs::permissions(partial, fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::add,
                    ec);
  }
  if (!ec) fs::rename(partial, target, ec);
  if (ec) {
    std::error_code ignored;
    fs::remove(partial, ignored);
    throw Error("cannot copy the empty catalogue '" + installed + "' to '" + target +
                "': " + ec.message());
  }
  return userFolder;
}

}  // namespace velodex
