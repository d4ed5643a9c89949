// What one catalogue run works with, in two parts: what the run only reads, and the front
// end's objects that the run changes and reports to. Each front end builds it in one place
// and owns everything it refers to; the run borrows it for its duration.
#pragma once

#include <string>

#include "catalogue/file_lister.h"
#include "catalogue/progress_display.h"
#include "catalogue/ride_type_table.h"
#include "catalogue/run_options.h"
#include "catalogue/run_summary.h"

namespace velodex {

// What the run only reads: the same from the start of a run to its end.
struct RunSetup {
  const RideTypeTable& rideTypes;
  // The folder holding velodex.mdb (and velodex2.mdb while compacting).
  std::string databaseFolder;
  // The appended log of unknown ride type codes.
  std::string unknownsLog;
  // The folder that receives a picture of every accepted design's layout; empty for none.
  std::string picturesFolder = {};
};

// What lasts from one run to the next for as long as the program runs.
struct RunSession {
  // Set once the user declines to give an archive password; no later password question is
  // asked.
  bool skipPasswordQuestions = false;
};

// What the run changes and reports to.
struct RunFrontEnd {
  // The user's choices, read when needed; the run fills in an empty rides-per-page text and
  // an empty sort field.
  RunOptions& options;
  FileLister& runLister;   // the lister the user sees (File1); the run points it at the folder
  FileLister& scanLister;  // the folder scan's own lister (File2)
  ProgressDisplay& progress;
  RunWindows& windows;
  Prompts& prompts;
  RunSession& session;
};

struct RunContext {
  const RunSetup setup;
  RunFrontEnd frontEnd;
  // What the run did, counted as it goes; the front end reads it once the run has returned.
  RunSummary summary = {};
};

}  // namespace velodex
