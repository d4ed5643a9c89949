// What the wizard asks of the desktop around it: a folder chosen in the system's folder
// dialog, and a page opened in the default browser. Tests put a recording stand-in here.
#pragma once

#include <QString>

class QWidget;

namespace velodex {

class DesktopActions {
 public:
  virtual ~DesktopActions() = default;
  // Asks for a folder in a modal dialog over `over`, starting at `start`. Returns the chosen
  // folder, or an empty string when the user cancels.
  virtual QString chooseFolder(QWidget* over, const QString& start) = 0;
  // Opens the page file in the default browser. False when the desktop could not.
  virtual bool openPage(const QString& page) = 0;
};

// The system's folder dialog and the desktop's URL handler.
class SystemDesktop final : public DesktopActions {
 public:
  QString chooseFolder(QWidget* over, const QString& start) override;
  bool openPage(const QString& page) override;
};

}  // namespace velodex
