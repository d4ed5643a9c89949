#include "run/folder_scan.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "catalogue/catalogue_database.h"
#include "catalogue/catalogue_location.h"
#include "catalogue/design_digest.h"
#include "catalogue/error.h"
#include "catalogue/file_system.h"
#include "catalogue/log_file.h"
#include "catalogue/track_design.h"
#include "catalogue/track_layout.h"
#include "report/layout_pictures.h"
#include "run/archive_extraction.h"

namespace velodex {

namespace {

// Runs one step of the scan; a step that fails with our error (a file or the catalogue
// refusing) is skipped, as the scan's contract says. Anything else, running out of memory
// above all, is no per-step failure and ends the run.
template <typename Step>
void SkipOnFailure(Step&& step) {
  try {
    step();
  } catch (const Error&) {
    // Skipped on purpose: the scan goes on with the next step.
  }
}

// Runs a step whose failure the run goes on after but must not keep quiet about: the
// failure is noted once in the summary, which the run shows at its end.
template <typename Step>
void NoteFailure(RunSummary& summary, Step&& step) {
  try {
    step();
  } catch (const Error& error) {
    if (std::find(summary.problems.begin(), summary.problems.end(), error.what()) ==
        summary.problems.end()) {
      summary.problems.emplace_back(error.what());
    }
  }
}

// Deletes the plain files directly in folder, the extraction folder's mark excepted: never
// recursing, never following a link.
void DeleteExtractedFiles(const std::string& folder) {
  ForEachEntry(folder, [&](const FolderEntry& entry) {
    if (entry.kind != EntryKind::kFile || entry.name == kExtractionMarkName) return;
    std::error_code ignored;
    std::filesystem::remove(NativePath(JoinPath(folder, entry.name)), ignored);
  });
}

void AddCatalogueRow(RecordSet& table, const std::string& diskName, const std::string& rideTypeName,
                     const DesignStats& stats, const LayoutFacts& layout, const AuthorInfo& author,
                     const std::string& zipFileName, const std::string& digest) {
  table.addNew();
  // The stored name ends in a lower-case "td4" whatever the name on disk: "LOOP.TD4" is
  // stored as "LOOP.td4", and the name on disk is kept beside it for links and copies.
  table.setField("File_Name", ReplaceEnding(diskName, "td4"));
  table.setField("Ride_Name", rideTypeName);
  table.setField("Min_Wait_Time", int{stats.minWaitTime});
  table.setField("Max_Wait_Time", int{stats.maxWaitTime});
  table.setField("Train_Color_Scheme", int{stats.trainColorScheme});
  table.setField("Ride_Type", rideTypeName);
  table.setField("Max_Speed", stats.maxSpeed);
  table.setField("Avg_Speed", stats.avgSpeed);
  table.setField("Ride_Length", stats.rideLength);
  table.setField("PosGs", stats.posGs);
  table.setField("NegGs", stats.negGs);
  table.setField("LatGs", stats.latGs);
  table.setField("Invs", int{stats.invs});
  table.setField("Drops", int{stats.drops});
  table.setField("Max_Drop_Height", int{stats.maxDropHeight});
  table.setField("Ex", stats.ex);
  table.setField("Int", stats.intensity);
  table.setField("Na", stats.na);
  table.setField("Author", author.author);
  table.setField("Alink", author.link);
  table.setField("zipfilename", zipFileName);
  table.setField("Rating", stats.rating);
  table.setField("Disk_Name", diskName);
  table.setField("Design_Digest", digest);
  table.setField("Layout_Pieces", layout.pieces);
  table.setField("Layout_Width", layout.width);
  table.setField("Layout_Length", layout.length);
  table.setField("Layout_Rise", layout.rise);
  table.setField("Layout_Dip", layout.dip);
  table.setField("Layout_Closed", layout.closed ? 1 : 0);
  if (layout.group != 0) table.setField("Layout_Group", layout.group);
  table.update();
}

}  // namespace

void ReadTrackFolder(RunContext& context, const std::string& folder,
                     const std::string& zipFileName) {
  // A catalogue that cannot be opened at all is no per-design step to skip: reading every
  // design for nothing would hide the failure, so it ends the scan with its message.
  CatalogueDatabase database;
  database.open(JoinPath(context.setup.databaseFolder, kCatalogueFileName));
  RecordSet table = database.openTable("velodex");
  DecodedDesign design;
  TrackLayout layout;  // for pictures; reused, as the decoding buffer is

  FileLister& lister = context.frontEnd.scanLister;
  lister.setPath(folder);
  lister.setPattern("*.td4");
  const std::string w = lister.path();
  lister.refresh();

  AuthorInfo author;
  ProgressDisplay& progress = context.frontEnd.progress;
  progress.setText(ProgressLabel::kStatus, "Reading Tracks");
  progress.repaint(ProgressLabel::kStatus);

  if (context.frontEnd.options.useZipFiles()) {
    // The archive's author.txt, whatever the letter case its maker gave the name.
    const std::string authorFile = FindFileIgnoringCase(w, "author.txt");
    if (!authorFile.empty()) SkipOnFailure([&] { author = ReadAuthorFile(authorFile); });
  }

  const int count = lister.count();
  progress.setText(ProgressLabel::kCount, std::to_string(count));
  for (int i = 0; i < count; ++i) {
    progress.setText(ProgressLabel::kCurrentItem, std::to_string(i + 1));
    progress.repaint(ProgressLabel::kCurrentItem);
    const std::string name = lister.name(i);
    const std::string path = JoinPath(w, name);
    const DesignReading reading = DecodeTrackDesign(path, design);
    if (reading.verdict == DesignVerdict::kUnreadable) {
      // Nothing is known to be wrong with a file we could not read (it vanished since the
      // listing, we may not read it, the disk failed): it keeps its name, and the front end
      // hears of it.
      progress.reportUnreadable(path, reading.cause.message());
      ++context.summary.unreadable;
      continue;
    }
    if (reading.verdict == DesignVerdict::kRejected) {
      SkipOnFailure([&] { RenameWithoutReplacing(path, JoinPath(w, BadDesignName(name))); });
      ++context.summary.rejected;
      continue;
    }
    const DesignStats stats = ExtractDesignStats(design);
    std::string rideTypeName;
    if (auto known = context.setup.rideTypes.lookup(int{stats.rideTypeCode})) {
      rideTypeName = *known;
    } else {
      rideTypeName = "Unknown";
      ++context.summary.unknownTypes;
      NoteFailure(context.summary, [&] {
        AppendLogLine(context.setup.unknownsLog,
                      std::to_string(stats.rideTypeCode) + " " + name + "\r\n");
      });
    }
    // The pieces themselves are kept only when a picture is drawn from them.
    const bool drawing = !context.setup.picturesFolder.empty();
    if (drawing) WalkTrackLayout(design, layout);
    const LayoutFacts facts = drawing ? LayoutFactsOf(layout) : WalkLayoutFacts(design);
    NoteFailure(context.summary, [&] {
      AddCatalogueRow(table, name, rideTypeName, stats, facts, author, zipFileName,
                      DesignDigest(design));
      ++context.summary.catalogued;
    });
    if (drawing) {
      NoteFailure(context.summary, [&] {
        WriteFileAtomically(
            JoinPath(context.setup.picturesFolder, PictureFileName(name, zipFileName)),
            PictureSvg(layout));
      });
    }
  }

  if (context.frontEnd.options.useZipFiles()) DeleteExtractedFiles(folder);
  table.close();
  database.close();
}

}  // namespace velodex
