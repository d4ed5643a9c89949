// Cataloguing the designs inside zip archives: every archive listed by the run lister is
// extracted into the extraction folder and scanned there, with its own name and author.
#pragma once

#include <string>
#include <vector>

#include "files/unzip_layer.h"
#include "run/run_context.h"

namespace velodex {

// The extraction folder below the chosen folder.
inline constexpr const char* kExtractionFolderName = "quilltemp";
// The file that marks an extraction folder as the program's own while a run uses it, so that
// one left by a killed run is known for what it is.
inline constexpr const char* kExtractionMarkName = ".velodex-extraction";

// Extracts each archive the run lister holds (pointed at the chosen folder with "*.zip")
// into folder/quilltemp, which PrepareExtractionFolder made, and scans it there with the
// archive's name; the scan empties the folder again. A non-zero extraction code is shown as
// ArchiveProblemText says (the archive, what the code means, what befell which members),
// noted in the run's summary, and the run goes on with the scan and the next archive.
// Encrypted members ask
// for a password through the prompts until the user declines once (skipPasswordQuestions).
// An error of the scan or the prompts is thrown on after this archive's files are removed.
void ExtractArchives(RunContext& context);

// The callback record handed to the unzip layer for each archive. The layer's lines that
// report a problem are added to details (when given) as "member 'NAME': REASON" or the
// layer's own words; the others are not shown. The password routine asks "Please Enter The
// Password!" unless skipPasswordQuestions is set; Cancel or an empty answer sets it and gives 1 (no
// password), an answer is stored in the buffer and gives 0. The record refers to frontEnd, which
// must outlive it.
USERFUNCTIONS ArchiveCallbacks(RunFrontEnd& frontEnd, std::vector<std::string>* details = nullptr);

// Makes the extraction folder for the archives of folder, empty but for its mark. A folder
// left there that carries the mark was left by a killed run: its plain files are what that
// run extracted, and they are deleted. An unmarked folder that is empty is taken over; one
// that holds anything, or a link or file at the name, throws Error naming it, and nothing
// of it is deleted.
std::string PrepareExtractionFolder(const std::string& folder);

// Removes the (emptied) extraction folder and its mark after the archives have been
// scanned. Throws Error naming it when it cannot be removed.
void RemoveExtractionFolder(const std::string& extractionFolder);

}  // namespace velodex
