#include "ui/app_identity.h"

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

}  // namespace velodex
