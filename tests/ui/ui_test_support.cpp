#include "tests/ui/ui_test_support.h"

#include <QDir>
#include <QTest>
#include <list>
#include <stdexcept>

#include "catalogue/catalogue_database.h"
#include "tools/design_encoder.h"
#include "ui/qt_text.h"

namespace velodex::testing {

WizardBench::WizardBench() {
  if (!temp_.isValid()) throw std::runtime_error("cannot make a temporary folder");
  QDir root(temp_.path());
  root.mkdir(QStringLiteral("designs"));
  root.mkdir(QStringLiteral("db"));
  CatalogueDatabase::createEmpty(ToPathBytes(databaseFolder() + QStringLiteral("/velodex.mdb")));
  settings_ = std::make_unique<QSettings>(settingsFile(), QSettings::IniFormat);
}

Wizard& WizardBench::load() {
  settings_->sync();
  wizard_ = std::make_unique<Wizard>(
      *settings_, prompts, desktop,
      WizardPlaces{ToPathBytes(databaseFolder()),
                   ToPathBytes(temp_.path() + QStringLiteral("/unknowns.txt"))});
  wizard_->start();
  return *wizard_;
}

QString WizardBench::designs() const { return temp_.path() + QStringLiteral("/designs"); }

QString WizardBench::databaseFolder() const { return temp_.path() + QStringLiteral("/db"); }

QString WizardBench::settingsFile() const { return temp_.path() + QStringLiteral("/settings.ini"); }

QStringList ShownWindows(const Wizard& wizard) {
  QStringList shown;
  for (const QWidget* window :
       {static_cast<const QWidget*>(&wizard.step1()), static_cast<const QWidget*>(&wizard.step2()),
        static_cast<const QWidget*>(&wizard.step3()),
        static_cast<const QWidget*>(&wizard.progressWindow())}) {
    if (window->isVisible()) shown << window->objectName();
  }
  return shown;
}

void Table(const QStringList& columns, std::initializer_list<QStringList> rows) {
  // Qt Test keeps the column names as given, so they must outlive the table.
  static std::list<QByteArray> names;
  for (const QString& column : columns) {
    names.push_back(column.toLatin1());
    QTest::addColumn<QString>(names.back().constData());
  }
  for (const QStringList& row : rows) {
    QTestData& data = QTest::newRow(row.first().toLatin1().constData());
    for (qsizetype i = 1; i < row.size(); ++i) data << row[i];
  }
}

void ClickBox(QAbstractButton* box) {
  // The middle of a box stretched by its layout can lie past its caption, where a click
  // does nothing; the indicator is at the left.
  QTest::mouseClick(box, Qt::LeftButton, Qt::NoModifier, QPoint(6, box->height() / 2));
}

void WriteDesign(const QString& folder, const QString& name, int rideTypeCode, int excitement) {
  DesignParams params;
  params.rideTypeCode = static_cast<uint8_t>(rideTypeCode);
  params.ex = static_cast<uint8_t>(excitement);
  WriteDesignFile(ToPathBytes(folder + QLatin1Char('/') + name), params);
}

}  // namespace velodex::testing
