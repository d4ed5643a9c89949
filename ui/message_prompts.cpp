#include "ui/message_prompts.h"

#include <QApplication>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>

#include "ui/app_identity.h"
#include "ui/qt_text.h"

namespace velodex {

namespace {

QMessageBox::Icon ToQtIcon(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::kInformation:
      return QMessageBox::Information;
    case MessageIcon::kWarning:
      return QMessageBox::Warning;
    case MessageIcon::kCritical:
      return QMessageBox::Critical;
    case MessageIcon::kNone:
      break;
  }
  return QMessageBox::NoIcon;
}

// Over whichever wizard window is shown, so the box is centred on it.
QWidget* ShownWindow() { return QApplication::activeWindow(); }

}  // namespace

void MessageBoxPrompts::message(const std::string& text, MessageIcon icon) {
  QMessageBox box(ToQtIcon(icon), QString::fromLatin1(kApplicationTitle), FromPathBytes(text),
                  QMessageBox::Ok, ShownWindow());
  box.exec();
}

std::optional<std::string> MessageBoxPrompts::askText(const std::string& prompt) {
  bool accepted = false;
  const QString answer =
      QInputDialog::getText(ShownWindow(), QString::fromLatin1(kApplicationTitle),
                            FromBytes(prompt), QLineEdit::Password, QString(), &accepted);
  if (!accepted) return std::nullopt;
  return ToBytes(answer);
}

ReplaceAnswer MessageBoxPrompts::askYesNoCancel(const std::string& text, const std::string& title) {
  QMessageBox box(QMessageBox::Warning, FromBytes(title), FromPathBytes(text),
                  QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, ShownWindow());
  box.setDefaultButton(QMessageBox::Yes);
  switch (box.exec()) {
    case QMessageBox::Yes:
      return ReplaceAnswer::kYes;
    case QMessageBox::No:
      return ReplaceAnswer::kNo;
    default:
      return ReplaceAnswer::kCancel;
  }
}

}  // namespace velodex
