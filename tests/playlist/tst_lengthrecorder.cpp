// Lengths found in the background reaching a real "lastplay.dat", with MP3 files made by sox and
// lame, edited while the batch runs: song C is the player's open file, held back until the edit
// is done, which gives each edit a sure moment "during the scan".

#include <QFile>
#include <QTest>

#include "../audio/mp3fixtures.h"
#include "audio/mediaplayer.h"
#include "platform/inifile.h"
#include "playlist/lengthrecorder.h"
#include "support/fakedialogs.h"
#include "support/openwait.h"
#include "support/tempprogramdir.h"

namespace {

// "Length" + n of entries 1..count, "-" where there is none.
QStringList Lengths(int count) {
  const TIniFile ini(TPlaylistFile().FileName());
  QStringList lengths;
  for (int n = 1; n <= count; ++n)
    lengths << ini.ReadString("playlist", QString("Length%1").arg(n), "-");
  return lengths;
}

QString Seconds(const QString& path) {
  TMediaPlayer player;
  OpenAndWait(player, path);
  return QString::number(player.Length() / 1000);
}

}  // namespace

class TestLengthRecorder : public QObject {
  Q_OBJECT
  TMp3Fixtures fixtures_;
  QStringList songs_;  // A, B, C, D: 3.9 s, 5 s, 2.5 s, 6 s

 private slots:
  void initTestCase() {
    const int64_t frames[] = {3 * 44100 + 40000, 5 * 44100, 2 * 44100 + 22050, 6 * 44100};
    for (int i = 0; i < 4; ++i)
      songs_ << fixtures_
                    .Make(QString("%1.mp3").arg(QChar('a' + i)), 44100, 2, frames[i], {"-b", "128"})
                    .path;
    QVERIFY(!songs_.contains(QString()));
  }

  void editsDuringTheBatch_data() {
    QTest::addColumn<QString>("edit");
    QTest::addColumn<QString>("expected");  // Length1.. by song letter, "-" for none
    QTest::newRow("C's file removed") << QString("remove") << "AB-D";
    QTest::newRow("C's file renamed") << QString("rename") << "AB-D";
    QTest::newRow("entry B deleted, refill") << QString("delete") << "ACD";
    QTest::newRow("playlist erased") << QString("erase") << QString();
    QTest::newRow("playlist read-only") << QString("read-only") << "----";
  }
  void editsDuringTheBatch() {
    QFETCH(QString, edit);
    QFETCH(QString, expected);
    TTempProgramDir dir(TTempProgramDir::Skin::None);
    TFakeDialogsScope dialogs;
    const QString c = dir.File("c.mp3");
    QVERIFY(QFile::copy(songs_[2], c));
    const TPlaylistFile playlist;
    playlist.AppendEntries({songs_[0], songs_[1], c, songs_[3]}, TAppendOrder::FileFirst);
    if (edit == "read-only") dir.MakeReadOnly("lastplay.dat");
    const QByteArray before = dir.Read("lastplay.dat");
    QString busy = c;
    int refreshes = 0;
    TLengthRecorder recorder;
    recorder.SetBusyFile([&] { return busy; });
    recorder.SetRefresh([&] { ++refreshes; });
    recorder.Rescan();
    QVERIFY(
        QTest::qWaitFor([&] { return recorder.Done() && recorder.Scanner().Waiting(); }, 60000));

    if (edit == "remove") QVERIFY(QFile::remove(c));
    if (edit == "rename") QVERIFY(QFile::rename(c, c + ".moved"));
    if (edit == "delete") playlist.DeleteEntry(1, 4);
    if (edit == "erase") QVERIFY(playlist.ErasePlaylist());
    if (edit == "delete") recorder.Rescan();  // the refill
    busy.clear();                             // the player moves on
    QVERIFY(
        QTest::qWaitFor([&] { return recorder.Done() && !recorder.Scanner().Waiting(); }, 60000));

    QStringList wanted;
    for (const QChar letter : expected)
      wanted << (letter == '-' ? QString("-") : Seconds(songs_[letter.unicode() - 'A']));
    QCOMPARE(Lengths(wanted.size()), wanted);
    if (edit == "erase") QVERIFY(!QFile::exists(playlist.FileName()));
    if (edit == "read-only") QCOMPARE(dir.Read("lastplay.dat"), before);
    QCOMPARE(refreshes > 0, edit != "read-only");
    QVERIFY(dialogs->messages.isEmpty() && dialogs->errors.isEmpty());
  }
};

QTEST_MAIN(TestLengthRecorder)
#include "tst_lengthrecorder.moc"
