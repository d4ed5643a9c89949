#include "cli/terminal_front_end.h"

#include <iostream>

#ifndef _WIN32
#include <termios.h>
#include <unistd.h>
#endif

namespace velodex {

namespace {
constexpr auto kRedrawInterval = std::chrono::milliseconds(100);
}

TerminalProgress::TerminalProgress(std::FILE* statusOut, std::FILE* terminal, bool interactive)
    : statusOut_(statusOut), terminal_(terminal), interactive_(interactive) {}

TerminalProgress::~TerminalProgress() { finish(); }

void TerminalProgress::setText(ProgressLabel label, const std::string& text) {
  texts_[label] = text;
}

std::string TerminalProgress::text(ProgressLabel label) const {
  auto it = texts_.find(label);
  return it == texts_.end() ? std::string() : it->second;
}

void TerminalProgress::repaint(ProgressLabel label) {
  if (!interactive_) {
    // Only the status lines, each once, so a log of a batch run stays short.
    const std::string status = text(ProgressLabel::kStatus);
    if (label == ProgressLabel::kStatus && status != lastStatusPrinted_) {
      std::fprintf(statusOut_, "%s\n", status.c_str());
      lastStatusPrinted_ = status;
    }
    return;
  }
  const auto now = std::chrono::steady_clock::now();
  // A new status always shows at once; item and count updates are throttled.
  if (label != ProgressLabel::kStatus && now - lastDraw_ < kRedrawInterval) return;
  lastDraw_ = now;
  drawLine();
}

void TerminalProgress::drawLine() {
  std::string line = text(ProgressLabel::kStatus);
  const std::string item = text(ProgressLabel::kCurrentItem);
  const std::string count = text(ProgressLabel::kCount);
  if (!item.empty()) line += "  " + item;
  if (!count.empty()) line += "  (" + count + ")";
  // \r plus "erase to end of line" rewrites the line in place.
  std::fprintf(terminal_, "\r%s\033[K", line.c_str());
  std::fflush(terminal_);
  lineOpen_ = true;
}

void TerminalProgress::reportUnreadable(const std::string& path, const std::string& cause) {
  finish();
  std::fprintf(terminal_, "velodex-cli: cannot read design '%s': %s\n", path.c_str(),
               cause.c_str());
}

void TerminalProgress::finish() {
  if (lineOpen_) {
    std::fputc('\n', terminal_);
    std::fflush(terminal_);
    lineOpen_ = false;
  }
}

TerminalPrompts::TerminalPrompts(std::optional<std::string> password, bool interactive)
    : password_(std::move(password)), interactive_(interactive) {}

void TerminalPrompts::message(const std::string& text, MessageIcon) {
  lastMessage_ = text;
  std::fprintf(stderr, "%s\n", text.c_str());
}

std::optional<std::string> TerminalPrompts::askText(const std::string& prompt) {
  if (password_) return password_;
  if (!interactive_) return std::nullopt;
  std::fprintf(stderr, "%s ", prompt.c_str());
  std::fflush(stderr);
  std::string answer;
#ifndef _WIN32
  termios saved{};
  const bool canHide = tcgetattr(STDIN_FILENO, &saved) == 0;
  if (canHide) {
    termios hidden = saved;
    hidden.c_lflag &= static_cast<tcflag_t>(~ECHO);
    tcsetattr(STDIN_FILENO, TCSANOW, &hidden);
  }
  const bool got = static_cast<bool>(std::getline(std::cin, answer));
  if (canHide) tcsetattr(STDIN_FILENO, TCSANOW, &saved);
#else
  const bool got = static_cast<bool>(std::getline(std::cin, answer));
#endif
  std::fputc('\n', stderr);
  if (!got) return std::nullopt;
  return answer;
}

ReplaceAnswer TerminalPrompts::askYesNoCancel(const std::string& text, const std::string&) {
  // Without a terminal the files in question are the extraction folder's own: replace them.
  if (!interactive_) return ReplaceAnswer::kYes;
  for (;;) {
    std::fprintf(stderr, "%s [y]es/[n]o/[c]ancel: ", text.c_str());
    std::fflush(stderr);
    std::string answer;
    if (!std::getline(std::cin, answer)) return ReplaceAnswer::kCancel;
    if (answer == "y" || answer == "Y") return ReplaceAnswer::kYes;
    if (answer == "n" || answer == "N") return ReplaceAnswer::kNo;
    if (answer == "c" || answer == "C") return ReplaceAnswer::kCancel;
  }
}

}  // namespace velodex
