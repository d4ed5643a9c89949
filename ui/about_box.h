// The about box: the program's title, version and icon, a line of thanks and three addresses.
// Opened not modal from step 1; OK, Enter or Escape close it.
#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace velodex {

class frmAbout final : public QDialog {
  Q_OBJECT
 public:
  explicit frmAbout(QWidget* parent = nullptr);

  QLabel* picIcon;
  QLabel* lblTitle;
  QLabel* lblVersion;
  QLabel* lblDescription;
  QLabel* Label1;
  QLabel* Label2;
  QLabel* Label3;
  QLineEdit* Text1;  // the program's home page
  QLineEdit* Text2;  // a discussion board about the game
  QLineEdit* Text3;  // a further site about the game
  QPushButton* cmdOK;
};

}  // namespace velodex
