// The wizard: owns the three steps, the progress window and the about box, moves between
// them, answers the run's options from their controls and starts the catalogue run. The
// choices live only in the controls; nothing here copies them.
#pragma once

#include <QObject>
#include <QPointer>
#include <memory>
#include <string>

#include "catalogue/progress_display.h"
#include "catalogue/ride_type_table.h"
#include "catalogue/run_options.h"
#include "run/run_context.h"
#include "ui/about_box.h"
#include "ui/desktop_actions.h"
#include "ui/progress_window.h"
#include "ui/wizard_windows.h"

class QKeyEvent;
class QSettings;

namespace velodex {

// Where a run keeps the program's own files. An empty databaseFolder is resolved from the
// program's folder when a run starts, so a failure to find the catalogue is reported like
// any other run failure.
struct WizardPlaces {
  std::string databaseFolder;
  std::string unknownsLog;
};

class Wizard final : public QObject, public RunOptions, public RunWindows {
  Q_OBJECT
 public:
  // Loads every window hidden, reads settings (group "settings") into the controls, fills the
  // ride type table and points File1 at the chosen folder. Borrows settings, prompts and
  // desktop.
  Wizard(QSettings& settings, Prompts& prompts, DesktopActions& desktop, WizardPlaces places);
  ~Wizard() override;

  Form1& step1() const { return *form1_; }
  Form2& step2() const { return *form2_; }
  Form3& step3() const { return *form3_; }
  form5& progressWindow() const { return *form5_; }
  // The about box while it is loaded, else null.
  frmAbout* aboutBox() const { return about_; }

  // Shows step 1.
  void start();

  // The handlers of the windows' events.
  void nextFromStep1();
  // The folder typed in the path box, when it names a folder, becomes the chosen folder;
  // otherwise a note under the box says so and nothing else changes.
  void chooseTypedFolder();
  // The system's folder dialog, starting at the chosen folder.
  void browseForFolder();
  void nextFromStep2();
  void previousFromStep2();
  void previousFromStep3();
  // The start check, then the run. A run that fails is shown in a message box and leaves
  // the user at step 3 with every choice kept.
  void finish();
  // Flips the usability of the hyperlink and copy boxes; run for every change of the
  // "Use Zip Files" box, whoever makes it.
  void toggleZipExclusions();
  void showAbout();
  // Quit menu and closing a wizard step: ends without saving the settings.
  void quitWithoutSaving();
  // The progress window's Quit: saves the settings, then ends.
  void quitAfterRun();
  // The progress window's Open Page: the page the run wrote, in the default browser.
  void openPage();
  // Closes the progress window, steps 3, 2 and 1 in this order (and the about box), then
  // emits allWindowsClosed.
  void closeAllWindows();

  // RunOptions, read from the controls at the moment of asking.
  std::string folder() const override;
  std::string ridesPerPage() const override;
  void setRidesPerPage(const std::string& text) override;
  bool column(int index) const override;
  std::string sortField() const override;
  void setSortField(const std::string& text) override;
  bool sortDescending() const override;
  bool namesAsHyperlinks() const override;
  bool useZipFiles() const override;
  bool separateByRideType() const override;
  bool copyTracksToSubdirectory() const override;
  bool explorerPage() const override;

  // RunWindows.
  void showProgress() override;
  void returnToFirstStep() override;
  void offerQuit(const std::string& page) override;

 signals:
  void allWindowsClosed();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void showOnly(QWidget* window);
  void runCatalogue();
  void showChosenFolder();
  // Return on a window clicks its default button, as it would in a dialog.
  bool pressDefaultButton(QWidget* window, QKeyEvent* key);

  QSettings& settings_;
  Prompts& prompts_;
  DesktopActions& desktop_;
  WizardPlaces places_;
  std::unique_ptr<Form1> form1_;
  std::unique_ptr<Form2> form2_;
  std::unique_ptr<Form3> form3_;
  std::unique_ptr<form5> form5_;
  QPointer<frmAbout> about_;
  RideTypeTable rideTypes_;
  std::string page_;  // the page the last completed run wrote
  RunSession session_;
  bool running_ = false;
  bool closing_ = false;
};

}  // namespace velodex
