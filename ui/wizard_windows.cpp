#include "ui/wizard_windows.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <utility>

#include "ui/app_identity.h"

namespace velodex {

namespace {

template <typename T>
T* Named(T* widget, const char* name) {
  widget->setObjectName(QString::fromLatin1(name));
  return widget;
}

// The buttons of a step, right-aligned at its foot, reached by Tab in the order they stand.
// A button that has the focus takes Return itself; elsewhere Return goes to the default.
QHBoxLayout* ButtonRow(std::initializer_list<QPushButton*> buttons) {
  auto* row = new QHBoxLayout;
  row->addStretch(1);
  QPushButton* previous = nullptr;
  for (QPushButton* button : buttons) {
    row->addWidget(button);
    button->setAutoDefault(true);
    if (previous != nullptr) QWidget::setTabOrder(previous, button);
    previous = button;
  }
  return row;
}

QAccessibleInterface* WizardWindowAccessibility(const QString& className, QObject* object) {
  static const QStringList kPlainWindows = {QStringLiteral("velodex::Form2"),
                                            QStringLiteral("velodex::Form3"),
                                            QStringLiteral("velodex::form5")};
  if (!object->isWidgetType() || !kPlainWindows.contains(className)) return nullptr;
  return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Window);
}

}  // namespace

void AnnounceWindowsAsWindows() {
  static const bool installed = [] {
    QAccessible::installFactory(WizardWindowAccessibility);
    return true;
  }();
  (void)installed;
}

Form1::Form1(QWidget* parent) : QMainWindow(parent) {
  setObjectName(QStringLiteral("Form1"));
  AnnounceWindowsAsWindows();
  setWindowTitle(QString::fromLatin1(kApplicationTitle));
  setWindowIcon(ProgramIcon());

  File = Named(menuBar()->addMenu(tr("&File")), "File");
  Quit = Named(File->addAction(tr("&Quit")), "Quit");
  About = Named(menuBar()->addAction(tr("&About")), "About");

  auto* central = new QWidget(this);
  FolderPathLabel = Named(new QLabel(tr("Folder &path"), central), "FolderPathLabel");
  FolderPath = Named(new FolderPathBox(central), "FolderPath");
  FolderPath->setAccessibleName(tr("Folder path"));
  FolderPathLabel->setBuddy(FolderPath);
  Browse = Named(new QPushButton(tr("&Browse..."), central), "Browse");
  Browse->setAutoDefault(true);
  FolderNote = Named(new QLabel(central), "FolderNote");
  FolderNote->setWordWrap(true);
  QPalette warning = FolderNote->palette();
  warning.setColor(QPalette::WindowText, QColor(0xb0, 0x1c, 0x1c));
  FolderNote->setPalette(warning);
  FolderNote->hide();
  Drive1 = Named(new DriveListBox(central), "Drive1");
  Drive1->setAccessibleName(tr("Drive"));
  Dir1 = Named(new DirListBox(central), "Dir1");
  Dir1->setAccessibleName(tr("Folder"));
  File1 = Named(new FileListBox(central), "File1");
  File1->setAccessibleName(tr("Track designs in the folder"));
  File2 = Named(new FileListBox(central), "File2");
  File2->hide();
  Preview = Named(new LayoutPreview(central), "Preview");
  Preview->follow(File1);
  Preview->setAccessibleName(tr("Layout of the selected design"));
  Label1 = Named(new QLabel(tr("Number of Rides to List at a time"), central), "Label1");
  Text1 = Named(new QLineEdit(QStringLiteral("10"), central), "Text1");
  Text1->setMaximumWidth(80);
  Label1->setBuddy(Text1);
  Label2 = Named(new QLabel(central), "Label2");
  Form1Next = Named(new QPushButton(tr("&Next Step"), central), "Form1Next");
  Form1Next->setDefault(true);
  Form1Next->setAutoDefault(true);

  auto* path = new QGridLayout;
  path->addWidget(FolderPathLabel, 0, 0);
  path->addWidget(FolderPath, 0, 1);
  path->addWidget(Browse, 0, 2);
  path->addWidget(FolderNote, 1, 1, 1, 2);
  path->setColumnStretch(1, 1);

  auto* folders = new QGridLayout;
  folders->addWidget(Drive1, 0, 0);
  folders->addWidget(Dir1, 1, 0);
  folders->addWidget(File1, 0, 1, 2, 1);
  folders->addWidget(Preview, 0, 2, 2, 1);
  folders->setColumnStretch(0, 3);
  folders->setColumnStretch(1, 2);
  folders->setColumnStretch(2, 2);

  auto* pageSize = new QHBoxLayout;
  pageSize->addWidget(Label1);
  pageSize->addWidget(Text1);
  pageSize->addStretch(1);

  auto* foot = new QHBoxLayout;
  foot->addWidget(Label2);
  foot->addStretch(1);
  foot->addWidget(Form1Next);

  auto* layout = new QVBoxLayout(central);
  layout->addLayout(path);
  layout->addLayout(folders, 1);
  layout->addLayout(pageSize);
  layout->addLayout(foot);
  setCentralWidget(central);
  // Tab follows the screen: the path row, the drive and folder column, the file list, then
  // the page size and the foot.
  for (auto [before, after] : {std::pair<QWidget*, QWidget*>{FolderPath, Browse},
                               {Browse, Drive1},
                               {Drive1, Dir1},
                               {Dir1, File1},
                               {File1, Text1},
                               {Text1, Form1Next}}) {
    setTabOrder(before, after);
  }
  resize(840, 440);
}

Form2::Form2(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("Form2"));
  AnnounceWindowsAsWindows();
  setWindowTitle(tr("Step 2"));
  setWindowIcon(ProgramIcon());

  auto* boxes = new QGridLayout;
  for (int i = 0; i < kColumnCount; ++i) {
    auto* box = new QCheckBox(QString::fromLatin1(kColumnCaptions[static_cast<size_t>(i)]), this);
    box->setObjectName(QStringLiteral("Check1(%1)").arg(i));
    Check1[static_cast<size_t>(i)] = box;
    // Two columns of seven, read down the first and then the second.
    boxes->addWidget(box, i % 7, i / 7);
  }
  form2NextStep = Named(new QPushButton(tr("&Next Step"), this), "form2NextStep");
  form2NextStep->setDefault(true);
  Form2PrevStep = Named(new QPushButton(tr("&Previous Step"), this), "Form2PrevStep");

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(boxes);
  layout->addStretch(1);
  layout->addLayout(ButtonRow({Form2PrevStep, form2NextStep}));
}

Form3::Form3(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("Form3"));
  AnnounceWindowsAsWindows();
  setWindowTitle(tr("Step 3"));
  setWindowIcon(ProgramIcon());

  Frame1 = Named(new QGroupBox(tr("Output Options"), this), "Frame1");
  TrackNamesAsHyperlinks =
      Named(new QCheckBox(tr("Track Names as Hyperlinks"), Frame1), "TrackNamesAsHyperlinks");
  Label1 = Named(new QLabel(tr("Sort By"), Frame1), "Label1");
  SortBy = Named(new QComboBox(Frame1), "SortBy");
  SortBy->setEditable(true);
  // A typed text is the sort field as it is: it does not join the list, and is neither
  // completed nor re-capitalised to match an entry ("rating" stays "rating").
  SortBy->setInsertPolicy(QComboBox::NoInsert);
  SortBy->setCompleter(nullptr);
  for (const char* field : kSortFields) SortBy->addItem(QString::fromLatin1(field));
  SortBy->setCurrentIndex(-1);
  SortBy->setEditText(QString());
  Label1->setBuddy(SortBy);
  SortAsc = Named(new QRadioButton(tr("Sort Ascending"), Frame1), "SortAsc");
  SortDesc = Named(new QRadioButton(tr("Sort Descending"), Frame1), "SortDesc");
  SortDesc->setChecked(true);

  auto* frame = new QGridLayout(Frame1);
  frame->addWidget(TrackNamesAsHyperlinks, 0, 0, 1, 2);
  frame->addWidget(Label1, 1, 0);
  frame->addWidget(SortBy, 1, 1);
  frame->addWidget(SortAsc, 2, 1);
  frame->addWidget(SortDesc, 3, 1);

  Use_Zip_Files = Named(new QCheckBox(tr("Use Zip Files"), this), "Use_Zip_Files");
  Separate_By_Ride_Type =
      Named(new QCheckBox(tr("Separate By Ride Type"), this), "Separate_By_Ride_Type");
  Copy_Tracks_To_Subdirectory =
      Named(new QCheckBox(tr("Copy Tracks To Subdirectory"), this), "Copy_Tracks_To_Subdirectory");
  Explorer_Page = Named(new QCheckBox(tr("Explorer Page"), this), "Explorer_Page");
  Explorer_Page->setToolTip(
      tr("Also write explorer.htm: every design in one page that sorts, "
         "searches and filters in the browser"));
  Form3Finish = Named(new QPushButton(tr("&Finish"), this), "Form3Finish");
  Form3Finish->setDefault(true);
  Form3Previous = Named(new QPushButton(tr("&Previous"), this), "Form3Previous");

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(Frame1);
  layout->addWidget(Use_Zip_Files);
  layout->addWidget(Separate_By_Ride_Type);
  layout->addWidget(Copy_Tracks_To_Subdirectory);
  layout->addWidget(Explorer_Page);
  layout->addStretch(1);
  layout->addLayout(ButtonRow({Form3Previous, Form3Finish}));
}

void SetOptionSelected(QRadioButton* button, bool selected) {
  if (selected) {
    button->setChecked(true);
    return;
  }
  button->setAutoExclusive(false);
  button->setChecked(false);
  button->setAutoExclusive(true);
}

}  // namespace velodex
