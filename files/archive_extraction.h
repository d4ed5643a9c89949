// Cataloguing the designs inside zip archives: every archive listed by the run lister is
// extracted into the extraction folder and scanned there, with its own name and author.
#pragma once

#include <string>

#include "catalogue/run_context.h"

namespace velodex {

// The extraction folder below the chosen folder.
inline constexpr const char* kExtractionFolderName = "quilltemp";

// Extracts each archive the run lister holds (pointed at the chosen folder with "*.zip")
// into folder/quilltemp and scans it there. A non-zero extraction code is shown as a
// message and the run goes on with the scan and the next archive.
void ExtractArchives(const RunContext& context);

// Makes a fresh, empty extraction folder for the archives of folder. A leftover folder that
// is empty is removed and made again; one that still holds anything throws Error naming it
// and nothing of it is deleted.
std::string PrepareExtractionFolder(const std::string& folder);

// Removes the (emptied) extraction folder after the archives have been scanned. Throws
// Error naming it when it cannot be removed.
void RemoveExtractionFolder(const std::string& extractionFolder);

}  // namespace velodex
