// Dialogs and menus stand wholly inside the screen's available area: placed where asked when
// they fit, else moved the least distance that makes them fit. Other windows are left alone.
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
  void shownWindows_data();
  void shownWindows();
  void menuPopsUpOnScreen_data();
  void menuPopsUpOnScreen();
};

namespace {
QRect Available() {
  return QGuiApplication::primaryScreen()->availableGeometry();
}
}  // namespace

void TestScreenFit::fitIntoArea_data() {
  QTest::addColumn<QRect>("frame");
  QTest::addColumn<QRect>("area");
  QTest::addColumn<QPoint>("expected");
  const QRect screen(0, 0, 1024, 768);
  // The folder dialog centred on the playlist window at the player's default place.
  QTest::newRow("below the bottom edge") << QRect(696, 426, 320, 380) << screen << QPoint(696, 388);
  QTest::newRow("fits: unchanged") << QRect(100, 100, 320, 380) << screen << QPoint(100, 100);
  QTest::newRow("touching the bottom right corner")
      << QRect(704, 388, 320, 380) << screen << QPoint(704, 388);
  QTest::newRow("one pixel past the right edge")
      << QRect(705, 100, 320, 380) << screen << QPoint(704, 100);
  QTest::newRow("left of the screen") << QRect(-50, 100, 320, 380) << screen << QPoint(0, 100);
  QTest::newRow("above the screen") << QRect(10, -5, 134, 44) << screen << QPoint(10, 0);
  QTest::newRow("panel on top, second screen to the right")
      << QRect(1100, 10, 134, 44) << QRect(1024, 28, 1280, 996) << QPoint(1100, 28);
  QTest::newRow("off both far edges of a shifted area")
      << QRect(2250, 1000, 134, 44) << QRect(1024, 28, 1280, 996) << QPoint(2170, 980);
  QTest::newRow("taller than the area: top edge on the area's")
      << QRect(10, 300, 320, 900) << screen << QPoint(10, 0);
  QTest::newRow("wider than the area: left edge on the area's")
      << QRect(500, 10, 1200, 100) << screen << QPoint(0, 10);
}

void TestScreenFit::fitIntoArea() {
  QFETCH(QRect, frame);
  QFETCH(QRect, area);
  QTEST(FitIntoArea(frame, area), "expected");
}

void TestScreenFit::shownWindows_data() {
  QTest::addColumn<QString>("kind");
  QTest::addColumn<QPoint>("offset");  // from the bottom-right corner of the available area
  QTest::addColumn<bool>("fitted");
  QTest::newRow("dialog below the bottom edge") << "dialog" << QPoint(-150, -40) << true;
  QTest::newRow("dialog past the right edge") << "dialog" << QPoint(-60, -150) << true;
  QTest::newRow("dialog that fits stays") << "dialog" << QPoint(-250, -250) << true;
  QTest::newRow("plain window is left alone") << "window" << QPoint(-150, -40) << false;
}

void TestScreenFit::shownWindows() {
  QFETCH(QString, kind);
  QFETCH(QPoint, offset);
  QFETCH(bool, fitted);
  TScreenFit fit;
  qApp->installEventFilter(&fit);
  std::unique_ptr<QWidget> window =
      kind == "dialog" ? std::make_unique<QDialog>() : std::make_unique<QWidget>();
  window->resize(200, 120);
  const QRect area = Available();
  const QPoint wanted = area.bottomRight() + QPoint(1, 1) + offset;
  window->move(wanted);
  window->show();
  QVERIFY(QTest::qWaitForWindowExposed(window.get()));
  QCoreApplication::processEvents();
  const QRect frame = window->frameGeometry();
  if (fitted) {
    QVERIFY2(area.contains(frame), qPrintable(QString("%1,%2 %3x%4")
                                                  .arg(frame.x())
                                                  .arg(frame.y())
                                                  .arg(frame.width())
                                                  .arg(frame.height())));
    // The least move, give or take the frame the test platform draws around windows.
    const QPoint least = FitIntoArea(QRect(wanted, frame.size()), area);
    const QSize margins = frame.size() - window->size();
    QVERIFY(qAbs(frame.x() - least.x()) <= margins.width());
    QVERIFY(qAbs(frame.y() - least.y()) <= margins.height());
  } else {
    QCOMPARE(frame.topLeft(), wanted);
  }
  qApp->removeEventFilter(&fit);
}

void TestScreenFit::menuPopsUpOnScreen_data() {
  QTest::addColumn<QPoint>("offset");  // from the bottom-left corner of the available area
  QTest::addColumn<bool>("moved");
  QTest::newRow("room below") << QPoint(100, -300) << false;
  QTest::newRow("at the bottom edge: lifted, not flipped") << QPoint(100, -10) << true;
}

void TestScreenFit::menuPopsUpOnScreen() {
  QFETCH(QPoint, offset);
  QFETCH(bool, moved);
  QMenu menu;
  menu.addAction("Add Directory");
  menu.addAction("Add File");
  const QRect area = Available();
  const QPoint at = area.bottomLeft() + QPoint(0, 1) + offset;
  PopupOnScreen(&menu, at);
  QVERIFY(QTest::qWaitForWindowExposed(&menu));
  const QRect shown = menu.geometry();
  QVERIFY(area.contains(shown));
  QCOMPARE(shown.x(), at.x());
  if (moved)
    QCOMPARE(shown.bottom(), area.bottom());  // the least move, not opened above the point
  else
    QCOMPARE(shown.topLeft(), at);
  menu.close();
}

QTEST_MAIN(TestScreenFit)
#include "tst_screenfit.moc"
