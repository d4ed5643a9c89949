// The wizard as a person uses it: Return and Tab, the focus, the titles the window system
// shows, where each window opens, what assistive technology hears, the folder path box and
// the finished progress window's buttons.
#include <qpa/qplatformwindow.h>

#include <QAbstractItemView>
#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCompleter>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QStyleOption>
#include <QTest>

#include "tests/ui/ui_test_support.h"
#include "ui/app_identity.h"

namespace velodex::testing {

namespace {

// The title as the window system shows it, decorations included.
struct ShownTitle : QPlatformWindow {
  static QString of(const QWidget* window) {
    return formatWindowTitle(window->windowTitle(), QStringLiteral(" \u2014 "));
  }
};

// The window a row names, with the about box opened when asked for.
QWidget* Window(Wizard& wizard, const QString& name) {
  if (name == "frmAbout") {
    wizard.showAbout();
    return wizard.aboutBox();
  }
  if (name == "Form1") return &wizard.step1();
  if (name == "Form2") return &wizard.step2();
  if (name == "Form3") return &wizard.step3();
  return &wizard.progressWindow();
}

// Presses a key where a person's key goes: to the control with the focus in the window.
void Press(QWidget* window, Qt::Key key) {
  QWidget* target = window->focusWidget() != nullptr ? window->focusWidget() : window;
  QTest::keyClick(target, key);
}

// Walks to the window a row names: "Form1" at start, "Form2", "Form3", "form5" after a
// completed run.
void WalkTo(WizardBench& bench, const QString& name) {
  Wizard& wizard = bench.wizard();
  if (name == "Form1" || name == "frmAbout") return;
  wizard.step1().Form1Next->click();
  if (name == "Form2") return;
  wizard.step2().form2NextStep->click();
  if (name == "Form3") return;
  wizard.step3().Form3Finish->click();
}

// A wizard at the designs folder, which holds one design.
Wizard& LoadAt(WizardBench& bench) {
  WriteDesign(bench.designs(), "Loop.td4", 0, 50);
  Wizard& wizard = bench.load();
  wizard.step1().Dir1->setPath(bench.designs());
  return wizard;
}

}  // namespace

class WizardUseTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    QStandardPaths::setTestModeEnabled(true);
    SetUpApplication();
  }

  void returnPressesTheDefaultButton_data() {
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("focus");  // empty: the focus the window opens with
    QTest::addColumn<QString>("shown");
    QTest::newRow("step 1") << "Form1"
                            << ""
                            << "Form2";
    QTest::newRow("step 1, in the page size") << "Form1"
                                              << "Text1"
                                              << "Form2";
    QTest::newRow("step 2") << "Form2"
                            << ""
                            << "Form3";
    QTest::newRow("step 2, a focused button takes its own") << "Form2"
                                                            << "Form2PrevStep"
                                                            << "Form1";
    QTest::newRow("step 3") << "Form3"
                            << ""
                            << "form5";
    QTest::newRow("step 1, the path box chooses instead") << "Form1"
                                                          << "FolderPath"
                                                          << "Form1";
  }

  void returnPressesTheDefaultButton() {
    QFETCH(QString, window);
    QFETCH(QString, focus);
    WizardBench bench;
    Wizard& wizard = LoadAt(bench);
    WalkTo(bench, window == "form5" ? "Form3" : window);
    QWidget* shown = Window(wizard, window);
    if (!focus.isEmpty()) shown->findChild<QWidget*>(focus)->setFocus();
    Press(shown, Qt::Key_Return);
    QTEST(ShownWindows(wizard).join(","), "shown");
  }

  void finishedRunEndsSavingByEveryWay_data() {
    QTest::addColumn<int>("way");
    QTest::newRow("Quit clicked") << 0;
    QTest::newRow("Return on the focused Quit") << 1;
    QTest::newRow("close box") << 2;
  }

  void finishedRunEndsSavingByEveryWay() {
    QFETCH(int, way);
    WizardBench bench;
    Wizard& wizard = LoadAt(bench);
    wizard.step1().Text1->setText("12");
    WalkTo(bench, "form5");
    form5& progress = wizard.progressWindow();
    QSignalSpy closed(&wizard, &Wizard::allWindowsClosed);
    if (way == 0) QTest::mouseClick(progress.CmdQuit, Qt::LeftButton);
    if (way == 1) Press(&progress, Qt::Key_Return);
    if (way == 2) progress.close();
    QTRY_COMPARE(closed.count(), 1);
    bench.settings().sync();
    QCOMPARE(bench.settings().value("settings/numrides").toString(), QStringLiteral("12"));
  }

  void titlesAreShownExactly_data() {
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("title");
    QTest::newRow("step 1") << "Form1"
                            << "Velodex";
    QTest::newRow("step 2") << "Form2"
                            << "Step 2";
    QTest::newRow("step 3") << "Form3"
                            << "Step 3";
    QTest::newRow("progress") << "form5"
                              << "Processing ...";
    QTest::newRow("about") << "frmAbout"
                           << "About Velodex";
  }

  void titlesAreShownExactly() {
    QFETCH(QString, window);
    WizardBench bench;
    Wizard& wizard = bench.load();
    QTEST(ShownTitle::of(Window(wizard, window)), "title");
  }

  void tabFollowsTheScreen_data() {
    QTest::addColumn<QString>("window");
    QTest::addColumn<QStringList>("order");
    QTest::newRow("step 1") << "Form1" << QStringList{"FolderPath", "Browse", "Drive1",   "Dir1",
                                                      "File1",      "Text1",  "Form1Next"};
    QTest::newRow("step 2 foot") << "Form2"
                                 << QStringList{"Check1(13)", "Form2PrevStep", "form2NextStep"};
    QTest::newRow("step 3") << "Form3"
                            << QStringList{"TrackNamesAsHyperlinks",
                                           "SortBy",
                                           "SortAsc",
                                           "SortDesc",
                                           "Use_Zip_Files",
                                           "Separate_By_Ride_Type",
                                           "Copy_Tracks_To_Subdirectory",
                                           "Form3Previous",
                                           "Form3Finish"};
    QTest::newRow("progress foot") << "form5" << QStringList{"CmdOpenPage", "CmdQuit"};
  }

  void tabFollowsTheScreen() {
    QFETCH(QString, window);
    QFETCH(QStringList, order);
    WizardBench bench;
    Wizard& wizard = LoadAt(bench);
    WalkTo(bench, window);
    QWidget* shown = Window(wizard, window);
    shown->findChild<QWidget*>(order.first())->setFocus();
    QStringList reached{shown->focusWidget()->objectName()};
    for (qsizetype i = 1; i < order.size(); ++i) {
      Press(shown, Qt::Key_Tab);
      reached << shown->focusWidget()->objectName();
    }
    QCOMPARE(reached, order);
    // The foot's two buttons stand left to right in the order Tab reaches them.
    const auto x = [&](qsizetype i) {
      return shown->findChild<QWidget*>(order[i])->mapTo(shown, QPoint()).x();
    };
    QVERIFY(x(order.size() - 2) < x(order.size() - 1));
  }

  void focusShowsFromTheStart_data() {
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("focus");
    QTest::newRow("step 2") << "Form2"
                            << "Check1(0)";
    QTest::newRow("step 3") << "Form3"
                            << "TrackNamesAsHyperlinks";
    QTest::newRow("finished progress") << "form5"
                                       << "CmdQuit";
    QTest::newRow("about") << "frmAbout"
                           << "cmdOK";
  }

  void focusShowsFromTheStart() {
    QFETCH(QString, window);
    WizardBench bench;
    Wizard& wizard = LoadAt(bench);
    WalkTo(bench, window);
    QWidget* shown = Window(wizard, window);
    QVERIFY(QTest::qWaitForWindowActive(shown));
    QWidget* focused = QApplication::focusWidget();
    QVERIFY(focused != nullptr);
    QTEST(focused->objectName(), "focus");
    QStyleOption drawn;
    drawn.initFrom(focused);
    QVERIFY(drawn.state.testFlag(QStyle::State_HasFocus));
    QVERIFY(drawn.state.testFlag(QStyle::State_KeyboardFocusChange));
  }

  void eachWindowOpensWhereThePreviousStood_data() {
    QTest::addColumn<QString>("window");
    QTest::newRow("step 2") << "Form2";
    QTest::newRow("step 3") << "Form3";
    QTest::newRow("progress") << "form5";
  }

  void eachWindowOpensWhereThePreviousStood() {
    QFETCH(QString, window);
    WizardBench bench;
    Wizard& wizard = LoadAt(bench);
    wizard.step1().setGeometry(137, 91, 700, 480);
    WalkTo(bench, window);
    QWidget* shown = Window(wizard, window);
    QCOMPARE(shown->pos(), wizard.step1().pos());
    QCOMPARE(shown->size(), QSize(700, 480));
  }

  void windowsAreAnnouncedAndControlsNamed_data() {
    QTest::addColumn<QString>("window");
    QTest::addColumn<int>("role");
    QTest::newRow("step 1") << "Form1" << int(QAccessible::Window);
    QTest::newRow("step 2") << "Form2" << int(QAccessible::Window);
    QTest::newRow("step 3") << "Form3" << int(QAccessible::Window);
    QTest::newRow("progress") << "form5" << int(QAccessible::Window);
    QTest::newRow("about") << "frmAbout" << int(QAccessible::Dialog);
  }

  void windowsAreAnnouncedAndControlsNamed() {
    QFETCH(QString, window);
    WizardBench bench;
    Wizard& wizard = bench.load();
    QWidget* shown = Window(wizard, window);
    QTEST(int(QAccessible::queryAccessibleInterface(shown)->role()), "role");
    for (QWidget* control : shown->findChildren<QWidget*>()) {
      // Popup lists belong to their own windows; File2 is never shown.
      if (!(control->focusPolicy() & Qt::TabFocus) || control->focusProxy() != nullptr ||
          control->window() != shown || control == wizard.step1().File2) {
        continue;
      }
      const QString name = QAccessible::queryAccessibleInterface(control)->text(QAccessible::Name);
      QVERIFY2(!name.isEmpty(), control->metaObject()->className());
    }
  }

  void sortTextIsKeptAsTyped_data() {
    QTest::addColumn<QString>("typed");
    QTest::newRow("a list entry in other case") << "rating";
    QTest::newRow("the start of an entry") << "Max_Sp";
    QTest::newRow("an expression") << "Ex DESC, Na";
  }

  void sortTextIsKeptAsTyped() {
    QFETCH(QString, typed);
    WizardBench bench;
    Wizard& wizard = bench.load();
    WalkTo(bench, "Form3");
    QComboBox* sortBy = wizard.step3().SortBy;
    sortBy->setFocus();
    QTest::keyClicks(sortBy->lineEdit(), typed);
    Press(&wizard.step3(), Qt::Key_Tab);
    QCOMPARE(QString::fromStdString(wizard.sortField()), typed);
  }

  void typedFolderIsChosenOrNoted_data() {
    QTest::addColumn<QString>("typed");   // "%1" stands for the designs folder
    QTest::addColumn<QString>("chosen");  // relative to the designs folder
    QTest::addColumn<QString>("note");
    QTest::newRow("a folder") << "%1/Sub"
                              << "Sub"
                              << "";
    QTest::newRow("relative to the chosen folder") << "Sub"
                                                   << "Sub"
                                                   << "";
    QTest::newRow("untidy") << "  %1//Sub/ "
                            << "Sub"
                            << "";
    QTest::newRow("no such folder") << "%1/Gone"
                                    << "."
                                    << "There is no folder \"%1/Gone\".";
    QTest::newRow("a file") << "%1/Sub/A.td4"
                            << "."
                            << "\"%1/Sub/A.td4\" is a file, not a folder.";
  }

  void typedFolderIsChosenOrNoted() {
    QFETCH(QString, typed);
    QFETCH(QString, chosen);
    QFETCH(QString, note);
    WizardBench bench;
    QDir(bench.designs()).mkdir("Sub");
    WriteDesign(bench.designs() + "/Sub", "A.td4", 0, 50);
    WriteDesign(bench.designs() + "/Sub", "B.td4", 0, 50);
    Form1& step1 = LoadAt(bench).step1();
    step1.FolderPath->setFocus();
    step1.FolderPath->clear();
    QTest::keyClicks(step1.FolderPath, typed.arg(bench.designs()));
    Press(&step1, Qt::Key_Return);
    const QString folder =
        QDir::toNativeSeparators(QDir::cleanPath(bench.designs() + "/" + chosen));
    QCOMPARE(step1.Dir1->path(), folder);
    QCOMPARE(step1.File1->count(), chosen == "Sub" ? 2 : 1);
    QCOMPARE(step1.FolderNote->isVisibleTo(&step1), !note.isEmpty());
    QCOMPARE(step1.FolderNote->text(), note.arg(bench.designs()));
    if (note.isEmpty()) QCOMPARE(step1.FolderPath->text(), folder);
  }

  void controlsAndBrowseUpdateThePath_data() {
    QTest::addColumn<QString>("way");
    QTest::addColumn<QString>("chosen");  // relative to the designs folder
    QTest::newRow("the folder tree") << "tree"
                                     << "Sub";
    QTest::newRow("Browse, a folder chosen") << "browse"
                                             << "Sub";
    QTest::newRow("Browse, cancelled") << "cancel"
                                       << ".";
  }

  void controlsAndBrowseUpdateThePath() {
    QFETCH(QString, way);
    QFETCH(QString, chosen);
    WizardBench bench;
    QDir(bench.designs()).mkdir("Sub");
    Form1& step1 = LoadAt(bench).step1();
    const QString sub = bench.designs() + "/Sub";
    if (way == "tree") step1.Dir1->setPath(sub);
    if (way == "browse") bench.desktop.folderAnswer = sub;
    if (way != "tree") QTest::mouseClick(step1.Browse, Qt::LeftButton);
    if (way != "tree") QCOMPARE(bench.desktop.folderStarts, QStringList{bench.designs()});
    const QString folder =
        QDir::toNativeSeparators(QDir::cleanPath(bench.designs() + "/" + chosen));
    QCOMPARE(step1.Dir1->path(), folder);
    QCOMPARE(step1.FolderPath->text(), folder);
  }

  void pathBoxCompletesFolderNames() {
    WizardBench bench;
    QDir(bench.designs()).mkdir("Wooden");
    WriteDesign(bench.designs(), "Woodie.td4", 0, 50);
    Form1& step1 = bench.load().step1();
    QVERIFY(QTest::qWaitForWindowActive(&step1));
    step1.FolderPath->setFocus();
    step1.FolderPath->clear();
    // Typed as a person types: the folders on the way are read in the background meanwhile.
    for (QChar typed : bench.designs() + "/woo") {
      QTest::keyClick(step1.FolderPath, typed.toLatin1());
      QTest::qWait(10);
    }
    QCompleter* completer = step1.FolderPath->completer();
    QTRY_VERIFY(completer->popup()->isVisible());
    QCOMPARE(completer->completionCount(), 1);
    QCOMPARE(completer->currentCompletion(), bench.designs() + "/Wooden");
  }

  void longFolderNamesScrollSideways() {
    WizardBench bench;
    const QString name = QString("My Roller Coaster Track Designs ").repeated(6).trimmed();
    QVERIFY(QDir(bench.designs()).mkdir(name));
    Form1& step1 = bench.load().step1();
    step1.Dir1->setPath(bench.designs() + "/" + name);
    QTRY_VERIFY(step1.Dir1->horizontalScrollBar()->maximum() > 0);
    QVERIFY(step1.Dir1->columnWidth(0) > step1.Dir1->fontMetrics().horizontalAdvance(name));
  }

  void openPageOpensThePageTheRunNamed_data() {
    QTest::addColumn<bool>("separate");
    QTest::addColumn<bool>("opens");
    QTest::addColumn<QString>("page");
    QTest::newRow("the sorted list") << false << true << "simpleindex.htm";
    QTest::newRow("the ride index") << true << true << "rideindex.htm";
    QTest::newRow("no browser") << false << false << "simpleindex.htm";
  }

  void openPageOpensThePageTheRunNamed() {
    QFETCH(bool, separate);
    QFETCH(bool, opens);
    QFETCH(QString, page);
    WizardBench bench;
    Wizard& wizard = LoadAt(bench);
    wizard.step3().Separate_By_Ride_Type->setChecked(separate);
    bench.desktop.opens = opens;
    WalkTo(bench, "form5");
    form5& progress = wizard.progressWindow();
    const QString path = QDir::toNativeSeparators(bench.designs() + "/" + page);
    QCOMPARE(progress.Label3->text(), "Done - Look at " + path);
    QTest::mouseClick(progress.CmdOpenPage, Qt::LeftButton);
    QCOMPARE(bench.desktop.openedPages, QStringList{path});
    QCOMPARE(bench.prompts.messages.size(), opens ? size_t{0} : size_t{1});
    if (!opens) QVERIFY(QString::fromStdString(bench.prompts.messages[0].text).contains(path));
    QCOMPARE(ShownWindows(wizard), QStringList{"form5"});
  }
};

}  // namespace velodex::testing

QTEST_MAIN(velodex::testing::WizardUseTest)
#include "wizard_use_test.moc"
