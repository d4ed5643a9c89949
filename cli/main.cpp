// velodex-cli: one catalogue run from the command line, with the same core as the wizard.
// Exit status: 0 completed, 1 the run ended on one of its own messages, 2 usage, 3 failure.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <optional>
#include <sstream>
#include <string>
#include <system_error>

#include "catalogue/catalogue_database.h"
#include "catalogue/catalogue_location.h"
#include "catalogue/error.h"
#include "catalogue/file_system.h"
#include "catalogue/option_checks.h"
#include "catalogue/ride_type_table.h"
#include "cli/terminal_front_end.h"
#include "report/catalogue_export.h"
#include "run/catalogue_run.h"

#ifdef _WIN32
#include <io.h>

#include "catalogue/windows_api.h"
#else
#include <unistd.h>
#endif

namespace {

using namespace velodex;

enum ExitCode { kCompleted = 0, kRunMessage = 1, kUsage = 2, kFailure = 3, kIncomplete = 4 };

constexpr const char* kExitCodes =
    "Exit status:\n"
    "  0  the run completed (also after an option code without a dispatch row, whose number\n"
    "     is printed)\n"
    "  1  the run ended on one of its own messages (\"No Ride files found\", \"No Files found\")\n"
    "  2  usage error, or a rides-per-page or sort text the run cannot use\n"
    "  3  failure (catalogue, page, copy or archive folder, another run using the catalogue),\n"
    "     with its message\n"
    "  4  the run completed, but some designs or archives could not be read, or a catalogue\n"
    "     row or the unknowns log could not be written (each named on standard error)\n"
    "Progress, messages and a summary go to standard error; standard output holds only the\n"
    "completion line naming the page to open.\n";

// "all", "none" or comma-separated indexes 0 to 13.
std::array<bool, kColumnCount> ParseColumns(const std::string& text) {
  std::array<bool, kColumnCount> columns{};
  if (text == "all") {
    columns.fill(true);
    return columns;
  }
  if (text == "none") return columns;
  std::stringstream items(text);
  std::string item;
  while (std::getline(items, item, ',')) {
    size_t used = 0;
    int index = -1;
    try {
      index = std::stoi(item, &used);
    } catch (const std::exception&) {
      used = 0;
    }
    if (used != item.size() || index < 0 || index >= kColumnCount) {
      throw CLI::ValidationError("--columns",
                                 "'" + item + "' is not a column index 0-13, 'all' or 'none'");
    }
    columns[static_cast<size_t>(index)] = true;
  }
  return columns;
}

// The folder without a trailing separator, except at the root.
std::string TrimFolder(std::string folder) {
  while (folder.size() > 1 && folder.back() == kPathSeparator) folder.pop_back();
  return folder;
}

// An existing folder, tested through the file-system seam so that a name is read in the
// same code page as every other path text.
const CLI::Validator kExistingFolder(
    [](std::string& text) {
      return IsDirectory(text) ? std::string() : "Directory does not exist: " + text;
    },
    "DIR");

// Makes folder, and the folders above it, when missing. Throws FileError when it cannot, or
// when a file stands at its name.
void MakeFolders(const std::string& folder) {
  std::error_code ec;
  std::filesystem::create_directories(NativePath(folder), ec);
  if (!ec && !IsDirectory(folder)) ec = std::make_error_code(std::errc::not_a_directory);
  if (ec) throw FileError("make folder", folder, ec);
}

bool IsTerminal(std::FILE* stream) {
#ifndef _WIN32
  return isatty(fileno(stream)) != 0;
#else
  return _isatty(_fileno(stream)) != 0;
#endif
}

// The progress line is redrawn in place with "erase to end of line", which a Windows console
// understands only once asked to; a console that cannot be asked shows the status lines only.
bool CanRedrawInPlace(std::FILE* stream) {
  if (!IsTerminal(stream)) return false;
#ifdef _WIN32
  const HANDLE console = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
  DWORD mode = 0;
  return GetConsoleMode(console, &mode) &&
         SetConsoleMode(console, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
#else
  return true;
#endif
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"Catalogues the track designs of FOLDER into the catalogue and writes its pages.",
               "velodex-cli"};
  app.footer(kExitCodes);

  PlainRunOptions options;
  std::string folder;
  std::string columns = "all";
  std::string databaseDir;
  std::string unknownsLog = DefaultUnknownsLog();
  std::optional<std::string> password;
  std::string exportPath;
  std::string picturesFolder;
  bool ascending = false;

  app.add_option("FOLDER", folder, "Folder holding the designs (.td4) or archives (.zip)")
      ->required()
      ->check(kExistingFolder);
  app.add_option("--rides-per-page", options.ridesPerPageText,
                 "Designs per ride type page (empty: 10)")
      ->capture_default_str();
  app.add_option("--columns", columns,
                 "Report columns: comma-separated indexes 0-13, 'all' or 'none'. 0 Ride Name, "
                 "1 Coaster Type, 2 Max Speed, 3 Avg Speed, 4 Ride Length, 5 Pos. Gs, 6 Neg. Gs, "
                 "7 Lat Gs, 8 Invs, 9 Drops, 10 Max Drop Height, 11 Excitement, 12 Intensity, "
                 "13 Nausea")
      ->capture_default_str();
  app.add_option("--sort", options.sortFieldText,
                 "Catalogue column to sort by, as typed (empty: Rating)");
  app.add_flag("--ascending", ascending, "Sort ascending (default: descending)");
  auto* hyperlinks =
      app.add_flag("--hyperlinks", options.hyperlinks, "Write design names as links");
  auto* zip = app.add_flag("--zip", options.zip,
                           "Catalogue the designs inside the folder's zip archives instead of "
                           "its loose designs");
  app.add_flag("--separate", options.separate, "Write a ride index and one page set per ride type");
  auto* copy = app.add_flag("--copy", options.copy,
                            "Copy each design into a folder named after its ride type");
  app.add_flag("--explorer", options.explorer,
               "Also write explorer.htm: every design in one page that sorts, searches and "
               "filters in the browser");
  app.add_option("--export", exportPath,
                 "Also write every catalogue row to FILE: CSV when it ends in .csv, JSON when "
                 "it ends in .json")
      ->check([](const std::string& path) {
        return ExportFormatOf(path) ? std::string()
                                    : "'" + path + "' ends in neither .csv nor .json";
      });
  zip->excludes(hyperlinks);
  zip->excludes(copy);
  app.add_option("--database-dir", databaseDir,
                 "Folder holding velodex.mdb (default: the program's folder, or the per-user "
                 "data folder when that is not writable)")
      ->check(kExistingFolder);
  app.add_option("--unknowns-log", unknownsLog, "Log of unknown ride type codes")
      ->capture_default_str();
  app.add_option("--pictures", picturesFolder,
                 "Also write a picture (SVG: plan and side profile) of every design into this "
                 "folder, named after the design file; the folder is made when missing");
  app.add_option("--password", password,
                 "Password for encrypted archive members (default: ask on a terminal, else "
                 "none)");

  try {
    app.parse(argc, argv);
    options.columns = ParseColumns(columns);
  } catch (const CLI::ParseError& e) {
    const int code = app.exit(e);
    return code == 0 ? 0 : kUsage;
  }
  // Absolute, so the completion line names a page that opens from anywhere.
  options.folderText = TrimFolder(
      PathText(std::filesystem::absolute(NativePath(folder)).lexically_normal()).value_or(folder));
  options.descending = !ascending;
  // Checked before the run empties the catalogue or touches the folder.
  if (const auto problem = CheckRunOptions(options, CatalogueDatabase::columnNames())) {
    WriteText(stderr, "velodex-cli: " + problem->message + "\n");
    return kUsage;
  }

  const bool interactive = CanRedrawInPlace(stderr);
  TerminalProgress progress(stderr, stderr, interactive);
  TerminalPrompts prompts(password, IsTerminal(stdin));
  NoWindows windows;
  DirectoryLister runLister;
  DirectoryLister scanLister;
  RideTypeTable rideTypes;
  RunSession session;
  try {
    FillRideTypeTable(rideTypes);
    if (databaseDir.empty()) databaseDir = ResolveCatalogueFolder(ProgramFolder());
    if (!picturesFolder.empty()) {
      picturesFolder = TrimFolder(picturesFolder);
      MakeFolders(picturesFolder);
    }
    RunContext context{.setup = {.rideTypes = rideTypes,
                                 .databaseFolder = databaseDir,
                                 .unknownsLog = unknownsLog,
                                 .picturesFolder = picturesFolder},
                       .frontEnd = {.options = options,
                                    .runLister = runLister,
                                    .scanLister = scanLister,
                                    .progress = progress,
                                    .windows = windows,
                                    .prompts = prompts,
                                    .session = session}};
    const RunOutcome outcome = RunCatalogue(context);
    progress.finish();
    if (outcome == RunOutcome::kEmptyFolder) return kRunMessage;
    if (!exportPath.empty()) {
      CatalogueDatabase database;
      database.open(JoinPath(databaseDir, kCatalogueFileName));
      RecordSet rows = database.openQuery(SortedCatalogueQuery(options));
      ExportCatalogue(rows, exportPath, *ExportFormatOf(exportPath));
      rows.close();
      database.close();
    }
    const RunSummary& summary = context.summary;
    WriteText(stderr, SummaryLine(summary) + "\n");
    WriteText(stdout, progress.text(ProgressLabel::kStatus) + "\n");
    const bool incomplete =
        summary.unreadable > 0 || !summary.archiveProblems.empty() || !summary.problems.empty();
    return incomplete ? kIncomplete : kCompleted;
  } catch (const std::exception& e) {
    progress.finish();
    WriteText(stderr, std::string("velodex-cli: ") + e.what() + "\n");
    return kFailure;
  }
}
