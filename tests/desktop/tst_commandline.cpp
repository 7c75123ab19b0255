// The command line: options, songs and folders, the request handed between two starts, and
// what a request does to the real windows.
#include <QtTest>

#include "controls/dtlistbox.h"
#include "desktop/commandline.h"
#include "platform/inifile.h"
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
    QTest::addColumn<QStringList>("paths");
    QTest::addColumn<QString>("error");
    using K = TCommandLine::Kind;
    using A = TRemoteAction;
    const QStringList none;
    QTest::newRow("nothing") << none << K::Run << A::None << false << none << "";
    QTest::newRow("songs") << QStringList{"a.mp3", "b"} << K::Run << A::None << false
                           << QStringList{"a.mp3", "b"} << "";
    QTest::newRow("enqueue after the songs") << QStringList{"a.mp3", "--enqueue"} << K::Run
                                             << A::None << true << QStringList{"a.mp3"} << "";
    QTest::newRow("play-pause") << QStringList{"--play-pause"} << K::Run << A::PlayPause << false
                                << none << "";
    QTest::newRow("play") << QStringList{"--play"} << K::Run << A::Play << false << none << "";
    QTest::newRow("pause") << QStringList{"--pause"} << K::Run << A::Pause << false << none << "";
    QTest::newRow("stop") << QStringList{"--stop"} << K::Run << A::Stop << false << none << "";
    QTest::newRow("next") << QStringList{"--next"} << K::Run << A::Next << false << none << "";
    QTest::newRow("previous") << QStringList{"--previous"} << K::Run << A::Previous << false << none
                              << "";
    QTest::newRow("the same action twice")
        << QStringList{"--next", "--next"} << K::Run << A::Next << false << none << "";
    QTest::newRow("two actions") << QStringList{"--next", "--stop"} << K::Error << A::Next << false
                                 << none
                                 << "brimtone: '--stop' cannot be combined with another action";
    QTest::newRow("help wins over the rest") << QStringList{"a.mp3", "--help", "--bogus"} << K::Help
                                             << A::None << false << QStringList{"a.mp3"} << "";
    QTest::newRow("-h") << QStringList{"-h"} << K::Help << A::None << false << none << "";
    QTest::newRow("version") << QStringList{"--version"} << K::Version << A::None << false << none
                             << "";
    QTest::newRow("unknown option") << QStringList{"--shuffle"} << K::Error << A::None << false
                                    << none << "brimtone: unknown option '--shuffle' (try --help)";
    QTest::newRow("unknown short option") << QStringList{"-x"} << K::Error << A::None << false
                                          << none << "brimtone: unknown option '-x' (try --help)";
    QTest::newRow("-- ends the options") << QStringList{"--", "--help", "-x"} << K::Run << A::None
                                         << false << QStringList{"--help", "-x"} << "";
    QTest::newRow("a lone dash is a name")
        << QStringList{"-"} << K::Run << A::None << false << QStringList{"-"} << "";
  }
  void parse() {
    QFETCH(QStringList, arguments);
    QFETCH(TCommandLine::Kind, kind);
    QFETCH(QString, error);
    const TCommandLine line = ParseCommandLine(arguments);
    QCOMPARE(line.kind, kind);
    QCOMPARE(line.error, error);
    if (kind != TCommandLine::Kind::Run) return;
    QFETCH(TRemoteAction, action);
    QFETCH(bool, enqueue);
    QFETCH(QStringList, paths);
    QCOMPARE(line.action, action);
    QCOMPARE(line.enqueue, enqueue);
    QCOMPARE(line.paths, paths);
  }

  void resolve_data() {
    QTest::addColumn<QStringList>("given");     // relative to the temporary folder
    QTest::addColumn<QStringList>("expected");  // relative to it; empty with an error
    QTest::addColumn<QString>("error");
    QTest::newRow("a file") << QStringList{"one.mp3"} << QStringList{"one.mp3"} << "";
    QTest::newRow("any name a file manager hands over")
        << QStringList{"song.MP3", "noext"} << QStringList{"song.MP3", "noext"} << "";
    QTest::newRow("a folder: its songs by name, sub-folders left")
        << QStringList{"album"} << QStringList{"album/A.mp3", "album/b.MP3", "album/c.mp3"} << "";
    QTest::newRow("order as given")
        << QStringList{"one.mp3", "album", "song.MP3"}
        << QStringList{"one.mp3", "album/A.mp3", "album/b.MP3", "album/c.mp3", "song.MP3"} << "";
    QTest::newRow("dot segments cleaned")
        << QStringList{"album/../one.mp3"} << QStringList{"one.mp3"} << "";
    QTest::newRow("a missing file fails the whole line")
        << QStringList{"one.mp3", "gone.mp3"} << QStringList{}
        << "brimtone: no such file or folder: gone.mp3";
  }
  void resolve() {
    QFETCH(QStringList, given);
    QFETCH(QStringList, expected);
    QFETCH(QString, error);
    QTemporaryDir dir;
    for (const QString& name : {"one.mp3", "song.MP3", "noext", "album/c.mp3", "album/A.mp3",
                                "album/b.MP3", "album/notes.txt", "album/inner/d.mp3"}) {
      QDir().mkpath(QFileInfo(dir.filePath(name)).path());
      QFile file(dir.filePath(name));
      QVERIFY(file.open(QIODevice::WriteOnly));
    }
    const TResolvedSongs songs = ResolveSongs(given, dir.path());
    QStringList relative;
    for (const QString& song : songs.songs) {
      QVERIFY2(song.startsWith(dir.path() + '/'), qPrintable(song));
      relative << song.mid(dir.path().size() + 1);
    }
    QCOMPARE(relative, expected);
    QCOMPARE(songs.error, error);
  }

  void absolutePathsStay() {
    QTemporaryDir dir;
    QFile file(dir.filePath("x.mp3"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(ResolveSongs({dir.filePath("x.mp3")}, "/").songs, QStringList{dir.filePath("x.mp3")});
  }

  void requestRoundTrip_data() {
    QTest::addColumn<int>("action");
    QTest::addColumn<bool>("enqueue");
    QTest::addColumn<bool>("raise");
    QTest::addColumn<QStringList>("songs");
    QTest::newRow("bare start") << int(TRemoteAction::None) << false << true << QStringList{};
    QTest::newRow("songs") << int(TRemoteAction::None) << true << false
                           << QStringList{"/a b/ç.mp3", "/x\nnewline.mp3"};
    QTest::newRow("previous") << int(TRemoteAction::Previous) << false << false << QStringList{};
  }
  void requestRoundTrip() {
    QFETCH(int, action);
    QFETCH(bool, enqueue);
    QFETCH(bool, raise);
    QFETCH(QStringList, songs);
    TInstanceRequest sent;
    sent.action = TRemoteAction(action);
    sent.enqueue = enqueue;
    sent.raise = raise;
    sent.songs = songs;
    TInstanceRequest got;
    QVERIFY(DecodeRequest(EncodeRequest(sent), got));
    QCOMPARE(int(got.action), action);
    QCOMPARE(got.enqueue, enqueue);
    QCOMPARE(got.raise, raise);
    QCOMPARE(got.songs, songs);
  }

  void badRequestsAreRefused_data() {
    QTest::addColumn<QByteArray>("bytes");
    TInstanceRequest request;
    request.songs = QStringList{"/a.mp3"};
    const QByteArray good = EncodeRequest(request);
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("text") << QByteArray("GET / HTTP/1.0\r\n\r\n");
    QTest::newRow("cut short") << good.left(good.size() - 3);
    QTest::newRow("trailing bytes") << good + "x";
    QByteArray wrongAction = good;
    wrongAction[7] = char(99);  // the action's lowest byte
    QTest::newRow("unknown action") << wrongAction;
  }
  void badRequestsAreRefused() {
    QFETCH(QByteArray, bytes);
    TInstanceRequest request;
    request.raise = true;
    QVERIFY(!DecodeRequest(bytes, request));
    QVERIFY(request.raise);  // left as it was
  }

  // What a request does to the windows (scripted engine; three songs, row 1 selected).
  void apply_data() {
    QTest::addColumn<QString>("before");  // "stopped", "playing", "paused"
    QTest::addColumn<int>("action");
    QTest::addColumn<bool>("enqueue");
    QTest::addColumn<int>("newSongs");
    QTest::addColumn<QString>("state");
    QTest::addColumn<QString>("song");  // the open song's name
    QTest::addColumn<int>("rows");
    using A = TRemoteAction;
    QTest::newRow("songs play the first added")
        << "stopped" << int(A::None) << false << 2 << "playing"
        << "new1.mp3" << 5;
    QTest::newRow("songs replace a playing song")
        << "playing" << int(A::None) << false << 1 << "playing"
        << "new1.mp3" << 4;
    QTest::newRow("enqueue only appends") << "stopped" << int(A::None) << true << 2 << "stopped"
                                          << "" << 5;
    QTest::newRow("enqueue leaves a playing song")
        << "playing" << int(A::None) << true << 1 << "playing"
        << "2.mp3" << 4;
    QTest::newRow("play goes on from a pause")
        << "paused" << int(A::Play) << false << 0 << "playing"
        << "2.mp3" << 3;
    QTest::newRow("play leaves a playing song")
        << "playing" << int(A::Play) << false << 0 << "playing"
        << "2.mp3" << 3;
    QTest::newRow("pause pauses") << "playing" << int(A::Pause) << false << 0 << "paused"
                                  << "2.mp3" << 3;
    QTest::newRow("previous") << "playing" << int(A::Previous) << false << 0 << "playing"
                              << "1.mp3" << 3;
    QTest::newRow("pause does not resume") << "paused" << int(A::Pause) << false << 0 << "paused"
                                           << "2.mp3" << 3;
  }
  void apply() {
    QFETCH(QString, before);
    QFETCH(int, action);
    QFETCH(bool, enqueue);
    QFETCH(int, newSongs);
    QFETCH(QString, state);
    QFETCH(QString, song);
    QFETCH(int, rows);
    TWindowsRig rig(3);
    rig.Select(1);
    if (before != "stopped") rig.PlayRow(1);
    if (before == "paused") rig.main->PauseClick(nullptr);
    TInstanceRequest request;
    request.action = TRemoteAction(action);
    request.enqueue = enqueue;
    for (int n = 1; n <= newSongs; ++n)
      request.songs << rig.dir.Write("new/new" + QString::number(n) + ".mp3", "");
    ApplyRequest(request, *rig.control);
    const QString now = !rig.main->Playing ? "stopped" : rig.main->Paused ? "paused" : "playing";
    QCOMPARE(now, state);
    QCOMPARE(rig.fake->OpenFileName().section('/', -1), song);
    QCOMPARE(rig.playlist->boxPlaylist->Count(), rows);
    QVERIFY(rig.dialogs->messages.isEmpty());
  }

  void songsAreWrittenInDropOrderAndOneRefill() {
    TWindowsRig rig(1);
    int refills = 0;
    connect(rig.playlist.get(), &TformPlaylist::playlistUpdated, this, [&] { ++refills; });
    TInstanceRequest request;
    request.enqueue = true;
    request.songs << rig.dir.Write("a.mp3", "") << rig.dir.Write("b.mp3", "");
    ApplyRequest(request, *rig.control);
    QCOMPARE(refills, 1);
    const QString text = QString::fromUtf8(rig.dir.Read("lastplay.dat"));
    // A drop writes Version and the count before each entry's keys.
    QVERIFY2(text.indexOf("NumberOfEntries=3") < text.indexOf("File3="), qPrintable(text));
    QCOMPARE(TIniFile(rig.dir.File("lastplay.dat")).ReadString("playlist", "File3", ""),
             rig.dir.File("b.mp3"));
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
