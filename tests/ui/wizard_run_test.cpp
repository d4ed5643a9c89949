// Whole runs driven through the windows: a generated folder catalogued from "&Finish" to the
// progress window's Quit, a run that finds no archives, and a run that fails.
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardPaths>
#include <QTest>

#include "catalogue/catalogue_database.h"
#include "tests/ui/ui_test_support.h"
#include "ui/qt_text.h"

namespace velodex::testing {

namespace {

QByteArray ReadAll(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return QByteArray();
  return file.readAll();
}

// Walks from step 1 to step 3 with the given folder chosen.
void WalkToStep3(Wizard& wizard, const QString& folder) {
  wizard.step1().Dir1->setPath(folder);
  QTest::mouseClick(wizard.step1().Form1Next, Qt::LeftButton);
  QTest::mouseClick(wizard.step2().form2NextStep, Qt::LeftButton);
}

void Finish(Wizard& wizard) { QTest::mouseClick(wizard.step3().Form3Finish, Qt::LeftButton); }

// The texts a label showed each time it was painted.
class PaintedTexts final : public QObject {
 public:
  explicit PaintedTexts(QLabel* label) { label->installEventFilter(this); }
  QStringList texts;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint) {
      const QString text = static_cast<QLabel*>(watched)->text();
      if (texts.isEmpty() || texts.last() != text) texts << text;
    }
    return false;
  }
};

}  // namespace

class WizardRunTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

  void finishCataloguesTheFolder() {
    WizardBench bench;
    WriteDesign(bench.designs(), "Alpha.td4", 0, 70);
    Wizard& wizard = bench.load();
    wizard.step1().Text1->setText("");
    wizard.step2().Check1[0]->setChecked(true);
    wizard.step2().Check1[11]->setChecked(true);
    WalkToStep3(wizard, bench.designs());
    form5& progress = wizard.progressWindow();
    PaintedTexts status(progress.Label3);
    Finish(wizard);

    QVERIFY(bench.prompts.messages.empty());
    QCOMPARE(ShownWindows(wizard), QStringList{"form5"});
    // The status line was painted while the run worked, not only once it had returned.
    const qsizetype deleting = status.texts.indexOf("Deleting Records");
    const qsizetype compacting = status.texts.indexOf("Compacting Database");
    QVERIFY2(deleting >= 0 && compacting > deleting, qPrintable(status.texts.join(" | ")));
    QVERIFY(progress.CmdQuit->isVisible());
    // The run's replacements of empty texts show in the controls.
    QCOMPARE(wizard.step1().Text1->text(), QStringLiteral("10"));
    QCOMPARE(wizard.step3().SortBy->currentText(), QStringLiteral("Rating"));
    QVERIFY(ReadAll(bench.designs() + "/simpleindex.htm").contains("Alpha.td4"));
  }

  void aRunWithoutArchivesGoesBackToStep1CountingArchives() {
    WizardBench bench;
    WriteDesign(bench.designs(), "Alpha.td4", 0, 70);
    Wizard& wizard = bench.load();
    WalkToStep3(wizard, bench.designs());
    ClickBox(wizard.step3().Use_Zip_Files);
    Finish(wizard);
    QCOMPARE(bench.prompts.messages.size(), size_t{1});
    QCOMPARE(bench.prompts.messages[0].text, std::string("No Files found"));
    QCOMPARE(bench.prompts.messages[0].icon, MessageIcon::kNone);
    QCOMPARE(ShownWindows(wizard), QStringList{"Form1"});
    QCOMPARE(wizard.step1().File1->pattern(), std::string("*.zip"));

    // The list keeps the run's pattern, so the next start check counts archives.
    QTest::mouseClick(wizard.step1().Form1Next, Qt::LeftButton);
    QTest::mouseClick(wizard.step2().form2NextStep, Qt::LeftButton);
    ClickBox(wizard.step3().Use_Zip_Files);
    Finish(wizard);
    QCOMPARE(bench.prompts.messages.size(), size_t{2});
    QCOMPARE(bench.prompts.messages[1].text, std::string("No tracks found"));
    QCOMPARE(ShownWindows(wizard), QStringList{"Form1"});
  }

  void choicesTheRunCannotUseAreRefusedBeforeAnythingChanges_data() {
    Table({"ridesPerPage", "sortBy", "separate", "shown", "focused", "message"},
          {{"page size", "abc", "Ex", "1", "Form1", "Text1",
            "rides per page 'abc' is not a whole number from 1 to 32767"},
           {"sort text", "10", "Rating LIMIT 2 --", "0", "Form3", "SortBy",
            "sort field 'Rating LIMIT 2 --' is not a column of the catalogue"}});
  }

  void choicesTheRunCannotUseAreRefusedBeforeAnythingChanges() {
    QFETCH(QString, ridesPerPage);
    QFETCH(QString, sortBy);
    QFETCH(QString, separate);
    QFETCH(QString, shown);
    QFETCH(QString, focused);
    QFETCH(QString, message);
    WizardBench bench;
    WriteDesign(bench.designs(), "Alpha.td4", 0, 70);
    QFile bad(bench.designs() + "/Broken.td4");  // would be renamed by a run
    QVERIFY(bad.open(QIODevice::WriteOnly) && bad.write("xx") == 2);
    bad.close();
    const QByteArray catalogue = ReadAll(bench.databaseFolder() + "/velodex.mdb");
    Wizard& wizard = bench.load();
    wizard.step1().Text1->setText(ridesPerPage);
    WalkToStep3(wizard, bench.designs());
    wizard.step3().SortBy->setEditText(sortBy);
    wizard.step3().Separate_By_Ride_Type->setChecked(separate == "1");
    Finish(wizard);

    QCOMPARE(bench.prompts.messages.size(), size_t{1});
    QCOMPARE(QString::fromStdString(bench.prompts.messages[0].text), message);
    QCOMPARE(ShownWindows(wizard), QStringList{shown});
    QWidget* window = shown == "Form1" ? static_cast<QWidget*>(&wizard.step1()) : &wizard.step3();
    QVERIFY(window->focusWidget());
    QCOMPARE(window->focusWidget()->objectName(), focused);
    QCOMPARE(QDir(bench.designs()).entryList(QDir::Files),
             (QStringList{"Alpha.td4", "Broken.td4"}));
    QCOMPARE(ReadAll(bench.databaseFolder() + "/velodex.mdb"), catalogue);
  }

  void aFailedRunIsShownAndTheUserCanGoOn() {
    WizardBench bench;
    WriteDesign(bench.designs(), "Alpha.td4", 0, 70);
    const QString catalogue = bench.databaseFolder() + "/velodex.mdb";
    QVERIFY(QFile::remove(catalogue));
    Wizard& wizard = bench.load();
    wizard.step2().Check1[0]->setChecked(true);
    WalkToStep3(wizard, bench.designs());
    Finish(wizard);

    QCOMPARE(bench.prompts.messages.size(), size_t{1});
    QCOMPARE(bench.prompts.messages[0].icon, MessageIcon::kCritical);
    QVERIFY2(QString::fromStdString(bench.prompts.messages[0].text).contains(catalogue),
             bench.prompts.messages[0].text.c_str());
    QCOMPARE(ShownWindows(wizard), QStringList{"Form3"});
    QVERIFY(!wizard.progressWindow().CmdQuit->isVisibleTo(&wizard.progressWindow()));
    QVERIFY(QFile::exists(bench.designs() + "/Alpha.td4"));
    QVERIFY(wizard.column(0));

    // With the catalogue back, the same choices run to the end.
    CatalogueDatabase::createEmpty(ToPathBytes(catalogue));
    Finish(wizard);
    QCOMPARE(bench.prompts.messages.size(), size_t{1});
    QCOMPARE(ShownWindows(wizard), QStringList{"form5"});
    QVERIFY(wizard.progressWindow().CmdQuit->isVisible());
    QVERIFY(ReadAll(bench.designs() + "/simpleindex.htm").contains("Alpha.td4"));
  }
};

}  // namespace velodex::testing

QTEST_MAIN(velodex::testing::WizardRunTest)
#include "wizard_run_test.moc"
