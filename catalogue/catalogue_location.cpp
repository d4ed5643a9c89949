// Finding the catalogue: beside a writable program, else in the per-user data folder.
#include "catalogue/catalogue_location.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <system_error>

#include "catalogue/error.h"
#include "catalogue/file_system.h"

#ifdef _WIN32
#include "catalogue/windows_api.h"
#else
#include <unistd.h>
#endif

namespace velodex {
namespace fs = std::filesystem;

namespace {

bool IsWritableFolder(const std::string& folder) {
#ifdef _WIN32
  // Windows grants writing through access lists that no mode bits show (a folder under
  // Program Files refuses an ordinary user): the folder is writable when a file can be made
  // in it. The probe is a temporary file the AtomicFile removes again.
  if (!IsDirectory(folder)) return false;
  try {
    AtomicFile probe(JoinPath(folder, kCatalogueFileName));
    return true;
  } catch (const Error&) {
    return false;
  }
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
  const fs::path program = NativePath(programFolder);
  const fs::path candidates[] = {
      program / "share" / kCatalogueFileName,
      program.parent_path() / "share" / "velodex" / kCatalogueFileName,
      program / kCatalogueFileName,
  };
  for (const fs::path& candidate : candidates) {
    const std::string text = PathText(candidate).value_or(std::string());
    if (FileExists(text)) return text;
  }
  return std::string();
}

}  // namespace

std::string UserDataFolder() {
#ifdef _WIN32
  // Read in UTF-16: the narrow copy of the environment stands in '?' for what the code page
  // cannot spell, which would name some other folder. Without the variable the catalogue
  // goes to a folder on the drive root, which every user may make.
  std::wstring local(32768, L'\0');  // the longest value the system keeps
  local.resize(
      GetEnvironmentVariableW(L"LOCALAPPDATA", local.data(), static_cast<DWORD>(local.size())));
  std::optional<std::string> folder;
  if (!local.empty()) folder = FolderText(fs::path(local));
  return JoinPath(folder ? *folder : DriveRoot().substr(0, 2), "velodex");
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
  fs::create_directories(NativePath(userFolder), ec);
  if (ec) throw FileError("make the catalogue folder", userFolder, ec);
  // Written whole or not at all, so an interrupted first start never leaves a half-copied
  // catalogue that looks complete. The copy is a new file of the user's, writable by them
  // (the installed one may well be read-only): every run rewrites it.
  const std::string target = JoinPath(userFolder, kCatalogueFileName);
  const std::string action = "copy the empty catalogue '" + installed + "' to";
  std::ifstream in(NativePath(installed), std::ios::binary);
  if (!in) throw FileError(action, target, errno);
  AtomicFile copy(target, action);
  copy.Write(std::string(std::istreambuf_iterator<char>(in), {}));
  copy.Commit(true);
  return userFolder;
}

}  // namespace velodex
