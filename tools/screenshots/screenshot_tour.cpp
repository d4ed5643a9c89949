// velodex-screenshot-tour OUTDIR WORKDIR: walks the wizard over the sample collection and
// saves each window as a PNG in OUTDIR (step1.png, step2.png, step3.png, progress.png,
// about.png), then prints the path of the page the run wrote. WORKDIR receives the samples
// (under WORKDIR/Tracks) and, in WORKDIR/.velodex, a catalogue and a settings file of its own, so
// the user's settings stay untouched. Run it on a display (scripts/screenshots uses Xvfb,
// with WORKDIR as the home folder so the drive list starts there).
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QTest>
#include <cstdio>

#include "catalogue/catalogue_database.h"
#include "catalogue/error.h"
#include "tests/ui/ui_test_support.h"
#include "tools/sample_collection.h"
#include "ui/app_identity.h"
#include "ui/qt_text.h"

namespace {

using namespace velodex;

// Shows the window, lets it settle (the folder tree reads folders in the background) and
// saves what it shows.
bool Save(QWidget& window, const QString& path, int settleMs = 300) {
  window.show();
  window.raise();
  QTest::qWait(settleMs);
  if (window.grab().save(path)) return true;
  std::fprintf(stderr, "velodex-screenshot-tour: cannot write %s\n", qPrintable(path));
  return false;
}

int Tour(const QString& out, const QString& work) {
  QDir().mkpath(out);
  // The program's own files go in a hidden folder, which the folder list leaves out.
  const QString own = work + "/.velodex";
  QDir().mkpath(own);
  // A long folder name, as players' collections have: the folder tree scrolls sideways.
  const QString samples = work + "/Tracks/My Roller Coaster Track Designs Collected Over The Years";
  if (!QDir(samples).exists()) WriteSampleCollection(ToPathBytes(samples));
  const QString catalogue = own + "/velodex.mdb";
  QFile::remove(catalogue);
  CatalogueDatabase::createEmpty(ToPathBytes(catalogue));
  QFile::remove(own + "/settings.ini");
  QSettings settings(own + "/settings.ini", QSettings::IniFormat);

  testing::RecordingPrompts prompts;
  testing::RecordingDesktop desktop;
  Wizard wizard(settings, prompts, desktop, {ToPathBytes(own), ToPathBytes(own + "/unknowns.txt")});
  wizard.start();
  Form1& step1 = wizard.step1();
  const QString folder = samples + "/loose";
  // Typed into the path box and chosen with Return, as a person would paste it.
  step1.FolderPath->setText(folder);
  QTest::keyClick(step1.FolderPath, Qt::Key_Return);
  step1.Text1->setText("25");
  // A design selected in the list, so the preview beside it shows its layout.
  step1.show();
  QTest::qWait(300);
  // The first closed circuit that climbs and has loops or rolls to show.
  for (int row = 0; row < step1.File1->QListWidget::count(); ++row) {
    step1.File1->setCurrentRow(row);
    const QString facts = step1.Preview->Facts->text();
    if (facts.contains("closed circuit") && !facts.contains("rise 0,")) break;
  }
  bool saved = Save(step1, out + "/step1.png", 2500);

  wizard.showAbout();
  if (frmAbout* about = wizard.aboutBox()) {
    saved = Save(*about, out + "/about.png") && saved;
    about->accept();
  }

  step1.Form1Next->click();
  for (int i : {0, 1, 2, 4, 8, 11, 12, 13})
    wizard.step2().Check1[static_cast<size_t>(i)]->setChecked(true);
  saved = Save(wizard.step2(), out + "/step2.png") && saved;

  wizard.step2().form2NextStep->click();
  Form3& step3 = wizard.step3();
  step3.SortBy->setCurrentIndex(0);
  step3.TrackNamesAsHyperlinks->setChecked(true);
  saved = Save(step3, out + "/step3.png") && saved;

  step3.Form3Finish->click();
  saved = Save(wizard.progressWindow(), out + "/progress.png") && saved;
  for (const auto& message : prompts.messages) {
    std::fprintf(stderr, "velodex-screenshot-tour: the run said: %s\n", message.text.c_str());
  }
  std::printf("%s\n", qPrintable(QDir::cleanPath(folder + "/simpleindex.htm")));
  return saved && prompts.messages.empty() ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setWindowIcon(velodex::ProgramIcon());
  if (argc != 3) {
    std::fprintf(stderr, "usage: velodex-screenshot-tour OUTDIR WORKDIR\n");
    return 2;
  }
  try {
    return Tour(QString::fromLocal8Bit(argv[1]), QString::fromLocal8Bit(argv[2]));
  } catch (const std::exception& failure) {
    std::fprintf(stderr, "velodex-screenshot-tour: %s\n", failure.what());
    return 3;
  }
}
