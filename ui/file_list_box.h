// A file list control that is also a folder lister: it lists the files of its folder that
// match its pattern (without regard to case) and, when shown, displays their names.
#pragma once

#include <QListWidget>

#include "catalogue/file_lister.h"

namespace velodex {

class FileListBox final : public QListWidget, public FileLister {
  Q_OBJECT
 public:
  explicit FileListBox(QWidget* parent = nullptr);

  // The lister answers at once from the folder; the displayed names follow when the event
  // loop next runs (or when the list is shown), so a run can repoint the list cheaply.
  void setPath(const std::string& folder) override;
  void setPattern(const std::string& pattern) override;
  void refresh() override;
  std::string path() const override { return lister_.path(); }
  std::string pattern() const override { return lister_.pattern(); }
  int count() const override { return lister_.count(); }
  std::string name(int index) const override { return lister_.name(index); }

  // Shows the names the lister holds now; a hidden list defers this until it is shown.
  void updateDisplay();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void displayLater();

  DirectoryLister lister_;
  bool displayStale_ = true;
  bool displayQueued_ = false;
};

}  // namespace velodex
