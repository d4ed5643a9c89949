#include "files/ride_type_folders.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <unordered_map>
#include <unordered_set>
#ifndef _WIN32
#include <unistd.h>
#endif

#include "catalogue/error.h"
#include "catalogue/file_system.h"

namespace velodex {
namespace fs = std::filesystem;

namespace {

std::string FieldText(RecordSet& rows, const char* name) {
  FieldValue value = rows.field(name);
  return value.isText() ? value.text() : std::string();
}

std::string LowerAscii(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

// The scan folder's plain files by their lower-case names, read once, so that a catalogue
// name X.td4 finds X.TD4 without listing the folder again for every design.
class FolderIndex {
 public:
  explicit FolderIndex(const std::string& folder) {
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
      std::error_code typeError;
      if (!it->is_regular_file(typeError)) continue;
      std::string name = it->path().filename().string();
      std::string& slot = byLowerName_[LowerAscii(name)];
      // Among spellings that differ only in case, the first in byte order stands for all.
      if (slot.empty() || name < slot) slot = name;
      names_.insert(std::move(name));
    }
  }

  // The name on disk for name: name itself when the folder holds it (two files differing
  // only in case are two designs), else another spelling of it, or empty when there is none.
  std::string find(const std::string& name) const {
    if (names_.count(name) != 0) return name;
    auto it = byLowerName_.find(LowerAscii(name));
    if (it == byLowerName_.end()) return std::string();
    return it->second;
  }

 private:
  std::unordered_set<std::string> names_;
  std::unordered_map<std::string, std::string> byLowerName_;
};

// Copies through a temporary name in the target folder and renames it into place, so a
// target is never left half written and a link standing at the target is replaced, not
// written through.
void CopyReplacing(const std::string& from, const std::string& to) {
  // The temporary name is made new (never an existing file of the user's), then filled.
  std::string temporary = to + ".velodex-XXXXXX";
  std::error_code ec;
#ifndef _WIN32
  const int fd = ::mkstemp(temporary.data());
  if (fd < 0) {
    throw Error("cannot copy '" + from + "' to '" + to +
                "': " + std::error_code(errno, std::generic_category()).message());
  }
  ::close(fd);
#else
  temporary = to + ".velodex-copy";
  if (fs::exists(fs::symlink_status(temporary, ec))) {
    throw Error("cannot copy '" + from + "' to '" + to + "': '" + temporary + "' is in the way");
  }
#endif
  fs::copy_file(from, temporary, fs::copy_options::overwrite_existing, ec);
  if (!ec) fs::rename(temporary, to, ec);
  if (ec) {
    std::error_code ignored;
    fs::remove(temporary, ignored);
    throw Error("cannot copy '" + from + "' to '" + to + "': " + ec.message());
  }
}

std::string CompanionName(const std::string& designName) {
  return designName.substr(0, designName.size() >= 3 ? designName.size() - 3 : 0) + "tp4";
}

}  // namespace

void MakeRideTypeFolders(const std::string& folder, CatalogueDatabase& database) {
  RecordSet rideTypes = database.openStoredQuery("RideTypeQuery");
  for (; !rideTypes.atEnd(); rideTypes.moveNext()) {
    const std::string path = JoinPath(folder, FieldText(rideTypes, "Ride_Name"));
    std::error_code ec;
    if (fs::exists(fs::symlink_status(path, ec))) continue;
    fs::create_directory(path, ec);
    if (ec) throw Error("cannot make the ride type folder '" + path + "': " + ec.message());
  }
  rideTypes.close();
}

void CopyTracksToRideTypeFolders(ProgressDisplay& progress, const std::string& folder,
                                 CatalogueDatabase& database) {
  const FolderIndex designs(folder);
  RecordSet rideTypes = database.openStoredQuery("RideTypeQuery");
  for (; !rideTypes.atEnd(); rideTypes.moveNext()) {
    const std::string rideType = FieldText(rideTypes, "Ride_Name");
    const std::string typeFolder = JoinPath(folder, rideType);
    database.setParameter("GenericQuery", "theridename", rideType);
    RecordSet rows = database.openStoredQuery("GenericQuery");
    const int64_t count = rows.recordCount();

    progress.setText(ProgressLabel::kCurrentItem, rideType);
    progress.repaint(ProgressLabel::kCurrentItem);
    progress.setText(ProgressLabel::kStatus, "Copying Files");
    progress.setText(ProgressLabel::kCurrentItem,
                     progress.text(ProgressLabel::kCurrentItem) + " " + std::to_string(count));

    for (int64_t k = 1; !rows.atEnd(); ++k, rows.moveNext()) {
      progress.setText(ProgressLabel::kCount, std::to_string(k));
      progress.repaint(ProgressLabel::kCount);
      const std::string fileName = FieldText(rows, "File_Name");
      const std::string onDisk = designs.find(fileName);
      if (onDisk.empty()) {
        throw Error("cannot copy '" + JoinPath(folder, fileName) + "': no such file");
      }
      CopyReplacing(JoinPath(folder, onDisk), JoinPath(typeFolder, fileName));
      // Designs of unknown ride types travel without their companions.
      if (rideType != "Unknown") {
        const std::string companion = CompanionName(fileName);
        if (const std::string companionOnDisk = designs.find(companion); !companionOnDisk.empty()) {
          CopyReplacing(JoinPath(folder, companionOnDisk), JoinPath(typeFolder, companion));
        }
      }
    }
    rows.close();
  }
  rideTypes.close();
}

}  // namespace velodex
