// Lengths found in the background reaching the playlist file: real MP3 files made with sox and
// lame, the real scanner and a real "lastplay.dat", edited while the batch runs. The file the
// player has open holds a song back, which gives each edit a sure moment "during the scan".

#include <QFile>
#include <QTest>

#include "../audio/mp3fixtures.h"
#include "audio/mpg123sdlengine.h"
#include "platform/inifile.h"
#include "playlist/lengthrecorder.h"
#include "playlist/playlistfile.h"
#include "support/fakedialogs.h"
#include "support/tempprogramdir.h"

using TLengths = QMap<int, QString>;

namespace {

constexpr int kWaitMs = 60000;  // a bound for a hung recorder, not a timing target

// "Length" + n of each entry 1..count, "-" where there is none.
QStringList Lengths(int count) {
  const TIniFile ini(TPlaylistFile().FileName());
  QStringList lengths;
  for (int n = 1; n <= count; ++n)
    lengths << ini.ReadString("playlist", "Length" + QString::number(n), "-");
  return lengths;
}

QString Seconds(const QString& path) {
  TMpg123SdlEngine engine;
  engine.Open(path);
  return QString::number(engine.Length() / 1000);
}

}  // namespace

class TestLengthRecorder : public QObject {
  Q_OBJECT

  TMp3Fixtures fixtures_;
  QStringList songs_;  // four songs of different lengths
  std::unique_ptr<TTempProgramDir> dir_;
  std::unique_ptr<TFakeDialogsScope> dialogs_;
  std::unique_ptr<TLengthRecorder> recorder_;
  QString busy_;  // the file the "player" has open
  int refreshes_ = 0;

  // A copy of song i under a name of this test's own.
  QString Copy(int i, const QString& name) {
    const QString path = fixtures_.Dir() + "/" + name;
    QFile::remove(path);
    if (!QFile::copy(songs_.at(i), path)) qFatal("cannot copy %s", qPrintable(path));
    return path;
  }
  void WritePlaylist(const QStringList& paths, const TLengths& lengths = {}) {
    QByteArray text = "[playlist]\n";
    for (int n = 1; n <= paths.size(); ++n) {
      text += QString("File%1=%2\nTitle%1=%3\n")
                  .arg(n)
                  .arg(paths[n - 1], TPlaylistFile::FileNamePart(paths[n - 1]))
                  .toUtf8();
      if (lengths.contains(n)) text += QString("Length%1=%2\n").arg(n).arg(lengths[n]).toUtf8();
    }
    text += QString("NumberOfEntries=%1\nVersion=2\n").arg(paths.size()).toUtf8();
    dir_->Write("lastplay.dat", text);
  }
  // Waits until everything found is written; false when it never settles.
  bool Settle() {
    return QTest::qWaitFor([&] { return recorder_->Done(); }, kWaitMs);
  }
  // Waits until the scanner holds back the busy song and has done everything else.
  bool HeldBack() {
    return QTest::qWaitFor([&] { return recorder_->Done() && recorder_->Scanner().Waiting() > 0; },
                           kWaitMs);
  }

 private slots:
  void initTestCase() {
    QVERIFY(fixtures_.Valid());
    const int64_t frames[] = {3 * 44100 + 44000, 5 * 44100 + 100, 2 * 44100 + 22050, 6 * 44100};
    for (int i = 0; i < 4; ++i) {
      const TMp3Fixture song = fixtures_.Make(QString("song%1.mp3").arg(i), 44100, 2, frames[i],
                                              {"-b", i % 2 ? "128" : "192"});
      QVERIFY(!song.path.isEmpty());
      songs_ << song.path;
    }
  }
  void init() {
    dir_ = std::make_unique<TTempProgramDir>(TTempProgramDir::Skin::None);
    dialogs_ = std::make_unique<TFakeDialogsScope>();
    recorder_ = std::make_unique<TLengthRecorder>();
    busy_.clear();
    refreshes_ = 0;
    recorder_->SetBusyFile([this] { return busy_; });
    recorder_->SetRefresh([this] { ++refreshes_; });
  }
  void cleanup() {
    recorder_.reset();
    dialogs_.reset();
    dir_.reset();
  }

  // Every entry without a length gets the one the player would record; nothing else changes.
  void fillsEveryUnmeasuredEntry_data() {
    QTest::addColumn<QStringList>("entries");   // "0".."3": the song; "missing", "garbage"
    QTest::addColumn<TLengths>("lengths");      // lengths already in the file
    QTest::addColumn<QStringList>("expected");  // "s0".."s3": that song's seconds
    QTest::addColumn<bool>("refreshed");
    QTest::newRow("all unmeasured") << QStringList{"0", "1", "2", "3"} << TLengths{}
                                    << QStringList{"s0", "s1", "s2", "s3"} << true;
    QTest::newRow("measured ones kept, even when wrong")
        << QStringList{"0", "1", "2"} << TLengths{{2, "999"}, {3, ""}}
        << QStringList{"s0", "999", ""} << true;
    QTest::newRow("one song in two entries")
        << QStringList{"1", "1"} << TLengths{} << QStringList{"s1", "s1"} << true;
    QTest::newRow("missing and undecodable files keep no length")
        << QStringList{"missing", "0", "garbage"} << TLengths{} << QStringList{"-", "s0", "-"}
        << true;
    QTest::newRow("nothing measurable: no write, no refresh")
        << QStringList{"missing", "garbage"} << TLengths{} << QStringList{"-", "-"} << false;
    QTest::newRow("all measured already")
        << QStringList{"0"} << TLengths{{1, "12"}} << QStringList{"12"} << false;
  }
  void fillsEveryUnmeasuredEntry() {
    QFETCH(QStringList, entries);
    QFETCH(TLengths, lengths);
    QFETCH(QStringList, expected);
    QFETCH(bool, refreshed);
    QStringList paths;
    for (const QString& e : entries) {
      if (e == "missing")
        paths << fixtures_.Dir() + "/not-there.mp3";
      else if (e == "garbage")
        paths << fixtures_.Write("garbage.mp3", QByteArray(50000, 'g'));
      else
        paths << songs_.at(e.toInt());
    }
    for (QString& e : expected)
      if (e.startsWith('s')) e = Seconds(songs_.at(e.mid(1).toInt()));
    WritePlaylist(paths, lengths);
    const QByteArray before = dir_->Read("lastplay.dat");

    recorder_->Rescan();
    QVERIFY(Settle());
    QCOMPARE(Lengths(entries.size()), expected);
    QCOMPARE(refreshes_ > 0, refreshed);
    if (!refreshed) QCOMPARE(dir_->Read("lastplay.dat"), before);
    QVERIFY((*dialogs_)->messages.isEmpty());
    QVERIFY((*dialogs_)->errors.isEmpty());
  }

  // Song 2 ("C") is held back as the player's open file; the edit comes while it waits.
  void editsDuringTheBatch_data() {
    QTest::addColumn<QString>("edit");
    QTest::addColumn<QStringList>("expected");  // Length1.., "sN": song N's seconds
    QTest::newRow("file removed") << "remove" << QStringList{"s0", "s1", "-", "s3"};
    QTest::newRow("file renamed") << "rename" << QStringList{"s0", "s1", "-", "s3"};
    QTest::newRow("file renamed, the entry follows, a refill")
        << "rename+entry" << QStringList{"s0", "s1", "s2", "s3"};
    QTest::newRow("entry above it deleted, a refill") << "delete" << QStringList{"s0", "s2", "s3"};
    QTest::newRow("entry above it deleted by another program")
        << "delete-unseen" << QStringList{"s0", "-", "s3"};
    QTest::newRow("entry above it deleted by another program, a refill later")
        << "delete-unseen+refill" << QStringList{"s0", "s2", "s3"};
    QTest::newRow("its entry pointed at another song by another program")
        << "repoint-unseen" << QStringList{"s0", "s1", "-", "s3"};
    QTest::newRow("songs appended, a refill")
        << "append" << QStringList{"s0", "s1", "s2", "s3", "s1", "s0"};
    QTest::newRow("its entry deleted, a refill") << "delete-it" << QStringList{"s0", "s1", "s3"};
    QTest::newRow("playlist erased") << "erase" << QStringList{};
  }
  void editsDuringTheBatch() {
    QFETCH(QString, edit);
    QFETCH(QStringList, expected);
    const QStringList paths = {Copy(0, "a.mp3"), Copy(1, "b.mp3"), Copy(2, "c.mp3"),
                               Copy(3, "d.mp3")};
    WritePlaylist(paths);
    busy_ = songs_.at(2);  // another name, the same file: held back all the same
    QFile::remove(paths[2]);
    QCOMPARE(::link(QFile::encodeName(songs_.at(2)).constData(),
                    QFile::encodeName(paths[2]).constData()),
             0);
    recorder_->Rescan();
    QVERIFY(HeldBack());
    QCOMPARE(Lengths(4),
             (QStringList{Seconds(songs_[0]), Seconds(songs_[1]), "-", Seconds(songs_[3])}));

    const TPlaylistFile playlist;
    if (edit == "remove") QVERIFY(QFile::remove(paths[2]));
    if (edit.startsWith("rename")) {
      QFile::remove(paths[2] + ".renamed.mp3");
      QVERIFY(QFile::rename(paths[2], paths[2] + ".renamed.mp3"));
    }
    if (edit == "rename+entry") {
      TIniFile(playlist.FileName()).WriteString("playlist", "File3", paths[2] + ".renamed.mp3");
      recorder_->Rescan();
    }
    if (edit == "delete") {
      playlist.DeleteEntry(1, 4);
      recorder_->Rescan();
    }
    if (edit.startsWith("delete-unseen")) playlist.DeleteEntry(1, 4);
    if (edit == "repoint-unseen")
      TIniFile(playlist.FileName()).WriteString("playlist", "File3", songs_[1]);
    if (edit == "append") {
      playlist.AppendEntries({songs_[1], songs_[0]}, TAppendOrder::FileFirst);
      recorder_->Rescan();
    }
    if (edit == "delete-it") {
      playlist.DeleteEntry(2, 4);
      recorder_->Rescan();
    }
    if (edit == "erase") QVERIFY(playlist.ErasePlaylist());
    busy_.clear();  // the player moves on
    QVERIFY(QTest::qWaitFor([&] { return recorder_->Scanner().Waiting() == 0; }, kWaitMs));
    QVERIFY(Settle());
    if (edit == "delete-unseen+refill") {
      recorder_->Rescan();
      QVERIFY(Settle());
    }

    for (QString& e : expected)
      if (e.startsWith('s')) e = Seconds(songs_.at(e.mid(1).toInt()));
    if (edit == "erase")
      QVERIFY(!QFile::exists(playlist.FileName()));
    else
      QCOMPARE(Lengths(expected.size()), expected);
    QVERIFY((*dialogs_)->messages.isEmpty());
  }

  // A playlist that refuses writes: nothing stored, nothing said, nothing refreshed.
  void readOnlyPlaylist_data() {
    QTest::addColumn<int>("rescans");
    QTest::newRow("one look") << 1;
    QTest::newRow("looked at again") << 3;
  }
  void readOnlyPlaylist() {
    QFETCH(int, rescans);
    WritePlaylist({songs_[0], songs_[1]});
    dir_->MakeReadOnly("lastplay.dat");
    const QByteArray before = dir_->Read("lastplay.dat");
    for (int i = 0; i < rescans; ++i) {
      recorder_->Rescan();
      QVERIFY(Settle());
    }
    QCOMPARE(dir_->Read("lastplay.dat"), before);
    QCOMPARE(recorder_->Written(), 0);
    QCOMPARE(refreshes_, 0);
    QVERIFY((*dialogs_)->messages.isEmpty());
  }

  // After Stop nothing more reaches the file, also what was found just before.
  void stopWritesNothingMore_data() {
    QTest::addColumn<bool>("afterResults");
    QTest::newRow("before any result") << false;
    QTest::newRow("with results not yet written") << true;
  }
  void stopWritesNothingMore() {
    QFETCH(bool, afterResults);
    WritePlaylist({songs_[0], songs_[1], songs_[2]});
    recorder_->RescanNow();
    if (afterResults) {
      // Results arrive on the event loop; the write waits for its timer, which never runs here.
      QVERIFY(QTest::qWaitFor([&] { return recorder_->Scanner().Idle(); }, kWaitMs));
      QCoreApplication::sendPostedEvents(&recorder_->Scanner());
    }
    recorder_->Stop();
    const QByteArray atStop = dir_->Read("lastplay.dat");
    recorder_->Rescan();
    recorder_->Commit();
    QTest::qWait(200);
    QCOMPARE(dir_->Read("lastplay.dat"), atStop);
    QCOMPARE(Lengths(3), (QStringList{"-", "-", "-"}));
  }
};

QTEST_MAIN(TestLengthRecorder)
#include "tst_lengthrecorder.moc"
