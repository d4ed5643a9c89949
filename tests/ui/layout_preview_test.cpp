// Step 1's preview: selecting a design in the file list draws its layout and states its
// footprint; a file that is no design, or no selection, draws nothing and says so.
#include "ui/layout_preview.h"

#include <QFile>
#include <QImage>
#include <QLabel>
#include <QTest>

#include "tests/ui/ui_test_support.h"
#include "tools/design_encoder.h"
#include "ui/qt_text.h"

namespace velodex::testing {

class LayoutPreviewTest : public QObject {
  Q_OBJECT

 private slots:
  void selectingADesignDrawsItsLayout_data() {
    // A station and four 5-tile right turns round three straights (worked out by hand).
    Table({"file", "facts", "drawn"},
          {{"circuit", "Oval.td4", "6 by 9 tiles, 10 pieces, rise 0, dip 0, closed circuit", "yes"},
           {"not a design", "Broken.td4", "Not a track design that can be read", ""}});
  }

  void selectingADesignDrawsItsLayout() {
    QFETCH(QString, file);
    QFETCH(QString, facts);
    QFETCH(QString, drawn);
    WizardBench bench;
    DesignParams oval;
    oval.track =
        std::vector<TrackElement>{{0x02, 0}, {0x03, 0}, {0x01, 0x08}, {0x11, 0}, {0x11, 0},
                                  {0x00, 0}, {0x00, 0}, {0x00, 0},    {0x11, 0}, {0x11, 0}};
    WriteDesignFile(ToPathBytes(bench.designs() + "/Oval.td4"), oval);
    QFile broken(bench.designs() + "/Broken.td4");
    QVERIFY(broken.open(QIODevice::WriteOnly) && broken.write("not a design") > 0);
    broken.close();

    Wizard& wizard = bench.load();
    Form1& step1 = wizard.step1();
    step1.Dir1->setPath(bench.designs());
    QTRY_COMPARE(step1.File1->QListWidget::count(), 2);
    QCOMPARE(step1.Preview->Facts->text(), QStringLiteral("Select a design to see its layout"));
    step1.File1->setCurrentItem(step1.File1->findItems(file, Qt::MatchExactly).value(0));
    QCOMPARE(step1.Preview->Facts->text(), facts);
    // The station is drawn in its red on the plan.
    const QImage picture = step1.Preview->grab().toImage();
    bool red = false;
    for (int y = 0; y < picture.height() && !red; ++y) {
      for (int x = 0; x < picture.width() && !red; ++x) {
        red = picture.pixelColor(x, y) == QColor(0xdd, 0x33, 0x33);
      }
    }
    QCOMPARE(red, !drawn.isEmpty());
  }
};

}  // namespace velodex::testing

QTEST_MAIN(velodex::testing::LayoutPreviewTest)
#include "layout_preview_test.moc"
