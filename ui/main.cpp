// velodex: the desktop wizard. Opens step 1; the progress window's Quit or the Quit menu ends
// the program.
#include <QApplication>
#include <QSettings>

#include "catalogue/file_system.h"
#include "ui/app_identity.h"
#include "ui/desktop_actions.h"
#include "ui/message_prompts.h"
#include "ui/settings_store.h"
#include "ui/wizard.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  velodex::SetUpApplication();

  QSettings settings(QSettings::NativeFormat, QSettings::UserScope,
                     QString::fromLatin1(velodex::kSettingsApplication),
                     QString::fromLatin1(velodex::kSettingsApplication));
  velodex::MessageBoxPrompts prompts;
  velodex::SystemDesktop desktop;
  velodex::Wizard wizard(settings, prompts, desktop,
                         {std::string(), velodex::DefaultUnknownsLog()});
  QObject::connect(&wizard, &velodex::Wizard::allWindowsClosed, &app, &QApplication::quit,
                   Qt::QueuedConnection);
  wizard.start();
  return QApplication::exec();
}
