// The command line: options, songs and folders, the request handed between two starts, and
// names a playlist cannot hold. (What a request does to a running program: e2e_desktop.)
#include <QtTest>

#include "controls/dtlistbox.h"
#include "desktop/commandline.h"
#include "playlist/songpaths.h"
#include "windowsrig.h"

Q_DECLARE_METATYPE(TCommandLine::Kind)
Q_DECLARE_METATYPE(TRemoteAction)

class TestCommandLine : public QObject {
  Q_OBJECT
 private slots:
  void parse_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<TCommandLine::Kind>("kind");
    QTest::addColumn<TRemoteAction>("action");
    QTest::addColumn<bool>("enqueue");
    QTest::addColumn<QStringList>("pathsOrError");  // the paths of a run, else the error
    const auto row = [](const char* name, const QStringList& arguments, TCommandLine::Kind kind,
                        TRemoteAction action, bool enqueue, const QStringList& pathsOrError) {
      QTest::newRow(name) << arguments << kind << action << enqueue << pathsOrError;
    };
    using K = TCommandLine::Kind;
    using A = TRemoteAction;
    row("enqueue after the songs", {"a.mp3", "--enqueue"}, K::Run, A::None, true, {"a.mp3"});
    row("play-pause", {"--play-pause"}, K::Run, A::PlayPause, false, {});
    row("the same action twice", {"--next", "--next"}, K::Run, A::Next, false, {});
    row("two actions", {"--next", "--stop"}, K::Error, A::Next, false,
        {"brimtone: '--stop' cannot be combined with another action"});
    row("help wins over the rest", {"a.mp3", "--help", "--bogus"}, K::Help, A::None, false, {""});
    row("unknown option", {"--shuffle"}, K::Error, A::None, false,
        {"brimtone: unknown option '--shuffle' (try --help)"});
    row("-- ends the options", {"--", "--help", "-x"}, K::Run, A::None, false, {"--help", "-x"});
  }
  void parse() {
    QFETCH(QStringList, arguments);
    QFETCH(TCommandLine::Kind, kind);
    QFETCH(TRemoteAction, action);
    QFETCH(bool, enqueue);
    QFETCH(QStringList, pathsOrError);
    const TCommandLine line = ParseCommandLine(arguments);
    QCOMPARE(line.kind, kind);
    if (kind != TCommandLine::Kind::Run) {
      QCOMPARE(line.error, pathsOrError.value(0));
      return;
    }
    QCOMPARE(line.error, QString());
    QCOMPARE(line.action, action);
    QCOMPARE(line.enqueue, enqueue);
    QCOMPARE(line.paths, pathsOrError);
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
    QStringList expected;
    for (const char* name : {"one.mp3", "album/A.mp3", "album/b.MP3", "album/c.mp3", "song.MP3"})
      expected << dir.filePath(name);
    QCOMPARE(songs.songs, expected);
    QCOMPARE(songs.error, QString());
    // One missing name fails the whole line.
    songs = ResolveSongs({"one.mp3", "gone.mp3"}, dir.path());
    QCOMPARE(songs.songs, QStringList());
    QCOMPARE(songs.error, QStringLiteral("brimtone: no such file or folder: gone.mp3"));
  }

  void requestRoundTripAndDamagedRequests() {
    TInstanceRequest sent;
    sent.action = TRemoteAction::Previous;
    sent.enqueue = true;
    sent.raise = true;
    sent.songs = QStringList{"/a b/ç.mp3", "/x\nnewline.mp3"};
    const QByteArray bytes = EncodeRequest(sent);
    TInstanceRequest got;
    QVERIFY(DecodeRequest(bytes, got));
    QCOMPARE(got.action, sent.action);
    QCOMPARE(got.enqueue, sent.enqueue);
    QCOMPARE(got.raise, sent.raise);
    QCOMPARE(got.songs, sent.songs);
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
    TInstanceRequest request;
    request.songs << bad << rig.dir.Write("good.mp3", "");
    ApplyRequest(request, *rig.control);
    QCOMPARE(rig.playlist->boxPlaylist->Count(), 2);
    QCOMPARE(rig.dialogs->messages, QStringList{UnstorableNamesMessage({bad})});
    QCOMPARE(rig.fake->OpenFileName(), rig.dir.File("good.mp3"));
  }
};

QTEST_MAIN(TestCommandLine)
#include "tst_commandline.moc"
