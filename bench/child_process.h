// Runs other programs the way a user's shell would and measures them: wall time from spawn
// to exit, exit status and the child's peak resident memory.
#pragma once

#include <string>
#include <vector>

namespace velodex::bench {

struct ChildResult {
  double seconds = 0;   // wall time from spawn to reaping
  int exitStatus = -1;  // the exit status, or -1 when the child was killed by a signal
  long maxRssKiB = 0;   // peak resident set of the child alone
};

// Runs argv[0] (looked up on PATH) with argv, standard input from /dev/null and standard
// output and error into the named files ("/dev/null" to drop them), and waits for it.
// Throws Error when the program cannot be started.
ChildResult RunChild(const std::vector<std::string>& argv, const std::string& outPath,
                     const std::string& errPath);

// Runs prefix + a batch of files + suffix for consecutive batches of files, as xargs does,
// each command line holding at most maxArgumentBytes of file names. Returns the summed wall
// time and the first failing exit status (0 when every batch succeeded).
ChildResult RunBatched(const std::vector<std::string>& prefix,
                       const std::vector<std::string>& files,
                       const std::vector<std::string>& suffix, size_t maxArgumentBytes = 120000);

}  // namespace velodex::bench
