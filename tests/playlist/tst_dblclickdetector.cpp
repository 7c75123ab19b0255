// The click-to-play detector's transitions, driven by scripted sequences of releases,
// timer ticks and refills.
#include <QTest>

#include "playlist/dblclickdetector.h"

class TestDblClickDetector : public QObject {
  Q_OBJECT
 private slots:
  void Sequences_data();
  void Sequences();
};

void TestDblClickDetector::Sequences_data() {
  // steps: "r<index>" a left release with that selected index, "t" the timer fires,
  // "u" a refill. plays: one character per step, "P" where the step starts the song.
  QTest::addColumn<QStringList>("steps");
  QTest::addColumn<QString>("plays");
  QTest::addColumn<int>("remembered");
  QTest::addColumn<bool>("armed");
  QTest::addColumn<bool>("timer");

  QTest::newRow("start-up state") << QStringList{} << "" << 0 << false << false;
  QTest::newRow("double-click on row 0 right after start-up plays")
      << QStringList{"r0", "r0"} << "-P" << -1 << false << false;
  QTest::newRow("double-click on another row only arms")
      << QStringList{"r3", "r3"} << "--" << 3 << true << true;
  QTest::newRow("one more click on that row plays")
      << QStringList{"r3", "r3", "r3"} << "--P" << -1 << false << false;
  QTest::newRow("timer between the clicks: no play")
      << QStringList{"r2", "r2", "t", "r2"} << "----" << 2 << false << true;
  QTest::newRow("period over before the third click: remembered again")
      << QStringList{"r2", "t", "r2", "r2"} << "----" << 2 << true << true;
  QTest::newRow("click on A, then three on B plays B")
      << QStringList{"r1", "r4", "r4", "r4"} << "---P" << -1 << false << false;
  QTest::newRow("changing row after arming keeps the flag armed")
      << QStringList{"r1", "r1", "r2"} << "---" << 2 << true << true;
  QTest::newRow("so a double-click on the new row plays it")
      << QStringList{"r1", "r1", "r2", "r2"} << "---P" << -1 << false << false;
  QTest::newRow("refill resets but leaves the timer running")
      << QStringList{"r5", "r5", "u"} << "---" << -1 << false << true;
  QTest::newRow("refill on an untouched detector keeps the timer stopped")
      << QStringList{"u"} << "-" << -1 << false << false;
  QTest::newRow("no selection is compared like any row")
      << QStringList{"u", "r-1", "r-1"} << "--P" << -1 << false << false;
  QTest::newRow("first release after a refill on no selection arms")
      << QStringList{"u", "r-1"} << "--" << -1 << true << true;
  QTest::newRow("refill between clicks: the next click only remembers")
      << QStringList{"r0", "u", "r0"} << "---" << 0 << false << true;
  QTest::newRow("timer after the trigger changes nothing")
      << QStringList{"r0", "r0", "t"} << "-P-" << -1 << false << false;
  QTest::newRow("six clicks on one row play twice")
      << QStringList{"r1", "r1", "r1", "r1", "r1", "r1"} << "--P--P" << -1 << false << false;
}

void TestDblClickDetector::Sequences() {
  QFETCH(QStringList, steps);
  QFETCH(QString, plays);
  QFETCH(int, remembered);
  QFETCH(bool, armed);
  QFETCH(bool, timer);

  TDblClickDetector detector;
  QString played;
  for (const QString& step : steps) {
    bool play = false;
    if (step.startsWith('r'))
      play = detector.Release(step.mid(1).toInt());
    else if (step == "t")
      detector.TimerFired();
    else
      detector.Reset();
    played += play ? 'P' : '-';
  }
  QCOMPARE(played, plays);
  QCOMPARE(detector.RememberedIndex(), remembered);
  QCOMPARE(detector.Armed(), armed);
  QCOMPARE(detector.TimerRunning(), timer);
}

QTEST_APPLESS_MAIN(TestDblClickDetector)
#include "tst_dblclickdetector.moc"
