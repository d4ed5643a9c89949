#include "ui/file_list_box.h"

#include <QMetaObject>

#include "ui/qt_text.h"

namespace velodex {

FileListBox::FileListBox(QWidget* parent) : QListWidget(parent) {
  setSelectionMode(QAbstractItemView::SingleSelection);
}

void FileListBox::setPath(const std::string& folder) {
  lister_.setPath(folder);
  displayLater();
}

void FileListBox::setPattern(const std::string& pattern) {
  lister_.setPattern(pattern);
  displayLater();
}

void FileListBox::refresh() {
  lister_.refresh();
  displayLater();
}

void FileListBox::displayLater() {
  displayStale_ = true;
  if (displayQueued_) return;
  displayQueued_ = true;
  // Queued, so setting the path and then the pattern reads the folder once.
  QMetaObject::invokeMethod(
      this,
      [this] {
        displayQueued_ = false;
        if (isVisible()) updateDisplay();
      },
      Qt::QueuedConnection);
}

void FileListBox::updateDisplay() {
  displayStale_ = false;
  const int total = lister_.count();
  QStringList names;
  names.reserve(total);
  for (int i = 0; i < total; ++i) names << FromPathBytes(lister_.name(i));
  clear();
  addItems(names);
}

void FileListBox::showEvent(QShowEvent* event) {
  QListWidget::showEvent(event);
  if (displayStale_) updateDisplay();
}

}  // namespace velodex
