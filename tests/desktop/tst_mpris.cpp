// The MPRIS service on a private session bus (run under dbus-run-session), driven by a client
// on its own bus connection: the methods, the writable properties, and the change signal.
#include <QtDBus>
#include <QtTest>

#include "audio/lengthscanner.h"
#include "controls/dtlistbox.h"
#include "desktop/coverart.h"
#include "desktop/mprisplayer.h"
#include "desktop/mprisservice.h"
#include "windowsrig.h"

namespace {

const QString kPlayer = "org.mpris.MediaPlayer2.Player";
const QString kRoot = "org.mpris.MediaPlayer2";
const QString kProperties = "org.freedesktop.DBus.Properties";

// The windows with the service on the bus, and a client on its own connection collecting
// what the service announces in PropertiesChanged.
class TBusRig : public QObject, public TWindowsRig {
  Q_OBJECT
 public:
  TBusRig()
      : TWindowsRig(3),
        service(*control),
        client(QDBusConnection::connectToBus(QDBusConnection::SessionBus, "client")) {
    service.Start(QDBusConnection::sessionBus());
    client.connect(service.ServiceName(), TMprisService::kObjectPath, kProperties,
                   "PropertiesChanged", this,
                   SLOT(PropertiesChanged(QString, QVariantMap, QStringList)));
  }
  ~TBusRig() { QDBusConnection::disconnectFromBus("client"); }

  TMprisService service;
  QDBusConnection client;
  QMap<QString, QString> changed;

 public slots:
  void PropertiesChanged(const QString& interface, const QVariantMap& values, const QStringList&) {
    for (auto it = values.begin(); interface == kPlayer && it != values.end(); ++it)
      changed["changed." + it.key()] = it.value().toString();
    if (!values.contains("Metadata")) return;
    const auto metadata = qdbus_cast<QVariantMap>(values["Metadata"].value<QDBusArgument>());
    changed["changed.trackid"] = metadata["mpris:trackid"].value<QDBusObjectPath>().path();
    changed["changed.length"] = metadata["mpris:length"].toString();
  }

  // A call from the client, answered within a second or an error.
  QDBusMessage Call(const QString& interface, const QString& method, const QVariantList& args) {
    QDBusMessage message = QDBusMessage::createMethodCall(
        service.ServiceName(), TMprisService::kObjectPath, interface, method);
    message.setArguments(args);
    QDBusPendingCall pending = client.asyncCall(message, 1000);
    QTest::qWaitFor([&] { return pending.isFinished(); }, 5000);
    return pending.reply();
  }
  QVariant Get(const QString& property) {
    return Call(kProperties, "Get", {kPlayer, property})
        .arguments()
        .value(0)
        .value<QDBusVariant>()
        .variant();
  }
  QVariantMap Metadata() { return qdbus_cast<QVariantMap>(Get("Metadata").value<QDBusArgument>()); }
};

QVariantList Set(const QString& name, const QVariant& value) {
  return {kPlayer, name, QVariant::fromValue(QDBusVariant(value))};
}

}  // namespace

class TestMpris : public QObject {
  Q_OBJECT
 private slots:
  // A method or writable property called by the client, or a button clicked on the player
  // window; `expected` lists what is then seen, changed.<name> being announced values. A
  // SetPosition row's first argument is the number of the song whose id is sent.
  void callsAndSignals_data() {
    QTest::addColumn<QString>("setup");  // stopped, or song 2 playing at 60 s
    QTest::addColumn<QString>("method");
    QTest::addColumn<QVariantList>("arguments");
    QTest::addColumn<QString>("expected");
    const auto row = [](const char* setup, const char* method, const QVariantList& arguments,
                        const char* expected) {
      QTest::addRow("%s %s", method, expected)
          << QString(setup) << QString(method) << arguments << QString(expected);
    };
    const qlonglong s = 1000000;  // a second in microseconds
    row("stopped", "Play", {}, "answer=ok,state=playing,song=1.mp3");
    row("playing", "Pause", {}, "answer=ok,state=paused,pos=60000,changed.PlaybackStatus=Paused");
    row("playing", "PlayPause", {}, "answer=ok,state=paused");
    row("playing", "Stop", {}, "answer=ok,state=stopped,changed.PlaybackStatus=Stopped");
    row("playing", "Next", {}, "answer=ok,state=playing,song=3.mp3");
    row("playing", "Previous", {}, "answer=ok,state=playing,song=1.mp3");
    row("stopped", "Raise", {}, "answer=ok,state=stopped");
    row("playing", "Seek", {5 * s}, "answer=ok,song=2.mp3,pos=65000");
    row("playing", "SetPosition", {2, 30 * s}, "answer=ok,pos=30000");
    row("playing", "SetPosition", {3, 30 * s}, "answer=ok,pos=60000");
    row("stopped", "OpenUri", {"file://@/new%20song.mp3"},
        "answer=ok,state=playing,song=new song.mp3,rows=4");
    row("stopped", "OpenUri", {"file://@/NEW.MP3"}, "answer=ok,song=NEW.MP3,rows=4");
    row("stopped", "OpenUri", {"file://@/gone.mp3"}, "answer=error,state=stopped,rows=3");
    row("stopped", "OpenUri", {"file:new%20song.mp3"}, "answer=error,rows=3");
    row("stopped", "OpenUri", {"file://@/notes.txt"}, "answer=error,rows=3");
    row("stopped", "OpenUri", {"file://elsewhere@/new%20song.mp3"}, "answer=error,rows=3");
    row("stopped", "OpenUri", {"http://example.org/a.mp3"}, "answer=error,rows=3");
    row("stopped", "Set", Set("LoopStatus", "Track"),
        "answer=ok,repeat=1,changed.LoopStatus=Track");
    row("stopped", "Set", Set("LoopStatus", "Forever"), "answer=ok,repeat=0");
    row("stopped", "Set", Set("Shuffle", true), "answer=ok,shuffle=on,changed.Shuffle=true");
    row("stopped", "Set", Set("Volume", 0.25), "answer=ok,volume=16384");
    row("playing", "Get", {kPlayer, "Position"}, "answer=ok,value=60000000");
    row("stopped", "Play button", {}, "state=playing,changed.PlaybackStatus=Playing");
  }
  void callsAndSignals() {
    QFETCH(QString, setup);
    QFETCH(QString, method);
    QFETCH(QVariantList, arguments);
    QFETCH(QString, expected);
    TBusRig rig;
    for (const char* name : {"new song.mp3", "NEW.MP3", "notes.txt"}) rig.dir.Write(name, "");
    // A relative URI must not find the song where the program happens to run.
    const QString cwd = QDir::currentPath();
    const auto restore = qScopeGuard([&] { QDir::setCurrent(cwd); });
    QDir::setCurrent(rig.dir.Path());
    if (setup == "playing") {
      rig.PlayRow(1);
      rig.fake->SetPosition(60000);
    }
    if (method == "SetPosition") {  // the playing song's id, or another song's
      TTrackInfo other;
      other.Path = rig.Song(3);
      arguments[0] = arguments[0].toInt() == 2
                         ? QVariant::fromValue(TMprisPlayer::TrackId(rig.control->Track()))
                         : QVariant::fromValue(TMprisPlayer::TrackId(other));
    }
    if (method == "OpenUri")
      arguments[0] = arguments[0].toString().replace('@', rig.dir.Path().chopped(1));
    QDBusMessage reply;
    if (method == "Play button") {
      QTest::mouseClick(rig.main->Play, Qt::LeftButton);
    } else {
      QDBusMessage message =
          QDBusMessage::createMethodCall(rig.service.ServiceName(), TMprisService::kObjectPath,
                                         method == "Get" || method == "Set" ? kProperties
                                         : method == "Raise"                ? kRoot
                                                                            : kPlayer,
                                         method);
      message.setArguments(arguments);
      QDBusPendingCall pending = rig.client.asyncCall(message, 10000);
      QTRY_VERIFY_WITH_TIMEOUT(pending.isFinished(), 10000);
      reply = pending.reply();
    }
    // What differs from `expected`, once the signals had time to arrive.
    const auto differences = [&] {
      const TformMain& main = *rig.main;
      QMap<QString, QString> seen = rig.changed;
      seen["answer"] = reply.type() == QDBusMessage::ReplyMessage ? "ok" : "error";
      seen["value"] = reply.arguments().value(0).value<QDBusVariant>().variant().toString();
      seen["state"] = !main.Playing ? "stopped" : main.Paused ? "paused" : "playing";
      seen["song"] = rig.fake->OpenFileName().section('/', -1);
      seen["pos"] = QString::number(main.Mp3MediaPlayer->Position());
      seen["repeat"] = QString::number(main.RepeatMode);
      seen["shuffle"] = main.Shuffle ? "on" : "off";
      seen["volume"] = QString::number(main.barVolume->Position());
      seen["rows"] = QString::number(rig.playlist->boxPlaylist->Count());
      QStringList different;
      for (const QString& pair : expected.split(','))
        if (pair.section('=', 1) != seen.value(pair.section('=', 0, 0))) different << pair;
      return different.join(',');
    };
    QTRY_COMPARE_WITH_TIMEOUT(differences(), QString(), 5000);
  }

  // Song 1 ended and song 2 did not open: Playing stays true with no song open. Reads and
  // clicks then raise nothing and get their answer; a method whose handler opens a box has
  // had its reply before the box.
  void afterAFailedStart_data() {
    QTest::addColumn<QString>("what");
    QTest::addColumn<QString>("expected");
    QTest::newRow("PlaybackStatus") << "PlaybackStatus"
                                    << "Stopped";
    QTest::newRow("CanSeek") << "CanSeek"
                             << "false";
    QTest::newRow("Position") << "Position"
                              << "0";
    QTest::newRow("Metadata: no length") << "Metadata"
                                         << "2.mp3 ";
    QTest::newRow("clicks and keys on both windows") << "clicks"
                                                     << "Stopped";
    QTest::newRow("Next onto another broken song") << "Next"
                                                   << "replied before the box";
  }
  void afterAFailedStart() {
    QFETCH(QString, what);
    QFETCH(QString, expected);
    TBusRig rig;
    rig.fake->FailOpen(rig.Song(2));
    rig.fake->FailOpen(rig.Song(3));
    rig.PlayRow(0);
    QVERIFY(rig.fake->FinishSong());
    DeliverPostedNotices();
    QVERIFY(rig.main->Playing && !rig.main->Mp3MediaPlayer->IsOpen());
    QString seen;
    if (what == "clicks") {
      for (QWidget* window :
           {static_cast<QWidget*>(rig.main.get()), static_cast<QWidget*>(rig.playlist.get())}) {
        QMouseEvent release(QEvent::MouseButtonRelease, QPointF(5, 5), QPointF(5, 5),
                            Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(window, &release);
        QTest::keyRelease(window, Qt::Key_Shift);
        QTest::qWait(50);
      }
      what = "PlaybackStatus";
    }
    if (what == "Next") {
      QDBusPendingCall pending = rig.client.asyncCall(QDBusMessage::createMethodCall(
          rig.service.ServiceName(), TMprisService::kObjectPath, kPlayer, "Next"));
      rig.dialogs->whileShown = [&](const QString&) {
        QTest::qWaitFor([&] { return pending.isFinished(); }, 1000);
        seen = pending.isFinished() && !pending.isError() ? "replied before the box"
                                                          : "no reply while the box was up";
      };
      QTRY_COMPARE_WITH_TIMEOUT(rig.dialogs->messages.size(), 2, 5000);
    } else if (what == "Metadata") {
      const QVariantMap metadata = rig.Metadata();
      seen = metadata["xesam:title"].toString() + ' ' + metadata["mpris:length"].toString();
    } else {
      seen = rig.Get(what).toString();
    }
    QCOMPARE(seen, expected);
    QCOMPARE(rig.dialogs->errors, QStringList());
  }

  // A song started again is a new track to the shells: a new id, announced, so that none
  // runs its clock on past the restart.
  void sameSongStartsAnew_data() {
    QTest::addColumn<QString>("how");
    QTest::newRow("repeat file: the song ends") << "end";
    QTest::newRow("Previous in repeat-file mode") << "previous";
    QTest::newRow("Next onto the same file in the next row") << "twice listed";
  }
  void sameSongStartsAnew() {
    QFETCH(QString, how);
    TBusRig rig;
    if (how == "twice listed") {
      rig.dir.Write("lastplay.dat", QStringLiteral("[playlist]\nFile1=%1\nFile2=%2\nFile3=%2\n"
                                                   "NumberOfEntries=3\nVersion=2\n")
                                        .arg(rig.Song(1), rig.Song(2))
                                        .toUtf8());
      rig.playlist->UpdatePlaylist();
    } else {
      rig.control->SetRepeatMode(1);
    }
    rig.PlayRow(1);
    rig.fake->SetPosition(4600);
    QTRY_VERIFY(!rig.changed.value("changed.trackid").isEmpty());
    const QString before = rig.changed["changed.trackid"];
    if (how == "end") {
      QVERIFY(rig.fake->FinishSong());
      DeliverPostedNotices();
    } else {
      how == "previous" ? rig.control->Previous() : rig.control->Next();
    }
    QCOMPARE(rig.fake->OpenFileName(), rig.Song(2));
    QTRY_VERIFY(rig.changed["changed.trackid"] != before);
    QCOMPARE(rig.Metadata()["mpris:trackid"].value<QDBusObjectPath>().path(),
             rig.changed["changed.trackid"]);
  }

  // What shells are told: the song's tags and cover, the scan's length once it is known, and
  // whether Next leads anywhere.
  void told_data() {
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QString>("expected");
    QTest::newRow("tags and cover") << "tags"
                                    << "title=Tagged,artist=A|B,album=Album,track=7,cover=ok";
    QTest::newRow("no tags") << "play"
                             << "title=2.mp3,artist=,length=225000000,cover=";
    QTest::newRow("the scan measures the selected song") << "scan"
                                                         << "changed.length=123456000";
    QTest::newRow("last row, no repeating") << "last"
                                            << "CanGoNext=false";
    QTest::newRow("last row, repeat playlist") << "last repeat"
                                               << "CanGoNext=true";
    QTest::newRow("last row, shuffle") << "last shuffle"
                                       << "CanGoNext=true";
  }
  void told() {
    QFETCH(QString, setup);
    QFETCH(QString, expected);
    QTemporaryDir cache;
    qputenv("XDG_CACHE_HOME", cache.path().toUtf8());
    TBusRig rig;
    TLengthScanner scanner;
    rig.control->WatchLengths(scanner);
    const QByteArray cover = QByteArray("\x89PNG\r\n\x1a\n", 8) + QByteArray(5000, 'c');
    TSongTags tags;
    tags.Title = "Tagged";
    tags.Artists = QStringList{"A", "B"};
    tags.Album = "Album";
    tags.TrackNumber = 7;
    tags.Cover = cover;
    if (setup == "tags") rig.fake->SetTags(rig.Song(2), tags);
    if (setup == "tags" || setup == "play") rig.PlayRow(1);
    if (setup == "scan") emit scanner.Measured({1, rig.Song(1), 123456});
    if (setup.startsWith("last")) rig.playlist->boxPlaylist->SetItemIndex(2);
    if (setup == "last repeat") rig.control->SetRepeatMode(2);
    if (setup == "last shuffle") rig.control->SetShuffle(true);
    const auto differences = [&] {
      const QVariantMap metadata = rig.Metadata();
      const QString art = QUrl(metadata["mpris:artUrl"].toString()).toLocalFile();
      QFile file(art);
      QMap<QString, QString> seen = rig.changed;
      seen["title"] = metadata["xesam:title"].toString();
      seen["artist"] = metadata["xesam:artist"].toStringList().join('|');
      seen["album"] = metadata["xesam:album"].toString();
      seen["track"] = metadata["xesam:trackNumber"].toString();
      seen["length"] = metadata["mpris:length"].toString();
      seen["cover"] = art.isEmpty() ? ""
                      : art == cache.filePath("brimtone/" + TCoverArt::FileName(cover)) &&
                              file.open(QIODevice::ReadOnly) && file.readAll() == cover
                          ? "ok"
                          : "wrong";
      seen["CanGoNext"] = rig.Get("CanGoNext").toString();
      QStringList different;
      for (const QString& pair : expected.split(','))
        if (pair.section('=', 1) != seen.value(pair.section('=', 0, 0))) different << pair;
      return different.join(',');
    };
    QTRY_COMPARE_WITH_TIMEOUT(differences(), QString(), 5000);
  }

  void quitEndsTheMessageLoop() {
    QVERIFY2(QDBusConnection::sessionBus().isConnected(), "run under dbus-run-session");
    TBusRig rig;
    QVERIFY(rig.client.interface()->isServiceRegistered("org.mpris.MediaPlayer2.brimtone"));
    QDBusMessage message = QDBusMessage::createMethodCall(
        rig.service.ServiceName(), TMprisService::kObjectPath, kRoot, "Quit");
    QTimer::singleShot(0, [&] { rig.client.asyncCall(message); });
    QTimer::singleShot(10000, [] { QCoreApplication::exit(7); });  // never a hang
    QCOMPARE(QCoreApplication::exec(), 0);
  }
};

QTEST_MAIN(TestMpris)
#include "tst_mpris.moc"
