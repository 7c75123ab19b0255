// Milliseconds to "m:ss": truncation, unbounded minutes, negative inputs.
#include <QTest>
#include <cstdint>
#include <limits>

#include "platform/timetext.h"

class TestTimeText : public QObject {
  Q_OBJECT

 private slots:
  void changeToTime_data() {
    QTest::addColumn<int>("ms");
    QTest::addColumn<QString>("text");
    QTest::newRow("zero") << 0 << "0:00";
    QTest::newRow("fraction dropped") << 999 << "0:00";
    QTest::newRow("one second") << 1000 << "0:01";
    QTest::newRow("never rounded up") << 59999 << "0:59";
    QTest::newRow("one minute") << 60000 << "1:00";
    QTest::newRow("ten seconds, no padding") << 70000 << "1:10";
    QTest::newRow("nine seconds padded") << 69999 << "1:09";
    QTest::newRow("3:45") << 225000 << "3:45";
    QTest::newRow("stored 215 s") << 215000 << "3:35";
    QTest::newRow("an hour is 60 minutes") << 3600000 << "60:00";
    QTest::newRow("75 minutes") << 4500000 << "75:00";
    QTest::newRow("100 minutes") << 6000000 << "100:00";
    QTest::newRow("largest") << std::numeric_limits<int32_t>::max() << "35791:23";
    QTest::newRow("minus five seconds") << -5000 << "-0:05";
    QTest::newRow("minus a fraction") << -999 << "-0:00";
    QTest::newRow("minus 3:45") << -225000 << "-3:45";
    QTest::newRow("smallest") << std::numeric_limits<int32_t>::min() << "-35791:23";
  }
  void changeToTime() {
    QFETCH(int, ms);
    QFETCH(QString, text);
    QCOMPARE(ChangeToTime(ms), text);
  }
};

QTEST_GUILESS_MAIN(TestTimeText)
#include "tst_timetext.moc"
