// Cataloguing the designs inside zip archives: every archive listed by the run lister is
// extracted into the extraction folder and scanned there, with its own name and author.
#pragma once

#include <string>

#include "files/unzip_layer.h"
#include "run/run_context.h"

namespace velodex {

// The extraction folder below the chosen folder.
inline constexpr const char* kExtractionFolderName = "quilltemp";

// Extracts each archive the run lister holds (pointed at the chosen folder with "*.zip")
// into folder/quilltemp, which PrepareExtractionFolder made, and scans it there with the
// archive's name; the scan empties the folder again. A non-zero extraction code is shown as
// its number and the run goes on with the scan and the next archive. Encrypted members ask
// for a password through the prompts until the user declines once (skipPasswordQuestions).
// An error of the scan or the prompts is thrown on after this archive's files are removed.
void ExtractArchives(RunContext& context);

// The callback record handed to the unzip layer for each archive. Messages are not shown.
// The password routine asks "Please Enter The Password!" unless skipPasswordQuestions is
// set; Cancel or an empty answer sets it and gives 1 (no password), an answer is stored
// in the buffer and gives 0. The record refers to frontEnd, which must outlive it.
USERFUNCTIONS ArchiveCallbacks(RunFrontEnd& frontEnd);

// Makes a fresh, empty extraction folder for the archives of folder. A leftover folder that
// is empty is removed and made again; one that still holds anything throws Error naming it
// and nothing of it is deleted.
std::string PrepareExtractionFolder(const std::string& folder);

// Removes the (emptied) extraction folder after the archives have been scanned. Throws
// Error naming it when it cannot be removed.
void RemoveExtractionFolder(const std::string& extractionFolder);

}  // namespace velodex
