// The wizard's settings: first-start defaults, a round trip through the store, keys matched
// without regard to case, stored paths that are gone, the sort buttons' truth words, and
// values that cannot be converted.
#include "ui/settings_store.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
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

namespace {

QString HomeRoot() { return QDir::toNativeSeparators(QDir::cleanPath(FromPathBytes(DriveRoot()))); }

void Store(QSettings& settings, const QString& key, const QString& value) {
  settings.setValue("settings/" + key, value);
}

// A folder as the saving stores it: with the drive that holds it.
void StoreFolder(QSettings& settings, const QString& pathKey, const QString& path) {
  Store(settings, pathKey, path);
  Store(settings, "drive", QDir::toNativeSeparators(QStorageInfo(path).rootPath()));
}

}  // namespace

class SettingsStoreTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

  void firstStartGivesTheDefaults() {
    WizardBench bench;
    Wizard& wizard = bench.load();
    for (const QCheckBox* box : wizard.step2().Check1) QVERIFY(!box->isChecked());
    const Form3& step3 = wizard.step3();
    for (const QCheckBox* box :
         {step3.TrackNamesAsHyperlinks, step3.Use_Zip_Files, step3.Separate_By_Ride_Type,
          step3.Copy_Tracks_To_Subdirectory, step3.Explorer_Page}) {
      QVERIFY2(!box->isChecked(), qPrintable(box->text()));
      QVERIFY2(box->isEnabled(), qPrintable(box->text()));
    }
    QVERIFY(step3.SortDesc->isChecked());
    QVERIFY(!step3.SortAsc->isChecked());
    QCOMPARE(step3.SortBy->currentText(), QString());
    QCOMPARE(wizard.step1().Text1->text(), QStringLiteral("10"));
    QCOMPARE(wizard.step1().Dir1->path(), HomeRoot());
    QCOMPARE(wizard.step1().Drive1->drive(), HomeRoot());
    QCOMPARE(FromPathBytes(wizard.step1().File1->path()), HomeRoot());
    QVERIFY(wizard.sortDescending());
    QCOMPARE(OptionCode(wizard), int16_t{0});
  }

  void savedChoicesComeBack() {
    WizardBench bench;
    {
      Wizard& wizard = bench.load();
      wizard.step1().Dir1->setPath(bench.designs());
      wizard.step1().Text1->setText("25");
      for (int i : {0, 4, 11, 13}) wizard.step2().Check1[static_cast<size_t>(i)]->setChecked(true);
      Form3& step3 = wizard.step3();
      step3.TrackNamesAsHyperlinks->setChecked(true);
      step3.Separate_By_Ride_Type->setChecked(true);
      step3.Copy_Tracks_To_Subdirectory->setChecked(true);
      step3.Explorer_Page->setChecked(true);
      step3.SortBy->setEditText("Max_Drop_Height");
      step3.SortAsc->setChecked(true);
      SaveSettings(wizard, bench.settings());
      bench.unload();
    }
    bench.settings().sync();
    // Written as the saving names them: the copy box under its caption, the sort buttons
    // as words.
    QCOMPARE(bench.settings().value("settings/Copy Tracks To Subdirectory").toString(),
             QStringLiteral("1"));
    QCOMPARE(bench.settings().value("settings/SortAsc").toString(), QStringLiteral("True"));
    QCOMPARE(bench.settings().value("settings/SortDesc").toString(), QStringLiteral("False"));
    QCOMPARE(bench.settings().value("settings/Nausea").toString(), QStringLiteral("1"));
    QCOMPARE(bench.settings().value("settings/Explorer Page").toString(), QStringLiteral("1"));
    QCOMPARE(bench.settings().value("settings/Invs").toString(), QStringLiteral("0"));

    Wizard& wizard = bench.load();
    QCOMPARE(wizard.step1().Dir1->path(), QDir::toNativeSeparators(bench.designs()));
    QCOMPARE(wizard.step1().Text1->text(), QStringLiteral("25"));
    for (int i = 0; i < kColumnCount; ++i) {
      QCOMPARE(wizard.column(i), i == 0 || i == 4 || i == 11 || i == 13);
    }
    QVERIFY(wizard.namesAsHyperlinks());
    QVERIFY(wizard.separateByRideType());
    QVERIFY(wizard.copyTracksToSubdirectory());
    QVERIFY(!wizard.useZipFiles());
    QVERIFY(wizard.explorerPage());
    QCOMPARE(wizard.sortField(), std::string("Max_Drop_Height"));
    QVERIFY(!wizard.sortDescending());
    QCOMPARE(OptionCode(wizard), int16_t{22});
  }

  void keysMatchWithoutRegardToCase() {
    WizardBench bench;
    StoreFolder(bench.settings(), "PATH", bench.designs());
    // Texts are taken as stored, even when they are no number or no column.
    Store(bench.settings(), "NumRides", "many");
    Store(bench.settings(), "ride name", "1");
    Store(bench.settings(), "MAX DROP HEIGHT", "1");
    Store(bench.settings(), "Copy Tracks To Subdirectory", "1");
    Store(bench.settings(), "separate by ride type", "1");
    Store(bench.settings(), "sortby", "Not_A_Column");
    Store(bench.settings(), "sortasc", "True");
    Store(bench.settings(), "SORTDESC", "False");
    Wizard& wizard = bench.load();
    QCOMPARE(wizard.step1().Dir1->path(), QDir::toNativeSeparators(bench.designs()));
    QCOMPARE(wizard.ridesPerPage(), std::string("many"));
    QVERIFY(wizard.column(0));
    QVERIFY(wizard.column(10));
    QVERIFY(wizard.copyTracksToSubdirectory());
    QVERIFY(wizard.separateByRideType());
    QCOMPARE(wizard.sortField(), std::string("Not_A_Column"));
    QVERIFY(!wizard.sortDescending());

    // Saving replaces a key of another case rather than adding a second one.
    wizard.step1().Text1->setText("30");
    SaveSettings(wizard, bench.settings());
    bench.settings().beginGroup("settings");
    const QStringList keys = bench.settings().childKeys();
    bench.settings().endGroup();
    QVERIFY(keys.contains("numrides"));
    QVERIFY(!keys.contains("NumRides"));
    QCOMPARE(keys.count("Copy Tracks To Subdirectory"), 1);
    QCOMPARE(bench.settings().value("settings/numrides").toString(), QStringLiteral("30"));
  }

  void storedZipFilesDisablesTheExcludedBoxes_data() {
    // The copy box's own value is read after the toggle has run, and is set as stored.
    Table({"storedCopy"}, {{"copy stored off", "0"}, {"copy stored on", "1"}});
  }

  void storedZipFilesDisablesTheExcludedBoxes() {
    QFETCH(QString, storedCopy);
    WizardBench bench;
    Store(bench.settings(), "Use Zip Files", "1");
    Store(bench.settings(), "Track Names as Hyperlinks", "1");
    Store(bench.settings(), "Copy Tracks To Subdirectory", storedCopy);
    Wizard& wizard = bench.load();
    const Form3& step3 = wizard.step3();
    QVERIFY(step3.Use_Zip_Files->isChecked());
    QVERIFY(!step3.TrackNamesAsHyperlinks->isEnabled());
    QVERIFY(!step3.TrackNamesAsHyperlinks->isChecked());
    QVERIFY(!step3.Copy_Tracks_To_Subdirectory->isEnabled());
    QCOMPARE(step3.Copy_Tracks_To_Subdirectory->isChecked(), storedCopy == "1");
  }

  void storedPathIsUsedOnlyWhenItIsAFolder_data() {
    // Only an existing folder is kept.
    Table({"which"}, {{"existing folder", "designs"},
                      {"deleted folder", "gone"},
                      {"a file", "file"},
                      {"empty text", ""}});
  }

  void storedPathIsUsedOnlyWhenItIsAFolder() {
    QFETCH(QString, which);
    const bool kept = which == "designs";
    WizardBench bench;
    QString path;
    if (which == "designs") path = bench.designs();
    if (which == "gone") {
      path = bench.designs() + "/gone";
      QVERIFY(QDir().mkdir(path));
      QVERIFY(QDir().rmdir(path));
    }
    if (which == "file") {
      path = bench.settingsFile();
      bench.settings().sync();
    }
    if (path.isEmpty()) {
      Store(bench.settings(), "path", path);
    } else {
      StoreFolder(bench.settings(), "path", path);
    }
    Wizard& wizard = bench.load();
    const QString expected = kept ? QDir::toNativeSeparators(path) : HomeRoot();
    QCOMPARE(wizard.step1().Dir1->path(), expected);
    QCOMPARE(FromPathBytes(wizard.step1().File1->path()), expected);
  }

  void sortButtonsFollowTheirTruthWords_data() {
    // selected: which buttons the stored words leave selected. A text that is neither a truth
    // word nor a number counts as the key's default.
    Table({"asc", "desc", "selected"}, {{"ascending", "True", "False", "asc"},
                                        {"descending", "False", "True", "desc"},
                                        {"both true: the later wins", "True", "True", "desc"},
                                        {"both false: neither", "False", "False", ""},
                                        {"number texts", "1", "0", "asc"},
                                        {"words in any case", "TRUE", "false", "asc"},
                                        {"unconvertible: defaults", "maybe", "sometimes", "desc"},
                                        {"unconvertible ascending alone", "yes", "False", ""},
                                        {"empty texts: defaults", "", "", "desc"}});
  }

  void sortButtonsFollowTheirTruthWords() {
    QFETCH(QString, asc);
    QFETCH(QString, desc);
    QFETCH(QString, selected);
    const bool ascSelected = selected == "asc";
    WizardBench bench;
    Store(bench.settings(), "SortAsc", asc);
    Store(bench.settings(), "SortDesc", desc);
    Wizard& wizard = bench.load();
    QCOMPARE(wizard.step3().SortAsc->isChecked(), ascSelected);
    QCOMPARE(wizard.step3().SortDesc->isChecked(), selected == "desc");
    // Only the ascending button is read: anything but it selected sorts descending.
    QCOMPARE(wizard.sortDescending(), !ascSelected);
  }

  void checkBoxValuesThatAreNotOneLeaveTheBoxUnchecked_data() {
    QTest::addColumn<QString>("stored");
    QTest::addColumn<bool>("checked");
    QTest::newRow("1") << "1" << true;
    QTest::newRow("blanks around 1") << " 1 " << true;
    QTest::newRow("0") << "0" << false;
    QTest::newRow("another number") << "2" << false;
    QTest::newRow("negative") << "-1" << false;
    QTest::newRow("past 16 bits") << "65537" << false;
    QTest::newRow("a word") << "yes" << false;
    QTest::newRow("a fraction") << "1.5" << false;
    QTest::newRow("empty") << "" << false;
  }

  void checkBoxValuesThatAreNotOneLeaveTheBoxUnchecked() {
    QFETCH(QString, stored);
    QFETCH(bool, checked);
    WizardBench bench;
    for (const char* caption : kColumnCaptions) Store(bench.settings(), caption, stored);
    Store(bench.settings(), "Separate By Ride Type", stored);
    Wizard& wizard = bench.load();
    for (int i = 0; i < kColumnCount; ++i) QCOMPARE(wizard.column(i), checked);
    QCOMPARE(wizard.separateByRideType(), checked);
  }
};

}  // namespace velodex::testing

QTEST_MAIN(velodex::testing::SettingsStoreTest)
#include "settings_store_test.moc"
