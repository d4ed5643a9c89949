// Archive loading: each archive of the chosen folder is unpacked through the unzip layer
// into the extraction folder and scanned there, one archive at a time.
#include "run/archive_extraction.h"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <string_view>
#include <system_error>
#include <utility>

#include "catalogue/archive_problem.h"
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
// archive's extraction and scan made), then the folder itself with its mark when nothing
// else is left. Used only on the way out of a failure; whatever cannot be removed stays.
void RemoveLeftovers(const std::string& folder, const std::set<std::string>& before) {
  for (const std::string& name : PlainFiles(folder)) {
    if (before.count(name) != 0 || name == kExtractionMarkName) continue;
    std::error_code ec;
    fs::remove(JoinPath(folder, name), ec);
  }
  try {
    RemoveExtractionFolder(folder);
  } catch (const Error&) {
    // Something not ours is still in it: it stays, and the next run says so.
  }
}

// A line of the layer's print routine as the detail of an archive problem, or "" for a line
// that reports nothing wrong ("  inflating: NAME").
std::string ProblemDetail(std::string line) {
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
  for (const char* prefix : {"error: ", "warning: "}) {
    if (line.starts_with(prefix)) return line.substr(std::strlen(prefix));
  }
  constexpr std::string_view kSkipping = "skipping: ";
  if (!line.starts_with(kSkipping)) return "";
  // "skipping: NAME  (REASON)"; the reason is the last bracket, as a name may hold one.
  const std::string rest = line.substr(kSkipping.size());
  const size_t reason = rest.rfind("  (");
  if (reason == std::string::npos || !rest.ends_with(")")) return rest;
  return "member '" + rest.substr(0, reason) +
         "': " + rest.substr(reason + 3, rest.size() - reason - 4);
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

// Unpacks one archive. A non-zero code is shown with what it means and what befell which
// member, and noted in the summary; the caller goes on either way.
void UnzipArchive(RunContext& context, const std::string& archiveName, DCL& options) {
  std::vector<std::string> details;
  USERFUNCTIONS callbacks = ArchiveCallbacks(context.frontEnd, &details);
  const int code = Wiz_SingleEntryUnzip(options, callbacks);
  if (code == PK_OK) return;
  const std::string problem = ArchiveProblemText(archiveName, code, details);
  context.summary.archiveProblems.push_back(problem);
  context.frontEnd.prompts.message(problem, MessageIcon::kNone);
}

}  // namespace

USERFUNCTIONS ArchiveCallbacks(RunFrontEnd& frontEnd, std::vector<std::string>* details) {
  USERFUNCTIONS callbacks;
  callbacks.print = [details](char* text, unsigned long size) {
    if (details == nullptr) return 0;
    std::string detail = ProblemDetail(std::string(text, strnlen(text, size)));
    if (!detail.empty()) details->push_back(std::move(detail));
    return 0;
  };
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
      UnzipArchive(context, archiveName, options);
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
  const std::string mark = JoinPath(extractionFolder, kExtractionMarkName);
  std::error_code ec;
  const fs::file_status status = fs::symlink_status(extractionFolder, ec);
  if (fs::is_symlink(status) || (fs::exists(status) && !fs::is_directory(status))) {
    // Extracting through a link would write where the link points.
    throw Error("cannot make the extraction folder '" + extractionFolder + "': a " +
                (fs::is_symlink(status) ? "link" : "file") +
                " stands at that name; move it out of the way and run again");
  }
  if (fs::is_directory(status)) {
    // Our mark says that what lies here was extracted by a run that was killed.
    if (fs::is_regular_file(fs::symlink_status(mark, ec))) {
      for (const std::string& name : PlainFiles(extractionFolder)) {
        if (name != kExtractionMarkName) RemoveFile(JoinPath(extractionFolder, name));
      }
    }
    bool holdsOthers = false;
    ForEachEntry(extractionFolder, [&](const FolderEntry& entry) {
      holdsOthers = holdsOthers || entry.name != kExtractionMarkName;
    });
    if (holdsOthers) {
      throw Error("the extraction folder '" + extractionFolder +
                  "' is left over from an earlier run and still holds files; move them "
                  "somewhere safe, delete the folder and run again");
    }
  } else if (!fs::create_directory(extractionFolder, ec)) {
    throw FileError("make the extraction folder", extractionFolder,
                    ec ? ec : std::make_error_code(std::errc::file_exists));
  }
  // Written in place rather than through a temporary name: a run killed while writing it
  // leaves a mark all the same, never a stray file that would make the folder look foreign.
  std::ofstream(mark, std::ios::binary)
      << "Velodex extracts archives here while it reads them, and removes this folder when it "
         "is done.\r\n";
  if (!fs::is_regular_file(fs::symlink_status(mark, ec))) {
    throw FileError("write", mark, ec ? ec : std::make_error_code(std::errc::io_error));
  }
  return extractionFolder;
}

void RemoveExtractionFolder(const std::string& extractionFolder) {
  std::error_code ec;
  fs::remove(JoinPath(extractionFolder, kExtractionMarkName), ec);
  fs::remove(extractionFolder, ec);
  if (ec) throw FileError("remove the extraction folder", extractionFolder, ec);
}

}  // namespace velodex
