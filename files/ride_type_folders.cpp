#include "files/ride_type_folders.h"

#include <filesystem>
#include <system_error>
#include <vector>

#include "catalogue/error.h"
#include "catalogue/file_system.h"

namespace velodex {
namespace fs = std::filesystem;

namespace {

std::string FieldText(RecordSet& rows, const char* name) {
  FieldValue value = rows.field(name);
  return value.isText() ? value.text() : std::string();
}

}  // namespace

void MakeRideTypeFolders(const std::string& folder, CatalogueDatabase& database) {
  std::vector<std::string> missing;
  RecordSet rideTypes = database.openStoredQuery("RideTypeQuery");
  // Every name is looked at before any folder is made, so a run stopped here has written
  // nothing into any of them.
  for (; !rideTypes.atEnd(); rideTypes.moveNext()) {
    const std::string path = JoinPath(folder, FieldText(rideTypes, "Ride_Name"));
    std::error_code ec;
    const fs::file_status status = fs::symlink_status(path, ec);
    if (fs::is_directory(status)) {
      RemoveAtomicLeftovers(path);
    } else if (!fs::exists(status)) {
      missing.push_back(path);
    } else {
      // Pages and copies written into a link would land wherever it points; a file there
      // would fail them one by one. Either is the user's to move.
      throw Error("cannot use the ride type folder '" + path + "': a " +
                  (fs::is_symlink(status) ? "link" : "file") +
                  " stands at that name; move it out of the way and run again");
    }
  }
  rideTypes.close();
  for (const std::string& path : missing) {
    std::error_code ec;
    fs::create_directory(path, ec);
    if (ec) throw FileError("make the ride type folder", path, ec);
  }
}

void CopyTracksToRideTypeFolders(ProgressDisplay& progress, const std::string& folder,
                                 CatalogueDatabase& database) {
  // The folder's names read once, so that a companion X.tp4 finds X.TP4 (and a design
  // catalogued before its name on disk was kept finds it) without listing the folder again.
  const FolderNames designs(folder);
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
      // Each copy is made from its own file: x.td4 and x.TD4 are two designs.
      const std::string diskName = FieldText(rows, "Disk_Name");
      const std::string onDisk = designs.find(diskName.empty() ? fileName : diskName);
      if (onDisk.empty()) {
        throw Error("cannot copy '" + JoinPath(folder, fileName) + "': no such file");
      }
      // A copy replaces an earlier one whole; a link standing there is replaced, not written
      // through.
      CopyFileAtomically(JoinPath(folder, onDisk), JoinPath(typeFolder, fileName));
      // Designs of unknown ride types travel without their companions.
      if (rideType != "Unknown") {
        const std::string companion = ReplaceEnding(fileName, "tp4");
        if (const std::string companionOnDisk = designs.find(companion); !companionOnDisk.empty()) {
          CopyFileAtomically(JoinPath(folder, companionOnDisk), JoinPath(typeFolder, companion));
        }
      }
    }
    rows.close();
  }
  rideTypes.close();
}

}  // namespace velodex
