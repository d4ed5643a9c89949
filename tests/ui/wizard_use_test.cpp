// The wizard as a person uses it: Return and Tab, the focus, the titles the window system
// shows, where each window opens, what assistive technology hears, the folder path box and
// the finished progress window's buttons.
#include <qpa/qplatformwindow.h>

#include <QAbstractItemView>
#include <QAccessible>
#include <QAction>
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
    return formatWindowTitle(window->windowTitle(), QStringLiteral(" - "));
  }
};

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

// Walks to a window by its buttons; "form5" after a completed run.
QWidget* WalkTo(Wizard& wizard, const QString& name) {
  if (name == "Form2" || name == "Form3" || name == "form5") wizard.step1().Form1Next->click();
  if (name == "Form3" || name == "form5") wizard.step2().form2NextStep->click();
  if (name == "form5") wizard.step3().Form3Finish->click();
  return Window(wizard, name);
}

// A wizard at the designs folder, which holds one design.
Wizard& LoadAt(WizardBench& bench) {
  WriteDesign(bench.designs(), "Loop.td4", 0, 50);
  Wizard& wizard = bench.load();
  wizard.step1().Dir1->setPath(bench.designs());
  return wizard;
}

// Presses a key where a person's key goes: to the control with the focus in the window.
void Press(QWidget* window, Qt::Key key) {
  QTest::keyClick(window->focusWidget() != nullptr ? window->focusWidget() : window, key);
}

QString Native(const QString& path) { return QDir::toNativeSeparators(QDir::cleanPath(path)); }

}  // namespace

class WizardUseTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    QStandardPaths::setTestModeEnabled(true);
    SetUpApplication();
  }

  void returnPressesTheDefaultButton_data() {
    Table({"window", "focus", "shown"},  // focus: empty for the one the window opens with
          {{"step 1", "Form1", "", "Form2"},
           {"step 1, in the page size", "Form1", "Text1", "Form2"},
           {"step 1, the path box chooses instead", "Form1", "FolderPath", "Form1"},
           {"step 2", "Form2", "", "Form3"},
           {"step 2, a focused button takes its own", "Form2", "Form2PrevStep", "Form1"},
           {"step 3", "Form3", "", "form5"}});
  }

  void returnPressesTheDefaultButton() {
    QFETCH(QString, window);
    QFETCH(QString, focus);
    WizardBench bench;
    Wizard& wizard = LoadAt(bench);
    QWidget* shown = WalkTo(wizard, window);
    if (!focus.isEmpty()) shown->findChild<QWidget*>(focus)->setFocus();
    Press(shown, Qt::Key_Return);
    QTEST(ShownWindows(wizard).join(","), "shown");
  }

  void everyWayOutSavesOnlyAfterARun_data() {
    Table({"window", "way", "saves"}, {{"Quit menu", "Form1", "menu", ""},
                                       {"step 1 close box", "Form1", "close", ""},
                                       {"Quit after a run", "form5", "click", "yes"},
                                       {"Return after a run", "form5", "return", "yes"},
                                       {"close box after a run", "form5", "close", "yes"}});
  }

  void everyWayOutSavesOnlyAfterARun() {
    QFETCH(QString, window);
    QFETCH(QString, way);
    QFETCH(QString, saves);
    WizardBench bench;
    bench.settings().setValue("settings/numrides", "7");
    Wizard& wizard = LoadAt(bench);
    wizard.step1().Text1->setText("12");
    QWidget* shown = WalkTo(wizard, window);
    QSignalSpy closed(&wizard, &Wizard::allWindowsClosed);
    if (way == "menu") wizard.step1().Quit->trigger();
    if (way == "click") QTest::mouseClick(wizard.progressWindow().CmdQuit, Qt::LeftButton);
    if (way == "return") Press(shown, Qt::Key_Return);
    if (way == "close") shown->close();
    QTRY_COMPARE(closed.count(), 1);
    QVERIFY(ShownWindows(wizard).isEmpty());
    // Ending without saving leaves the store as it was.
    bench.settings().sync();
    QCOMPARE(bench.settings().value("settings/numrides").toString(), saves.isEmpty() ? "7" : "12");
    QCOMPARE(bench.settings().allKeys().size() > 1, !saves.isEmpty());
  }

  void windowsShowTheirTitlesAndAreAnnounced_data() {
    Table({"window", "title", "role"}, {{"step 1", "Form1", "Velodex", "window"},
                                        {"step 2", "Form2", "Step 2", "window"},
                                        {"step 3", "Form3", "Step 3", "window"},
                                        {"progress", "form5", "Processing ...", "window"},
                                        {"about", "frmAbout", "About Velodex", "dialog"}});
  }

  void windowsShowTheirTitlesAndAreAnnounced() {
    QFETCH(QString, window);
    QFETCH(QString, role);
    WizardBench bench;
    Wizard& wizard = bench.load();
    QWidget* shown = Window(wizard, window);
    QTEST(ShownTitle::of(shown), "title");
    QCOMPARE(QAccessible::queryAccessibleInterface(shown)->role(),
             role == "window" ? QAccessible::Window : QAccessible::Dialog);
    for (QWidget* control : shown->findChildren<QWidget*>()) {
      // Popup lists belong to windows of their own; File2 is never shown.
      if (!(control->focusPolicy() & Qt::TabFocus) || control->focusProxy() != nullptr ||
          control->window() != shown || control == wizard.step1().File2) {
        continue;
      }
      const QString name = QAccessible::queryAccessibleInterface(control)->text(QAccessible::Name);
      QVERIFY2(!name.isEmpty(), control->metaObject()->className());
    }
  }

  void tabFollowsTheScreen_data() {
    Table({"window", "order"},
          {{"step 1", "Form1", "FolderPath Browse Drive1 Dir1 File1 Text1 Form1Next"},
           {"step 2 foot", "Form2", "Check1(13) Form2PrevStep form2NextStep"},
           {"step 3", "Form3",
            "TrackNamesAsHyperlinks SortBy SortAsc SortDesc Use_Zip_Files Separate_By_Ride_Type "
            "Copy_Tracks_To_Subdirectory Explorer_Page Form3Previous Form3Finish"},
           {"progress foot", "form5", "CmdOpenPage CmdQuit"}});
  }

  void tabFollowsTheScreen() {
    QFETCH(QString, window);
    QFETCH(QString, order);
    const QStringList names = order.split(' ');
    WizardBench bench;
    QWidget* shown = WalkTo(LoadAt(bench), window);
    shown->findChild<QWidget*>(names.first())->setFocus();
    QStringList reached{shown->focusWidget()->objectName()};
    while (reached.size() < names.size()) {
      Press(shown, Qt::Key_Tab);
      reached << shown->focusWidget()->objectName();
    }
    QCOMPARE(reached, names);
    // The foot's last two buttons stand left to right.
    const auto x = [&](qsizetype i) { return shown->findChild<QWidget*>(names[i])->x(); };
    QVERIFY(x(names.size() - 2) < x(names.size() - 1));
  }

  void windowsOpenInPlaceWithTheFocusShown_data() {
    Table({"window", "focus"}, {{"step 2", "Form2", "Check1(0)"},
                                {"step 3", "Form3", "TrackNamesAsHyperlinks"},
                                {"finished progress", "form5", "CmdQuit"},
                                {"about", "frmAbout", "cmdOK"}});
  }

  void windowsOpenInPlaceWithTheFocusShown() {
    QFETCH(QString, window);
    WizardBench bench;
    Wizard& wizard = LoadAt(bench);
    wizard.step1().setGeometry(137, 91, 700, 480);
    QWidget* shown = WalkTo(wizard, window);
    // Each step stands where the one before it stood; the about box opens over step 1.
    if (window != "frmAbout") QCOMPARE(shown->geometry(), QRect(137, 91, 700, 480));
    QVERIFY(QTest::qWaitForWindowActive(shown));
    QWidget* focused = QApplication::focusWidget();
    QVERIFY(focused != nullptr);
    QTEST(focused->objectName(), "focus");
    QStyleOption drawn;
    drawn.initFrom(focused);
    QVERIFY(drawn.state.testFlag(QStyle::State_HasFocus));
    QVERIFY(drawn.state.testFlag(QStyle::State_KeyboardFocusChange));
  }

  void sortTextIsKeptAsTyped_data() {
    Table({"typed"}, {{"a list entry in other case", "rating"},
                      {"the start of an entry", "Max_Sp"},
                      {"an expression", "Ex DESC, Na"}});
  }

  void sortTextIsKeptAsTyped() {
    QFETCH(QString, typed);
    WizardBench bench;
    Wizard& wizard = bench.load();
    wizard.step1().Dir1->setPath(bench.designs());
    QComboBox* sortBy = static_cast<Form3*>(WalkTo(wizard, "Form3"))->SortBy;
    sortBy->setFocus();
    QTest::keyClicks(sortBy->lineEdit(), typed);
    // Return leaves the box for the start check, which finds the folder empty.
    Press(&wizard.step3(), Qt::Key_Return);
    QCOMPARE(ShownWindows(wizard), QStringList{"Form1"});
    QCOMPARE(QString::fromStdString(wizard.sortField()), typed);
  }

  void folderPathFollowsEveryWayOfChoosing_data() {
    // way: what the person typed ("%1" the designs folder), or the tree or Browse; chosen:
    // the folder then, under the designs folder.
    Table({"way", "chosen", "note"},
          {{"a folder typed", "%1/Sub", "Sub", ""},
           {"relative to the chosen folder", "Sub", "Sub", ""},
           {"untidy", "  %1//Sub/ ", "Sub", ""},
           {"no such folder", "%1/Gone", ".", "There is no folder \"%1/Gone\"."},
           {"a file", "%1/Sub/A.td4", ".", "\"%1/Sub/A.td4\" is a file, not a folder."},
           {"the folder tree", "tree", "Sub", ""},
           {"Browse", "browse", "Sub", ""},
           {"Browse, cancelled", "cancel", ".", ""}});
  }

  void folderPathFollowsEveryWayOfChoosing() {
    QFETCH(QString, way);
    QFETCH(QString, chosen);
    QFETCH(QString, note);
    WizardBench bench;
    QDir(bench.designs()).mkdir("Sub");
    WriteDesign(bench.designs() + "/Sub", "A.td4", 0, 50);
    WriteDesign(bench.designs() + "/Sub", "B.td4", 0, 50);
    Form1& step1 = LoadAt(bench).step1();
    if (way == "tree") {
      step1.Dir1->setPath(bench.designs() + "/Sub");
    } else if (way == "browse" || way == "cancel") {
      if (way == "browse") bench.desktop.folderAnswer = bench.designs() + "/Sub";
      QTest::mouseClick(step1.Browse, Qt::LeftButton);
      QCOMPARE(bench.desktop.folderStarts, QStringList{Native(bench.designs())});
    } else {
      step1.FolderPath->setFocus();
      step1.FolderPath->clear();
      QTest::keyClicks(step1.FolderPath, way.arg(bench.designs()));
      Press(&step1, Qt::Key_Return);
    }
    const QString folder = Native(bench.designs() + "/" + chosen);
    QCOMPARE(step1.Dir1->path(), folder);
    QCOMPARE(step1.File1->count(), chosen == "Sub" ? 2 : 1);
    QCOMPARE(step1.FolderNote->text(), note.arg(bench.designs()));
    QCOMPARE(step1.FolderNote->isVisibleTo(&step1), !note.isEmpty());
    if (note.isEmpty()) QCOMPARE(step1.FolderPath->text(), folder);
    QCOMPARE(ShownWindows(bench.wizard()), QStringList{"Form1"});
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
    Table({"separate", "opens", "page"}, {{"the sorted list", "", "yes", "simpleindex.htm"},
                                          {"the ride index", "yes", "yes", "rideindex.htm"},
                                          {"no browser", "", "", "simpleindex.htm"}});
  }

  void openPageOpensThePageTheRunNamed() {
    QFETCH(QString, separate);
    QFETCH(QString, opens);
    QFETCH(QString, page);
    WizardBench bench;
    Wizard& wizard = LoadAt(bench);
    wizard.step3().Separate_By_Ride_Type->setChecked(!separate.isEmpty());
    bench.desktop.opens = !opens.isEmpty();
    form5& progress = static_cast<form5&>(*WalkTo(wizard, "form5"));
    const QString path = Native(bench.designs() + "/" + page);
    QCOMPARE(progress.Label3->text(), "Done - Look at " + path);
    QTest::mouseClick(progress.CmdOpenPage, Qt::LeftButton);
    QCOMPARE(bench.desktop.openedPages, QStringList{path});
    QCOMPARE(bench.prompts.messages.size(), opens.isEmpty() ? size_t{1} : size_t{0});
    if (opens.isEmpty()) {
      QVERIFY(QString::fromStdString(bench.prompts.messages[0].text).contains(path));
    }
    QCOMPARE(ShownWindows(wizard), QStringList{"form5"});
  }
};

}  // namespace velodex::testing

QTEST_MAIN(velodex::testing::WizardUseTest)
#include "wizard_use_test.moc"
