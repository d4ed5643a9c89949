// The progress window: the run's three labels, shown while a run works, and the Quit and
// Open Page buttons offered when it has completed.
#pragma once

#include <QElapsedTimer>
#include <QWidget>
#include <map>
#include <string>

#include "catalogue/progress_display.h"

class QLabel;
class QPushButton;

namespace velodex {

class form5 final : public QWidget, public ProgressDisplay {
  Q_OBJECT
 public:
  explicit form5(QWidget* parent = nullptr);

  QLabel* Label3;            // the status line
  QLabel* Label2;            // a count
  QLabel* Label1;            // the current item
  QPushButton* CmdOpenPage;  // beside Quit: opens the page the run wrote
  QPushButton* CmdQuit;
  // Beside the run's labels: the designs a run could not read, shown once there is one.
  QLabel* Unreadable;

  // Texts come back exactly as set, whatever bytes they hold.
  void setText(ProgressLabel label, const std::string& text) override;
  std::string text(ProgressLabel label) const override;
  // Paints the label now and lets the window system's paint and housekeeping events through
  // (never user input), so the window neither goes blank nor "not responding" during a run.
  void repaint(ProgressLabel label) override;
  // Adds "PATH: CAUSE" to the Unreadable list and shows it at once.
  void reportUnreadable(const std::string& path, const std::string& cause) override;
  // Empties and hides the Unreadable list (a new run starts).
  void clearUnreadable();

 private:
  QLabel* labelFor(ProgressLabel label) const;

  std::map<ProgressLabel, std::string> texts_;
  QElapsedTimer sinceEvents_;
};

}  // namespace velodex
