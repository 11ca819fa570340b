// The two-thumb position bar: positions, the change signals the code can
// silence, and the mouse.
#include <QSignalSpy>
#include <QTest>

#include "app/window/range_bar.h"

class RangeBarTest : public QObject {
  Q_OBJECT

 private slots:
  void DesignValues() {
    RangeBar bar;
    QCOMPARE(bar.objectName(), QString("PositionRangeBar"));
    QCOMPARE(bar.Max(), 1);
    QCOMPARE(bar.Low(), 0);
    QCOMPARE(bar.High(), 1);
    QCOMPARE(bar.PageSize(), 120);
    QCOMPARE(bar.TickFrequency(), 1200);
    QCOMPARE(bar.ThumbWidth(), 3);
    QVERIFY(!bar.HighThumbVisible());
    QCOMPARE(bar.cursor().shape(), Qt::PointingHandCursor);
  }

  void ChangesAreSignalledUnlessSilenced() {
    RangeBar bar;
    bar.SetMax(600);
    bar.SetHigh(600);
    QSignalSpy low(&bar, &RangeBar::lowChanged);
    QSignalSpy high(&bar, &RangeBar::highChanged);
    bar.SetLow(30);
    QCOMPARE(low.count(), 1);
    QCOMPARE(low.takeFirst().at(0).toInt(), 30);
    bar.SetLow(30);  // no change, no signal
    QCOMPARE(low.count(), 0);
    {
      RangeBar::QuietScope quiet(bar);
      QVERIFY(!bar.ChangesEnabled());
      bar.SetLow(40);
      bar.SetHigh(500);
    }
    QVERIFY(bar.ChangesEnabled());
    QCOMPARE(low.count(), 0);
    QCOMPARE(high.count(), 0);
    QCOMPARE(bar.Low(), 40);
    QCOMPARE(bar.High(), 500);
  }

  void LowStaysAtOrBelowHighAndBothWithinMax() {
    RangeBar bar;
    bar.SetMax(100);
    bar.SetHigh(80);
    bar.SetLow(95);
    QCOMPARE(bar.Low(), 80);
    bar.SetLow(-5);
    QCOMPARE(bar.Low(), 0);
    bar.SetLow(70);
    // A shorter title pulls both thumbs back, high first.
    QSignalSpy low(&bar, &RangeBar::lowChanged);
    QSignalSpy high(&bar, &RangeBar::highChanged);
    bar.SetMax(50);
    QCOMPARE(bar.High(), 50);
    QCOMPARE(bar.Low(), 50);
    QCOMPARE(high.count(), 1);
    QCOMPARE(low.count(), 1);
  }

  void DraggingTheLowThumbSignalsEveryMoveBetweenDownAndUp() {
    RangeBar bar;
    bar.resize(485, 17);
    bar.SetMax(467);  // one second per pixel along the 467-pixel track
    bar.SetHigh(467);
    QSignalSpy down(&bar, &RangeBar::mouseDown);
    QSignalSpy up(&bar, &RangeBar::mouseUp);
    QSignalSpy low(&bar, &RangeBar::lowChanged);
    QTest::mousePress(&bar, Qt::LeftButton, {}, QPoint(bar.XOf(0), 8));
    QCOMPARE(down.count(), 1);
    QVERIFY(bar.IsMouseDown());
    QTest::mouseMove(&bar, QPoint(bar.XOf(100), 8));
    QTest::mouseMove(&bar, QPoint(bar.XOf(200), 8));
    QCOMPARE(bar.Low(), 200);
    QCOMPARE(low.count(), 2);
    QTest::mouseRelease(&bar, Qt::LeftButton, {}, QPoint(bar.XOf(200), 8));
    QCOMPARE(up.count(), 1);
    QVERIFY(!bar.IsMouseDown());
  }

  void ClickBesideTheThumbMovesOnePage() {
    RangeBar bar;
    bar.resize(485, 17);
    bar.SetMax(4670);  // ten seconds per pixel
    bar.SetHigh(4670);
    QTest::mouseClick(&bar, Qt::LeftButton, {}, QPoint(bar.XOf(3000), 8));
    QCOMPARE(bar.Low(), 120);
    QTest::mouseClick(&bar, Qt::LeftButton, {}, QPoint(bar.XOf(3000), 8));
    QCOMPARE(bar.Low(), 240);
    QTest::mouseClick(&bar, Qt::LeftButton, {}, QPoint(bar.XOf(150), 8));
    QCOMPARE(bar.Low(), 150);  // a page back would pass the click
  }

  void PositionsAndPixelsMeetAtTheTrackEnds() {
    RangeBar bar;
    bar.resize(485, 17);
    bar.SetMax(3600);
    QCOMPARE(bar.XOf(0), RangeBar::kTrackInset);
    QCOMPARE(bar.XOf(3600), 485 - RangeBar::kTrackInset);
    QCOMPARE(bar.PositionAt(0), 0);
    QCOMPARE(bar.PositionAt(485), 3600);
  }
};

QTEST_MAIN(RangeBarTest)
#include "test_range_bar.moc"
