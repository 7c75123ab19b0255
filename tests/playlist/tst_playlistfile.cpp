// The playlist file "lastplay.dat": reading rules, each operation's writes in their order,
// refused writes and damaged files.
#include <sys/stat.h>

#include <QFile>
#include <QTest>

#include "platform/errors.h"
#include "platform/inifile.h"
#include "playlist/playlistfile.h"
#include "playlist/playlistreadahead.h"
#include "support/fakedialogs.h"
#include "support/tempprogramdir.h"

namespace {

const QString kVersionMessage = QStringLiteral(
    "Playlist version incompatibile\rBrimtone requires version 2\r"
    "Selected file has got version ");
const QString kMissingMessage = QStringLiteral("Playlist does not exists");

QStringList Rows(const std::optional<QVector<TPlaylistEntry>>& entries) {
  QStringList rows;
  if (entries) {
    for (const TPlaylistEntry& entry : *entries) rows << TPlaylistFile::EntryText(entry);
  }
  return rows;
}

QByteArray Lines(std::initializer_list<const char*> lines) {
  QByteArray bytes;
  for (const char* line : lines) bytes += QByteArray(line) + '\n';
  return bytes;
}

// A file of n entries written the way the program writes them; entries in withLength have one.
QByteArray PlaylistOf(int n, const QList<int>& withLength = {}) {
  QByteArray bytes = "[playlist]\n";
  for (int i = 1; i <= n; ++i) {
    bytes += "File" + QByteArray::number(i) + "=/m/song" + QByteArray::number(i) + ".mp3\n";
    bytes += "Title" + QByteArray::number(i) + "=song" + QByteArray::number(i) + ".mp3\n";
    if (i == 1) bytes += "NumberOfEntries=" + QByteArray::number(n) + "\nVersion=2\n";
  }
  for (int i : withLength)
    bytes += "Length" + QByteArray::number(i) + "=" + QByteArray::number(100 + i) + "\n";
  return bytes;
}

}  // namespace

class TestPlaylistFile : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<TTempProgramDir> dir_;
  std::unique_ptr<TFakeDialogsScope> dialogs_;

  QString Path() const { return dir_->File("lastplay.dat"); }
  QByteArray Content() const { return dir_->Read("lastplay.dat"); }
  void SetContent(const QByteArray& bytes) const { dir_->Write("lastplay.dat", bytes); }
  QStringList Messages() const { return (*dialogs_)->messages; }

 private slots:
  void init() {
    dir_ = std::make_unique<TTempProgramDir>(TTempProgramDir::Skin::None);
    dialogs_ = std::make_unique<TFakeDialogsScope>();
  }
  void cleanup() {
    dialogs_.reset();
    dir_.reset();
  }

  void usesTheProgramDirectory() { QCOMPARE(TPlaylistFile().FileName(), Path()); }

  // --- Read entries ----------------------------------------------------------------

  void readEntries_data() {
    QTest::addColumn<bool>("exists");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("silentUsable");
    QTest::addColumn<QStringList>("silentRows");
    QTest::addColumn<bool>("reportingUsable");
    QTest::addColumn<QStringList>("reportingRows");
    QTest::addColumn<QString>("message");  // of the reporting variant; empty: none

    const QStringList none;
    QTest::newRow("missing file") << false << QByteArray() << false << none << false << none
                                  << kMissingMessage;
    QTest::newRow("empty file") << true << QByteArray() << false << none << false << none
                                << kVersionMessage + "0";
    QTest::newRow("version 1") << true
                               << Lines({"[playlist]", "Version=1", "NumberOfEntries=1",
                                         "Title1=a.mp3"})
                               << false << none << false << none << kVersionMessage + "1";
    QTest::newRow("version 3") << true << Lines({"[playlist]", "Version=3"}) << false << none
                               << false << none << kVersionMessage + "3";
    QTest::newRow("no version") << true << Lines({"[playlist]", "NumberOfEntries=1"}) << false
                                << none << false << none << kVersionMessage + "0";
    QTest::newRow("version not a number") << true << Lines({"[playlist]", "Version=two"}) << false
                                          << none << false << none << kVersionMessage + "0";
    QTest::newRow("byte-order mark before the version")
        << true << Lines({"[playlist]", "Version=\xEF\xBB\xBF\x32"}) << false << none << false
        << none << kVersionMessage + "0";
    QTest::newRow("version in another section")
        << true << Lines({"[main]", "Version=2", "[playlist]", "NumberOfEntries=1"}) << false
        << none << false << none << kVersionMessage + "0";
    QTest::newRow("no entries") << true << Lines({"[playlist]", "Version=2", "NumberOfEntries=0"})
                                << false << none << true << none << QString();
    QTest::newRow("negative count")
        << true << Lines({"[playlist]", "Version=2", "NumberOfEntries=-7", "Title1=x"}) << false
        << none << true << none << QString();
    QTest::newRow("count missing") << true << Lines({"[playlist]", "Version=2"}) << false << none
                                   << true << QStringList{"1.  (0:00)"} << QString();
    QTest::newRow("count not a number")
        << true << Lines({"[playlist]", "Version=2", "NumberOfEntries=many", "Title1=a.mp3"})
        << false << none << true << QStringList{"1. a.mp3 (0:00)"} << QString();
    const QStringList two{"1. Blue.mp3 (3:35)", "2. Red.mp3 (0:00)"};
    QTest::newRow("two entries") << true
                                 << Lines({"[playlist]", "File1=C:\\Music\\Blue.mp3",
                                           "Title1=Blue.mp3", "NumberOfEntries=2", "Version=2",
                                           "File2=C:\\Music\\Red.mp3", "Title2=Red.mp3",
                                           "Length1=215"})
                                 << true << two << true << two << QString();
    QTest::newRow("windows file: CRLF, other letter case, BOM")
        << true
        << QByteArray(
               "\xEF\xBB\xBF[PlayList]\r\nfile1=C:\\Music\\Blue.mp3\r\nTITLE1=Blue.mp3\r\n"
               "numberofentries=2\r\nversion=2\r\nFile2=C:\\Music\\Red.mp3\r\n"
               "Title2=Red.mp3\r\nlength1 = 215 \r\n")
        << true << two << true << two << QString();
    const QStringList gaps{"1. a.mp3 (0:00)", "2.  (0:07)", "3.  (0:00)"};
    QTest::newRow("gaps, keys above the count")
        << true
        << Lines({"[playlist]", "Version=2", "NumberOfEntries=3", "Title1=a.mp3", "Length2=7",
                  "File3=/m/c.mp3", "Title4=hidden.mp3", "Length4=9"})
        << true << gaps << true << gaps << QString();
    const QStringList odd{"1. a.mp3 (0:00)", "2. b.mp3 (3:35)", "3. c.mp3 (-0:05)"};
    QTest::newRow("lengths: not a number, hex, negative")
        << true
        << Lines({"[playlist]", "Version=2", "NumberOfEntries=3", "Title1=a.mp3", "Length1=abc",
                  "Title2=b.mp3", "Length2=0xD7", "Title3=c.mp3", "Length3=-5"})
        << true << odd << true << odd << QString();
    const QStringList spellings{"1.  (0:05)", "2. b.mp3 (0:00)", "3. c.mp3 (0:00)"};
    QTest::newRow("key spellings")
        << true
        << Lines({"[playlist]", "Version=2", "NumberOfEntries=3", "Title01=not entry 1",
                  "Title+1=nor this", "Title 1=nor this", "LENGTH1=5", "tItLe2=b.mp3",
                  "Title3 = c.mp3", "Title3=second c", "Titles3=no", "Title4294967297=no"})
        << true << spellings << true << spellings << QString();
    const QStringList firstWins{"1. first.mp3 (0:00)"};
    QTest::newRow("repeated section and key")
        << true
        << Lines({"[playlist]", "Version=2", "NumberOfEntries=1", "Title1=first.mp3",
                  "Title1=second.mp3", "[playlist]", "NumberOfEntries=5", "Title2=x.mp3"})
        << true << firstWins << true << firstWins << QString();
  }
  void readEntries() {
    QFETCH(bool, exists);
    QFETCH(QByteArray, content);
    QFETCH(bool, silentUsable);
    QFETCH(QStringList, silentRows);
    QFETCH(bool, reportingUsable);
    QFETCH(QStringList, reportingRows);
    QFETCH(QString, message);
    if (exists) SetContent(content);
    const TPlaylistFile file;

    const auto silent = file.ReadEntriesSilent();
    QCOMPARE(silent.has_value(), silentUsable);
    QCOMPARE(Rows(silent), silentRows);
    QCOMPARE(Messages(), QStringList());

    const auto reporting = file.ReadEntriesReporting();
    QCOMPARE(reporting.has_value(), reportingUsable);
    QCOMPARE(Rows(reporting), reportingRows);
    QCOMPARE(Messages(), message.isEmpty() ? QStringList() : QStringList{message});
    if (reporting) {
      for (int i = 0; i < reporting->size(); ++i) QCOMPARE(reporting->at(i).Number, i + 1);
    }
    // Reading changes nothing.
    QCOMPARE(QFile::exists(Path()), exists);
    if (exists) QCOMPARE(Content(), content);
  }

  void damagedCountStaysBounded_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("rows");
    QTest::addColumn<QString>("lastRow");
    QTest::newRow("two billion, two entries")
        << PlaylistOf(2).replace("NumberOfEntries=2", "NumberOfEntries=2000000000") << 2
        << "2. song2.mp3 (0:00)";
    QTest::newRow("count in hex") << Lines(
                                         {"[playlist]", "Version=2", "NumberOfEntries=0x7FFFFFFF"})
                                  << 1 << "1.  (0:00)";
    QTest::newRow("keys above the count and other numbered keys do not count")
        << Lines({"[playlist]", "Version=2", "NumberOfEntries=50", "Title2=b.mp3", "File51=/m/x",
                  "Path40=x", "File040=/m/y.mp3"})
        << 2 << "2. b.mp3 (0:00)";
    QTest::newRow("largest count, an entry far out")
        << Lines(
               {"[playlist]", "Version=2", "NumberOfEntries=2147483647", "Title2147483647=far.mp3"})
        << 65536 << "65536.  (0:00)";
  }
  void damagedCountStaysBounded() {
    QFETCH(QByteArray, content);
    QFETCH(int, rows);
    QFETCH(QString, lastRow);
    SetContent(content);
    const auto entries = TPlaylistFile().ReadEntriesReporting();
    QVERIFY(entries.has_value());
    QCOMPARE(entries->size(), rows);
    QCOMPARE(TPlaylistFile::EntryText(entries->last()), lastRow);
    const auto silent = TPlaylistFile().ReadEntriesSilent();
    if (silent) QCOMPARE(silent->size(), rows);
  }

  void sparseLastEntryPlays() {
    SetContent(Lines(
        {"[playlist]", "Version=2", "NumberOfEntries=100", "File100=/m/a.mp3", "Title100=a.mp3"}));
    const TPlaylistFile file;
    const auto entries = file.ReadEntriesSilent();
    QCOMPARE(entries->size(), 100);
    QCOMPARE(TPlaylistFile::EntryText(entries->last()), "100. a.mp3 (0:00)");
    QCOMPARE(file.EntryPath(100), "/m/a.mp3");
    file.DeleteEntry(99, 100);  // deleting the last row removes entry 100
    QCOMPARE(file.EntryPath(100), "0");
    QCOMPARE(file.ReadEntriesSilent()->size(), 1);
  }

  void damagedFiles_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QByteArray>("keptStart");  // still the file's start after an append
    QTest::addColumn<QByteArray>("keptEnd");    // and its end
    QByteArray garbage;
    for (int i = 0; i < 100000; ++i) garbage += char((i * 131 + 7) % 251);
    QTest::newRow("binary garbage") << garbage << QStringList() << garbage << QByteArray();
    QTest::newRow("NUL bytes") << QByteArray(10000, '\0') << QStringList()
                               << QByteArray(10000, '\0') << QByteArray();
    QTest::newRow("NUL inside a title")
        << QByteArrayLiteral("[playlist]\nVersion=2\nNumberOfEntries=1\nTitle1=a\0b.mp3\n")
        << QStringList{QString("1. a") + QChar(0) + "b.mp3 (0:00)"}
        << QByteArrayLiteral("[playlist]\nVersion=2\n") << QByteArray();
    QTest::newRow("invalid UTF-8 title")
        << QByteArray("[playlist]\nVersion=2\nNumberOfEntries=1\nTitle1=\xff.mp3\n")
        << QStringList{"1. " + QString(QChar(QChar::ReplacementCharacter)) + ".mp3 (0:00)"}
        << QByteArray("[playlist]\nVersion=2\n") << QByteArray();
    QTest::newRow("megabyte title")
        << "[playlist]\nVersion=2\nNumberOfEntries=1\nTitle1=" + QByteArray(1 << 20, 't') + "\n"
        << QStringList{"1. " + QString(1 << 20, 't') + " (0:00)"}
        << "[playlist]\nVersion=2\nNumberOfEntries=2\nTitle1=" + QByteArray(1 << 20, 't') + "\n"
        << QByteArray();
    QTest::newRow("garbage around a good section")
        << QByteArray(
               "\x01\x02\xff\n[playlist]\nVersion=2\n\xfe\xfe\nNumberOfEntries=1\n"
               "Title1=ok.mp3\n\x7f[x\n")
        << QStringList{"1. ok.mp3 (0:00)"}
        << QByteArray("\x01\x02\xff\n[playlist]\nVersion=2\n\xfe\xfe\n") << QByteArray("\x7f[x\n");
  }
  void damagedFiles() {
    QFETCH(QByteArray, content);
    QFETCH(QStringList, rows);
    QFETCH(QByteArray, keptStart);
    QFETCH(QByteArray, keptEnd);
    SetContent(content);
    QCOMPARE(Rows(TPlaylistFile().ReadEntriesReporting()), rows);
    // Appending keeps every byte it does not change.
    TPlaylistFile().AppendEntry("/m/new.mp3", TAppendOrder::FileFirst);
    QVERIFY(Content().startsWith(keptStart));
    QVERIFY(Content().endsWith(keptEnd));
    const auto after = TPlaylistFile().ReadEntriesReporting();
    QVERIFY(after.has_value());
    QCOMPARE(after->size(), rows.size() + 1);
    QCOMPARE(after->last().Title, "new.mp3");
  }

  // --- Read ahead at start ------------------------------------------------------------

  // The rows read on a thread of their own are the silent read's, with the same row texts;
  // a second take reads the file as it is then.
  void readAhead_data() {
    QTest::addColumn<bool>("exists");
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("entries and lengths") << true << PlaylistOf(40, {1, 7, 40});
    QTest::newRow("no file") << false << QByteArray();
    QTest::newRow("another version") << true << PlaylistOf(3).replace("Version=2", "Version=3");
    QTest::newRow("binary garbage") << true << QByteArray("\x01\xff[playlist\0\n=\n", 15);
  }
  void readAhead() {
    QFETCH(bool, exists);
    QFETCH(QByteArray, content);
    if (exists) SetContent(content);
    const std::optional<QVector<TPlaylistEntry>> expected = TPlaylistFile().ReadEntriesSilent();
    TPlaylistReadAhead readAhead;
    const std::optional<TPlaylistRows> rows = readAhead.Take();
    QCOMPARE(rows.has_value(), expected.has_value());
    if (rows) {
      QCOMPARE(rows->entries.size(), expected->size());
      QCOMPARE(rows->texts, Rows(expected));
    }
    QCOMPARE(Messages(), QStringList());
    SetContent(PlaylistOf(2));
    const std::optional<TPlaylistRows> again = readAhead.Take();
    QVERIFY(again.has_value());
    QCOMPARE(again->texts, (QStringList{"1. song1.mp3 (0:00)", "2. song2.mp3 (0:00)"}));
  }

  // --- Entry text --------------------------------------------------------------------

  void entryText_data() {
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("title");
    QTest::addColumn<int>("seconds");
    QTest::addColumn<QString>("text");
    QTest::newRow("measured") << 7 << "Blue.mp3" << 215 << "7. Blue.mp3 (3:35)";
    QTest::newRow("not measured") << 1 << "Blue.mp3" << 0 << "1. Blue.mp3 (0:00)";
    QTest::newRow("empty title") << 12 << "" << 0 << "12.  (0:00)";
    QTest::newRow("59 seconds") << 3 << "a" << 59 << "3. a (0:59)";
    QTest::newRow("75 minutes") << 3 << "a" << 4500 << "3. a (75:00)";
    QTest::newRow("negative") << 3 << "a" << -5 << "3. a (-0:05)";
    QTest::newRow("largest in milliseconds") << 1 << "a" << 2147483 << "1. a (35791:23)";
    QTest::newRow("beyond milliseconds") << 1 << "a" << 3000000 << "1. a (50000:00)";
    QTest::newRow("largest") << 1 << "a" << 2147483647 << "1. a (35791394:07)";
    QTest::newRow("smallest") << 1 << "a" << int(-2147483647 - 1) << "1. a (-35791394:08)";
  }
  void entryText() {
    QFETCH(int, number);
    QFETCH(QString, title);
    QFETCH(int, seconds);
    QFETCH(QString, text);
    QCOMPARE(TPlaylistFile::EntryText({number, title, seconds}), text);
  }

  void fileNamePart_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("name");
    QTest::newRow("linux path") << "/home/u/Music/Blue.mp3"
                                << "Blue.mp3";
    // Linux names may hold ':' and '\\': only '/' separates.
    QTest::newRow("colon in a name") << "/m/Live: Wembley.mp3"
                                     << "Live: Wembley.mp3";
    QTest::newRow("backslash in a name") << "/m/sub\\dir/x\\y.mp3"
                                         << "x\\y.mp3";
    QTest::newRow("name only") << "Blue.mp3"
                               << "Blue.mp3";
    QTest::newRow("extension kept, dots") << "/m/a.b.c.MP3"
                                          << "a.b.c.MP3";
    QTest::newRow("folder") << "/m/"
                            << "";
    QTest::newRow("empty") << ""
                           << "";
  }
  void fileNamePart() {
    QFETCH(QString, path);
    QFETCH(QString, name);
    QCOMPARE(TPlaylistFile::FileNamePart(path), name);
  }

  // --- Append entry ------------------------------------------------------------------

  void appendFileFirstFromScratch() {
    const TPlaylistFile file;
    file.AppendEntry("/music/Blue.mp3", TAppendOrder::FileFirst);
    QCOMPARE(Content(), Lines({"[playlist]", "File1=/music/Blue.mp3", "Title1=Blue.mp3",
                               "NumberOfEntries=1", "Version=2"}));
    file.AppendEntry("/music/Red.mp3", TAppendOrder::FileFirst);
    QVERIFY(file.RecordLength(1, 215000));
    QCOMPARE(Content(),
             Lines({"[playlist]", "File1=/music/Blue.mp3", "Title1=Blue.mp3", "NumberOfEntries=2",
                    "Version=2", "File2=/music/Red.mp3", "Title2=Red.mp3", "Length1=215"}));
  }

  void appendVersionFirstFromScratch() {
    const TPlaylistFile file;
    file.AppendEntry("/m/Blue.mp3", TAppendOrder::VersionFirst);
    file.AppendEntry("/m/Red.mp3", TAppendOrder::VersionFirst);
    QCOMPARE(Content(), Lines({"[playlist]", "Version=2", "NumberOfEntries=2", "File1=/m/Blue.mp3",
                               "Title1=Blue.mp3", "File2=/m/Red.mp3", "Title2=Red.mp3"}));
  }

  void appendEntries_data() {
    QTest::addColumn<int>("order");
    QTest::addColumn<QByteArray>("start");
    QTest::newRow("file first, new file") << int(TAppendOrder::FileFirst) << QByteArray();
    QTest::newRow("version first, new file") << int(TAppendOrder::VersionFirst) << QByteArray();
    QTest::newRow("file first, onto entries") << int(TAppendOrder::FileFirst) << PlaylistOf(3, {2});
    QTest::newRow("version first, version 1 file")
        << int(TAppendOrder::VersionFirst)
        << Lines({"; mine", "[playlist]", "Version=1", "NumberOfEntries=1", "File1=/old.mp3"});
  }
  void appendEntries() {
    // Many songs in one go give exactly the file that one append per song gives.
    QFETCH(int, order);
    QFETCH(QByteArray, start);
    const QStringList songs{"/m/a.mp3", "/m/b b.mp3", "/m/c=d.mp3", "/m/Ünï.mp3"};
    const TPlaylistFile file;
    if (!start.isEmpty()) SetContent(start);
    for (const QString& song : songs) file.AppendEntry(song, TAppendOrder(order));
    const QByteArray oneByOne = Content();
    QFile::remove(Path());
    if (!start.isEmpty()) SetContent(start);
    file.AppendEntries(songs, TAppendOrder(order));
    QCOMPARE(Content(), oneByOne);
    const auto entries = file.ReadEntriesReporting();
    QVERIFY(entries.has_value());
    QCOMPARE(entries->last().Title, QString::fromUtf8("Ünï.mp3"));
    QCOMPARE(file.EntryPath(entries->size()), QString::fromUtf8("/m/Ünï.mp3"));
  }

  void appendEntriesOfNothingCreatesNothing() {
    TPlaylistFile().AppendEntries({}, TAppendOrder::FileFirst);
    QVERIFY(!QFile::exists(Path()));
  }

  void appendToVersion1File() {
    SetContent(Lines({"[playlist]", "Version=1", "NumberOfEntries=1", "File1=/old.mp3",
                      "Title1=old.mp3", "Length1=9"}));
    TPlaylistFile().AppendEntry("/m/new.mp3", TAppendOrder::FileFirst);
    QCOMPARE(Content(),
             Lines({"[playlist]", "Version=2", "NumberOfEntries=2", "File1=/old.mp3",
                    "Title1=old.mp3", "Length1=9", "File2=/m/new.mp3", "Title2=new.mp3"}));
  }

  void appendWithoutCountOverwritesEntry1() {
    SetContent(Lines({"[playlist]", "Version=2", "File1=/old.mp3", "Title1=old.mp3", "Length1=9",
                      "File2=/two.mp3"}));
    TPlaylistFile().AppendEntry("/m/new.mp3", TAppendOrder::VersionFirst);
    // Length1 stays where it is, untouched.
    QCOMPARE(Content(), Lines({"[playlist]", "Version=2", "File1=/m/new.mp3", "Title1=new.mp3",
                               "Length1=9", "File2=/two.mp3", "NumberOfEntries=1"}));
  }

  void appendAtLargestCount() {
    SetContent(Lines({"[playlist]", "Version=2", "NumberOfEntries=2147483647"}));
    TPlaylistFile().AppendEntry("/m/x.mp3", TAppendOrder::FileFirst);
    QCOMPARE(Content(), Lines({"[playlist]", "Version=2", "NumberOfEntries=2147483648",
                               "File2147483648=/m/x.mp3", "Title2147483648=x.mp3"}));
  }

  void appendKeepsForeignLines() {
    const QByteArray start =
        QByteArrayLiteral("; written elsewhere\r\n[other]\r\nx=\xff\0y\r\n[playlist]\r\n");
    SetContent(start);
    TPlaylistFile().AppendEntry("/m/a.mp3", TAppendOrder::FileFirst);
    QCOMPARE(Content(), start +
                            "File1=/m/a.mp3\r\nTitle1=a.mp3\r\nNumberOfEntries=1\r\n"
                            "Version=2\r\n");
  }

  // --- Record length, entry path -------------------------------------------------------

  void recordLength_data() {
    QTest::addColumn<qint64>("ms");
    QTest::addColumn<QByteArray>("stored");  // empty: nothing stored
    QTest::newRow("3:35") << qint64(215000) << QByteArray("215");
    QTest::newRow("remainder dropped") << qint64(59999) << QByteArray("59");
    QTest::newRow("under a second") << qint64(999) << QByteArray("0");
    QTest::newRow("zero") << qint64(0) << QByteArray("0");
    QTest::newRow("beyond 32-bit milliseconds") << qint64(5000000000) << QByteArray("5000000");
    QTest::newRow("negative: no measurement") << qint64(-1) << QByteArray();
  }
  void recordLength() {
    QFETCH(qint64, ms);
    QFETCH(QByteArray, stored);
    SetContent(PlaylistOf(2));
    QCOMPARE(TPlaylistFile().RecordLength(2, ms), !stored.isEmpty());
    if (stored.isEmpty())
      QCOMPARE(Content(), PlaylistOf(2));
    else
      QCOMPARE(Content(), PlaylistOf(2) + "Length2=" + stored + "\n");
  }

  void recordLengthNeverRewrites_data() {
    QTest::addColumn<QByteArray>("line");
    QTest::newRow("right") << QByteArray("Length1=215");
    QTest::newRow("wrong") << QByteArray("Length1=1");
    QTest::newRow("not a number") << QByteArray("length1=abc");
    QTest::newRow("empty") << QByteArray("LENGTH1=");
  }
  void recordLengthNeverRewrites() {
    QFETCH(QByteArray, line);
    const QByteArray start = PlaylistOf(1) + line + "\n";
    SetContent(start);
    QFile::setPermissions(Path(), QFileDevice::ReadOwner);  // a write would throw
    QVERIFY(!TPlaylistFile().RecordLength(1, 215000));
    QCOMPARE(Content(), start);
  }

  // --- Lengths found in the background ---------------------------------------------------

  void entriesWithoutLength_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("expected");  // "n path" each, ";" between
    QTest::newRow("measured ones and empty Length left out") << PlaylistOf(4, {1}) + "length3=\n"
                                                             << "2 /m/song2.mp3;4 /m/song4.mp3";
    QTest::newRow("keys above the count, no File, empty File")
        << Lines({"[PlayList]", "numberofentries=3", "VERSION=2", "fILE1=/a b.mp3",
                  "File3=", "File4=/x.mp3"})
        << "1 /a b.mp3";
    QTest::newRow("version 1") << PlaylistOf(2).replace("Version=2", "Version=1") << "";
  }
  void entriesWithoutLength() {
    QFETCH(QByteArray, content);
    SetContent(content);
    QStringList got;
    for (const TEntryFile& entry : TPlaylistFile().EntriesWithoutLength())
      got << QString::number(entry.Number) + ' ' + entry.Path;
    QTEST(got.join(';'), "expected");
  }

  void recordLengths_data() {
    QTest::addColumn<int>("n");
    QTest::addColumn<QString>("path");
    QTest::addColumn<qint64>("ms");
    QTest::addColumn<QByteArray>("stored");  // empty: nothing stored
    QTest::newRow("truncated seconds") << 2 << "/m/song2.mp3" << qint64(59999) << QByteArray("59");
    QTest::newRow("already measured") << 3 << "/m/song3.mp3" << qint64(1000) << QByteArray();
    QTest::newRow("entry now names another file")
        << 2 << "/m/Song2.mp3" << qint64(1000) << QByteArray();
    QTest::newRow("entry gone") << 4 << "/m/song4.mp3" << qint64(1000) << QByteArray();
  }
  void recordLengths() {
    QFETCH(int, n);
    QFETCH(QString, path);
    QFETCH(qint64, ms);
    QFETCH(QByteArray, stored);
    SetContent(PlaylistOf(3, {3}));
    // Twice over: the second finds the Length the first stored.
    QCOMPARE(TPlaylistFile().RecordLengths({{n, path, ms}, {n, path, ms}}), int(!stored.isEmpty()));
    const QByteArray added = "Length" + QByteArray::number(n) + "=" + stored + "\n";
    QCOMPARE(Content(), PlaylistOf(3, {3}) + (stored.isEmpty() ? QByteArray() : added));
  }

  void entryPath_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("n");
    QTest::addColumn<QString>("path");
    const QByteArray list = PlaylistOf(2) + "file3 = /m/with = sign.mp3 \n";
    QTest::newRow("present") << list << 2 << "/m/song2.mp3";
    QTest::newRow("any case, blanks trimmed") << list << 3 << "/m/with = sign.mp3";
    QTest::newRow("missing") << list << 4 << "0";
    QTest::newRow("entry 0") << list << 0 << "0";
    QTest::newRow("negative") << list << -1 << "0";
    QTest::newRow("empty value") << Lines({"[playlist]", "File1="}) << 1 << "";
    QTest::newRow("no file") << QByteArray() << 1 << "0";
  }
  void entryPath() {
    QFETCH(QByteArray, content);
    QFETCH(int, n);
    QFETCH(QString, path);
    if (!content.isEmpty()) SetContent(content);
    QCOMPARE(TPlaylistFile().EntryPath(n), path);
  }

  void pathsWithBlanksAtTheEndsSurvive() {
    const TPlaylistFile file;
    file.AppendEntry("/m/ leading and trailing .mp3 ", TAppendOrder::FileFirst);
    QCOMPARE(file.EntryPath(1), "/m/ leading and trailing .mp3 ");
    QCOMPARE(file.ReadEntriesReporting()->first().Title, " leading and trailing .mp3 ");
  }

  // --- Delete entry ------------------------------------------------------------------

  void deleteEntry_data() {
    QTest::addColumn<QByteArray>("start");
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("count");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("first of three, lengths follow their entries")
        << Lines({"[playlist]", "File1=/a.mp3", "Title1=a.mp3", "NumberOfEntries=3", "Version=2",
                  "File2=/b.mp3", "Title2=b.mp3", "File3=/c.mp3", "Title3=c.mp3", "Length1=50",
                  "Length2=200"})
        << 0 << 3
        << Lines({"[playlist]", "File1=/b.mp3", "Title1=b.mp3", "NumberOfEntries=2", "Version=2",
                  "File2=/c.mp3", "Title2=c.mp3", "Length1=200"});
    QTest::newRow("last of three moves nothing")
        << PlaylistOf(3, {1, 3}) << 2 << 3
        << Lines({"[playlist]", "File1=/m/song1.mp3", "Title1=song1.mp3", "NumberOfEntries=2",
                  "Version=2", "File2=/m/song2.mp3", "Title2=song2.mp3", "Length1=101"});
    QTest::newRow("middle; a length moves into a gap")
        << PlaylistOf(3, {3}) << 1 << 3
        << Lines({"[playlist]", "File1=/m/song1.mp3", "Title1=song1.mp3", "NumberOfEntries=2",
                  "Version=2", "File2=/m/song3.mp3", "Title2=song3.mp3", "Length2=103"});
    QTest::newRow("the only entry")
        << PlaylistOf(1, {1}) << 0 << 1 << Lines({"[playlist]", "NumberOfEntries=0", "Version=2"});
    QTest::newRow("count missing: written as 0")
        << Lines({"[playlist]", "Version=2", "File1=/a.mp3", "Title1=a.mp3"}) << 0 << 1
        << Lines({"[playlist]", "Version=2", "NumberOfEntries=0"});
    QTest::newRow("list shorter than the file: entries above the list stay")
        << PlaylistOf(3) << 0 << 2
        << Lines({"[playlist]", "File1=/m/song2.mp3", "Title1=song2.mp3", "NumberOfEntries=2",
                  "Version=2", "File3=/m/song3.mp3", "Title3=song3.mp3"});
    QTest::newRow("gap: missing keys move as empty values")
        << Lines({"[playlist]", "Version=2", "NumberOfEntries=3", "File1=/a.mp3", "Title1=a.mp3",
                  "File3=/c.mp3"})
        << 0 << 3
        << Lines({"[playlist]", "Version=2", "NumberOfEntries=2",
                  "File1=", "Title1=", "File2=/c.mp3", "Title2="});
    QTest::newRow("CRLF, letter case, quotes, blanks; a title and the last keys missing")
        << QByteArray(
               "[playlist]\r\nfile1=\" /a.mp3 \"\r\nTITLE1 = 'a'\r\nNumberOfEntries=4\r\n"
               "Version=2\r\nFile2=/b.mp3\r\nFILE3 =  /c.mp3\r\nlength3=7\r\nLength1=9")
        << 0 << 4
        << QByteArray(
               "[playlist]\r\nfile1=/b.mp3\r\nTITLE1=\r\nNumberOfEntries=3\r\nVersion=2\r\n"
               "File2=/c.mp3\r\nFILE3=\r\nTitle2=\r\nLength2=7\r\nTitle3=\r\n");
    QTest::newRow("repeated keys and sections, comments, entries above the list")
        << QByteArray(
               "[other]\nFile1=x\n[playlist]\nFile1=/a.mp3\nTitle1=a\n;File2=no\nFile2=/b.mp3\n"
               "File2=/b2.mp3\nTitle2=b\nFile3=/c.mp3\nTitle3=c\nTitle3=c2\nFile4=/d.mp3\n"
               "Title4=d\nNumberOfEntries=4\nVersion=2\n[playlist]\nFile2=/hidden.mp3\n")
        << 1 << 3
        << QByteArray(
               "[other]\nFile1=x\n[playlist]\nFile1=/a.mp3\nTitle1=a\n;File2=no\nFile2=/c.mp3\n"
               "File2=/b2.mp3\nTitle2=c\nFile4=/d.mp3\nTitle4=d\nNumberOfEntries=3\nVersion=2\n"
               "[playlist]\nFile2=/hidden.mp3\n");
    QTest::newRow("no selection does nothing") << PlaylistOf(2) << -1 << 2 << PlaylistOf(2);
    QTest::newRow("index past the list does nothing") << PlaylistOf(2) << 2 << 2 << PlaylistOf(2);
  }
  void deleteEntry() {
    QFETCH(QByteArray, start);
    QFETCH(int, index);
    QFETCH(int, count);
    QFETCH(QByteArray, expected);
    SetContent(start);
    TPlaylistFile().DeleteEntry(index, count);
    QCOMPARE(Content(), expected);
  }

  void deleteEachPositionKeepsOrder() {
    // Remove entry s of 12, with lengths on every third entry, and read the rest back.
    for (int s = 1; s <= 12; ++s) {
      SetContent(PlaylistOf(12, {1, 4, 7, 10, 12}));
      TPlaylistFile().DeleteEntry(s - 1, 12);
      const auto entries = TPlaylistFile().ReadEntriesReporting();
      QVERIFY(entries.has_value());
      QCOMPARE(entries->size(), 11);
      const TIniFile ini(Path());
      for (int n = 1; n <= 11; ++n) {
        const int was = n < s ? n : n + 1;
        QCOMPARE(entries->at(n - 1).Title, QString("song%1.mp3").arg(was));
        QCOMPARE(TPlaylistFile().EntryPath(n), QString("/m/song%1.mp3").arg(was));
        const bool measured = QList<int>{1, 4, 7, 10, 12}.contains(was);
        QCOMPARE(ini.ValueExists("playlist", "Length" + QString::number(n)), measured);
        QCOMPARE(entries->at(n - 1).LengthSeconds, measured ? 100 + was : 0);
      }
      QVERIFY(!ini.ValueExists("playlist", "File12"));
      QVERIFY(!ini.ValueExists("playlist", "Title12"));
      QVERIFY(!ini.ValueExists("playlist", "Length12"));
    }
  }

  // --- Refused writes ------------------------------------------------------------------

  void readOnlyPlaylist_data() {
    QTest::addColumn<int>("operation");
    QTest::newRow("append, file first") << 0;
    QTest::newRow("append, version first") << 1;
    QTest::newRow("append a folder") << 2;
    QTest::newRow("record length") << 3;
    QTest::newRow("delete entry") << 4;
  }
  void readOnlyPlaylist() {
    QFETCH(int, operation);
    const QByteArray start = PlaylistOf(3);
    SetContent(start);
    dir_->MakeReadOnly("lastplay.dat");
    const TPlaylistFile file;
    try {
      switch (operation) {
        case 0:
          file.AppendEntry("/m/x.mp3", TAppendOrder::FileFirst);
          break;
        case 1:
          file.AppendEntry("/m/x.mp3", TAppendOrder::VersionFirst);
          break;
        case 2:
          file.AppendEntries({"/m/x.mp3", "/m/y.mp3"}, TAppendOrder::FileFirst);
          break;
        case 3:
          file.RecordLength(2, 1000);
          break;
        default:
          file.DeleteEntry(0, 3);
      }
      QFAIL("the write was not refused");
    } catch (const EIniFileException& e) {
      QCOMPARE(e.Message(), "Unable to write to " + Path());
    }
    QCOMPARE(Content(), start);
    QCOMPARE(Rows(file.ReadEntriesReporting()).size(), 3);
  }

  // --- Erase, other programs -------------------------------------------------------------

  void erasePlaylist() {
    SetContent(PlaylistOf(2));
    const TPlaylistFile file;
    QVERIFY(file.ErasePlaylist());
    QVERIFY(!QFile::exists(Path()));
    QVERIFY(file.ErasePlaylist());  // nothing there: fine, no message
    QCOMPARE(Messages(), QStringList());
    QVERIFY(!file.ReadEntriesSilent().has_value());
    QVERIFY(!file.ReadEntriesReporting().has_value());
    QCOMPARE(Messages(), QStringList{kMissingMessage});
  }

  void eraseReadOnlyPlaylistKeepsIt() {
    SetContent(PlaylistOf(2));
    dir_->MakeReadOnly("lastplay.dat");
    QVERIFY(!TPlaylistFile().ErasePlaylist());
    QCOMPARE(Content(), PlaylistOf(2));
  }

  void otherProgramsEditsAreSeen() {
    const TPlaylistFile file;
    file.AppendEntries({"/m/a.mp3", "/m/b.mp3"}, TAppendOrder::FileFirst);
    QCOMPARE(Rows(file.ReadEntriesReporting()).size(), 2);
    QByteArray edited = Content();
    edited.replace("Title2=b.mp3", "Title2=x.mp3");  // same size, same file
    {
      QFile out(Path());
      QVERIFY(out.open(QIODevice::ReadWrite));
      out.write(edited);
    }
    QCOMPARE(Rows(file.ReadEntriesReporting()),
             QStringList({"1. a.mp3 (0:00)", "2. x.mp3 (0:00)"}));
    QCOMPARE(Rows(file.ReadEntriesReporting()).size(), 2);
    SetContent(Lines({"[playlist]", "Version=2", "NumberOfEntries=1", "Title1=other.mp3"}));
    QCOMPARE(Rows(file.ReadEntriesReporting()), QStringList{"1. other.mp3 (0:00)"});
    file.AppendEntry("/m/c.mp3", TAppendOrder::FileFirst);
    QCOMPARE(Rows(file.ReadEntriesReporting()),
             QStringList({"1. other.mp3 (0:00)", "2. c.mp3 (0:00)"}));
  }
};

QTEST_MAIN(TestPlaylistFile)
#include "tst_playlistfile.moc"
