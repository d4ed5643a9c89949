// What one catalogue run works with: the user's choices, the two listers, the progress
// display, the front end's windows and prompts, the ride type table and the places of the
// program's own files. The front end owns all of it; the run only borrows it.
#pragma once

#include <string>

#include "catalogue/file_lister.h"
#include "catalogue/progress_display.h"
#include "catalogue/ride_type_table.h"
#include "catalogue/run_options.h"

namespace velodex {

struct RunContext {
  RunOptions& options;
  FileLister& runLister;   // the lister the user sees (File1)
  FileLister& scanLister;  // the folder scan's own lister (File2)
  ProgressDisplay& progress;
  RunWindows& windows;
  Prompts& prompts;
  const RideTypeTable& rideTypes;
  // The folder holding velodex.mdb (and velodex2.mdb while compacting).
  std::string databaseFolder;
  // The appended log of unknown ride type codes.
  std::string unknownsLog;
  // Set once the user declines to give an archive password; no later password question is
  // asked for the rest of the program run. Owned by the front end.
  bool& skipPasswordQuestions;
};

}  // namespace velodex
