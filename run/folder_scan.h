// The folder scan: decodes every design of one folder and adds one catalogue row per
// accepted design, with the facts of its track's layout (and, when the run has a pictures
// folder, writes the picture of that layout there). Rejected files are renamed to their
// "bad" name, unknown ride type codes are logged, and in archive mode the archive's
// author.txt is read and the extraction folder's files are deleted afterwards.
#pragma once

#include <string>

#include "catalogue/author_file.h"
#include "run/run_context.h"

namespace velodex {

// Scans folder (the chosen folder, or the extraction folder of one archive) and stores its
// designs with zipFileName ("none" for a plain folder). Rejected designs are renamed to
// their "bad" name; a design that cannot be read keeps its name and is reported through the
// progress display. Each step that fails for one file (a rename onto an existing name, a
// refused row, an unwritable log) is skipped and the scan goes on. Throws Error only when
// the catalogue cannot be opened at all.
void ReadTrackFolder(RunContext& context, const std::string& folder,
                     const std::string& zipFileName);

}  // namespace velodex
