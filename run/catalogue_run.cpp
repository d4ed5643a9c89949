// The catalogue run: empty and compact the catalogue, then load the folder and write what the
// option code's dispatch row asks for.
#include "run/catalogue_run.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <system_error>
#include <vector>

#include "catalogue/catalogue_database.h"
#include "catalogue/catalogue_location.h"
#include "catalogue/design_digest.h"
#include "catalogue/error.h"
#include "catalogue/file_system.h"
#include "catalogue/option_checks.h"
#include "catalogue/run_lock.h"
#include "files/ride_type_folders.h"
#include "report/explorer_page.h"
#include "report/ride_index_page.h"
#include "report/ride_type_pages.h"
#include "report/simple_index_page.h"
#include "run/archive_extraction.h"
#include "run/folder_scan.h"

namespace velodex {
namespace {

enum class Loading { kPlainFolder, kArchives };

enum class Step { kFolders, kCopy, kIndex, kTypePages, kSpecificationPage };

struct DispatchRow {
  int code;
  const char* pattern;
  const char* emptyMessage;
  Loading loading;
  std::initializer_list<Step> steps;
};

constexpr const char* kNoRideFiles = "No Ride files found";
constexpr const char* kNoFiles = "No Files found";

// One row per option code the wizard can produce. The codes 12, 14, 24, 26, 28 and 30 (zip
// together with copy or hyperlinks) have none and end as unhandled codes.
const std::array<DispatchRow, 10> kDispatchRows = {{
    {0, "*.td4", kNoRideFiles, Loading::kPlainFolder, {Step::kSpecificationPage}},
    {2,
     "*.td4",
     kNoRideFiles,
     Loading::kPlainFolder,
     {Step::kFolders, Step::kIndex, Step::kTypePages}},
    {4,
     "*.td4",
     kNoRideFiles,
     Loading::kPlainFolder,
     {Step::kFolders, Step::kCopy, Step::kSpecificationPage}},
    {6,
     "*.td4",
     kNoRideFiles,
     Loading::kPlainFolder,
     {Step::kFolders, Step::kCopy, Step::kIndex, Step::kTypePages}},
    {8, "*.zip", kNoFiles, Loading::kArchives, {Step::kSpecificationPage}},
    {10, "*.zip", kNoFiles, Loading::kArchives, {Step::kIndex, Step::kTypePages}},
    {16, "*.td4", kNoFiles, Loading::kPlainFolder, {Step::kSpecificationPage}},
    {18,
     "*.td4",
     kNoFiles,
     Loading::kPlainFolder,
     {Step::kFolders, Step::kIndex, Step::kTypePages}},
    {20,
     "*.td4",
     kNoRideFiles,
     Loading::kPlainFolder,
     {Step::kFolders, Step::kCopy, Step::kSpecificationPage}},
    {22,
     "*.td4",
     kNoFiles,
     Loading::kPlainFolder,
     {Step::kFolders, Step::kIndex, Step::kTypePages, Step::kCopy}},
}};

const DispatchRow* FindRow(int code) {
  for (const DispatchRow& row : kDispatchRows) {
    if (row.code == code) return &row;
  }
  return nullptr;
}

void ShowStatus(ProgressDisplay& progress, const std::string& text) {
  progress.setText(ProgressLabel::kStatus, text);
  progress.repaint(ProgressLabel::kStatus);
}

// Removes every row of a table set, one row at a time as the navigation allows. The
// database keeps all the deletes in one transaction, committed when the set closes.
void EmptyTable(RecordSet& table) {
  if (table.recordCount() == 0) return;
  while (!table.atEnd()) {
    table.deleteCurrent();
    table.moveNext();
  }
}

// The swap after compaction replaces the catalogue atomically, so a run never leaves the
// catalogue missing. A catalogue missing beside a whole compacted copy can still come from
// an older program or from the user's own hands; the copy is then what the last run left,
// and it is put in place. A copy that is not a whole catalogue is left alone, and opening
// the missing catalogue reports the failure.
void FinishInterruptedSwap(const std::string& catalogue, const std::string& compacted) {
  if (FileExists(catalogue) || !CatalogueDatabase::isComplete(compacted)) return;
  CatalogueDatabase::replace(compacted, catalogue);
}

void LoadArchives(RunContext& context, const std::string& folder) {
  const std::string extractionFolder = PrepareExtractionFolder(folder);
  ExtractArchives(context);
  RemoveExtractionFolder(extractionFolder);
}

// Where the page finds the run's pictures: their folder relative to the page's, "/" between
// the parts. A page cannot reach pictures it has no relative path to (another drive), and
// shows none then, as it does when the run drew none.
std::string PicturesAddress(const std::string& pagePath, const std::string& picturesFolder) {
  if (picturesFolder.empty()) return {};
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::path pageFolder = fs::absolute(NativePath(pagePath).parent_path(), ec);
  const fs::path pictures = fs::absolute(NativePath(picturesFolder), ec);
  const fs::path relative =
      pictures.lexically_normal().lexically_relative(pageFolder.lexically_normal());
  if (ec || relative.empty()) return {};
  std::string address = PathText(relative).value_or(std::string());
  std::replace(address.begin(), address.end(), kPathSeparator, '/');
  return address;
}

void WriteSpecificationStep(const RunOptions& options, CatalogueDatabase& database,
                            const std::string& folder, const std::string& sortedQuery) {
  RecordSet sortedRows = database.openQuery(sortedQuery);
  WriteSpecificationPage(options, JoinPath(folder, "simpleindex.htm"), sortedRows);
  sortedRows.close();
}

// The page sorts its rows itself as it opens (by the run's sort field), so the catalogue
// is read in its own order and the engine spared a second sort.
void WriteExplorerStep(const RunOptions& options, CatalogueDatabase& database,
                       const std::string& pagePath, const std::string& picturesFolder) {
  RecordSet rows = database.openQuery("SELECT * From velodex;");
  WriteExplorerPage(options, pagePath, rows, PicturesAddress(pagePath, picturesFolder));
  rows.close();
}

}  // namespace

std::string SortedCatalogueQuery(const RunOptions& options) {
  return "SELECT * From velodex ORDER BY " + options.sortField() +
         (options.sortDescending() ? " DESC;" : " ASC;");
}

RunOutcome RunCatalogue(RunContext& context) {
  RunFrontEnd& frontEnd = context.frontEnd;
  RunOptions& options = frontEnd.options;
  ProgressDisplay& progress = frontEnd.progress;
  const std::string cataloguePath = JoinPath(context.setup.databaseFolder, kCatalogueFileName);
  const std::string compactedPath = JoinPath(context.setup.databaseFolder, kCompactedFileName);

  // The front ends refuse such choices themselves; this keeps any caller from emptying the
  // catalogue for a run that could not write its pages.
  if (const auto problem = CheckRunOptions(options, CatalogueDatabase::columnNames())) {
    throw Error(problem->message);
  }
  // Held to the end of the run, the compaction's swap included; another run on this
  // catalogue stops here before it changes anything.
  const RunLock lock(cataloguePath);
  context.summary = {};

  FinishInterruptedSwap(cataloguePath, compactedPath);
  CatalogueDatabase database;
  database.open(cataloguePath);
  RecordSet rides = database.openTable("velodex");
  RecordSet trackParts = database.openTable("TrackParts");

  if (options.ridesPerPage().empty()) options.setRidesPerPage("10");
  frontEnd.windows.showProgress();

  ShowStatus(progress, "Deleting Records");
  EmptyTable(rides);
  EmptyTable(trackParts);
  trackParts.close();
  rides.close();
  database.close();

  if (FileExists(compactedPath)) RemoveFile(compactedPath);
  ShowStatus(progress, "Compacting Database");
  CatalogueDatabase::compact(cataloguePath, compactedPath);
  // Deleting the catalogue and renaming the copy in two steps would leave no catalogue if
  // the program died in between; one replacing rename has the same outcome.
  CatalogueDatabase::replace(compactedPath, cataloguePath);
  database.open(cataloguePath);

  const int code = OptionCode(options);
  const std::string folder = options.folder();
  if (options.sortField().empty()) options.setSortField("Rating");
  const std::string sortedQuery = SortedCatalogueQuery(options);

  bool wroteSpecificationPage = false;
  std::string explorerPath;
  RunOutcome outcome = RunOutcome::kCompleted;
  if (const DispatchRow* row = FindRow(code)) {
    frontEnd.runLister.setPath(folder);
    frontEnd.runLister.setPattern(row->pattern);
    if (frontEnd.runLister.count() == 0) {
      frontEnd.prompts.message(row->emptyMessage, MessageIcon::kNone);
      frontEnd.windows.returnToFirstStep();
      return RunOutcome::kEmptyFolder;
    }
    if (row->loading == Loading::kArchives) {
      LoadArchives(context, folder);
    } else {
      ReadTrackFolder(context, frontEnd.runLister.path(), "none");
    }
    // Pages a killed run was writing here; those in ride type folders go as the folders
    // are made.
    RemoveAtomicLeftovers(folder);
    for (Step step : row->steps) {
      switch (step) {
        case Step::kFolders:
          MakeRideTypeFolders(folder, database);
          break;
        case Step::kCopy:
          CopyTracksToRideTypeFolders(progress, folder, database);
          break;
        case Step::kIndex:
          WriteRideIndexPage(options, folder, database);
          break;
        case Step::kTypePages:
          WriteRideTypePages(options, progress, folder, database);
          break;
        case Step::kSpecificationPage:
          WriteSpecificationStep(options, database, folder, sortedQuery);
          wroteSpecificationPage = true;
          break;
      }
    }
    const DuplicateGroups copies = CatalogueDuplicates(database);
    context.summary.designsWithCopies = copies.designsInGroups;
    context.summary.copyGroups = copies.groups;
    // After the run's own pages, from the same catalogue, for every code that loaded one.
    // A code without a dispatch row loads nothing, so it gets no explorer either.
    if (options.explorerPage()) {
      explorerPath = JoinPath(folder, kExplorerPageName);
      WriteExplorerStep(options, database, explorerPath, context.setup.picturesFolder);
    }
  } else {
    frontEnd.prompts.message(std::to_string(code), MessageIcon::kInformation);
    outcome = RunOutcome::kUnhandledCode;
  }

  // What the run went on after is told once, at its end, before the completion text.
  if (!context.summary.problems.empty()) {
    std::string text;
    for (const std::string& problem : context.summary.problems) {
      text += (text.empty() ? "" : "\n") + problem;
    }
    frontEnd.prompts.message(text, MessageIcon::kWarning);
  }

  const std::string page = folder + std::string(1, kPathSeparator) +
                           (wroteSpecificationPage ? "simpleindex.htm" : "rideindex.htm");
  progress.setText(ProgressLabel::kStatus, "Done - ");
  progress.setText(ProgressLabel::kStatus,
                   progress.text(ProgressLabel::kStatus) + "Look at " + page +
                       (explorerPath.empty() ? "" : " and " + explorerPath));
  // The explorer, when written, is the page to open: it holds all the other one does.
  frontEnd.windows.offerQuit(explorerPath.empty() ? page : explorerPath);
  return outcome;
}

}  // namespace velodex
