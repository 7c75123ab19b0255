#include <QtTest>

#include "player/shufflechoice.h"

class TestShuffleChoice : public QObject {
  Q_OBJECT
 private slots:
  void sequenceFromFixedSeed();
  void range_data();
  void range();
  void roughlyUniform();
};

// Expected values worked out by hand from the generator's definition.
void TestShuffleChoice::sequenceFromFixedSeed() {
  TShuffleChoice choice(0x12345678u);
  const struct {
    int count;
    uint32_t seed;
    int index;
  } steps[] = {
      {10, 3411775577u, 7}, {3, 2046801342u, 1}, {1000, 3651437751u, 850}, {7, 4066177940u, 6}};
  for (const auto& step : steps) {
    QCOMPARE(choice.Pick(step.count), step.index);
    QCOMPARE(choice.Seed(), step.seed);
  }
}

void TestShuffleChoice::range_data() {
  QTest::addColumn<int>("count");
  QTest::newRow("empty list") << 0;
  QTest::newRow("single entry") << 1;
  QTest::newRow("two") << 2;
  QTest::newRow("largest count") << std::numeric_limits<int>::max();
}

void TestShuffleChoice::range() {
  QFETCH(int, count);
  TShuffleChoice choice(0xFFFFFFFFu);
  for (int i = 0; i < 2000; ++i) {
    const int index = choice.Pick(count);
    QVERIFY(index >= 0);
    QVERIFY(index <= std::max(0, count - 1));
  }
}

void TestShuffleChoice::roughlyUniform() {
  TShuffleChoice choice(42);
  int hits[5] = {};
  for (int i = 0; i < 50000; ++i) ++hits[choice.Pick(5)];
  for (int h : hits) QVERIFY2(h > 9000 && h < 11000, qPrintable(QString::number(h)));
}

QTEST_GUILESS_MAIN(TestShuffleChoice)
#include "tst_shufflechoice.moc"
