// The summary line of a run.
#include "catalogue/run_summary.h"

#include <utility>

namespace velodex {

std::string SummaryLine(const RunSummary& summary) {
  const std::pair<int, const char*> parts[] = {
      {summary.catalogued, " designs catalogued"},
      {summary.rejected, " rejected (renamed)"},
      {summary.unreadable, " unreadable (left as they were)"},
      {summary.unknownTypes, " of unknown ride types"},
      {static_cast<int>(summary.archiveProblems.size()), " archives with problems"},
  };
  std::string line;
  for (const auto& [count, words] : parts) {
    line += (line.empty() ? "" : ", ") + std::to_string(count) + words;
  }
  return line;
}

}  // namespace velodex
