#include "ui/wizard.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QSignalBlocker>
#include <exception>

#include "catalogue/catalogue_database.h"
#include "catalogue/catalogue_location.h"
#include "catalogue/file_system.h"
#include "catalogue/option_checks.h"
#include "run/catalogue_run.h"
#include "ui/app_identity.h"
#include "ui/qt_text.h"
#include "ui/settings_store.h"

namespace velodex {

namespace {

// A wizard is walked by keyboard as much as by mouse: the control that has the focus shows it
// from the start, not only after the first Tab. Showing a window clears this, so it is set
// once the window is shown.
void ShowFocusAtOnce(QWidget* window) { window->setAttribute(Qt::WA_KeyboardFocusChange); }

}  // namespace

Wizard::Wizard(QSettings& settings, Prompts& prompts, DesktopActions& desktop, WizardPlaces places)
    : settings_(settings),
      prompts_(prompts),
      desktop_(desktop),
      places_(std::move(places)),
      form1_(std::make_unique<Form1>()),
      form2_(std::make_unique<Form2>()),
      form3_(std::make_unique<Form3>()),
      form5_(std::make_unique<form5>()) {
  for (QWidget* window :
       {static_cast<QWidget*>(form1_.get()), static_cast<QWidget*>(form2_.get()),
        static_cast<QWidget*>(form3_.get()), static_cast<QWidget*>(form5_.get())}) {
    window->installEventFilter(this);
  }

  Form1& f1 = *form1_;
  connect(f1.Form1Next, &QPushButton::clicked, this, &Wizard::nextFromStep1);
  connect(f1.Quit, &QAction::triggered, this, &Wizard::quitWithoutSaving);
  connect(f1.About, &QAction::triggered, this, &Wizard::showAbout);
  connect(f1.Drive1, &DriveListBox::driveChanged, this, [this] {
    form1_->Dir1->setDrive(form1_->Drive1->drive());
    form1_->File1->setPath(folder());
  });
  connect(f1.Dir1, &DirListBox::pathChanged, this, [this] {
    // A folder set on another volume (a restored path) shows that volume in the drive list
    // as well; the drive list then has nothing to repoint.
    if (form1_->Dir1->drive() != form1_->Drive1->drive()) {
      const QSignalBlocker quiet(form1_->Drive1);
      form1_->Drive1->setDrive(form1_->Dir1->drive());
    }
    form1_->File1->setPath(folder());
    showChosenFolder();
  });
  connect(f1.FolderPath, &FolderPathBox::folderEntered, this, &Wizard::chooseTypedFolder);
  connect(f1.Browse, &QPushButton::clicked, this, &Wizard::browseForFolder);
  connect(form2_->form2NextStep, &QPushButton::clicked, this, &Wizard::nextFromStep2);
  connect(form2_->Form2PrevStep, &QPushButton::clicked, this, &Wizard::previousFromStep2);
  connect(form3_->Form3Previous, &QPushButton::clicked, this, &Wizard::previousFromStep3);
  connect(form3_->Form3Finish, &QPushButton::clicked, this, &Wizard::finish);
  // toggled, not clicked: a value set by the settings goes through the toggle as well.
  connect(form3_->Use_Zip_Files, &QCheckBox::toggled, this, &Wizard::toggleZipExclusions);
  connect(form5_->CmdQuit, &QPushButton::clicked, this, &Wizard::quitAfterRun);
  connect(form5_->CmdOpenPage, &QPushButton::clicked, this, &Wizard::openPage);

  LoadSettings(*this, settings_);
  showChosenFolder();
  FillRideTypeTable(rideTypes_);
  f1.Label2->setText(VersionText());
  f1.File1->setPath(folder());
  f1.File1->setPattern("*.td4");
}

Wizard::~Wizard() = default;

void Wizard::start() { showOnly(form1_.get()); }

void Wizard::showOnly(QWidget* window) {
  QWidget* shown = nullptr;
  for (QWidget* other :
       {static_cast<QWidget*>(form1_.get()), static_cast<QWidget*>(form2_.get()),
        static_cast<QWidget*>(form3_.get()), static_cast<QWidget*>(form5_.get())}) {
    if (other != window && other->isVisible()) shown = other;
  }
  // The next window takes the place and size of the one it replaces, so the wizard stays
  // where the user put it instead of jumping about the screen.
  if (shown != nullptr) {
    window->resize(shown->size().expandedTo(window->minimumSizeHint()));
    window->move(shown->pos());
  }
  for (QWidget* other :
       {static_cast<QWidget*>(form1_.get()), static_cast<QWidget*>(form2_.get()),
        static_cast<QWidget*>(form3_.get()), static_cast<QWidget*>(form5_.get())}) {
    if (other != window) other->hide();
  }
  window->show();
  ShowFocusAtOnce(window);
  window->raise();
  window->activateWindow();
}

void Wizard::nextFromStep1() {
  form1_->File1->refresh();
  showOnly(form2_.get());
}

void Wizard::chooseTypedFolder() {
  Form1& f1 = *form1_;
  const QString typed = f1.FolderPath->text().trimmed();
  QString wanted = QDir::fromNativeSeparators(typed);
  // "~" is the home folder, as in a shell; a relative path starts at the chosen folder.
  if (wanted == QLatin1String("~") || wanted.startsWith(QLatin1String("~/"))) {
    wanted = QDir::homePath() + wanted.mid(1);
  }
  if (!typed.isEmpty() && QDir::isRelativePath(wanted)) {
    wanted = QDir(f1.Dir1->path()).absoluteFilePath(wanted);
  }
  const std::string bytes = ToPathBytes(QDir::cleanPath(wanted));
  if (typed.isEmpty() || !IsDirectory(bytes)) {
    f1.FolderNote->setText(FileExists(bytes) ? tr("\"%1\" is a file, not a folder.").arg(typed)
                                             : tr("There is no folder \"%1\".").arg(typed));
    f1.FolderNote->show();
    f1.FolderPath->setAccessibleDescription(f1.FolderNote->text());
    return;
  }
  f1.Dir1->setPath(QDir::cleanPath(wanted));
  // The same folder again changes nothing in the tree, but the box shows it tidied.
  showChosenFolder();
}

void Wizard::browseForFolder() {
  const QString chosen = desktop_.chooseFolder(form1_.get(), form1_->Dir1->path());
  if (!chosen.isEmpty()) form1_->Dir1->setPath(chosen);
}

void Wizard::showChosenFolder() {
  Form1& f1 = *form1_;
  f1.FolderPath->setText(f1.Dir1->path());
  f1.FolderNote->hide();
  f1.FolderNote->clear();
  f1.FolderPath->setAccessibleDescription(QString());
}

void Wizard::nextFromStep2() { showOnly(form3_.get()); }

void Wizard::previousFromStep2() { showOnly(form1_.get()); }

void Wizard::previousFromStep3() { showOnly(form2_.get()); }

void Wizard::finish() {
  if (running_) return;
  // With archives there is nothing to count here; the run reports a folder without them.
  if (form1_->File1->count() == 0 && !form3_->Use_Zip_Files->isChecked()) {
    prompts_.message("No tracks found", MessageIcon::kInformation);
    showOnly(form1_.get());
    return;
  }
  // Choices the run could not carry out are refused before it empties the catalogue: the
  // message, then the step that holds the control, with the control ready for typing.
  if (const auto problem = CheckRunOptions(*this, CatalogueDatabase::columnNames())) {
    prompts_.message(problem->message, MessageIcon::kWarning);
    const bool pageSize = problem->control == OptionControl::kRidesPerPage;
    showOnly(pageSize ? static_cast<QWidget*>(form1_.get()) : form3_.get());
    QWidget* control = pageSize ? static_cast<QWidget*>(form1_->Text1) : form3_->SortBy;
    control->setFocus();
    return;
  }
  runCatalogue();
}

void Wizard::runCatalogue() {
  running_ = true;
  try {
    const std::string databaseFolder = places_.databaseFolder.empty()
                                           ? ResolveCatalogueFolder(ProgramFolder())
                                           : places_.databaseFolder;
    RunContext context{.setup = {.rideTypes = rideTypes_,
                                 .databaseFolder = databaseFolder,
                                 .unknownsLog = places_.unknownsLog},
                       .frontEnd = {.options = *this,
                                    .runLister = *form1_->File1,
                                    .scanLister = *form1_->File2,
                                    .progress = *form5_,
                                    .windows = *this,
                                    .prompts = prompts_,
                                    .session = session_}};
    RunCatalogue(context);
    running_ = false;
  } catch (const std::exception& failure) {
    running_ = false;
    // The user's designs are untouched and every choice is still in the controls: show what
    // failed over the window the user last saw, then go back to step 3 to change a choice or
    // try again.
    prompts_.message(failure.what(), MessageIcon::kCritical);
    form5_->CmdQuit->setVisible(false);
    form5_->CmdOpenPage->setVisible(false);
    showOnly(form3_.get());
  }
}

void Wizard::toggleZipExclusions() {
  QCheckBox* hyperlinks = form3_->TrackNamesAsHyperlinks;
  if (!hyperlinks->isEnabled()) {
    hyperlinks->setEnabled(true);
  } else {
    hyperlinks->setEnabled(false);
    hyperlinks->setChecked(false);
  }
  QCheckBox* copy = form3_->Copy_Tracks_To_Subdirectory;
  if (copy->isEnabled()) {
    copy->setEnabled(false);
    copy->setChecked(false);
  } else {
    copy->setEnabled(true);
  }
}

void Wizard::showAbout() {
  if (!about_) {
    about_ = new frmAbout(form1_.get());
    // Unloaded when closed, so the next opening loads it afresh.
    connect(about_, &QDialog::finished, this, [this] {
      frmAbout* closed = about_;
      about_ = nullptr;
      closed->deleteLater();
    });
  }
  about_->show();
  ShowFocusAtOnce(about_);
  about_->raise();
  about_->activateWindow();
}

void Wizard::quitWithoutSaving() { closeAllWindows(); }

void Wizard::quitAfterRun() {
  SaveSettings(*this, settings_);
  settings_.sync();
  closeAllWindows();
}

void Wizard::openPage() {
  if (page_.empty()) return;
  if (!desktop_.openPage(FromPathBytes(page_))) {
    prompts_.message("cannot open '" + page_ + "' in a browser", MessageIcon::kWarning);
  }
}

void Wizard::closeAllWindows() {
  closing_ = true;
  if (about_) about_->close();
  form5_->close();
  form3_->close();
  form2_->close();
  form1_->close();
  emit allWindowsClosed();
}

bool Wizard::pressDefaultButton(QWidget* window, QKeyEvent* key) {
  const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
  const bool plain = key->modifiers() == Qt::NoModifier ||
                     (key->modifiers() == Qt::KeypadModifier && key->key() == Qt::Key_Enter);
  if (!enter || !plain) return false;
  // Only Return that no control took reaches the window: a focused button or the path box
  // has handled its own.
  for (QPushButton* button : window->findChildren<QPushButton*>()) {
    if (button->isDefault() && button->isVisible() && button->isEnabled()) {
      button->click();
      return true;
    }
  }
  return false;
}

bool Wizard::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress && watched->isWidgetType()) {
    return pressDefaultButton(static_cast<QWidget*>(watched), static_cast<QKeyEvent*>(event)) ||
           QObject::eventFilter(watched, event);
  }
  if (event->type() != QEvent::Close || closing_) return QObject::eventFilter(watched, event);
  event->ignore();
  if (running_) return true;  // refused during a run, as all other input is
  // The finished progress window's close box does what its Quit does: save, then end.
  // Closing any other window from its frame ends the program as the Quit menu does, without
  // saving.
  if (watched == form5_.get() && form5_->CmdQuit->isVisible()) {
    QMetaObject::invokeMethod(this, &Wizard::quitAfterRun, Qt::QueuedConnection);
  } else {
    QMetaObject::invokeMethod(this, &Wizard::quitWithoutSaving, Qt::QueuedConnection);
  }
  return true;
}

std::string Wizard::folder() const { return ToPathBytes(form1_->Dir1->path()); }

std::string Wizard::ridesPerPage() const { return ToBytes(form1_->Text1->text()); }

void Wizard::setRidesPerPage(const std::string& text) { form1_->Text1->setText(FromBytes(text)); }

bool Wizard::column(int index) const {
  if (index < 0 || index >= kColumnCount) return false;
  return form2_->Check1[static_cast<size_t>(index)]->isChecked();
}

std::string Wizard::sortField() const { return ToBytes(form3_->SortBy->currentText()); }

void Wizard::setSortField(const std::string& text) { form3_->SortBy->setEditText(FromBytes(text)); }

bool Wizard::sortDescending() const { return !form3_->SortAsc->isChecked(); }

bool Wizard::namesAsHyperlinks() const { return form3_->TrackNamesAsHyperlinks->isChecked(); }

bool Wizard::useZipFiles() const { return form3_->Use_Zip_Files->isChecked(); }

bool Wizard::separateByRideType() const { return form3_->Separate_By_Ride_Type->isChecked(); }

bool Wizard::copyTracksToSubdirectory() const {
  return form3_->Copy_Tracks_To_Subdirectory->isChecked();
}

bool Wizard::explorerPage() const { return form3_->Explorer_Page->isChecked(); }

void Wizard::showProgress() {
  form5_->clearUnreadable();
  showOnly(form5_.get());
  // Drawn now: the run hands events over only when a label is repainted.
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void Wizard::returnToFirstStep() { showOnly(form1_.get()); }

void Wizard::offerQuit(const std::string& page) {
  page_ = page;
  form5_->CmdOpenPage->setVisible(true);
  // A run that stopped on an unhandled option code names a page it did not write.
  form5_->CmdOpenPage->setEnabled(FileExists(page_));
  form5_->CmdQuit->setVisible(true);
  // Return or Space quits straight away; Tab reaches Open Page.
  form5_->CmdQuit->setFocus();
}

}  // namespace velodex
