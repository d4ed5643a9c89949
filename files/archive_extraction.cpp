// Archive loading. The extraction itself is not built yet: ExtractArchives reports that
// instead of pretending to load anything.
#include "files/archive_extraction.h"

#include <filesystem>
#include <system_error>

#include "catalogue/error.h"
#include "catalogue/file_system.h"

namespace velodex {

namespace fs = std::filesystem;

void ExtractArchives(const RunContext&) {
  throw Error("cannot load zip archives: this build does not extract archives yet");
}

std::string PrepareExtractionFolder(const std::string& folder) {
  const std::string extractionFolder = JoinPath(folder, kExtractionFolderName);
  std::error_code ec;
  if (IsDirectory(extractionFolder)) {
    if (!fs::is_empty(extractionFolder, ec) || ec) {
      throw Error("the extraction folder '" + extractionFolder +
                  "' is left over from an earlier run and still holds files; move them "
                  "somewhere safe, delete the folder and run again");
    }
    fs::remove(extractionFolder, ec);
  }
  if (!fs::create_directory(extractionFolder, ec) || ec) {
    throw Error("cannot make the extraction folder '" + extractionFolder +
                "': " + (ec ? ec.message() : "a file of that name exists"));
  }
  return extractionFolder;
}

void RemoveExtractionFolder(const std::string& extractionFolder) {
  std::error_code ec;
  fs::remove(extractionFolder, ec);
  if (ec) {
    throw Error("cannot remove the extraction folder '" + extractionFolder + "': " + ec.message());
  }
}

}  // namespace velodex
