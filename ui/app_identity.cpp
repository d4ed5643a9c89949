#include "ui/app_identity.h"

#include <QApplication>

#include "ui/settings_store.h"

// The resources live in a static library, whose registration the linker would drop unless
// something calls it; it must be declared outside any namespace.
static void RegisterResources() { Q_INIT_RESOURCE(velodex); }

namespace velodex {

QString VersionText() {
  return QStringLiteral("Version %1.%2.%3")
      .arg(VELODEX_VERSION_MAJOR)
      .arg(VELODEX_VERSION_MINOR)
      .arg(VELODEX_VERSION_PATCH);
}

QIcon ProgramIcon() {
  // The PNG is rendered from velodex.svg and always loads; Qt's SVG plugins are optional
  // and may be missing where the program runs.
  static const QIcon icon = [] {
    RegisterResources();
    return QIcon(QStringLiteral(":/velodex/velodex.png"));
  }();
  return icon;
}

void SetUpApplication() {
  QApplication::setApplicationName(QString::fromLatin1(kSettingsApplication));
  // Matches the installed desktop entry, so the desktop shows the entry's name and icon.
  QGuiApplication::setDesktopFileName(QStringLiteral("velodex"));
  QApplication::setWindowIcon(ProgramIcon());
  // The program ends when the wizard has closed its windows, not when a message box that
  // happened to be the last visible window goes away.
  QApplication::setQuitOnLastWindowClosed(false);
}

}  // namespace velodex
