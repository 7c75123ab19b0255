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
    const auto metadata = qdbus_cast<QVariantMap>(values.value("Metadata").value<QDBusArgument>());
    for (const char* key : {"mpris:trackid", "mpris:length"})
      if (metadata.contains(key)) changed[QString("changed.") + key] = Text(metadata[key]);
  }
  // The value of a property, as the client is told.
  QVariant Get(const QString& name) {
    QDBusMessage get = QDBusMessage::createMethodCall(
        service.ServiceName(), TMprisService::kObjectPath, kProperties, "Get");
    const QDBusMessage reply = client.call(get << kPlayer << name, QDBus::BlockWithGui, 1000);
    return reply.arguments().value(0).value<QDBusVariant>().variant();
  }
  QVariantMap Metadata() { return qdbus_cast<QVariantMap>(Get("Metadata").value<QDBusArgument>()); }
  static QString Text(const QVariant& value) {
    if (value.canConvert<QDBusObjectPath>()) return value.value<QDBusObjectPath>().path();
    return value.typeId() == QMetaType::QStringList ? value.toStringList().join('|')
                                                    : value.toString();
  }
};

QVariantList Set(const QString& name, const QVariant& value) {
  return {kPlayer, name, QVariant::fromValue(QDBusVariant(value))};
}

}  // namespace

class TestMpris : public QObject {
  Q_OBJECT
 private slots:
  // A method or writable property called by the client, or an action on the windows;
  // `expected` lists what is then seen, changed.<name> being announced values, meta.<key>
  // Metadata's, id "new" for a new track id announced. SetPosition sends the id of song 2 (the
  // playing one) or 3. "failed": song 1 ended and song 2 (and 3) did not open, so Playing
  // stays true with no song open. Replies come within a second, before any box.
  void callsAndSignals_data() {
    QTest::addColumn<QString>("setup");
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
    row("stopped", "OpenUri", {"@/new%20song.mp3"}, "answer=ok,state=playing,song=new song.mp3");
    for (const char* refused : {"@/gone.mp3", "@/notes.txt", "file:new%20song.mp3"})
      row("stopped", "OpenUri", {refused}, "answer=error,state=stopped,rows=3");
    row("stopped", "Set", Set("LoopStatus", "Track"),
        "answer=ok,repeat=1,changed.LoopStatus=Track");
    row("stopped", "Set", Set("LoopStatus", "Forever"), "answer=ok,repeat=0");
    row("stopped", "Set", Set("Shuffle", true), "answer=ok,shuffle=on,changed.Shuffle=true");
    row("stopped", "Set", Set("Volume", 0.25), "answer=ok,volume=16384");
    row("playing", "Get", {kPlayer, "Position"}, "answer=ok,value=60000000");
    row("stopped", "Play button", {}, "state=playing,changed.PlaybackStatus=Playing");
    for (const char* read : {"PlaybackStatus", "CanSeek", "Metadata"})
      row("failed", "Get", {kPlayer, read}, "answer=ok,errors=,status=Stopped,meta.mpris:length=");
    row("failed", "clicks", {}, "errors=,status=Stopped,meta.xesam:title=1.mp3");
    row("failed", "OpenUri", {"@/new%20song.mp3"}, "answer=ok,song=new song.mp3,errors=");
    row("failed", "Next", {}, "answer=ok,reply=before the box,errors=,status=Stopped");
    row("opening", "Next", {}, "answer=ok,status=Playing,changed.PlaybackStatus=Playing");
    row("repeat file", "song ends", {}, "song=2.mp3,pos=0,id=new");
    row("repeat file", "Previous", {}, "song=2.mp3,pos=0,id=new");
    row("twice listed", "Next", {}, "song=2.mp3,pos=0,id=new");
    row("tagged", "Play", {},
        "meta.xesam:title=Tagged,meta.xesam:artist=A|B,meta.xesam:album=Album,"
        "meta.xesam:trackNumber=7,cover=written");
    row("stopped", "scan", {}, "changed.mpris:length=123456000,meta.xesam:title=1.mp3");
    row("last row", "Set", Set("LoopStatus", "None"), "canGoNext=false");
    row("last row", "Set", Set("LoopStatus", "Playlist"), "canGoNext=true");
  }
  void callsAndSignals() {
    QFETCH(QString, setup);
    QFETCH(QString, method);
    QFETCH(QVariantList, arguments);
    QFETCH(QString, expected);
    QTemporaryDir cache;
    qputenv("XDG_CACHE_HOME", cache.path().toUtf8());
    TBusRig rig;
    for (const char* name : {"new song.mp3", "notes.txt"}) rig.dir.Write(name, "");
    // A relative URI must not find the song where the program happens to run.
    const QString cwd = QDir::currentPath();
    const auto restore = qScopeGuard([&] { QDir::setCurrent(cwd); });
    QDir::setCurrent(rig.dir.Path());
    TLengthScanner scanner;
    rig.control->WatchLengths(scanner);
    TSongTags tags;
    tags = {"Tagged", {"A", "B"}, "Album", 7, QByteArray("\x89PNG\r\n\x1a\n", 8) + "picture", {}};
    rig.fake->SetTags(rig.Song(1), tags);
    if (setup == "twice listed")
      rig.dir.Write("lastplay.dat", QStringLiteral("[playlist]\nFile1=%1\nFile2=%2\nFile3=%2\n")
                                        .arg(rig.Song(1), rig.Song(2))
                                        .toUtf8());
    if (setup == "failed") {
      rig.fake->FailOpen(rig.Song(2));
      rig.fake->FailOpen(rig.Song(3));
      rig.PlayRow(0);
      rig.fake->FinishSong();
      DeliverPostedNotices();
      QCOMPARE(rig.dialogs->messages, QStringList{"Error"});
    }
    if (setup == "repeat file") rig.control->SetRepeatMode(1);
    if (setup == "last row") rig.playlist->boxPlaylist->SetItemIndex(2);
    if (setup == "playing" || setup == "opening" || setup == "repeat file" ||
        setup == "twice listed") {
      rig.playlist->UpdatePlaylist();
      rig.PlayRow(1);
      rig.fake->SetPosition(setup == "playing" ? 60000 : 4600);
    }
    rig.fake->holdOpens = setup == "opening";  // the next song takes its time to open
    if (method == "SetPosition") {
      TTrackInfo other;
      other.Path = rig.Song(3);
      arguments[0] = QVariant::fromValue(
          TMprisPlayer::TrackId(arguments[0].toInt() == 2 ? rig.control->Track() : other));
    }
    if (method == "OpenUri")
      arguments[0] = arguments[0]
                         .toString()
                         .replace(QRegularExpression("^@"), "file://@")
                         .replace('@', rig.dir.Path().chopped(1));
    const QString before = TBusRig::Text(rig.Metadata().value("mpris:trackid"));
    QDBusMessage reply;
    std::optional<QDBusPendingCall> pending;
    QString replied;
    rig.dialogs->whileShown = [&](const QString&) {
      (void)QTest::qWaitFor([&] { return pending && pending->isFinished(); }, 1000);
      replied = pending && pending->isFinished() ? "before the box" : "after the box";
    };
    if (method == "Play button") {
      QTest::mouseClick(rig.main->Play, Qt::LeftButton);
    } else if (method == "song ends") {
      rig.fake->FinishSong();
      DeliverPostedNotices();
    } else if (method == "scan") {
      emit scanner.Measured({1, rig.Song(1), 123456});
    } else if (method == "clicks") {
      QTest::mouseClick(rig.main->lablTime, Qt::LeftButton);
      QTest::mouseClick(rig.playlist->boxPlaylist->viewport(), Qt::LeftButton, {}, QPoint(5, 5));
      QTest::keyClick(rig.main.get(), Qt::Key_Shift);
    } else {
      QDBusMessage message =
          QDBusMessage::createMethodCall(rig.service.ServiceName(), TMprisService::kObjectPath,
                                         method == "Get" || method == "Set" ? kProperties
                                         : method == "Raise"                ? kRoot
                                                                            : kPlayer,
                                         method);
      message.setArguments(arguments);
      pending = rig.client.asyncCall(message, 1000);
      QTRY_VERIFY_WITH_TIMEOUT(pending->isFinished(), 5000);
      reply = pending->reply();
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
      seen["errors"] = rig.dialogs->errors.join('|');
      seen["reply"] = replied;
      seen["status"] = rig.Get("PlaybackStatus").toString();
      seen["canGoNext"] = rig.Get("CanGoNext").toString();
      const QVariantMap metadata = rig.Metadata();
      for (auto it = metadata.begin(); it != metadata.end(); ++it)
        seen["meta." + it.key()] = TBusRig::Text(it.value());
      const QString id = metadata.value("mpris:trackid").value<QDBusObjectPath>().path();
      seen["id"] = id == before || id != rig.changed["changed.mpris:trackid"] ? "same" : "new";
      QFile cover(QUrl(metadata.value("mpris:artUrl").toString()).toLocalFile());
      seen["cover"] =
          cover.fileName() == cache.filePath("brimtone/" + TCoverArt::FileName(tags.Cover)) &&
                  cover.open(QIODevice::ReadOnly) && cover.readAll() == tags.Cover
              ? "written"
              : "";
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
