// What a run did, counted as it goes, and the one line that tells the user at the end.
#pragma once

#include <string>
#include <vector>

namespace velodex {

struct RunSummary {
  int catalogued = 0;         // rows added
  int rejected = 0;           // files that are no designs, renamed to their "bad" name
  int unreadable = 0;         // files that could not be read, left as they were
  int unknownTypes = 0;       // catalogued designs whose ride type code is not known
  int designsWithCopies = 0;  // catalogued designs whose decoded contents another one shares
  int copyGroups = 0;         // the groups those designs form
  // One text per archive problem, as ArchiveProblemText gives it.
  std::vector<std::string> archiveProblems;
  // Failures the run went on after, each naming its file and cause (an unknowns log that
  // could not be written, a row the catalogue refused).
  std::vector<std::string> problems;
};

// "N designs catalogued, R rejected (renamed), U unreadable (left as they were), K of unknown
// ride types, A archives with problems, C designs have copies, in G groups". Each part is one entry
// of a list in the source, so a further count is one more line there.
std::string SummaryLine(const RunSummary& summary);

}  // namespace velodex
