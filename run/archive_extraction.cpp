// Archive loading: each archive of the chosen folder is unpacked through the unzip layer
// into the extraction folder and scanned there, one archive at a time.
#include "run/archive_extraction.h"

#include <cstring>
#include <filesystem>
#include <set>
#include <system_error>

#include "catalogue/error.h"
#include "catalogue/file_system.h"
#include "files/unzip_layer.h"
#include "run/folder_scan.h"

namespace velodex {

namespace fs = std::filesystem;

namespace {

constexpr const char* kPasswordPrompt = "Please Enter The Password!";

// Answers of the password routine to the layer.
constexpr int kPasswordGiven = 0;
constexpr int kNoPassword = 1;

// The regular files directly in folder, by name. Links and sub-folders are not ours to
// touch and are left out.
std::set<std::string> PlainFiles(const std::string& folder) {
  std::set<std::string> names;
  ForEachEntry(folder, [&](const FolderEntry& entry) {
    if (entry.kind == EntryKind::kFile) names.insert(entry.name);
  });
  return names;
}

// Removes the plain files of folder that were not there before (those are what this
// archive's extraction and scan made), then the folder itself when that leaves it empty.
// Used only on the way out of a failure; whatever cannot be removed stays.
void RemoveLeftovers(const std::string& folder, const std::set<std::string>& before) {
  for (const std::string& name : PlainFiles(folder)) {
    if (before.count(name) != 0) continue;
    std::error_code ec;
    fs::remove(JoinPath(folder, name), ec);
  }
  std::error_code ec;
  if (fs::is_empty(folder, ec) && !ec) fs::remove(folder, ec);
}

// The password routine. Asks once per call unless the user already declined in this
// program run; declining (Cancel or an empty answer) stops every later question.
int AskPassword(RunFrontEnd& frontEnd, char* buffer, int bufferSize) {
  if (frontEnd.session.skipPasswordQuestions) return kNoPassword;
  const std::optional<std::string> answer = frontEnd.prompts.askText(kPasswordPrompt);
  if (!answer || answer->empty()) {
    frontEnd.session.skipPasswordQuestions = true;
    return kNoPassword;
  }
  // A password longer than the buffer holds is not cut short: a shortened password would
  // only be tried as a wrong one. The member goes without, and the next one asks again.
  if (bufferSize <= 0 || answer->size() > static_cast<std::size_t>(bufferSize) - 1) {
    return kNoPassword;
  }
  std::memset(buffer, 0, static_cast<std::size_t>(bufferSize));
  std::memcpy(buffer, answer->data(), answer->size());
  return kPasswordGiven;
}

// The options for one archive; the layer always puts every member straight into the
// extraction folder, stored folders dropped, existing files replaced without asking.
DCL ArchiveOptions(const std::string& archivePath, const std::string& extractionFolder) {
  DCL options;
  options.lpszZipFN = archivePath;
  options.lpszExtractDir = extractionFolder;
  return options;
}

// Unpacks one archive. A non-zero code is shown as its number; the caller goes on either way.
void UnzipArchive(Prompts& prompts, DCL& options, USERFUNCTIONS& callbacks) {
  const int code = Wiz_SingleEntryUnzip(options, callbacks);
  if (code != PK_OK) prompts.message(std::to_string(code), MessageIcon::kNone);
}

}  // namespace

USERFUNCTIONS ArchiveCallbacks(RunFrontEnd& frontEnd) {
  USERFUNCTIONS callbacks;
  // The layer's messages are not shown: the return code says what went wrong.
  callbacks.print = [](char*, unsigned long) { return 0; };
  callbacks.password = [&frontEnd](char* buffer, int bufferSize, const char*, const char*) {
    return AskPassword(frontEnd, buffer, bufferSize);
  };
  return callbacks;
}

void ExtractArchives(RunContext& context) {
  const std::string folder = context.frontEnd.options.folder();
  const std::string extractionFolder = JoinPath(folder, kExtractionFolderName);
  FileLister& lister = context.frontEnd.runLister;
  const int count = lister.count();
  for (int i = 0; i < count; ++i) {
    const std::string archiveName = lister.name(i);
    // Normally empty: the previous scan deleted its files. Anything already here is not
    // this archive's to clean up.
    const std::set<std::string> before = PlainFiles(extractionFolder);
    try {
      DCL options = ArchiveOptions(JoinPath(folder, archiveName), extractionFolder);
      USERFUNCTIONS callbacks = ArchiveCallbacks(context.frontEnd);
      UnzipArchive(context.frontEnd.prompts, options, callbacks);
      ReadTrackFolder(context, extractionFolder, archiveName);
    } catch (...) {
      // A failure ends the run; what this archive put into the extraction folder must not
      // stay behind to block the next run.
      RemoveLeftovers(extractionFolder, before);
      throw;
    }
  }
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
    if (ec) throw FileError("make the extraction folder", extractionFolder, ec);
    throw Error("cannot make the extraction folder '" + extractionFolder +
                "': a file of that name exists");
  }
  return extractionFolder;
}

void RemoveExtractionFolder(const std::string& extractionFolder) {
  std::error_code ec;
  fs::remove(extractionFolder, ec);
  if (ec) throw FileError("remove the extraction folder", extractionFolder, ec);
}

}  // namespace velodex
