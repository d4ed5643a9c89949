// Shared by the wizard's Qt tests: a wizard over a fresh temporary folder (its own settings
// file, an empty catalogue, a designs folder) with prompts that record instead of blocking.
#pragma once

#include <QAbstractButton>
#include <QSettings>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "catalogue/progress_display.h"
#include "ui/desktop_actions.h"
#include "ui/wizard.h"

namespace velodex::testing {

// Records every message and declines every question; never shows a window.
class RecordingPrompts final : public Prompts {
 public:
  struct Message {
    std::string text;
    MessageIcon icon;
  };

  void message(const std::string& text, MessageIcon icon) override {
    messages.push_back({text, icon});
  }
  std::optional<std::string> askText(const std::string&) override { return std::nullopt; }
  ReplaceAnswer askYesNoCancel(const std::string&, const std::string&) override {
    return ReplaceAnswer::kCancel;
  }

  std::vector<Message> messages;
};

// Answers the folder dialog as told and records the pages it was asked to open.
class RecordingDesktop final : public DesktopActions {
 public:
  QString chooseFolder(QWidget*, const QString& start) override {
    folderStarts << start;
    return folderAnswer;
  }
  bool openPage(const QString& page) override {
    openedPages << page;
    return opens;
  }

  QString folderAnswer;
  bool opens = true;
  QStringList folderStarts;
  QStringList openedPages;
};

// A temporary folder holding settings.ini, db/velodex.mdb (empty) and designs/.
class WizardBench {
 public:
  WizardBench();

  // Settings as the wizard would store them, for preparing or inspecting the store.
  QSettings& settings() { return *settings_; }
  // Loads a wizard over the store as it is now (the first window's load).
  Wizard& load();
  Wizard& wizard() { return *wizard_; }
  // Drops the wizard, as when the program has ended.
  void unload() { wizard_.reset(); }

  QString designs() const;
  QString databaseFolder() const;
  QString settingsFile() const;

  RecordingPrompts prompts;
  RecordingDesktop desktop;

 private:
  QTemporaryDir temp_;
  std::unique_ptr<QSettings> settings_;
  std::unique_ptr<Wizard> wizard_;
};

// The object names of the wizard windows shown now, of Form1, Form2, Form3 and form5.
QStringList ShownWindows(const Wizard& wizard);

// A Qt Test table of text columns: one row per entry, the row's name first, then its values.
void Table(const QStringList& columns, std::initializer_list<QStringList> rows);

// Clicks a check box or option button on its indicator, as the user would.
void ClickBox(QAbstractButton* box);

// Writes a design file of the given ride type code and excitement (tenths) into folder.
void WriteDesign(const QString& folder, const QString& name, int rideTypeCode, int excitement);

}  // namespace velodex::testing
