// Dialogs and menus stand wholly inside the screen's available area: placed where asked when
// they fit, else moved the least distance that makes them fit.
#include <QDialog>
#include <QMenu>
#include <QScreen>
#include <QtTest>

#include "platform/screenfit.h"

class TestScreenFit : public QObject {
  Q_OBJECT
 private slots:
  void fitIntoArea_data();
  void fitIntoArea();
  void dialogBelowTheBottomEdge();
  void menuPopsUpOnScreen();
};

void TestScreenFit::fitIntoArea_data() {
  QTest::addColumn<QRect>("frame");
  QTest::addColumn<QRect>("area");
  QTest::addColumn<QPoint>("expected");
  const QRect screen(0, 0, 1024, 768), shifted(1024, 28, 1280, 996);
  QTest::newRow("touching the corner: unchanged")
      << QRect(704, 388, 320, 380) << screen << QPoint(704, 388);
  QTest::newRow("one pixel past the right edge")
      << QRect(705, 100, 320, 380) << screen << QPoint(704, 100);
  QTest::newRow("off both far edges of a shifted area")
      << QRect(2250, 1000, 134, 44) << shifted << QPoint(2170, 980);
  QTest::newRow("taller than the area: top edge on the area's")
      << QRect(10, 300, 320, 900) << screen << QPoint(10, 0);
}

void TestScreenFit::fitIntoArea() {
  QFETCH(QRect, frame);
  QFETCH(QRect, area);
  QTEST(FitIntoArea(frame, area), "expected");
}

void TestScreenFit::dialogBelowTheBottomEdge() {
  TScreenFit fit;
  qApp->installEventFilter(&fit);
  QDialog window;
  window.resize(200, 120);
  const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
  const QPoint wanted = area.bottomRight() + QPoint(-149, -39);
  window.move(wanted);
  window.show();
  QVERIFY(QTest::qWaitForWindowExposed(&window));
  QCoreApplication::processEvents();
  const QRect frame = window.frameGeometry();
  qApp->removeEventFilter(&fit);
  QVERIFY(area.contains(frame));
  // The least move, give or take the frame the test platform draws around windows.
  const QPoint least = FitIntoArea(QRect(wanted, frame.size()), area);
  const QSize margins = frame.size() - window.size();
  QVERIFY(qAbs(frame.x() - least.x()) <= margins.width());
  QVERIFY(qAbs(frame.y() - least.y()) <= margins.height());
}

// A menu at the bottom edge is lifted the least distance, not opened above the point.
void TestScreenFit::menuPopsUpOnScreen() {
  QMenu menu;
  menu.addAction("Add Directory");
  menu.addAction("Add File");
  const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
  PopupOnScreen(&menu, area.bottomLeft() + QPoint(100, -9));
  QVERIFY(QTest::qWaitForWindowExposed(&menu));
  QCOMPARE(menu.geometry().bottomLeft(), area.bottomLeft() + QPoint(100, 0));
  menu.close();
}

QTEST_MAIN(TestScreenFit)
#include "tst_screenfit.moc"
