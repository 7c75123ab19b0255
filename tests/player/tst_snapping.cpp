#include <QtTest>

#include "player/snapping.h"

class TestSnapping : public QObject {
  Q_OBJECT
 private slots:
  void snap_data();
  void snap();
  void pullIntoWorkArea_data();
  void pullIntoWorkArea();
};

Q_DECLARE_METATYPE(QRect)

void TestSnapping::snap_data() {
  QTest::addColumn<QRect>("workArea");
  QTest::addColumn<QPoint>("proposed");
  QTest::addColumn<QPoint>("expected");
  const QRect screen(0, 0, 1024, 768);
  // Window 344 x 116: right limit 680, bottom limit 652.
  QTest::newRow("free") << screen << QPoint(300, 300) << QPoint(300, 300);
  QTest::newRow("14 from left sticks") << screen << QPoint(14, 300) << QPoint(0, 300);
  QTest::newRow("15 from left stays") << screen << QPoint(15, 300) << QPoint(15, 300);
  QTest::newRow("14 from top sticks") << screen << QPoint(300, 14) << QPoint(300, 0);
  QTest::newRow("15 from top stays") << screen << QPoint(300, 15) << QPoint(300, 15);
  QTest::newRow("14 from bottom sticks") << screen << QPoint(300, 638) << QPoint(300, 652);
  QTest::newRow("15 from bottom stays") << screen << QPoint(300, 637) << QPoint(300, 637);
  QTest::newRow("14 from right sticks") << screen << QPoint(666, 300) << QPoint(680, 300);
  QTest::newRow("15 from right stays") << screen << QPoint(665, 300) << QPoint(665, 300);
  QTest::newRow("past the left edge") << screen << QPoint(-500, 300) << QPoint(0, 300);
  QTest::newRow("past the right edge, second monitor")
      << screen << QPoint(1500, 300) << QPoint(680, 300);
  QTest::newRow("corner") << screen << QPoint(-3, 900) << QPoint(0, 652);
  // Taskbar at the top (T = 30): the bottom limit is WH - H, 30 short of the bottom edge.
  const QRect topBar(0, 30, 1024, 738);
  QTest::newRow("top taskbar, top") << topBar << QPoint(300, 40) << QPoint(300, 30);
  QTest::newRow("top taskbar, bottom") << topBar << QPoint(300, 700) << QPoint(300, 622);
  // A work area smaller than the window: the later rules win.
  QTest::newRow("tiny work area") << QRect(0, 0, 200, 100) << QPoint(50, 50) << QPoint(-144, -16);
}

void TestSnapping::snap() {
  QFETCH(QRect, workArea);
  QFETCH(QPoint, proposed);
  QFETCH(QPoint, expected);
  QCOMPARE(SnapPosition(proposed, workArea, QSize(344, 116)), expected);
}

void TestSnapping::pullIntoWorkArea_data() {
  QTest::addColumn<QPoint>("saved");
  QTest::addColumn<QPoint>("expected");
  QTest::newRow("on screen") << QPoint(684, 442) << QPoint(684, 442);
  QTest::newRow("partly off to the right stays") << QPoint(1000, 442) << QPoint(1000, 442);
  QTest::newRow("partly above stays") << QPoint(100, -100) << QPoint(100, -100);
  QTest::newRow("gone monitor to the right") << QPoint(2500, 300) << QPoint(680, 300);
  QTest::newRow("gone monitor to the left") << QPoint(-1400, 300) << QPoint(0, 300);
  QTest::newRow("far below") << QPoint(100, 5000) << QPoint(100, 652);
  QTest::newRow("just touching the left edge stays") << QPoint(-343, 10) << QPoint(-343, 10);
  QTest::newRow("one pixel beyond the left edge") << QPoint(-344, 10) << QPoint(0, 10);
}

void TestSnapping::pullIntoWorkArea() {
  QFETCH(QPoint, saved);
  QFETCH(QPoint, expected);
  QCOMPARE(PullIntoWorkArea(saved, QRect(0, 0, 1024, 768), QSize(344, 116)), expected);
}

QTEST_GUILESS_MAIN(TestSnapping)
#include "tst_snapping.moc"
