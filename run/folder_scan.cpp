#include "run/folder_scan.h"

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include "catalogue/catalogue_database.h"
#include "catalogue/catalogue_location.h"
#include "catalogue/error.h"
#include "catalogue/file_system.h"
#include "catalogue/track_design.h"
#include "catalogue/track_layout.h"
#include "report/layout_pictures.h"

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

void AppendUnknownLine(const std::string& logPath, int code, const std::string& name) {
  std::ofstream log(logPath, std::ios::binary | std::ios::app);
  if (!log) throw FileError("append to", logPath, errno);
  log << code << ' ' << name << "\r\n";
  log.close();
  if (!log) throw FileError("append to", logPath, std::make_error_code(std::errc::io_error));
}

// Deletes the plain files directly in folder: never recursing, never following a link.
void DeleteExtractedFiles(const std::string& folder) {
  ForEachEntry(folder, [&](const FolderEntry& entry) {
    if (entry.kind != EntryKind::kFile) return;
    std::error_code ignored;
    std::filesystem::remove(JoinPath(folder, entry.name), ignored);
  });
}

void AddCatalogueRow(RecordSet& table, const std::string& storedName,
                     const std::string& rideTypeName, const DesignStats& stats,
                     const LayoutFacts& layout, const AuthorInfo& author,
                     const std::string& zipFileName) {
  table.addNew();
  table.setField("File_Name", storedName);
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

AuthorInfo ReadAuthorFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw FileError("read", path, errno);
  const std::string text(std::istreambuf_iterator<char>(in), {});
  AuthorInfo info;
  info.author.clear();
  size_t lineNumber = 0;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find_first_of("\r\n", start);
    const std::string line = text.substr(start, end == std::string::npos ? end : end - start);
    if (++lineNumber == 1) {
      info.author = line;
    } else {
      info.link = line;
    }
    if (end == std::string::npos) break;
    // CR LF counts as one line end.
    start = end + ((text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ? 2 : 1);
  }
  return info;
}

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
      continue;
    }
    if (reading.verdict == DesignVerdict::kRejected) {
      SkipOnFailure([&] { RenameWithoutReplacing(path, JoinPath(w, BadDesignName(name))); });
      continue;
    }
    const DesignStats stats = ExtractDesignStats(design);
    std::string rideTypeName;
    if (auto known = context.setup.rideTypes.lookup(int{stats.rideTypeCode})) {
      rideTypeName = *known;
    } else {
      rideTypeName = "Unknown";
      SkipOnFailure(
          [&] { AppendUnknownLine(context.setup.unknownsLog, stats.rideTypeCode, name); });
    }
    // The pieces themselves are kept only when a picture is drawn from them.
    const bool drawing = !context.setup.picturesFolder.empty();
    if (drawing) WalkTrackLayout(design, layout);
    const LayoutFacts facts = drawing ? LayoutFactsOf(layout) : WalkLayoutFacts(design);
    // The stored name ends in a lower-case "td4" whatever the name on disk: "LOOP.TD4" is
    // stored as "LOOP.td4".
    const std::string storedName = ReplaceEnding(name, "td4");
    SkipOnFailure([&] {
      AddCatalogueRow(table, storedName, rideTypeName, stats, facts, author, zipFileName);
    });
    if (drawing) {
      SkipOnFailure([&] {
        WriteFileAtomically(
            JoinPath(context.setup.picturesFolder, PictureFileName(storedName, zipFileName)),
            LayoutSvg(layout, name));
      });
    }
  }

  if (context.frontEnd.options.useZipFiles()) DeleteExtractedFiles(folder);
  table.close();
  database.close();
}

}  // namespace velodex
