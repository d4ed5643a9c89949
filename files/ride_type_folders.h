// One sub-folder per ride type of the catalogue, and copies of the designs (with their
// companion ".tp4" files) sorted into them. Designs are copied, never moved.
#pragma once

#include <string>

#include "catalogue/catalogue_database.h"
#include "catalogue/progress_display.h"

namespace velodex {

// Makes folder/N for every ride type N of the catalogue where nothing of that name exists
// yet, and clears existing ones of the temporary files that writers killed midway left.
// A link or a file standing at a ride type folder's name throws Error naming it before any
// folder is made; so does a folder that cannot be made.
void MakeRideTypeFolders(const std::string& folder, CatalogueDatabase& database);

// Copies every catalogued design from its file in folder (Disk_Name) into folder/N (N its
// ride type), under the catalogue's spelling of its name (File_Name), replacing an earlier
// copy; for ride types other than "Unknown" also the companion ".tp4" file when there is one. Shows
// the ride type, its design count and the running design number. Throws Error naming the file when
// a design is missing or a copy cannot be written; copies made so far stay.
void CopyTracksToRideTypeFolders(ProgressDisplay& progress, const std::string& folder,
                                 CatalogueDatabase& database);

}  // namespace velodex
