// The wizard's real message box and input box: the application's title, the icon asked for,
// the texts as given, and the typed answer. Each test answers the modal box from a timer
// while it is open. (The yes/no question has no caller: archives are extracted over
// existing files without asking.)
#include "ui/message_prompts.h"

#include <QAbstractButton>
#include <QApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <functional>

namespace velodex::testing {

class MessagePromptsTest : public QObject {
  Q_OBJECT

 private:
  // Runs handler on the modal widget once it is shown.
  static void WhenModalShown(std::function<void(QWidget*)> handler) {
    auto* timer = new QTimer(qApp);
    QObject::connect(timer, &QTimer::timeout, [timer, handler] {
      QWidget* modal = QApplication::activeModalWidget();
      if (modal == nullptr) return;
      timer->stop();
      timer->deleteLater();
      handler(modal);
    });
    timer->start(10);
  }

 private slots:
  void messageShowsTheTitleTextAndIcon_data() {
    QTest::addColumn<int>("icon");
    QTest::addColumn<int>("expected");
    QTest::newRow("none") << int(MessageIcon::kNone) << int(QMessageBox::NoIcon);
    QTest::newRow("information") << int(MessageIcon::kInformation) << int(QMessageBox::Information);
    QTest::newRow("warning") << int(MessageIcon::kWarning) << int(QMessageBox::Warning);
    QTest::newRow("critical") << int(MessageIcon::kCritical) << int(QMessageBox::Critical);
  }

  void messageShowsTheTitleTextAndIcon() {
    QFETCH(int, icon);
    QFETCH(int, expected);
    QString title, text;
    int shownIcon = -1;
    int buttons = 0;
    WhenModalShown([&](QWidget* modal) {
      auto* box = qobject_cast<QMessageBox*>(modal);
      QVERIFY(box != nullptr);
      title = box->windowTitle();
      text = box->text();
      shownIcon = int(box->icon());
      buttons = int(box->standardButtons());
      box->button(QMessageBox::Ok)->click();
    });
    MessageBoxPrompts prompts;
    prompts.message("No Ride files found", static_cast<MessageIcon>(icon));
    QCOMPARE(title, QString("Velodex"));
    QCOMPARE(text, QString("No Ride files found"));
    QCOMPARE(shownIcon, expected);
    QCOMPARE(buttons, int(QMessageBox::Ok));
  }

  void askTextGivesTheTypedPasswordOrNothingOnCancel() {
    QString label;
    int echo = -1;
    WhenModalShown([&](QWidget* modal) {
      auto* dialog = qobject_cast<QInputDialog*>(modal);
      QVERIFY(dialog != nullptr);
      label = dialog->labelText();
      echo = int(dialog->textEchoMode());
      dialog->setTextValue("s3cret");
      dialog->accept();
    });
    MessageBoxPrompts prompts;
    QCOMPARE(prompts.askText("Please Enter The Password!"), std::optional<std::string>("s3cret"));
    QCOMPARE(label, QString("Please Enter The Password!"));
    QCOMPARE(echo, int(QLineEdit::Password));

    WhenModalShown([](QWidget* modal) { qobject_cast<QDialog*>(modal)->reject(); });
    QVERIFY(!prompts.askText("Please Enter The Password!").has_value());
  }
};

}  // namespace velodex::testing

QTEST_MAIN(velodex::testing::MessagePromptsTest)
#include "message_prompts_test.moc"
