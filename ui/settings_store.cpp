#include "ui/settings_store.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QSettings>
#include <QStringList>
#include <limits>

#include "catalogue/file_system.h"
#include "ui/qt_text.h"
#include "ui/wizard.h"

namespace velodex {

namespace {

// The stand-in for "c:\", the default of the folder and the drive.
QString DefaultRoot() { return FromPathBytes(DriveRoot()); }

// The stored key that names key, or an empty text when none does.
QString FindKey(QSettings& settings, const QString& key) {
  settings.beginGroup(QString::fromLatin1(kSettingsSection));
  const QStringList keys = settings.childKeys();
  settings.endGroup();
  if (keys.contains(key)) return key;
  for (const QString& stored : keys) {
    if (stored.compare(key, Qt::CaseInsensitive) == 0) return stored;
  }
  return QString();
}

QString SectionKey(const QString& key) {
  return QString::fromLatin1(kSettingsSection) + QLatin1Char('/') + key;
}

// Unreadable values fall back to the key's default: a store edited by hand must not stop
// the program from starting, and the default is the choice a new user sees.
void LoadCheckBox(QSettings& settings, QCheckBox* box, const QString& key) {
  box->setChecked(
      CheckStateFromText(ReadSetting(settings, key, QStringLiteral("0"))).value_or(false));
}

void LoadOption(QSettings& settings, QRadioButton* button, const QString& key, bool defaultValue) {
  const QString fallback = defaultValue ? QStringLiteral("1") : QStringLiteral("0");
  SetOptionSelected(button,
                    TruthFromText(ReadSetting(settings, key, fallback)).value_or(defaultValue));
}

QString StateText(const QCheckBox* box) {
  return box->isChecked() ? QStringLiteral("1") : QStringLiteral("0");
}

QString TruthText(bool value) { return value ? QStringLiteral("True") : QStringLiteral("False"); }

std::optional<long long> WholeNumber(const QString& text) {
  bool ok = false;
  const long long number = text.trimmed().toLongLong(&ok);
  if (!ok) return std::nullopt;
  return number;
}

}  // namespace

QString ReadSetting(QSettings& settings, const QString& key, const QString& fallback) {
  const QString stored = FindKey(settings, key);
  if (stored.isEmpty()) return fallback;
  const QVariant value = settings.value(SectionKey(stored));
  // A hand-edited settings file may hold an unquoted text with commas, which the file
  // format reads as a list; it is one text all the same.
  if (value.typeId() == QMetaType::QStringList) return value.toStringList().join(QLatin1Char(','));
  return value.toString();
}

void WriteSetting(QSettings& settings, const QString& key, const QString& value) {
  const QString stored = FindKey(settings, key);
  if (!stored.isEmpty() && stored != key) settings.remove(SectionKey(stored));
  settings.setValue(SectionKey(key), value);
}

std::optional<bool> CheckStateFromText(const QString& text) {
  const auto number = WholeNumber(text);
  if (!number || *number < std::numeric_limits<int16_t>::min() ||
      *number > std::numeric_limits<int16_t>::max()) {
    return std::nullopt;
  }
  return *number == 1;
}

std::optional<bool> TruthFromText(const QString& text) {
  const QString word = text.trimmed();
  if (word.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0) return true;
  if (word.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0) return false;
  const auto number = WholeNumber(word);
  if (!number) return std::nullopt;
  return *number != 0;
}

void LoadSettings(Wizard& wizard, QSettings& settings) {
  Form1& f1 = wizard.step1();
  Form2& f2 = wizard.step2();
  Form3& f3 = wizard.step3();

  const QString path = ReadSetting(settings, QStringLiteral("path"), DefaultRoot());
  f1.Dir1->setPath(IsDirectory(ToPathBytes(path)) ? path : DefaultRoot());
  f1.Drive1->setDrive(ReadSetting(settings, QStringLiteral("drive"), DefaultRoot()));
  f1.Text1->setText(ReadSetting(settings, QStringLiteral("numrides"), QStringLiteral("10")));
  for (QCheckBox* box : f2.Check1) LoadCheckBox(settings, box, box->text());
  LoadCheckBox(settings, f3.TrackNamesAsHyperlinks, QStringLiteral("Track Names as Hyperlinks"));
  // A checked value runs the exclusion toggle (the box's toggled signal) before the copy
  // box's own value is read.
  LoadCheckBox(settings, f3.Use_Zip_Files, QStringLiteral("Use Zip Files"));
  LoadCheckBox(settings, f3.Separate_By_Ride_Type, QStringLiteral("Separate By Ride Type"));
  LoadCheckBox(settings, f3.Copy_Tracks_To_Subdirectory,
               QStringLiteral("Copy Tracks to Subdirectory"));
  LoadCheckBox(settings, f3.Explorer_Page, QStringLiteral("Explorer Page"));
  f3.SortBy->setEditText(ReadSetting(settings, QStringLiteral("SortBy"), QString()));
  // One group: when both are true the later wins; both false leaves neither selected.
  LoadOption(settings, f3.SortAsc, QStringLiteral("SortAsc"), false);
  LoadOption(settings, f3.SortDesc, QStringLiteral("SortDesc"), true);
}

void SaveSettings(const Wizard& wizard, QSettings& settings) {
  const Form1& f1 = wizard.step1();
  const Form2& f2 = wizard.step2();
  const Form3& f3 = wizard.step3();

  WriteSetting(settings, QStringLiteral("path"), FromPathBytes(f1.File1->path()));
  for (int i = kColumnCount - 1; i >= 0; --i) {
    const QCheckBox* box = f2.Check1[static_cast<size_t>(i)];
    WriteSetting(settings, box->text(), StateText(box));
  }
  WriteSetting(settings, QStringLiteral("drive"), f1.Drive1->drive());
  WriteSetting(settings, QStringLiteral("numrides"), f1.Text1->text());
  for (const QCheckBox* box : {f3.Separate_By_Ride_Type, f3.Copy_Tracks_To_Subdirectory,
                               f3.TrackNamesAsHyperlinks, f3.Use_Zip_Files, f3.Explorer_Page}) {
    WriteSetting(settings, box->text(), StateText(box));
  }
  WriteSetting(settings, QStringLiteral("SortBy"), f3.SortBy->currentText());
  WriteSetting(settings, QStringLiteral("SortAsc"), TruthText(f3.SortAsc->isChecked()));
  WriteSetting(settings, QStringLiteral("SortDesc"), TruthText(f3.SortDesc->isChecked()));
}

}  // namespace velodex
