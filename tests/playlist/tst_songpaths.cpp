// Which files become entries: the folder scan of Add Directory and the walk over dropped
// files.
#include <fcntl.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "playlist/songpaths.h"

namespace {
// Creates an empty file by its raw name (bytes that need not be valid UTF-8).
void TouchRaw(const QString& folder, const QByteArray& rawName) {
  const QByteArray path = QFile::encodeName(folder) + '/' + rawName;
  const int fd = ::open(path.constData(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644);
  QVERIFY2(fd >= 0, path.constData());
  ::close(fd);
}

QStringList Names(const QStringList& paths, const QString& folder) {
  QStringList names;
  for (const QString& path : paths) {
    names << (path.startsWith(folder + '/') ? path.mid(folder.size() + 1) : "?" + path);
  }
  return names;
}
}  // namespace

class TestSongPaths : public QObject {
  Q_OBJECT
 private slots:
  void ScanMatchesIgnoringCaseInNameOrder();
  void ScanSetsAsideUnstorableNames_data();
  void ScanSetsAsideUnstorableNames();
  void ScanOfMissingFolderGivesNothing();
  void ScanKeepsTheFolderPathAsGiven();
  void DroppedSongName_data();
  void DroppedSongName();
  void DropWalk_data();
  void DropWalk();
  void MessageNamesSkippedFiles();
};

void TestSongPaths::ScanMatchesIgnoringCaseInNameOrder() {
  QTemporaryDir dir;
  const QString folder = dir.path();
  for (const char* name : {"b.mp3", "A.MP3", "c.Mp3", "d.txt", "e.mp3x", "mp3", ".hidden.mp3",
                           "x=y.mp3", "[z].mp3", "a.mp3", "song.mp3.bak", "B.mp3"})
    TouchRaw(folder, name);
  QVERIFY(QDir(folder).mkdir("sub"));
  TouchRaw(folder + "/sub", "inner.mp3");
  QVERIFY(QDir(folder).mkdir("folder.mp3"));  // a folder of that name matches like a file

  const TFolderScan scan = ScanFolderForSongs(folder);
  QCOMPARE(Names(scan.songs, folder),
           (QStringList{".hidden.mp3", "[z].mp3", "A.MP3", "a.mp3", "B.mp3", "b.mp3", "c.Mp3",
                        "folder.mp3", "x=y.mp3"}));
  QVERIFY(scan.unstorable.isEmpty());
}

void TestSongPaths::ScanSetsAsideUnstorableNames_data() {
  QTest::addColumn<QByteArray>("rawName");
  QTest::newRow("line feed") << QByteArray("new\nline.mp3");
  QTest::newRow("carriage return") << QByteArray("carriage\rreturn.mp3");
  QTest::newRow("not UTF-8") << QByteArray("bad\xff\xfename.mp3");
}

void TestSongPaths::ScanSetsAsideUnstorableNames() {
  QFETCH(QByteArray, rawName);
  QTemporaryDir dir;
  TouchRaw(dir.path(), "good.mp3");
  TouchRaw(dir.path(), rawName);
  TouchRaw(dir.path(), "zz.mp3");

  const TFolderScan scan = ScanFolderForSongs(dir.path());
  QCOMPARE(Names(scan.songs, dir.path()), (QStringList{"good.mp3", "zz.mp3"}));
  QCOMPARE(scan.unstorable.size(), 1);
  QVERIFY(scan.unstorable.first().startsWith(dir.path() + "/"));
}

void TestSongPaths::ScanOfMissingFolderGivesNothing() {
  QTemporaryDir dir;
  const TFolderScan scan = ScanFolderForSongs(dir.path() + "/gone");
  QVERIFY(scan.songs.isEmpty());
  QVERIFY(scan.unstorable.isEmpty());
}

void TestSongPaths::ScanKeepsTheFolderPathAsGiven() {
  // A folder given with its separator (as the root "/" is) gets another one: "//x.mp3" at the
  // root. Such a path still names the file.
  QTemporaryDir dir;
  TouchRaw(dir.path(), "x.mp3");
  const TFolderScan scan = ScanFolderForSongs(dir.path() + "/");
  QCOMPARE(scan.songs, QStringList{dir.path() + "//x.mp3"});
  QVERIFY(QFile::exists(scan.songs.first()));
}

void TestSongPaths::DroppedSongName_data() {
  QTest::addColumn<QString>("path");
  QTest::addColumn<bool>("qualifies");
  QTest::newRow("mp3") << "/music/a.mp3" << true;
  QTest::newRow("upper case") << "/music/B.MP3" << false;
  QTest::newRow("mixed case") << "/music/c.Mp3" << false;
  QTest::newRow("other extension") << "/music/b.txt" << false;
  QTest::newRow("longer extension") << "/music/a.mp3x" << false;
  QTest::newRow("double extension") << "/music/a.mp3.txt" << false;
  QTest::newRow("no extension") << "/music/mp3" << false;
  QTest::newRow("dot only in a folder name") << "/music.mp3/readme" << false;
  QTest::newRow("name is only the extension") << "/music/.mp3" << true;
  QTest::newRow("folder named like a song") << "/music/album.mp3" << true;
}

void TestSongPaths::DroppedSongName() {
  QFETCH(QString, path);
  QFETCH(bool, qualifies);
  QCOMPARE(IsDroppedSongName(path), qualifies);
}

void TestSongPaths::DropWalk_data() {
  QTest::addColumn<QList<QUrl>>("urls");
  QTest::addColumn<QStringList>("songs");
  QTest::addColumn<int>("unstorable");
  auto f = [](const QString& path) { return QUrl::fromLocalFile(path); };
  const QString longPath = "/music/" + QString(200, 'x') + "/" + QString(90, 'y') + ".mp3";

  QTest::newRow("first non-song ends the walk")
      << QList<QUrl>{f("/m/a.mp3"), f("/m/b.txt"), f("/m/c.mp3")} << QStringList{"/m/a.mp3"} << 0;
  QTest::newRow("upper-case extension adds nothing")
      << QList<QUrl>{f("/m/B.MP3")} << QStringList{} << 0;
  QTest::newRow("four songs in drop order")
      << QList<QUrl>{f("/m/4.mp3"), f("/m/2.mp3"), f("/m/3.mp3"), f("/m/1.mp3")}
      << QStringList{"/m/4.mp3", "/m/2.mp3", "/m/3.mp3", "/m/1.mp3"} << 0;
  QTest::newRow("a web address ends the walk")
      << QList<QUrl>{f("/m/a.mp3"), QUrl("http://example.com/b.mp3"), f("/m/c.mp3")}
      << QStringList{"/m/a.mp3"} << 0;
  QTest::newRow("long paths are taken whole")
      << QList<QUrl>{f(longPath)} << QStringList{longPath} << 0;
  QTest::newRow("line break: skipped, the walk goes on")
      << QList<QUrl>{f("/m/a\nb.mp3"), f("/m/c.mp3")} << QStringList{"/m/c.mp3"} << 1;
  QTest::newRow("name not in UTF-8: skipped")
      << QList<QUrl>{QUrl("file:///m/%FF%FE.mp3"), f("/m/c.mp3")} << QStringList{"/m/c.mp3"} << 1;
  QTest::newRow("signs that mean something in the file layout")
      << QList<QUrl>{f("/m/a=b.mp3"), f("/m/[playlist].mp3"), f("/m/#1 ?.mp3")}
      << QStringList{"/m/a=b.mp3", "/m/[playlist].mp3", "/m/#1 ?.mp3"} << 0;
  QTest::newRow("nothing dropped") << QList<QUrl>{} << QStringList{} << 0;
}

void TestSongPaths::DropWalk() {
  QFETCH(QList<QUrl>, urls);
  QFETCH(QStringList, songs);
  QFETCH(int, unstorable);
  const TDropWalk walk = WalkDroppedUrls(urls);
  QCOMPARE(walk.songs, songs);
  QCOMPARE(walk.unstorable.size(), unstorable);
}

void TestSongPaths::MessageNamesSkippedFiles() {
  QVERIFY(UnstorableNamesMessage({}).isEmpty());
  const QString one = UnstorableNamesMessage({"/m/a\nb.mp3"});
  QVERIFY(one.contains("/m/a\\nb.mp3"));  // the line break shown, not obeyed
  QStringList many;
  for (int i = 0; i < 40; ++i) many << QString("/m/%1\n.mp3").arg(i);
  const QString text = UnstorableNamesMessage(many);
  QVERIFY(text.contains("40"));
  QVERIFY(text.count('\n') < 10);  // a short message, not forty lines
}

QTEST_APPLESS_MAIN(TestSongPaths)
#include "tst_songpaths.moc"
