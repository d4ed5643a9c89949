#include "ui/app_identity.h"

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
  static const QIcon icon(QStringLiteral(":/velodex/velodex.png"));
  return icon;
}

}  // namespace velodex
