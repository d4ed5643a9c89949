// Where a run's time goes: runs the catalogue run in this process over a filled catalogue and
// times each stage by the status texts the run shows, then times the page writers alone.
#pragma once

#include <string>

namespace velodex::bench {

// Runs one catalogue run of code 0 (code22 false) or 22 on designsFolder with the catalogue
// in databaseFolder and prints the seconds between status changes, then the seconds of the
// step that writes the code's pages alone on the filled catalogue. Throws Error when the run
// does not complete.
void PrintStageTimes(const std::string& designsFolder, const std::string& databaseFolder,
                     const std::string& scratch, bool code22);

}  // namespace velodex::bench
