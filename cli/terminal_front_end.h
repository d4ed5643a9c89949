// The batch front end's side of a run: progress on the terminal, messages on standard
// error, the archive password from the command line or a terminal prompt.
#pragma once

#include <chrono>
#include <cstdio>
#include <map>
#include <optional>
#include <string>

#include "catalogue/progress_display.h"

namespace velodex {

// Writes text, bytes as the system gives them, to stream. On Windows a console shows text in
// its own (OEM) code page, where the ANSI code page's "é" would read as another letter:
// text for a console goes to it as UTF-16, read from the ANSI code page. A pipe or a file gets
// the bytes themselves, as on POSIX.
void WriteText(std::FILE* stream, const std::string& text);

// On a terminal: one line on the terminal stream, rewritten in place with the status, the
// current item and the count, at most every 100 ms. Elsewhere: each new status text as a
// line of its own on statusOut (velodex-cli gives standard error for both).
class TerminalProgress final : public ProgressDisplay {
 public:
  TerminalProgress(std::FILE* statusOut, std::FILE* terminal, bool interactive);
  ~TerminalProgress() override;

  void setText(ProgressLabel label, const std::string& text) override;
  std::string text(ProgressLabel label) const override;
  void repaint(ProgressLabel label) override;
  // "velodex-cli: cannot read design 'PATH': CAUSE" on standard error.
  void reportUnreadable(const std::string& path, const std::string& cause) override;
  // Ends the updating line so that what follows starts on a fresh line.
  void finish();

 private:
  void drawLine();

  std::FILE* statusOut_;
  std::FILE* terminal_;
  bool interactive_;
  std::map<ProgressLabel, std::string> texts_;
  std::string lastStatusPrinted_;
  std::chrono::steady_clock::time_point lastDraw_{};
  bool lineOpen_ = false;
};

// Messages go to standard error; the password comes from --password, else from a prompt
// with echo off when standard input is a terminal, else there is none.
class TerminalPrompts final : public Prompts {
 public:
  TerminalPrompts(std::optional<std::string> password, bool interactive);

  void message(const std::string& text, MessageIcon icon) override;
  std::optional<std::string> askText(const std::string& prompt) override;
  ReplaceAnswer askYesNoCancel(const std::string& text, const std::string& title) override;

  // The last message shown, for the exit status.
  const std::string& lastMessage() const { return lastMessage_; }

 private:
  std::optional<std::string> password_;
  bool interactive_;
  std::string lastMessage_;
};

// Window moves mean nothing on a terminal; the run's outcome says where it ended.
class NoWindows final : public RunWindows {
 public:
  void showProgress() override {}
  void returnToFirstStep() override {}
  void offerQuit(const std::string&) override {}
};

}  // namespace velodex
