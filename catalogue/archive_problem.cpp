// Meanings of the extraction codes, as the zip layer returns them.
#include "catalogue/archive_problem.h"

namespace velodex {
namespace {

const char* Meaning(int code) {
  switch (code) {
    case 0:
      return "no problem";
    case 1:
      return "some members were skipped";
    case 2:
      return "damaged archive";
    case 3:
      return "badly damaged archive";
    case 4:
    case 5:
    case 6:
    case 7:
    case 8:
      return "not enough memory";
    case 9:
      return "not a zip archive";
    case 10:
      return "options the zip layer does not support";
    case 11:
      return "no matching member";
    case 50:
      return "disk full";
    case 51:
      return "archive ends too early";
    case 80:
      return "stopped";
    case 81:
      return "compression method or encryption not supported";
    case 82:
      return "wrong password";
    default:
      return "unknown problem";
  }
}

}  // namespace

std::string ArchiveCodeText(int code) { return std::to_string(code) + " (" + Meaning(code) + ")"; }

std::string ArchiveProblemText(const std::string& archive, int code,
                               const std::vector<std::string>& details) {
  // A few details say what happened; an archive of thousands of broken members would
  // otherwise fill the screen.
  constexpr size_t kMostDetails = 3;
  std::string text = "archive '" + archive + "': " + ArchiveCodeText(code);
  for (size_t i = 0; i < details.size() && i < kMostDetails; ++i) text += "; " + details[i];
  if (details.size() > kMostDetails) {
    text += "; and " + std::to_string(details.size() - kMostDetails) + " more";
  }
  return text;
}

}  // namespace velodex
