// The summary line of a run.
#include "catalogue/run_summary.h"

namespace velodex {

std::string SummaryLine(const RunSummary& summary) {
  struct Part {
    int count;
    const char* one;    // the words after a count of 1
    const char* other;  // after any other count
  };
  const Part parts[] = {
      {summary.catalogued, " design catalogued", " designs catalogued"},
      {summary.rejected, " rejected (renamed)", " rejected (renamed)"},
      {summary.unreadable, " unreadable (left as they were)", " unreadable (left as they were)"},
      {summary.unknownTypes, " of unknown ride types", " of unknown ride types"},
      {static_cast<int>(summary.archiveProblems.size()), " archive with problems",
       " archives with problems"},
  };
  std::string line;
  for (const Part& part : parts) {
    line += (line.empty() ? "" : ", ") + std::to_string(part.count) +
            (part.count == 1 ? part.one : part.other);
  }
  line += ", " + std::to_string(summary.designsWithCopies) +
          (summary.designsWithCopies == 1 ? " design has" : " designs have") + " copies, in " +
          std::to_string(summary.copyGroups) + (summary.copyGroups == 1 ? " group" : " groups");
  return line;
}

}  // namespace velodex
