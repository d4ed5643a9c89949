#include "ui/folder_controls.h"

#include <QCompleter>
#include <QDir>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QKeyEvent>
#include <QSet>
#include <QSortFilterProxyModel>
#include <QStorageInfo>

#include "catalogue/file_system.h"
#include "ui/qt_text.h"

namespace velodex {

namespace {

// Cleaned, with Qt separators: the form in which folders are compared.
QString Clean(const QString& path) { return QDir::cleanPath(QDir::fromNativeSeparators(path)); }

bool SamePath(const QString& a, const QString& b) {
#ifdef _WIN32
  return a.compare(b, Qt::CaseInsensitive) == 0;
#else
  return a == b;
#endif
}

bool Contains(const QString& root, const QString& folder) {
  if (SamePath(root, folder)) return true;
  const QString prefix = root.endsWith(QLatin1Char('/')) ? root : root + QLatin1Char('/');
  return SamePath(folder.left(prefix.size()), prefix);
}

bool IsPseudoFileSystem(const QStorageInfo& volume) {
  static const QSet<QByteArray> kPseudo = {
      "proc",        "sysfs",     "devpts",      "devtmpfs", "cgroup",   "cgroup2",
      "securityfs",  "pstore",    "debugfs",     "tracefs",  "mqueue",   "hugetlbfs",
      "configfs",    "fusectl",   "binfmt_misc", "autofs",   "bpf",      "efivarfs",
      "rpc_pipefs",  "nsfs",      "ramfs",       "tmpfs",    "squashfs", "fuse.gvfsd-fuse",
      "fuse.portal", "overlay-ro"};
  if (kPseudo.contains(volume.fileSystemType())) return true;
  const QString root = volume.rootPath();
  for (const char* system : {"/proc", "/sys", "/dev", "/run", "/snap"}) {
    const QString prefix = QString::fromLatin1(system);
    if (Contains(prefix, root) && !Contains(QStringLiteral("/run/media"), root)) return true;
  }
  return false;
}

}  // namespace

// Shows one volume's folder tree: above the volume's root folder only the root itself is
// listed, so the root is a row that can be chosen like any folder.
class VolumeTreeFilter final : public QSortFilterProxyModel {
 public:
  using QSortFilterProxyModel::QSortFilterProxyModel;

  void setRoot(const QString& root) {
    root_ = root;
    invalidateRowsFilter();
  }

 protected:
  bool filterAcceptsRow(int row, const QModelIndex& parent) const override {
    const auto* files = static_cast<const QFileSystemModel*>(sourceModel());
    const QString path = Clean(files->filePath(files->index(row, 0, parent)));
    // The root's ancestors stay so that the root itself can be reached.
    return Contains(root_, path) || Contains(path, root_);
  }

 private:
  QString root_;
};

QStringList ListDrives() {
  QStringList drives;
  auto add = [&drives](const QString& root) {
    const QString native = QDir::toNativeSeparators(Clean(root));
    for (const QString& known : drives) {
      if (SamePath(known, native)) return;
    }
    drives << native;
  };
  add(FromPathBytes(DriveRoot()));
  QStringList volumes;
  for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
    if (!volume.isValid() || !volume.isReady() || IsPseudoFileSystem(volume)) continue;
    // Containers bind-mount single files (resolv.conf, hostname); only folders are drives.
    if (!IsDirectory(ToPathBytes(volume.rootPath()))) continue;
    volumes << volume.rootPath();
  }
  volumes.sort(Qt::CaseInsensitive);
  for (const QString& root : volumes) add(root);
  return drives;
}

DriveListBox::DriveListBox(QWidget* parent) : QComboBox(parent) {
  addItems(ListDrives());
  connect(this, &QComboBox::currentIndexChanged, this, &DriveListBox::driveChanged);
}

QString DriveListBox::drive() const { return currentText(); }

void DriveListBox::setDrive(const QString& drive) {
  const QString wanted = QDir::toNativeSeparators(Clean(drive));
  for (int i = 0; i < count(); ++i) {
    if (SamePath(itemText(i), wanted)) {
      setCurrentIndex(i);
      return;
    }
  }
  // A drive stored on another machine or a volume since unplugged: keep the current one.
  if (wanted.isEmpty() || !IsDirectory(ToPathBytes(wanted))) return;
  addItem(wanted);
  setCurrentIndex(count() - 1);
}

DirListBox::DirListBox(QWidget* parent)
    : QTreeView(parent), model_(new QFileSystemModel(this)), filter_(new VolumeTreeFilter(this)) {
  model_->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Drives);
  model_->setReadOnly(true);
  filter_->setSourceModel(model_);
  setModel(filter_);
  for (int column = 1; column < filter_->columnCount(); ++column) hideColumn(column);
  header()->hide();
  // The name column is as wide as its longest shown name, so a long folder name is never
  // cut off: the tree scrolls sideways instead.
  header()->setStretchLastSection(false);
  header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
  setTextElideMode(Qt::ElideNone);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setSelectionMode(QAbstractItemView::SingleSelection);
  connect(selectionModel(), &QItemSelectionModel::currentChanged, this,
          [this](const QModelIndex& current) { userChoseIndex(current); });
  // The model reads folders in the background: once a folder on the way to the chosen one
  // has been read, the chosen folder can be selected and scrolled into view.
  connect(model_, &QFileSystemModel::directoryLoaded, this, [this](const QString& loaded) {
    if (Contains(Clean(loaded), folder_)) revealFolder();
  });
  root_ = Clean(FromPathBytes(DriveRoot()));
  folder_ = root_;
  showFolder();
}

QString DirListBox::path() const { return QDir::toNativeSeparators(folder_); }

QString DirListBox::drive() const { return QDir::toNativeSeparators(root_); }

void DirListBox::setPath(const QString& folder) {
  const QString wanted = Clean(folder);
  if (wanted.isEmpty() || wanted == folder_) return;
  if (!Contains(root_, wanted)) {
    const QString volume = QStorageInfo(wanted).rootPath();
    root_ = volume.isEmpty() ? wanted : Clean(volume);
  }
  folder_ = wanted;
  lastFolderOnDrive_.insert(root_, folder_);
  showFolder();
  emit pathChanged();
}

void DirListBox::setDrive(const QString& drive) {
  const QString wanted = Clean(drive);
  if (wanted.isEmpty() || SamePath(wanted, root_)) return;
  root_ = wanted;
  // The volume comes back where the user last was on it; a volume not yet visited keeps the
  // chosen folder when it holds it (the drive of a restored folder is restored after it).
  QString folder = lastFolderOnDrive_.value(root_, Contains(root_, folder_) ? folder_ : root_);
  if (!IsDirectory(ToPathBytes(folder))) folder = root_;
  const bool changed = folder != folder_;
  folder_ = folder;
  lastFolderOnDrive_.insert(root_, folder_);
  showFolder();
  if (changed) emit pathChanged();
}

void DirListBox::showFolder() {
  const QSignalBlocker quiet(selectionModel());
  model_->setRootPath(root_);
  filter_->setRoot(root_);
  const QModelIndex rootIndex = filter_->mapFromSource(model_->index(root_));
  setRootIndex(rootIndex.parent());
  if (rootIndex.isValid()) expand(rootIndex);
  revealFolder();
}

void DirListBox::revealFolder() {
  const QSignalBlocker quiet(selectionModel());
  // Opening the folders on the way down makes the model read them; each one read calls back
  // here, until the chosen folder itself can be shown.
  for (QDir up(folder_); up.cdUp();) {
    const QString ancestor = Clean(up.absolutePath());
    if (!Contains(root_, ancestor)) break;
    const QModelIndex index = filter_->mapFromSource(model_->index(ancestor));
    if (index.isValid()) expand(index);
  }
  const QModelIndex current = filter_->mapFromSource(model_->index(folder_));
  if (!current.isValid()) return;
  setCurrentIndex(current);
  scrollTo(current, QAbstractItemView::PositionAtCenter);
}

void DirListBox::userChoseIndex(const QModelIndex& index) {
  if (!index.isValid()) return;
  setPath(model_->filePath(filter_->mapToSource(index)));
}

FolderPathBox::FolderPathBox(QWidget* parent) : QLineEdit(parent) {
  auto* completer = new QCompleter(this);
  auto* folders = new QFileSystemModel(completer);
  folders->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Drives);
  folders->setReadOnly(true);
  folders->setRootPath(QString());
  completer->setModel(folders);
  // Folder names are matched without regard to case, as file names are everywhere else.
  completer->setCaseSensitivity(Qt::CaseInsensitive);
  setCompleter(completer);
  // Choosing a completion chooses that folder at once.
  connect(completer, qOverload<const QString&>(&QCompleter::activated), this,
          &FolderPathBox::folderEntered);
}

void FolderPathBox::keyPressEvent(QKeyEvent* event) {
  QLineEdit::keyPressEvent(event);
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    emit folderEntered();
    event->accept();
  }
}

}  // namespace velodex
