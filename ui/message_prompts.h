// The wizard's messages and questions as message boxes and an input box, titled with the
// application's title (the replace question carries its own title).
#pragma once

#include "catalogue/progress_display.h"

class QWidget;

namespace velodex {

class MessageBoxPrompts final : public Prompts {
 public:
  void message(const std::string& text, MessageIcon icon) override;
  // A password box: the typed text, or nullopt when the user cancels.
  std::optional<std::string> askText(const std::string& prompt) override;
  ReplaceAnswer askYesNoCancel(const std::string& text, const std::string& title) override;
};

}  // namespace velodex
