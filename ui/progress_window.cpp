#include "ui/progress_window.h"

#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/app_identity.h"
#include "ui/qt_text.h"
#include "ui/wizard_windows.h"

namespace velodex {

namespace {
// Item and count labels change once per design; handing events over more often than this
// would slow a large run for nothing the eye can see.
constexpr qint64 kEventIntervalMs = 50;
}  // namespace

form5::form5(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("form5"));
  AnnounceWindowsAsWindows();
  setWindowTitle(tr("Processing ..."));
  setWindowIcon(ProgramIcon());

  Label3 = new QLabel(this);
  Label3->setObjectName(QStringLiteral("Label3"));
  Label3->setWordWrap(true);
  Label3->setTextInteractionFlags(Qt::TextSelectableByMouse);
  Label2 = new QLabel(this);
  Label2->setObjectName(QStringLiteral("Label2"));
  Label1 = new QLabel(this);
  Label1->setObjectName(QStringLiteral("Label1"));
  CmdOpenPage = new QPushButton(tr("&Open Page"), this);
  CmdOpenPage->setObjectName(QStringLiteral("CmdOpenPage"));
  CmdOpenPage->setVisible(false);
  CmdOpenPage->setAutoDefault(true);
  CmdQuit = new QPushButton(tr("&Quit"), this);
  CmdQuit->setObjectName(QStringLiteral("CmdQuit"));
  CmdQuit->setVisible(false);
  CmdQuit->setDefault(true);
  CmdQuit->setAutoDefault(true);
  Unreadable = new QLabel(this);
  Unreadable->setObjectName(QStringLiteral("Unreadable"));
  Unreadable->setWordWrap(true);
  Unreadable->setTextInteractionFlags(Qt::TextSelectableByMouse);
  Unreadable->setTextFormat(Qt::PlainText);
  Unreadable->setVisible(false);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(Label3);
  layout->addWidget(Label2);
  layout->addWidget(Label1);
  layout->addWidget(Unreadable);
  layout->addStretch(1);
  auto* foot = new QHBoxLayout;
  foot->addStretch(1);
  foot->addWidget(CmdOpenPage);
  foot->addWidget(CmdQuit);
  layout->addLayout(foot);
  resize(460, 160);
  sinceEvents_.start();
}

QLabel* form5::labelFor(ProgressLabel label) const {
  switch (label) {
    case ProgressLabel::kCurrentItem:
      return Label1;
    case ProgressLabel::kCount:
      return Label2;
    case ProgressLabel::kStatus:
      break;
  }
  return Label3;
}

void form5::setText(ProgressLabel label, const std::string& text) {
  texts_[label] = text;
  labelFor(label)->setText(FromPathBytes(text));
}

std::string form5::text(ProgressLabel label) const {
  const auto it = texts_.find(label);
  return it == texts_.end() ? std::string() : it->second;
}

void form5::repaint(ProgressLabel label) {
  labelFor(label)->repaint();
  if (label == ProgressLabel::kStatus || sinceEvents_.elapsed() >= kEventIntervalMs) {
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    sinceEvents_.restart();
  }
}

void form5::reportUnreadable(const std::string& path, const std::string& cause) {
  if (Unreadable->isHidden()) {
    Unreadable->setText(tr("Not read (left as they are):"));
    Unreadable->setVisible(true);
  }
  Unreadable->setText(Unreadable->text() + QLatin1Char('\n') + FromPathBytes(path) +
                      QStringLiteral(": ") + FromPathBytes(cause));
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void form5::clearUnreadable() {
  Unreadable->clear();
  Unreadable->setVisible(false);
}

}  // namespace velodex
