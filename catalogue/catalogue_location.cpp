// Finding the catalogue: beside a writable program, else in the per-user data folder.
#include "catalogue/catalogue_location.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
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
  if (ec) throw FileError("make the catalogue folder", userFolder, ec);
  // Written whole or not at all, so an interrupted first start never leaves a half-copied
  // catalogue that looks complete. The copy is a new file of the user's, writable by them
  // (the installed one may well be read-only): every run rewrites it.
  const std::string target = JoinPath(userFolder, kCatalogueFileName);
  const std::string action = "copy the empty catalogue '" + installed + "' to";
  std::ifstream in(installed, std::ios::binary);
  if (!in) throw FileError(action, target, errno);
  AtomicFile copy(target, action);
  copy.Write(std::string(std::istreambuf_iterator<char>(in), {}));
  copy.Commit(true);
  return userFolder;
}

}  // namespace velodex
