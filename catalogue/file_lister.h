// The folder listers through which the run and the folder scan enumerate files: a folder
// path and a name pattern, listing the matching names in the platform's order. The wizard
// shows one of them to the user; the batch front end and the tests use DirectoryLister.
#pragma once

#include <string>
#include <vector>

namespace velodex {

class FileLister {
 public:
  virtual ~FileLister() = default;

  // Setting the path or the pattern, or refreshing, makes the next count() or name() see
  // the folder as it is then, as a file list control does.
  virtual void setPath(const std::string& folder) = 0;
  virtual void setPattern(const std::string& pattern) = 0;
  virtual void refresh() = 0;
  // The folder as the lister holds it.
  virtual std::string path() const = 0;
  virtual std::string pattern() const = 0;
  virtual int count() const = 0;
  // Name (no folder part) at index 0 to count() - 1.
  virtual std::string name(int index) const = 0;
};

// A lister over the file system: regular files matching the pattern without regard to
// case, sorted by name. Keeps its path and pattern until they are set again.
class DirectoryLister final : public FileLister {
 public:
  void setPath(const std::string& folder) override;
  void setPattern(const std::string& pattern) override;
  void refresh() override;
  std::string path() const override { return path_; }
  std::string pattern() const override { return pattern_; }
  int count() const override;
  std::string name(int index) const override;

 private:
  // Reads the folder on first use after a change, so pointing a lister at a folder and
  // then setting its pattern lists a large folder once, not twice.
  const std::vector<std::string>& names() const;

  std::string path_;
  std::string pattern_ = "*.*";
  mutable std::vector<std::string> names_;
  mutable bool stale_ = true;
};

}  // namespace velodex
