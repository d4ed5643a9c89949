// The wizard's windows and moves: one window shown at a time with every choice kept, the
// "&Finish" start check, the exclusion toggle of "Use Zip Files" and the about box.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardPaths>
#include <QStorageInfo>
#include <QTest>

#include "catalogue/file_system.h"
#include "tests/ui/ui_test_support.h"
#include "ui/qt_text.h"

namespace velodex::testing {

class WizardFlowTest : public QObject {
  Q_OBJECT

 private:
  // Clicks the button of a move, as the user would on the window that shows it.
  static void Move(Wizard& wizard, const QString& move) {
    QPushButton* button = nullptr;
    if (move == "next1") button = wizard.step1().Form1Next;
    if (move == "next2") button = wizard.step2().form2NextStep;
    if (move == "prev2") button = wizard.step2().Form2PrevStep;
    if (move == "prev3") button = wizard.step3().Form3Previous;
    if (move == "finish") button = wizard.step3().Form3Finish;
    QVERIFY2(button != nullptr, qPrintable(move));
    QVERIFY2(button->isVisible(), qPrintable(move + " clicked on a hidden window"));
    QTest::mouseClick(button, Qt::LeftButton);
  }

  static void GoToStep3(Wizard& wizard) {
    Move(wizard, "next1");
    Move(wizard, "next2");
  }

 private slots:
  void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

  void windowsStartAsLoaded() {
    WizardBench bench;
    Wizard& wizard = bench.load();
    QCOMPARE(wizard.step1().Label2->text(), QStringLiteral("Version 3.3.1"));
    QVERIFY(!wizard.step1().windowIcon().isNull());
    for (const QString& text :
         {wizard.progressWindow().Label1->text(), wizard.progressWindow().Label2->text(),
          wizard.progressWindow().Label3->text()}) {
      QVERIFY(text.isEmpty());
    }
    QVERIFY(!wizard.progressWindow().CmdQuit->isVisibleTo(&wizard.progressWindow()));
  }

  void movesShowOneWindowAtATimeAndKeepEveryChoice() {
    WizardBench bench;
    Wizard& wizard = bench.load();
    QCOMPARE(ShownWindows(wizard), QStringList{"Form1"});
    wizard.step1().Dir1->setPath(bench.designs());
    wizard.step1().Text1->setText("25");
    Move(wizard, "next1");
    ClickBox(wizard.step2().Check1[3]);
    ClickBox(wizard.step2().Check1[13]);
    Move(wizard, "next2");
    wizard.step3().SortBy->setEditText("Ex");
    ClickBox(wizard.step3().SortAsc);
    ClickBox(wizard.step3().Separate_By_Ride_Type);
    // Back to the start and on again, each move showing the one window it leads to.
    const std::pair<const char*, const char*> moves[] = {{"prev3", "Form2"}, {"prev2", "Form1"},
                                                         {"next1", "Form2"}, {"next2", "Form3"},
                                                         {"prev3", "Form2"}, {"next2", "Form3"}};
    for (const auto& [move, shown] : moves) {
      Move(wizard, move);
      QCOMPARE(ShownWindows(wizard), QStringList{shown});
    }

    QCOMPARE(QString::fromStdString(wizard.folder()), QDir::toNativeSeparators(bench.designs()));
    QCOMPARE(wizard.ridesPerPage(), std::string("25"));
    for (int i = 0; i < kColumnCount; ++i) QCOMPARE(wizard.column(i), i == 3 || i == 13);
    QCOMPARE(wizard.sortField(), std::string("Ex"));
    QCOMPARE(wizard.sortDescending(), false);
    QCOMPARE(OptionCode(wizard), int16_t{2});
  }

  void fileListShowsDesignsOfTheFolder() {
    WizardBench bench;
    WriteDesign(bench.designs(), "Loop.td4", 0, 50);
    WriteDesign(bench.designs(), "SHOUT.TD4", 0, 50);
    QFile(bench.designs() + "/pack.zip").open(QIODevice::WriteOnly);
    QFile(bench.designs() + "/notes.txt").open(QIODevice::WriteOnly);
    Wizard& wizard = bench.load();
    wizard.step1().Dir1->setPath(bench.designs());
    FileListBox& file1 = *wizard.step1().File1;
    QCOMPARE(QString::fromStdString(file1.path()), QDir::toNativeSeparators(bench.designs()));
    QCOMPARE(file1.pattern(), std::string("*.td4"));
    QCOMPARE(file1.count(), 2);
    QVERIFY(file1.isVisible());
    QVERIFY(!wizard.step1().File2->isVisible());
    // What the list shows follows once events have run.
    QTRY_COMPARE(file1.QListWidget::count(), 2);
  }

  void driveChoicePointsFolderAndFileLists() {
    WizardBench bench;
    Wizard& wizard = bench.load();
    Form1& step1 = wizard.step1();
    const QString designs = QDir::toNativeSeparators(bench.designs());
    const QString home = QDir::toNativeSeparators(QDir::cleanPath(FromPathBytes(DriveRoot())));
    const QString volume = QDir::toNativeSeparators(QStorageInfo(bench.designs()).rootPath());
    if (designs.startsWith(home)) QSKIP("the temporary folder lies in the home folder");
    step1.Dir1->setPath(bench.designs());
    QCOMPARE(QString::fromStdString(step1.File1->path()), designs);
    // The drive list follows the folder list onto the volume that holds the folder.
    QCOMPARE(step1.Drive1->drive(), volume);

    // Choosing the volume that holds the chosen folder keeps it chosen.
    step1.Drive1->setDrive(home);
    step1.Drive1->setDrive(volume);
    QCOMPARE(step1.Drive1->drive(), volume);
    QCOMPARE(step1.Dir1->path(), designs);

    step1.Drive1->setDrive(home);
    QCOMPARE(step1.Dir1->path(), home);
    QCOMPARE(QString::fromStdString(step1.File1->path()), home);
  }

  void finishChecksForDesigns_data() {
    Table({"file", "message", "shown"},
          {{"empty folder", "", "No tracks found", "Form1"},
           {"archives only, zip files unchecked", "pack.zip", "No tracks found", "Form1"},
           {"a design", "Loop.td4", "", "form5"}});
  }

  void finishChecksForDesigns() {
    QFETCH(QString, file);
    QFETCH(QString, message);
    QFETCH(QString, shown);
    WizardBench bench;
    if (file.endsWith(".td4")) {
      WriteDesign(bench.designs(), file, 0, 50);
    } else if (!file.isEmpty()) {
      QFile(bench.designs() + "/" + file).open(QIODevice::WriteOnly);
    }
    Wizard& wizard = bench.load();
    wizard.step1().Dir1->setPath(bench.designs());
    GoToStep3(wizard);
    Move(wizard, "finish");

    if (message.isEmpty()) {
      QVERIFY(bench.prompts.messages.empty());
    } else {
      QCOMPARE(bench.prompts.messages.size(), size_t{1});
      QCOMPARE(QString::fromStdString(bench.prompts.messages[0].text), message);
      QCOMPARE(bench.prompts.messages[0].icon, MessageIcon::kInformation);
    }
    QCOMPARE(ShownWindows(wizard), QStringList{shown});
  }

  void zipFilesToggleFlipsTheOtherBoxes_data() {
    // after: the hyperlink box, the copy box ("checked", "unchecked", or "disabled" and
    // unchecked), then the option code.
    Table(
        {"before", "clicks", "after"},
        {{"checking disables and unchecks both", "both checked", "1", "disabled disabled 8"},
         {"unchecking enables both, still unchecked", "both checked", "2", "unchecked unchecked 0"},
         // A flip of each box's own state, not a follow of the zip box: a box already
         // disabled is enabled by the click that checks "Use Zip Files".
         {"flip, not follow", "hyperlinks disabled", "1", "unchecked disabled 8"}});
  }

  void zipFilesToggleFlipsTheOtherBoxes() {
    QFETCH(QString, before);
    QFETCH(QString, clicks);
    WizardBench bench;
    Wizard& wizard = bench.load();
    GoToStep3(wizard);
    Form3& step3 = wizard.step3();
    if (before == "both checked") {
      ClickBox(step3.TrackNamesAsHyperlinks);
      ClickBox(step3.Copy_Tracks_To_Subdirectory);
    }
    if (before == "hyperlinks disabled") step3.TrackNamesAsHyperlinks->setEnabled(false);
    for (int i = 0; i < clicks.toInt(); ++i) ClickBox(step3.Use_Zip_Files);
    const auto state = [](const QAbstractButton* box) -> QString {
      if (!box->isEnabled()) return box->isChecked() ? "disabled-checked" : "disabled";
      return box->isChecked() ? "checked" : "unchecked";
    };
    QTEST(state(step3.TrackNamesAsHyperlinks) + " " + state(step3.Copy_Tracks_To_Subdirectory) +
              " " + QString::number(OptionCode(wizard)),
          "after");
  }

  void aboutBoxShowsTheProgramAndCloses() {
    WizardBench bench;
    Wizard& wizard = bench.load();
    for (int opening = 0; opening < 2; ++opening) {
      wizard.step1().About->trigger();
      frmAbout* about = wizard.aboutBox();
      QVERIFY(about != nullptr);
      QVERIFY(about->isVisible());
      QVERIFY(!about->isModal());
      QCOMPARE(about->lblTitle->text(), QStringLiteral("Velodex"));
      QCOMPARE(about->lblVersion->text(), QStringLiteral("Version 3.3.1"));
      QCOMPARE(about->Label1->text(), QStringLiteral("Thanks go to my Beta Testers"));

      // Step 1 stays shown and usable under it.
      QCOMPARE(ShownWindows(wizard), QStringList{"Form1"});
      QVERIFY(wizard.step1().isEnabled());
      QTest::mouseClick(wizard.step1().Form1Next, Qt::LeftButton);
      QCOMPARE(ShownWindows(wizard), QStringList{"Form2"});
      QTest::mouseClick(wizard.step2().Form2PrevStep, Qt::LeftButton);

      // OK the first time, Escape the second.
      if (opening == 0) {
        QTest::mouseClick(about->cmdOK, Qt::LeftButton);
      } else {
        QTest::keyClick(about, Qt::Key_Escape);
      }
      QVERIFY(!about->isVisible());
      QVERIFY(wizard.aboutBox() == nullptr);
      QCOMPARE(ShownWindows(wizard), QStringList{"Form1"});
    }
  }
};

}  // namespace velodex::testing

QTEST_MAIN(velodex::testing::WizardFlowTest)
#include "wizard_flow_test.moc"
