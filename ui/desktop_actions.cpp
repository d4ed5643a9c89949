#include "ui/desktop_actions.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QUrl>

namespace velodex {

QString SystemDesktop::chooseFolder(QWidget* over, const QString& start) {
  return QFileDialog::getExistingDirectory(over, QObject::tr("Choose the folder of your designs"),
                                           start, QFileDialog::ShowDirsOnly);
}

bool SystemDesktop::openPage(const QString& page) {
  return QDesktopServices::openUrl(QUrl::fromLocalFile(page));
}

}  // namespace velodex
