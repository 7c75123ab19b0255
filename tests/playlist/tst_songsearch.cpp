// Which rows the song search finds and in what order: every word, ignoring case and accents,
// anywhere in the row's text; best first by the earliest place a word starts in the title.
#include <QtTest>

#include "playlist/songsearch.h"

namespace {

const QStringList kRows = {
    "1. Moon River (3:00)",           // 0
    "2. Blue Moon (2:30)",            // 1
    "3. Moonlight Sonata (4:12)",     // 2
    "4. Beyoncé - Halo (3:45)",       // 3
    "5. Die Straße (2:00)",           // 4
    "6. ＡＢＢＡ - Waterloo (2:45)",  // 5: full-width letters
    "12. Twelve (1:12)",              // 6
    "8. the blue river (5:00)",       // 7
};

QString Found(const std::vector<int>& rows) {
  QStringList numbers;
  for (int row : rows) numbers << QString::number(row);
  return numbers.join(' ');
}

}  // namespace

class TestSongSearch : public QObject {
  Q_OBJECT
 private slots:
  void matches_data() {
    QTest::addColumn<QString>("before");  // typed first, then changed to the query
    QTest::addColumn<QString>("query");
    QTest::addColumn<QString>("found");  // row indexes, best first
    QTest::newRow("no words: every row in order") << ""
                                                  << "  "
                                                  << "0 1 2 3 4 5 6 7";
    QTest::newRow("case does not matter") << ""
                                          << "MOON"
                                          << "0 2 1";
    QTest::newRow("a word inside a word") << ""
                                          << "light"
                                          << "2";
    QTest::newRow("every word must be there") << ""
                                              << "blue moon"
                                              << "1";
    QTest::newRow("words in any order") << ""
                                        << "river blue"
                                        << "7";
    QTest::newRow("accents do not matter") << ""
                                           << "beyonce"
                                           << "3";
    QTest::newRow("an accent typed finds the plain letter") << ""
                                                            << "rivér"
                                                            << "0 7";
    QTest::newRow("sharp s is ss") << ""
                                   << "STRASSE"
                                   << "4";
    QTest::newRow("full-width letters are letters") << ""
                                                    << "abba"
                                                    << "5";
    QTest::newRow("the length is part of the text") << ""
                                                    << "3:45"
                                                    << "3";
    QTest::newRow("the number: as early as the title's start") << ""
                                                               << "12"
                                                               << "6 2";
    QTest::newRow("both words in one row only") << ""
                                                << "river moon"
                                                << "0";
    QTest::newRow("rank by the earliest of the words") << ""
                                                       << "blue"
                                                       << "1 7";
    QTest::newRow("nothing matches") << ""
                                     << "zebra"
                                     << "";
    QTest::newRow("a longer query narrows") << "moo"
                                            << "moon s"
                                            << "2";
    QTest::newRow("a new word after a space") << "blue"
                                              << "blue river"
                                              << "7";
    QTest::newRow("a shorter query widens again") << "moon river"
                                                  << "moon"
                                                  << "0 2 1";
    QTest::newRow("a changed word starts over") << "moon"
                                                << "halo"
                                                << "3";
  }
  void matches() {
    QFETCH(QString, before);
    QFETCH(QString, query);
    QFETCH(QString, found);
    TSongSearch search;
    search.SetRows(kRows);
    for (qsizetype typed = 1; typed <= before.size(); ++typed) search.Search(before.left(typed));
    QCOMPARE(Found(search.Search(query)), found);
  }

  // A refill shares the rows it keeps; the search sees every row as it is now.
  void rowsChanged_data() {
    QTest::addColumn<int>("change");  // 0: a row's text, 1: a row less, 2: a row more
    QTest::addColumn<QString>("query");
    QTest::addColumn<QString>("found");
    QTest::newRow("a row's new text is searched") << 0 << "halo"
                                                  << "";
    QTest::newRow("a row's new text, its words") << 0 << "sunrise"
                                                 << "3";
    QTest::newRow("the rows after a deleted one") << 1 << "straße"
                                                  << "3";
    QTest::newRow("an added row") << 2 << "new song"
                                  << "8";
  }
  void rowsChanged() {
    QFETCH(int, change);
    QFETCH(QString, query);
    QFETCH(QString, found);
    TSongSearch search;
    QStringList rows = kRows;
    search.SetRows(rows);
    search.Search(query);
    if (change == 0) rows[3] = "4. Sunrise (3:45)";
    if (change == 1) rows.removeAt(3);
    if (change == 2) rows << "9. New Song (0:00)";
    search.SetRows(rows);
    QCOMPARE(Found(search.Search(query)), found);
  }
};

QTEST_MAIN(TestSongSearch)
#include "tst_songsearch.moc"
