#include "catalogue/file_lister.h"

#include "catalogue/file_system.h"

namespace velodex {

void DirectoryLister::setPath(const std::string& folder) {
  path_ = folder;
  stale_ = true;
}

void DirectoryLister::setPattern(const std::string& pattern) {
  pattern_ = pattern;
  stale_ = true;
}

void DirectoryLister::refresh() { stale_ = true; }

const std::vector<std::string>& DirectoryLister::names() const {
  if (stale_) {
    names_ = ListMatchingFiles(path_, pattern_);
    stale_ = false;
  }
  return names_;
}

int DirectoryLister::count() const { return static_cast<int>(names().size()); }

std::string DirectoryLister::name(int index) const {
  const auto& all = names();
  if (index < 0 || index >= static_cast<int>(all.size())) return std::string();
  return all[static_cast<size_t>(index)];
}

}  // namespace velodex
