#include "cli/terminal_front_end.h"

#include <iostream>
#include <string>

#ifdef _WIN32
#include <io.h>

#include "catalogue/windows_api.h"
#else
#include <termios.h>
#include <unistd.h>
#endif

namespace velodex {

namespace {
constexpr auto kRedrawInterval = std::chrono::milliseconds(100);
}

void WriteText(std::FILE* stream, const std::string& text) {
#ifdef _WIN32
  const auto console = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
  DWORD mode = 0;
  if (console != INVALID_HANDLE_VALUE && GetConsoleMode(console, &mode) != 0 && !text.empty()) {
    const int size = static_cast<int>(text.size());
    std::wstring wide(
        static_cast<size_t>(MultiByteToWideChar(CP_ACP, 0, text.data(), size, nullptr, 0)), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), size, wide.data(), static_cast<int>(wide.size()));
    std::fflush(stream);
    DWORD written = 0;
    if (WriteConsoleW(console, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr)) {
      return;
    }
  }
#endif
  std::fwrite(text.data(), 1, text.size(), stream);
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
      WriteText(statusOut_, status + "\n");
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
  WriteText(terminal_, "\r" + line + "\033[K");
  std::fflush(terminal_);
  lineOpen_ = true;
}

void TerminalProgress::reportUnreadable(const std::string& path, const std::string& cause) {
  finish();
  WriteText(terminal_, "velodex-cli: cannot read design '" + path + "': " + cause + "\n");
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
  WriteText(stderr, text + "\n");
}

std::optional<std::string> TerminalPrompts::askText(const std::string& prompt) {
  if (password_) return password_;
  if (!interactive_) return std::nullopt;
  WriteText(stderr, prompt + " ");
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
  const HANDLE console = GetStdHandle(STD_INPUT_HANDLE);
  DWORD saved = 0;
  const bool canHide = GetConsoleMode(console, &saved) != 0;
  if (canHide) SetConsoleMode(console, saved & ~static_cast<DWORD>(ENABLE_ECHO_INPUT));
  const bool got = static_cast<bool>(std::getline(std::cin, answer));
  if (canHide) SetConsoleMode(console, saved);
#endif
  std::fputc('\n', stderr);
  if (!got) return std::nullopt;
  return answer;
}

ReplaceAnswer TerminalPrompts::askYesNoCancel(const std::string& text, const std::string&) {
  // Without a terminal the files in question are the extraction folder's own: replace them.
  if (!interactive_) return ReplaceAnswer::kYes;
  for (;;) {
    WriteText(stderr, text + " [y]es/[n]o/[c]ancel: ");
    std::fflush(stderr);
    std::string answer;
    if (!std::getline(std::cin, answer)) return ReplaceAnswer::kCancel;
    if (answer == "y" || answer == "Y") return ReplaceAnswer::kYes;
    if (answer == "n" || answer == "N") return ReplaceAnswer::kNo;
    if (answer == "c" || answer == "C") return ReplaceAnswer::kCancel;
  }
}

}  // namespace velodex
