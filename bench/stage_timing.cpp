#include "bench/stage_timing.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "catalogue/catalogue_database.h"
#include "catalogue/error.h"
#include "catalogue/file_lister.h"
#include "catalogue/file_system.h"
#include "catalogue/ride_type_table.h"
#include "catalogue/run_options.h"
#include "files/ride_type_folders.h"
#include "report/ride_index_page.h"
#include "report/simple_index_page.h"
#include "run/catalogue_run.h"
#include "run/run_context.h"

namespace velodex::bench {
namespace {

using Clock = std::chrono::steady_clock;

double Since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// Notes the moment each new status text appears; everything else is dropped.
class TimingProgress final : public ProgressDisplay {
 public:
  void setText(ProgressLabel label, const std::string& text) override {
    if (label == ProgressLabel::kStatus && (marks.empty() || marks.back().first != text)) {
      marks.emplace_back(text, Clock::now());
    }
    texts_[static_cast<int>(label)] = text;
  }
  std::string text(ProgressLabel label) const override { return texts_[static_cast<int>(label)]; }
  void repaint(ProgressLabel) override {}
  void reportUnreadable(const std::string&, const std::string&) override {}

  std::vector<std::pair<std::string, Clock::time_point>> marks;

 private:
  std::string texts_[3];
};

class QuietWindows final : public RunWindows {
 public:
  void showProgress() override {}
  void returnToFirstStep() override {}
  void offerQuit(const std::string&) override {}
};

class QuietPrompts final : public Prompts {
 public:
  void message(const std::string& text, MessageIcon) override { lastMessage = text; }
  std::optional<std::string> askText(const std::string&) override { return std::nullopt; }
  ReplaceAnswer askYesNoCancel(const std::string&, const std::string&) override {
    return ReplaceAnswer::kCancel;
  }
  std::string lastMessage;
};

}  // namespace

void PrintStageTimes(const std::string& designsFolder, const std::string& databaseFolder,
                     const std::string& scratch, bool code22) {
  PlainRunOptions options;
  options.folderText = designsFolder;
  options.columns.fill(true);
  options.hyperlinks = options.separate = options.copy = code22;
  DirectoryLister runLister;
  DirectoryLister scanLister;
  TimingProgress progress;
  QuietWindows windows;
  QuietPrompts prompts;
  RideTypeTable rideTypes;
  FillRideTypeTable(rideTypes);
  RunSession session;
  RunContext context{.setup = {.rideTypes = rideTypes,
                               .databaseFolder = databaseFolder,
                               .unknownsLog = JoinPath(scratch, "stage-unknowns.txt")},
                     .frontEnd = {.options = options,
                                  .runLister = runLister,
                                  .scanLister = scanLister,
                                  .progress = progress,
                                  .windows = windows,
                                  .prompts = prompts,
                                  .session = session}};

  sync();
  const Clock::time_point start = Clock::now();
  if (RunCatalogue(context) != RunOutcome::kCompleted) {
    throw Error("in-process run of code " + std::string(code22 ? "22" : "0") +
                " failed: " + prompts.lastMessage);
  }
  const Clock::time_point end = Clock::now();

  std::printf("\nstages of one in-process run of code %d (%.3f s in all):\n", code22 ? 22 : 0,
              std::chrono::duration<double>(end - start).count());
  std::printf("  %-26s %8.3f s\n", "(opening the catalogue)",
              std::chrono::duration<double>(progress.marks.front().second - start).count());
  for (size_t i = 0; i < progress.marks.size(); ++i) {
    const Clock::time_point stageEnd =
        i + 1 < progress.marks.size() ? progress.marks[i + 1].second : end;
    const std::string& status = progress.marks[i].first;
    if (status.rfind("Done", 0) == 0) break;
    std::printf("  %-26s %8.3f s\n", status.c_str(),
                std::chrono::duration<double>(stageEnd - progress.marks[i].second).count());
  }

  // The writers alone, on the catalogue the run just filled, so the stage that holds the
  // folder scan can be split into scan and writing.
  CatalogueDatabase database;
  database.open(JoinPath(databaseFolder, "velodex.mdb"));
  sync();
  Clock::time_point writerStart = Clock::now();
  if (code22) {
    MakeRideTypeFolders(designsFolder, database);
    WriteRideIndexPage(options, designsFolder, database);
    std::printf("  %-26s %8.3f s\n", "(ride type folders + index alone)", Since(writerStart));
    TimingProgress quiet;
    sync();
    writerStart = Clock::now();
    CopyTracksToRideTypeFolders(quiet, designsFolder, database);
    std::printf("  %-26s %8.3f s\n", "(copying alone, again)", Since(writerStart));
  } else {
    RecordSet rows = database.openQuery("SELECT * From velodex ORDER BY Rating DESC;");
    WriteSpecificationPage(options, JoinPath(scratch, "stage-simpleindex.htm"), rows);
    rows.close();
    std::printf("  %-26s %8.3f s\n", "(simpleindex.htm alone)", Since(writerStart));
  }
  database.close();
  std::fflush(stdout);
}

}  // namespace velodex::bench
