// The progress display of a run and the window moves and questions the run needs from its
// front end. The wizard implements them over its windows, the batch front end over the
// terminal, the tests with recording fakes.
#pragma once

#include <optional>
#include <string>

namespace velodex {

enum class ProgressLabel {
  kCurrentItem,  // Label1: a design number or a ride type name
  kCount,        // Label2: a count
  kStatus,       // Label3: the status line
};

class ProgressDisplay {
 public:
  virtual ~ProgressDisplay() = default;
  // Sets a label's text; it shows on screen at the next repaint (or when the run returns).
  virtual void setText(ProgressLabel label, const std::string& text) = 0;
  virtual std::string text(ProgressLabel label) const = 0;
  // Shows the label's current text at once.
  virtual void repaint(ProgressLabel label) = 0;
  // A listed design that could not be read (cause in the system's words). It keeps its name
  // and gets no catalogue row; the run goes on.
  virtual void reportUnreadable(const std::string& path, const std::string& cause) = 0;
};

enum class MessageIcon { kNone, kInformation, kWarning, kCritical };

enum class ReplaceAnswer { kYes, kNo, kCancel };

// Messages and questions, shown with the application's title.
class Prompts {
 public:
  virtual ~Prompts() = default;
  // A message with the OK button only.
  virtual void message(const std::string& text, MessageIcon icon) = 0;
  // Asks for a text (the archive password); nullopt when the user cancels.
  virtual std::optional<std::string> askText(const std::string& prompt) = 0;
  // A Yes/No/Cancel question with a warning icon under its own title.
  virtual ReplaceAnswer askYesNoCancel(const std::string& text, const std::string& title) = 0;
};

// The window moves of a run.
class RunWindows {
 public:
  virtual ~RunWindows() = default;
  // Hides the third wizard step and shows the progress window.
  virtual void showProgress() = 0;
  // Hides the progress window and shows the first wizard step (after an empty folder).
  virtual void returnToFirstStep() = 0;
  // The run has completed: makes the progress window's quit button visible and names the page
  // it wrote (the one its status line names), which the front end may offer to open.
  virtual void offerQuit(const std::string& page) = 0;
};

}  // namespace velodex
