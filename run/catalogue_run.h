// The catalogue run: empties and compacts the catalogue, loads the chosen folder (or its
// archives) and writes the pages and folders the option code asks for, reporting on the
// progress display.
#pragma once

#include <string>

#include "run/run_context.h"

namespace velodex {

enum class RunOutcome {
  kCompleted,      // the completion text is on the status line, the quit button offered
  kEmptyFolder,    // the folder held nothing to read; the first wizard step is shown again
  kUnhandledCode,  // the option code has no dispatch row; its number was shown, then completed
};

// Runs one catalogue build from the current options. Expected endings are the outcome;
// a failing database or file step throws Error naming what failed and where, and leaves the
// user's designs untouched (the catalogue may be empty then).
RunOutcome RunCatalogue(RunContext& context);

// The run's sorted catalogue query: "SELECT * From velodex ORDER BY " the sort field, then
// " DESC;" or " ASC;".
std::string SortedCatalogueQuery(const RunOptions& options);

}  // namespace velodex
