// Work that waits for the windows' first paint: made once, after every shown window painted.
#include <QElapsedTimer>
#include <QTest>
#include <QWidget>
#include <memory>

#include "platform/firstpaint.h"

class TestFirstPaint : public QObject {
  Q_OBJECT

 private slots:
  // shown: which of the two widgets are shown before watching; painted: which had their
  // first paint before the watch began (they hold it off only until the deadline).
  void callsOnceAfterEveryShownWidgetPainted_data() {
    QTest::addColumn<QList<bool>>("shown");
    QTest::addColumn<bool>("paintedBefore");
    QTest::addColumn<int>("atMostMs");
    QTest::newRow("both shown") << QList<bool>{true, true} << false << 1000;
    QTest::newRow("one hidden") << QList<bool>{true, false} << false << 1000;
    QTest::newRow("none shown") << QList<bool>{false, false} << false << 1000;
    QTest::newRow("painted before, so only the deadline")
        << QList<bool>{true, true} << true << TFirstPaint::kDeadlineMs + 1000;
  }
  void callsOnceAfterEveryShownWidgetPainted() {
    QFETCH(QList<bool>, shown);
    QFETCH(bool, paintedBefore);
    QFETCH(int, atMostMs);
    QWidget a, b;
    a.resize(40, 20);
    b.resize(40, 20);
    if (shown[0]) a.show();
    if (shown[1]) b.show();
    if (paintedBefore) {
      QVERIFY(QTest::qWaitForWindowExposed(&a));
      QVERIFY(QTest::qWaitForWindowExposed(&b));
      QTest::qWait(50);
    }
    int calls = 0;
    QObject owner;
    new TFirstPaint(
        {&a, &b, nullptr}, [&] { ++calls; }, &owner);
    // Nothing runs inside the constructor: the call comes from the event loop.
    QCOMPARE(calls, 0);
    QElapsedTimer timer;
    timer.start();
    QTRY_COMPARE_WITH_TIMEOUT(calls, 1, atMostMs);
    if (paintedBefore) QVERIFY(timer.elapsed() >= TFirstPaint::kDeadlineMs - 100);
    // Later paints and the deadline call nothing again.
    a.update();
    b.update();
    QTest::qWait(paintedBefore ? 100 : TFirstPaint::kDeadlineMs + 100);
    QCOMPARE(calls, 1);
  }

  void droppedWithItsOwner() {
    QWidget a;
    a.show();
    int calls = 0;
    auto owner = std::make_unique<QObject>();
    new TFirstPaint(
        {&a}, [&] { ++calls; }, owner.get());
    owner.reset();
    QVERIFY(QTest::qWaitForWindowExposed(&a));
    QTest::qWait(100);
    QCOMPARE(calls, 0);
  }
};

QTEST_MAIN(TestFirstPaint)
#include "tst_firstpaint.moc"
