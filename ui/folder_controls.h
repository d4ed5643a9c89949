// The folder controls of the first wizard step. The drive list offers the machine's volumes
// (drive letters on Windows, mount points elsewhere, with the user's home folder first as the
// stand-in for "c:\"); the folder list shows the folder tree of one volume and holds the
// chosen folder, remembering the last folder chosen on each volume; the folder path box takes
// a typed or pasted path.
#pragma once

#include <QComboBox>
#include <QHash>
#include <QLineEdit>
#include <QString>
#include <QStringList>
#include <QTreeView>

class QFileSystemModel;

namespace velodex {

// The volumes worth offering: DriveRoot() first, then every mounted, ready volume whose root
// is a folder and whose file system holds files (pseudo file systems such as proc, sysfs or
// cgroup are left out). Paths use native separators.
QStringList ListDrives();

class DriveListBox final : public QComboBox {
  Q_OBJECT
 public:
  explicit DriveListBox(QWidget* parent = nullptr);

  // The chosen volume's root, native separators.
  QString drive() const;
  // Chooses the volume whose root is drive. A drive not in the list is added when it names
  // an existing folder; otherwise the choice stays as it was. Emits driveChanged when the
  // choice changes.
  void setDrive(const QString& drive);

 signals:
  void driveChanged();
};

class VolumeTreeFilter;

class DirListBox final : public QTreeView {
  Q_OBJECT
 public:
  explicit DirListBox(QWidget* parent = nullptr);

  // The chosen folder, native separators, no trailing separator except at a volume root.
  QString path() const;
  // The root of the volume the tree shows.
  QString drive() const;
  // Chooses folder. The tree keeps its volume when folder lies inside it; otherwise it
  // shows the volume that holds folder. Emits pathChanged when the folder changes.
  void setPath(const QString& folder);
  // Shows the tree of drive. Pointing at the volume already shown keeps the chosen folder;
  // another volume comes back at the folder last chosen on it, else at the chosen folder
  // when it lies on that volume, else at its root.
  void setDrive(const QString& drive);

 signals:
  void pathChanged();

 private:
  void showFolder();
  // Selects the chosen folder and scrolls it into view, as far as the model has read it.
  void revealFolder();
  void userChoseIndex(const QModelIndex& index);

  QFileSystemModel* model_;
  VolumeTreeFilter* filter_;
  QString root_;    // Qt separators
  QString folder_;  // Qt separators
  QHash<QString, QString> lastFolderOnDrive_;
};

// An editable folder path that completes folder names as they are typed. Return (when no
// completion is being chosen) asks for the typed folder through folderEntered and goes no
// further: it does not reach the window's default button.
class FolderPathBox final : public QLineEdit {
  Q_OBJECT
 public:
  explicit FolderPathBox(QWidget* parent = nullptr);

 signals:
  void folderEntered();

 protected:
  void keyPressEvent(QKeyEvent* event) override;
};

}  // namespace velodex
