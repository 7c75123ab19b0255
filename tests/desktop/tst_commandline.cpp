// The command line: options, songs and folders, the request handed between two starts, and
// names a playlist cannot hold. (What a request does to a running program: e2e_desktop.)
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QtTest>
#include <tuple>

#include "controls/dtlistbox.h"
#include "desktop/commandline.h"
#include "playlist/songpaths.h"
#include "windowsrig.h"

// A parsed line as "run <action number> [--enqueue] <paths>", "help" or the error.
QString Describe(const TCommandLine& line) {
  if (line.kind != TCommandLine::Kind::Run)
    return line.kind == TCommandLine::Kind::Help ? "help" : line.error;
  QStringList parts{"run", QString::number(int(line.action))};
  if (line.enqueue) parts << "--enqueue";
  return (parts + line.paths).join(' ');
}

class TestCommandLine : public QObject {
  Q_OBJECT
 private slots:
  void parse_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("expected");
    QTest::newRow("enqueue after the songs")
        << QStringList{"a.mp3", "--enqueue"} << "run 0 --enqueue a.mp3";
    QTest::newRow("two actions") << QStringList{"--next", "--stop"}
                                 << "brimtone: '--stop' cannot be combined with another action";
    QTest::newRow("help wins over the rest") << QStringList{"a.mp3", "--help", "--bogus"} << "help";
    QTest::newRow("unknown option")
        << QStringList{"--shuffle"} << "brimtone: unknown option '--shuffle' (try --help)";
    QTest::newRow("-- ends the options") << QStringList{"--", "--help", "-x"} << "run 0 --help -x";
  }
  void parse() {
    QFETCH(QStringList, arguments);
    QFETCH(QString, expected);
    QCOMPARE(Describe(ParseCommandLine(arguments)), expected);
  }

  void resolve() {
    QTemporaryDir dir;
    for (const char* name : {"one.mp3", "song.MP3", "album/c.mp3", "album/A.mp3", "album/b.MP3",
                             "album/notes.txt", "album/inner/d.mp3"}) {
      QDir().mkpath(QFileInfo(dir.filePath(name)).path());
      QFile file(dir.filePath(name));
      QVERIFY(file.open(QIODevice::WriteOnly));
    }
    // In the order given; a folder gives its songs by name, not its sub-folders.
    TResolvedSongs songs = ResolveSongs({"one.mp3", "album/../album", "song.MP3"}, dir.path());
    QCOMPARE(QString(songs.songs.join(' ') + songs.error).remove(dir.path() + '/'),
             QString("one.mp3 album/A.mp3 album/b.MP3 album/c.mp3 song.MP3"));
    // One missing name fails the whole line.
    songs = ResolveSongs({"one.mp3", "gone.mp3"}, dir.path());
    QCOMPARE(songs.songs.join(' ') + songs.error,
             QString("brimtone: no such file or folder: gone.mp3"));
  }

  // Songs ending in ".mp3" in any case, and folders; a name that does not decode is set aside
  // to be reported and the rest go on; anything else fails the whole line.
  void resolveNames_data() {
    QTest::addColumn<QByteArrayList>("names");
    QTest::addColumn<QString>("expected");  // songs | set aside | error
    const auto row = [](const char* name, const QByteArrayList& names, const QString& expected) {
      QTest::newRow(name) << names << expected;
    };
    row("any letter case", {"b.Mp3", "one.mp3"}, "b.Mp3 one.mp3 |  | ");
    row("a name that does not decode", {"caf\xe9.mp3", "one.mp3"},
        QString("one.mp3 | caf\uFFFD.mp3 | "));
    row("a folder whose name does not decode", {"d\xe9"}, QString(" | d\uFFFD/x.MP3 | "));
    row("an empty name", {"one.mp3", ""}, " |  | brimtone: an empty name is no file or folder");
    row("not an MP3", {"one.mp3", "notes.txt"}, " |  | brimtone: not an MP3 file: notes.txt");
  }
  void resolveNames() {
    QFETCH(QByteArrayList, names);
    QFETCH(QString, expected);
    QTemporaryDir dir;
    const QByteArray base = QFile::encodeName(dir.path()) + '/';
    const char* files[] = {"one.mp3", "b.Mp3", "caf\xe9.mp3", "notes.txt", "d\xe9/x.MP3"};
    // QTemporaryDir cannot name what does not decode: those go by their bytes.
    const auto remove = qScopeGuard([&] {
      for (const char* name : files) ::unlink(base + name);
      ::rmdir(base + "d\xe9");
    });
    QVERIFY(::mkdir(base + "d\xe9", 0700) == 0);
    for (const char* name : files)
      QVERIFY(::close(::open(base + name, O_CREAT | O_WRONLY, 0600)) == 0);
    const TResolvedSongs songs = ResolveSongs(names, dir.path());
    QCOMPARE(
        QString(songs.songs.join(' ') + " | " + songs.unstorable.join(' ') + " | " + songs.error)
            .remove(dir.path() + '/'),
        expected);
  }

  void requestRoundTripAndDamagedRequests() {
    TInstanceRequest sent;
    sent.action = TRemoteAction::Previous;
    sent.enqueue = true;
    sent.raise = true;
    sent.songs = QStringList{"/a b/ç.mp3", "/x\nnewline.mp3"};
    sent.unstorable = QStringList{"/caf\uFFFD.mp3"};
    const QByteArray bytes = EncodeRequest(sent);
    TInstanceRequest got;
    QVERIFY(DecodeRequest(bytes, got));
    QVERIFY(std::tie(got.action, got.enqueue, got.raise, got.songs, got.unstorable) ==
            std::tie(sent.action, sent.enqueue, sent.raise, sent.songs, sent.unstorable));
    QByteArray wrongAction = bytes;
    wrongAction[7] = char(99);  // the action's lowest byte
    for (const QByteArray& damaged : {bytes.left(bytes.size() - 3), bytes + "x", wrongAction}) {
      TInstanceRequest kept;
      QVERIFY(!DecodeRequest(damaged, kept));
      QVERIFY(!kept.raise && kept.songs.isEmpty());  // left as it was
    }
  }

  void unstorableNamesAreSkippedWithTheMessage() {
    TWindowsRig rig(1);
    const QString bad = rig.dir.Path() + "two\nlines.mp3";
    const QString undecodable = rig.dir.Path() + "caf\uFFFD.mp3";
    TInstanceRequest request;
    request.songs << bad << rig.dir.Write("good.mp3", "");
    request.unstorable << undecodable;
    ApplyRequest(request, *rig.control);
    QCOMPARE(rig.playlist->boxPlaylist->Count(), 2);
    QCOMPARE(rig.dialogs->messages, QStringList{UnstorableNamesMessage({bad, undecodable})});
    QCOMPARE(rig.fake->OpenFileName(), rig.dir.File("good.mp3"));
  }
};

QTEST_MAIN(TestCommandLine)
#include "tst_commandline.moc"
