#include "catalogue/folder_scan.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include "catalogue/catalogue_database.h"
#include "catalogue/catalogue_location.h"
#include "catalogue/design_digest.h"
#include "catalogue/error.h"
#include "catalogue/file_system.h"
#include "catalogue/track_design.h"

#ifdef __linux__
#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace velodex {
namespace fs = std::filesystem;

namespace {

// Runs one step of the scan; a step that fails is skipped, as the scan's contract says.
template <typename Step>
void SkipOnFailure(Step&& step) {
  try {
    step();
  } catch (const std::exception&) {
    // Skipped on purpose: the scan goes on with the next step.
  }
}

// Renames without ever replacing an existing file: a reject whose "bad" name is taken keeps
// its own name and is tried again on the next run.
void RenameWithoutReplacing(const std::string& from, const std::string& to) {
#if defined(__linux__) && defined(SYS_renameat2)
  if (syscall(SYS_renameat2, AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), 1 /*NOREPLACE*/) == 0) {
    return;
  }
  if (errno != EINVAL && errno != ENOSYS) {
    throw Error("cannot rename '" + from + "' to '" + to + "': " + std::strerror(errno));
  }
  // The file system cannot rename atomically without replacing; fall back to a check.
#endif
  std::error_code ec;
  if (fs::exists(fs::symlink_status(to, ec))) {
    throw Error("cannot rename '" + from + "' to '" + to + "': the name is taken");
  }
  fs::rename(from, to, ec);
  if (ec) throw Error("cannot rename '" + from + "' to '" + to + "': " + ec.message());
}

void AppendUnknownLine(const std::string& logPath, int code, const std::string& name) {
  std::ofstream log(logPath, std::ios::binary | std::ios::app);
  log << code << ' ' << name << "\r\n";
  log.close();
  if (!log) throw Error("cannot append to '" + logPath + "'");
}

// Deletes the plain files directly in folder: never recursing, never following a link.
void DeleteExtractedFiles(const std::string& folder) {
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code statusError;
    if (fs::is_regular_file(it->symlink_status(statusError))) {
      std::error_code removeError;
      fs::remove(it->path(), removeError);
    }
  }
}

// The name with its last three characters replaced by "td4" ("LOOP.TD4" -> "LOOP.td4").
std::string StoredDesignName(const std::string& name) {
  return name.substr(0, name.size() >= 3 ? name.size() - 3 : 0) + "td4";
}

void AddCatalogueRow(RecordSet& table, const std::string& storedName,
                     const std::string& rideTypeName, const DesignStats& stats,
                     const AuthorInfo& author, const std::string& zipFileName,
                     const std::string& digest) {
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
  table.setField("Design_Digest", digest);
  table.update();
}

}  // namespace

AuthorInfo ReadAuthorFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw Error("cannot read '" + path + "'");
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

void ReadTrackFolder(const RunContext& context, const std::string& folder,
                     const std::string& zipFileName) {
  // A catalogue that cannot be opened at all is no per-design step to skip: reading every
  // design for nothing would hide the failure, so it ends the scan with its message.
  CatalogueDatabase database;
  database.open(JoinPath(context.databaseFolder, kCatalogueFileName));
  RecordSet table = database.openTable("velodex");
  DecodedDesign design;

  FileLister& lister = context.scanLister;
  lister.setPath(folder);
  lister.setPattern("*.td4");
  const std::string w = lister.path();
  lister.refresh();

  AuthorInfo author;
  ProgressDisplay& progress = context.progress;
  progress.setText(ProgressLabel::kStatus, "Reading Tracks");
  progress.repaint(ProgressLabel::kStatus);

  if (context.options.useZipFiles()) {
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
    if (!DecodeTrackDesign(path, design)) {
      // Only a file that was read and found wanting is set aside: one that vanished since
      // the listing or that we may not read is left as it is.
      if (std::ifstream(path, std::ios::binary).is_open()) {
        SkipOnFailure([&] { RenameWithoutReplacing(path, JoinPath(w, BadDesignName(name))); });
      }
      continue;
    }
    const DesignStats stats = ExtractDesignStats(design);
    std::string rideTypeName;
    if (auto known = context.rideTypes.lookup(int{stats.rideTypeCode})) {
      rideTypeName = *known;
    } else {
      rideTypeName = "Unknown";
      SkipOnFailure([&] { AppendUnknownLine(context.unknownsLog, stats.rideTypeCode, name); });
    }
    SkipOnFailure([&] {
      AddCatalogueRow(table, StoredDesignName(name), rideTypeName, stats, author, zipFileName,
                      DesignDigest(design));
    });
  }

  if (context.options.useZipFiles()) DeleteExtractedFiles(folder);
  table.close();
  database.close();
}

}  // namespace velodex
