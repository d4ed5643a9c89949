// The three wizard steps. Each window only lays out its controls under their own names; the
// moves between them and every handler live in Wizard, which owns the windows.
#pragma once

#include <QMainWindow>
#include <QWidget>
#include <array>

#include "catalogue/run_options.h"
#include "ui/file_list_box.h"
#include "ui/folder_controls.h"
#include "ui/layout_preview.h"

class QAction;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QRadioButton;

namespace velodex {

// Step 1, the program's main window: the folder (Drive1, Dir1, with the designs it holds in
// File1), the page size (Text1), the version, and the File and About menus. File2 is the
// folder scan's lister and is never shown. Above them, the chosen folder as an editable path
// (FolderPath, with FolderNote for a path that names no folder) and Browse.
class Form1 final : public QMainWindow {
  Q_OBJECT
 public:
  explicit Form1(QWidget* parent = nullptr);

  QLabel* FolderPathLabel;
  FolderPathBox* FolderPath;
  QPushButton* Browse;
  QLabel* FolderNote;
  DriveListBox* Drive1;
  DirListBox* Dir1;
  FileListBox* File1;
  FileListBox* File2;
  LayoutPreview* Preview;  // the design selected in File1
  QLabel* Label1;
  QLineEdit* Text1;
  QLabel* Label2;
  QPushButton* Form1Next;
  QMenu* File;
  QAction* Quit;
  QAction* About;
};

// Step 2: one check box per report column, captioned as the column's heading.
class Form2 final : public QWidget {
  Q_OBJECT
 public:
  explicit Form2(QWidget* parent = nullptr);

  std::array<QCheckBox*, kColumnCount> Check1;
  QPushButton* form2NextStep;
  QPushButton* Form2PrevStep;
};

// Step 3: the sort order inside the "Output Options" frame, the output switches, Finish.
class Form3 final : public QWidget {
  Q_OBJECT
 public:
  explicit Form3(QWidget* parent = nullptr);

  QGroupBox* Frame1;
  QCheckBox* TrackNamesAsHyperlinks;
  QLabel* Label1;
  QComboBox* SortBy;
  QRadioButton* SortAsc;
  QRadioButton* SortDesc;
  QCheckBox* Use_Zip_Files;
  QCheckBox* Separate_By_Ride_Type;
  QCheckBox* Copy_Tracks_To_Subdirectory;
  // Our addition beside the specified switches: also write the explorer page.
  QCheckBox* Explorer_Page;
  QPushButton* Form3Finish;
  QPushButton* Form3Previous;
};

// The catalogue columns SortBy offers, in the order they are added.
inline constexpr std::array<const char*, 14> kSortFields = {
    "Rating", "File_Name", "Max_Speed", "Avg_Speed",       "Ride_Length", "PosGs", "NegGs",
    "LatGs",  "Invs",      "Drops",     "Max_Drop_Height", "Ex",          "Int",   "Na"};

// Makes the wizard's plain windows known to assistive technology as windows (not as panels
// inside one). Called by each window's constructor; installs once.
void AnnounceWindowsAsWindows();

// Selects or unselects one of two grouped option buttons. Unselecting leaves both unselected,
// which an exclusive group would not allow, so the group is lifted for the moment.
void SetOptionSelected(QRadioButton* button, bool selected);

}  // namespace velodex
