// Shared helpers for the test executables: a fresh temporary folder per test, small file
// helpers, and recording fakes of the front end's interfaces.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "catalogue/catalogue_database.h"
#include "catalogue/file_lister.h"
#include "catalogue/progress_display.h"
#include "catalogue/ride_type_table.h"
#include "catalogue/run_options.h"
#include "run/run_context.h"

namespace velodex::testing {

// A fresh, empty folder under the system's temporary folder, removed with its contents
// when the object goes away.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::string& path() const { return path_; }
  // PathIn(path(), name)
  std::string operator/(const std::string& name) const;

 private:
  std::string path_;
};

// folder joined with a relative path written with "/", in the platform's separators, as the
// program itself would spell the path.
std::string PathIn(const std::string& folder, std::string relative);

// Makes a symbolic link at link to target; false where the system makes none for this user
// (Windows without the privilege), so a test checks what links do only where they exist.
bool MakeLink(const std::string& target, const std::string& link);

// Whole-file helpers that fail the current test (and throw) when the file system refuses.
std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& bytes);
// The message of the Error that action throws, or "no error".
std::string ErrorOf(const std::function<void()>& action);
// Names of the entries directly in folder, sorted.
std::vector<std::string> ListFolder(const std::string& folder);

// The folder of the real design files kept beside the repository, or empty when absent.
std::string RealTracksFolder();

// Records every label change and repaint, in order, as "set <label>=<text>" and
// "repaint <label>" with label 1, 2 or 3, and unreadable designs as "unreadable PATH: CAUSE".
class RecordingProgress final : public ProgressDisplay {
 public:
  void setText(ProgressLabel label, const std::string& text) override;
  std::string text(ProgressLabel label) const override;
  void repaint(ProgressLabel label) override;
  void reportUnreadable(const std::string& path, const std::string& cause) override {
    events.push_back("unreadable " + path + ": " + cause);
  }

  std::vector<std::string> events;

 private:
  std::map<ProgressLabel, std::string> texts_;
};

// Records messages and answers the password question from a queue set up by the test. The
// run asks no yes/no question.
class ScriptedPrompts final : public Prompts {
 public:
  void message(const std::string& text, MessageIcon icon) override;
  std::optional<std::string> askText(const std::string& prompt) override;
  ReplaceAnswer askYesNoCancel(const std::string&, const std::string&) override {
    ADD_FAILURE() << "the run asked a yes/no question";
    return ReplaceAnswer::kCancel;
  }

  struct Message {
    std::string text;
    MessageIcon icon;
  };
  std::vector<Message> messages;
  std::vector<std::string> textPrompts;                 // prompts asked through askText
  std::vector<std::optional<std::string>> textAnswers;  // consumed front first
  std::string askTextFailure;  // when set, askText throws Error with this text
};

// Records the run's window moves as "progress", "first step" and "quit", and the page the
// completed run offers to open.
class RecordingWindows final : public RunWindows {
 public:
  void showProgress() override { moves.push_back("progress"); }
  void returnToFirstStep() override { moves.push_back("first step"); }
  void offerQuit(const std::string& page) override {
    moves.push_back("quit");
    offeredPage = page;
  }

  std::vector<std::string> moves;
  std::string offeredPage;
};

// Everything a run or a scan needs, over a fresh temporary folder: designs/ for the user's
// files, db/ holding a new empty catalogue, and the unknown ride type log beside them. The
// context refers to the members, so a test changes a choice or an answer through them.
class RunHarness {
 public:
  RunHarness();

  std::string unknownsLog() const { return temp / "unknowns.txt"; }
  // Every catalogue row as column name -> value, ordered by orderBy.
  std::vector<std::map<std::string, FieldValue>> catalogueRows(
      const std::string& orderBy = "File_Name, zipfilename");

  TempFolder temp;
  std::string designs;
  std::string databaseFolder;
  PlainRunOptions options;
  DirectoryLister runLister;
  DirectoryLister scanLister;
  RecordingProgress progress;
  RecordingWindows windows;
  ScriptedPrompts prompts;
  RideTypeTable rideTypes;
  RunSession session;
  // Built last, over the members above.
  RunContext context;
};

}  // namespace velodex::testing
