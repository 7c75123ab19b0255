// The MPRIS service on a private session bus (run under dbus-run-session), driven by a client
// on its own bus connection: every method, every writable property, and the change signals
// whatever caused the change.
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCall>
#include <QDBusVariant>
#include <QtTest>

#include "controls/dtlistbox.h"
#include "desktop/desktopintegration.h"
#include "desktop/mprisplayer.h"
#include "desktop/mprisservice.h"
#include "windowsrig.h"

namespace {

const QString kPlayer = "org.mpris.MediaPlayer2.Player";
const QString kRoot = "org.mpris.MediaPlayer2";

// Listens for the service's signals on the client connection.
class TSignalLog : public QObject {
  Q_OBJECT
 public:
  QList<QVariantMap> changes;
  QList<qlonglong> seeks;
 public slots:
  void PropertiesChanged(const QString& interface, const QVariantMap& changed, const QStringList&) {
    if (interface == "org.mpris.MediaPlayer2.Player") changes << changed;
  }
  void Seeked(qlonglong position) { seeks << position; }
};

class TBusRig : public TWindowsRig {
 public:
  TBusRig()
      : TWindowsRig(3),
        service(*control),
        client(QDBusConnection::connectToBus(QDBusConnection::SessionBus, "client")) {
    started = service.Start(QDBusConnection::sessionBus());
    client.connect(service.ServiceName(), TMprisService::kObjectPath,
                   "org.freedesktop.DBus.Properties", "PropertiesChanged", &log,
                   SLOT(PropertiesChanged(QString, QVariantMap, QStringList)));
    client.connect(service.ServiceName(), TMprisService::kObjectPath, kPlayer, "Seeked", &log,
                   SLOT(Seeked(qlonglong)));
  }
  ~TBusRig() { QDBusConnection::disconnectFromBus("client"); }

  // A call from the client; the event loop runs meanwhile so the service can answer.
  QDBusMessage Call(const QString& interface, const QString& method,
                    const QVariantList& arguments = {}) {
    QDBusMessage message = QDBusMessage::createMethodCall(
        service.ServiceName(), TMprisService::kObjectPath, interface, method);
    message.setArguments(arguments);
    QDBusPendingCall pending = client.asyncCall(message, 10000);
    for (int i = 0; i < 1000 && !pending.isFinished(); ++i) QTest::qWait(10);
    return pending.reply();
  }
  QVariant Get(const QString& interface, const QString& name) {
    const QDBusMessage reply = Call("org.freedesktop.DBus.Properties", "Get", {interface, name});
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return {};
    return reply.arguments().at(0).value<QDBusVariant>().variant();
  }
  QDBusMessage Set(const QString& name, const QVariant& value) {
    return Call("org.freedesktop.DBus.Properties", "Set",
                {kPlayer, name, QVariant::fromValue(QDBusVariant(value))});
  }
  // The last announced value of a property, after the pending signals arrived.
  QVariant Announced(const QString& name) {
    QVariant value;
    for (int i = 0; i < 300; ++i) {
      for (const QVariantMap& change : log.changes)
        if (change.contains(name)) value = change.value(name);
      if (value.isValid()) return value;
      QTest::qWait(10);
    }
    return value;
  }

  TMprisService service;
  QDBusConnection client;
  TSignalLog log;
  bool started = false;
};

QString State(TformMain& main) {
  return !main.Playing ? "stopped" : main.Paused ? "paused" : "playing";
}

void Prepare(TBusRig& rig, const QString& setup) {
  if (setup == "stopped") return;
  rig.PlayRow(1);
  rig.fake->SetPosition(60000);
  if (setup == "paused") rig.main->PauseClick(nullptr);
}

// Metadata arrives as a{sv} in a QDBusArgument.
QVariantMap AsMap(const QVariant& value) {
  if (value.canConvert<QDBusArgument>()) return qdbus_cast<QVariantMap>(value);
  return value.toMap();
}

}  // namespace

class TestMpris : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase() {
    QVERIFY2(QDBusConnection::sessionBus().isConnected(),
             "needs a private session bus: run under dbus-run-session");
  }

  void ownsTheName() {
    TBusRig rig;
    QVERIFY(rig.started);
    QCOMPARE(rig.service.ServiceName(), QStringLiteral("org.mpris.MediaPlayer2.brimtone"));
    QVERIFY(rig.client.interface()->isServiceRegistered(rig.service.ServiceName()));
  }

  void secondPlayerTakesAnInstanceName() {
    TBusRig rig;
    TMprisService other(*rig.control);
    QVERIFY(other.Start(QDBusConnection::sessionBus()) == false);  // same connection, same path
    QDBusConnection second = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "second");
    TMprisService another(*rig.control);
    QVERIFY(another.Start(second));
    QVERIFY(another.ServiceName().startsWith("org.mpris.MediaPlayer2.brimtone.instance"));
    QDBusConnection::disconnectFromBus("second");
  }

  // The program registers once its windows have been painted, not before.
  void registersAfterTheWindowsArePainted_data() {
    QTest::addColumn<bool>("playlistShown");
    QTest::newRow("both windows") << true;
    QTest::newRow("playlist hidden") << false;
  }
  void registersAfterTheWindowsArePainted() {
    QFETCH(bool, playlistShown);
    TWindowsRig rig(1);
    TDesktopIntegration desktop(rig.main.get(), rig.playlist.get());
    rig.playlist->setVisible(playlistShown);
    rig.main->show();
    desktop.StartMprisWhenShown();
    QVERIFY(desktop.Mpris().ServiceName().isEmpty());
    QTRY_VERIFY_WITH_TIMEOUT(!desktop.Mpris().ServiceName().isEmpty(), 10000);
    QVERIFY(QDBusConnection::sessionBus().interface()->isServiceRegistered(
        desktop.Mpris().ServiceName()));
  }

  void noBusNoService() {
    const QByteArray address = qgetenv("DBUS_SESSION_BUS_ADDRESS");
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    QTemporaryDir empty;
    qunsetenv("DBUS_SESSION_BUS_ADDRESS");
    qputenv("XDG_RUNTIME_DIR", empty.path().toUtf8());
    TWindowsRig rig(1);
    TMprisService service(*rig.control);
    const bool started = service.StartOnSessionBus();
    qputenv("DBUS_SESSION_BUS_ADDRESS", address);
    qputenv("XDG_RUNTIME_DIR", runtime);
    QVERIFY(!started);
    QVERIFY(service.ServiceName().isEmpty());
    // The player works on without it.
    rig.control->Play();
    QVERIFY(rig.main->Playing);
  }

  void methods_data() {
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QString>("method");
    QTest::addColumn<QVariantList>("arguments");
    QTest::addColumn<QString>("state");
    QTest::addColumn<QString>("song");
    QTest::addColumn<int>("position");
    const QVariantList none;
    QTest::newRow("Play") << "stopped"
                          << "Play" << none << "playing"
                          << "1.mp3" << 0;
    QTest::newRow("Play goes on from a pause") << "paused"
                                               << "Play" << none << "playing"
                                               << "2.mp3" << 60000;
    QTest::newRow("Play leaves a playing song") << "playing"
                                                << "Play" << none << "playing"
                                                << "2.mp3" << 60000;
    QTest::newRow("Pause") << "playing"
                           << "Pause" << none << "paused"
                           << "2.mp3" << 60000;
    QTest::newRow("Pause keeps a pause") << "paused"
                                         << "Pause" << none << "paused"
                                         << "2.mp3" << 60000;
    QTest::newRow("Pause when stopped") << "stopped"
                                        << "Pause" << none << "stopped"
                                        << "" << 0;
    QTest::newRow("PlayPause plays") << "stopped"
                                     << "PlayPause" << none << "playing"
                                     << "1.mp3" << 0;
    QTest::newRow("PlayPause pauses") << "playing"
                                      << "PlayPause" << none << "paused"
                                      << "2.mp3" << 60000;
    QTest::newRow("PlayPause goes on") << "paused"
                                       << "PlayPause" << none << "playing"
                                       << "2.mp3" << 60000;
    QTest::newRow("Stop") << "playing"
                          << "Stop" << none << "stopped"
                          << "2.mp3" << 0;
    QTest::newRow("Next") << "playing"
                          << "Next" << none << "playing"
                          << "3.mp3" << 0;
    QTest::newRow("Previous") << "playing"
                              << "Previous" << none << "playing"
                              << "1.mp3" << 0;
    QTest::newRow("Seek forward") << "playing"
                                  << "Seek" << QVariantList{qlonglong(5000000)} << "playing"
                                  << "2.mp3" << 65000;
    QTest::newRow("Seek back past the start")
        << "playing"
        << "Seek" << QVariantList{qlonglong(-90000000)} << "playing"
        << "2.mp3" << 0;
    QTest::newRow("Seek past the end is Next")
        << "playing"
        << "Seek" << QVariantList{qlonglong(200000000)} << "playing"
        << "3.mp3" << 0;
    QTest::newRow("Seek while paused stays paused")
        << "paused"
        << "Seek" << QVariantList{qlonglong(-10000000)} << "paused"
        << "2.mp3" << 50000;
    QTest::newRow("Seek when stopped") << "stopped"
                                       << "Seek" << QVariantList{qlonglong(5000000)} << "stopped"
                                       << "" << 0;
  }
  void methods() {
    QFETCH(QString, setup);
    QFETCH(QString, method);
    QFETCH(QVariantList, arguments);
    QFETCH(QString, state);
    QFETCH(QString, song);
    QFETCH(int, position);
    TBusRig rig;
    Prepare(rig, setup);
    const QDBusMessage reply = rig.Call(kPlayer, method, arguments);
    QCOMPARE(reply.type(), QDBusMessage::ReplyMessage);
    QCOMPARE(State(*rig.main), state);
    QCOMPARE(rig.fake->OpenFileName().section('/', -1), song);
    if (state != "stopped") QCOMPARE(rig.main->Mp3MediaPlayer->Position(), position);
  }

  void setPosition_data() {
    QTest::addColumn<bool>("rightTrack");
    QTest::addColumn<qlonglong>("position");
    QTest::addColumn<int>("expected");
    QTest::newRow("to 30 s") << true << qlonglong(30000000) << 30000;
    QTest::newRow("to the start") << true << qlonglong(0) << 0;
    QTest::newRow("another song's id is ignored") << false << qlonglong(30000000) << 60000;
    QTest::newRow("negative is ignored") << true << qlonglong(-1) << 60000;
    QTest::newRow("past the end is ignored") << true << qlonglong(226000000) << 60000;
  }
  void setPosition() {
    QFETCH(bool, rightTrack);
    QFETCH(qlonglong, position);
    QFETCH(int, expected);
    TBusRig rig;
    Prepare(rig, "playing");
    const QVariantMap metadata = AsMap(rig.Get(kPlayer, "Metadata"));
    QDBusObjectPath track = qvariant_cast<QDBusObjectPath>(metadata.value("mpris:trackid"));
    QVERIFY(track.path().startsWith("/org/brimtone/track/"));
    if (!rightTrack) track = TMprisPlayer::TrackId(rig.Song(3));
    rig.Call(kPlayer, "SetPosition", {QVariant::fromValue(track), position});
    QCOMPARE(rig.main->Mp3MediaPlayer->Position(), expected);
  }

  void openUri_data() {
    QTest::addColumn<QString>("uri");  // %1: the program directory
    QTest::addColumn<bool>("accepted");
    QTest::newRow("a local song") << "file://%1new.mp3" << true;
    QTest::newRow("escaped name") << "file://%1new%20song.mp3" << true;
    QTest::newRow("missing file") << "file://%1gone.mp3" << false;
    QTest::newRow("not a file URI") << "http://example.invalid/a.mp3" << false;
    QTest::newRow("a folder") << "file://%1music" << false;
  }
  void openUri() {
    QFETCH(QString, uri);
    QFETCH(bool, accepted);
    TBusRig rig;
    rig.dir.Write("new.mp3", "");
    rig.dir.Write("new song.mp3", "");
    const QDBusMessage reply =
        rig.Call(kPlayer, "OpenUri", {uri.contains("%1") ? uri.arg(rig.dir.Path()) : uri});
    QCOMPARE(reply.type() == QDBusMessage::ReplyMessage, accepted);
    QCOMPARE(rig.playlist->boxPlaylist->Count(), accepted ? 4 : 3);
    QCOMPARE(rig.main->Playing, accepted);
    if (accepted) QVERIFY(rig.fake->OpenFileName().startsWith(rig.dir.Path() + "new"));
  }

  void readProperties_data() {
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QString>("interface");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QVariant>("expected");
    const QString p = kPlayer, r = kRoot;
    QTest::newRow("stopped") << "stopped" << p << "PlaybackStatus" << QVariant("Stopped");
    QTest::newRow("playing") << "playing" << p << "PlaybackStatus" << QVariant("Playing");
    QTest::newRow("paused") << "paused" << p << "PlaybackStatus" << QVariant("Paused");
    QTest::newRow("loop none") << "stopped" << p << "LoopStatus" << QVariant("None");
    QTest::newRow("shuffle off") << "stopped" << p << "Shuffle" << QVariant(false);
    QTest::newRow("volume: the bar's default")
        << "stopped" << p << "Volume" << QVariant(32767 / 65535.0);
    QTest::newRow("position in microseconds")
        << "playing" << p << "Position" << QVariant(qlonglong(60000000));
    QTest::newRow("position when stopped")
        << "stopped" << p << "Position" << QVariant(qlonglong(0));
    QTest::newRow("rate") << "stopped" << p << "Rate" << QVariant(1.0);
    QTest::newRow("minimum rate") << "stopped" << p << "MinimumRate" << QVariant(1.0);
    QTest::newRow("maximum rate") << "stopped" << p << "MaximumRate" << QVariant(1.0);
    QTest::newRow("can go next") << "stopped" << p << "CanGoNext" << QVariant(true);
    QTest::newRow("can go previous") << "stopped" << p << "CanGoPrevious" << QVariant(true);
    QTest::newRow("can play") << "stopped" << p << "CanPlay" << QVariant(true);
    QTest::newRow("can pause") << "playing" << p << "CanPause" << QVariant(true);
    QTest::newRow("cannot seek when stopped") << "stopped" << p << "CanSeek" << QVariant(false);
    QTest::newRow("can seek a playing song") << "playing" << p << "CanSeek" << QVariant(true);
    QTest::newRow("can control") << "stopped" << p << "CanControl" << QVariant(true);
    QTest::newRow("identity") << "stopped" << r << "Identity" << QVariant("Brimtone");
    QTest::newRow("desktop entry") << "stopped" << r << "DesktopEntry" << QVariant("brimtone");
    QTest::newRow("can quit") << "stopped" << r << "CanQuit" << QVariant(true);
    QTest::newRow("can raise") << "stopped" << r << "CanRaise" << QVariant(true);
    QTest::newRow("no track list") << "stopped" << r << "HasTrackList" << QVariant(false);
    QTest::newRow("schemes") << "stopped" << r << "SupportedUriSchemes"
                             << QVariant(QStringList{"file"});
    QTest::newRow("mime types") << "stopped" << r << "SupportedMimeTypes"
                                << QVariant(QStringList{"audio/mpeg", "audio/mp3"});
  }
  void readProperties() {
    QFETCH(QString, setup);
    QFETCH(QString, interface);
    QFETCH(QString, name);
    QFETCH(QVariant, expected);
    TBusRig rig;
    Prepare(rig, setup);
    QVariant value = rig.Get(interface, name);
    if (value.canConvert<QDBusArgument>()) value = qdbus_cast<QStringList>(value);
    QCOMPARE(value, expected);
  }

  void metadata_data() {
    QTest::addColumn<QString>("setup");
    QTest::addColumn<int>("song");  // 0: none
    QTest::addColumn<qlonglong>("length");
    QTest::newRow("stopped: the selected row") << "stopped" << 1 << qlonglong(0);
    QTest::newRow("playing: the playing song") << "playing" << 2 << qlonglong(225000000);
    QTest::newRow("empty list") << "empty" << 0 << qlonglong(0);
  }
  void metadata() {
    QFETCH(QString, setup);
    QFETCH(int, song);
    QFETCH(qlonglong, length);
    TBusRig rig;
    if (setup == "empty") rig.playlist->MenuItem2Click(nullptr);
    Prepare(rig, setup == "playing" ? setup : "stopped");
    const QVariantMap metadata = AsMap(rig.Get(kPlayer, "Metadata"));
    const QString track = qvariant_cast<QDBusObjectPath>(metadata.value("mpris:trackid")).path();
    if (song == 0) {
      QCOMPARE(track, QStringLiteral("/org/mpris/MediaPlayer2/TrackList/NoTrack"));
      QVERIFY(!metadata.contains("xesam:url"));
      return;
    }
    QCOMPARE(track, TMprisPlayer::TrackId(rig.Song(song)).path());
    QCOMPARE(metadata.value("xesam:title").toString(), QString::number(song) + ".mp3");
    QCOMPARE(metadata.value("xesam:url").toString(),
             QUrl::fromLocalFile(rig.Song(song)).toString());
    QCOMPARE(metadata.contains("mpris:length"), length > 0);
    if (length > 0) QCOMPARE(metadata.value("mpris:length").toLongLong(), length);
  }

  void writeProperties_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QString>("what");
    QTest::addColumn<QString>("expected");
    QTest::newRow("loop track") << "LoopStatus" << QVariant("Track") << "repeat"
                                << "1 file";
    QTest::newRow("loop playlist") << "LoopStatus" << QVariant("Playlist") << "repeat"
                                   << "2 playlist";
    QTest::newRow("loop none") << "LoopStatus" << QVariant("None") << "repeat"
                               << "0 none";
    QTest::newRow("unknown loop is ignored") << "LoopStatus" << QVariant("Forever") << "repeat"
                                             << "2 playlist";
    QTest::newRow("shuffle on") << "Shuffle" << QVariant(true) << "shuffle"
                                << "on";
    QTest::newRow("shuffle off") << "Shuffle" << QVariant(false) << "shuffle"
                                 << "off";
    QTest::newRow("volume quarter") << "Volume" << QVariant(0.25) << "volume"
                                    << "16384";
    QTest::newRow("volume full") << "Volume" << QVariant(1.0) << "volume"
                                 << "65535";
    QTest::newRow("volume above full") << "Volume" << QVariant(1.5) << "volume"
                                       << "65535";
    QTest::newRow("volume below zero") << "Volume" << QVariant(-0.5) << "volume"
                                       << "0";
    QTest::newRow("rate stays one") << "Rate" << QVariant(2.0) << "rate"
                                    << "1";
  }
  void writeProperties() {
    QFETCH(QString, name);
    QFETCH(QVariant, value);
    QFETCH(QString, what);
    QFETCH(QString, expected);
    TBusRig rig;
    rig.control->SetRepeatMode(2);
    rig.control->SetShuffle(!(name == "Shuffle" && value.toBool()));
    rig.Set(name, value);
    QString got;
    if (what == "repeat")
      got = QString::number(rig.main->RepeatMode) + " " +
            (rig.main->itemRepeatFile->isChecked()       ? "file"
             : rig.main->itemRepeatPlaylist->isChecked() ? "playlist"
                                                         : "none");
    else if (what == "shuffle")
      got = rig.main->Shuffle ? "on" : "off";
    else if (what == "volume")
      got = QString::number(rig.main->barVolume->Position());
    else
      got = rig.Get(kPlayer, "Rate").toString();
    QCOMPARE(got, expected);
  }

  // PropertiesChanged follows every change, whatever caused it.
  void changeSignals_data() {
    QTest::addColumn<QString>("cause");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QVariant>("expected");
    QTest::newRow("Play button click") << "play button"
                                       << "PlaybackStatus" << QVariant("Playing");
    QTest::newRow("Pause button click") << "pause button"
                                        << "PlaybackStatus" << QVariant("Paused");
    QTest::newRow("shuffle button click") << "shuffle button"
                                          << "Shuffle" << QVariant(true);
    QTest::newRow("repeat key") << "R key"
                                << "LoopStatus" << QVariant("Track");
    QTest::newRow("volume bar click") << "volume bar"
                                      << "Volume" << QVariant(0.25);
    QTest::newRow("a song ends on the last row") << "end of last song"
                                                 << "PlaybackStatus" << QVariant("Stopped");
    QTest::newRow("a double click on a row") << "row double click"
                                             << "PlaybackStatus" << QVariant("Playing");
    QTest::newRow("D-Bus itself") << "dbus volume"
                                  << "Volume" << QVariant(0.25);
  }
  void changeSignals() {
    QFETCH(QString, cause);
    QFETCH(QString, name);
    QFETCH(QVariant, expected);
    TBusRig rig;
    if (cause == "play button") {
      QTest::mouseClick(rig.main->Play, Qt::LeftButton);
    } else if (cause == "pause button") {
      rig.PlayRow(0);
      QTest::qWait(50);
      rig.log.changes.clear();
      QTest::mouseClick(rig.main->Pause, Qt::LeftButton);
    } else if (cause == "shuffle button") {
      QTest::mouseClick(rig.main->butnShuffle, Qt::LeftButton);
    } else if (cause == "R key") {
      QTest::keyClick(rig.main.get(), Qt::Key_R);
    } else if (cause == "volume bar") {
      QTest::mouseClick(rig.main->barVolume, Qt::LeftButton, {}, QPoint(25, 4));
    } else if (cause == "end of last song") {
      rig.PlayRow(2);
      QTest::qWait(50);
      rig.log.changes.clear();
      QVERIFY(rig.fake->FinishSong());
      DeliverPostedNotices();
    } else if (cause == "row double click") {
      const QPoint row(20, 6);
      QTest::mouseClick(rig.playlist->boxPlaylist->viewport(), Qt::LeftButton, {}, row);
      QTest::mouseDClick(rig.playlist->boxPlaylist->viewport(), Qt::LeftButton, {}, row);
      QTest::mouseClick(rig.playlist->boxPlaylist->viewport(), Qt::LeftButton, {}, row);
    } else if (cause == "dbus volume") {
      rig.Set("Volume", 0.25);
    }
    const QVariant announced = rig.Announced(name);
    QVERIFY2(announced.isValid(), qPrintable(name + " was not announced"));
    if (expected.typeId() == QMetaType::Double)
      QVERIFY(qAbs(announced.toDouble() - expected.toDouble()) < 0.001);
    else
      QCOMPARE(announced, expected);
  }

  void unchangedPropertiesAreNotAnnounced() {
    TBusRig rig;
    QTest::mouseClick(rig.main->butnShuffle, Qt::LeftButton);
    QVERIFY(rig.Announced("Shuffle").isValid());
    for (const QVariantMap& change : rig.log.changes) {
      QVERIFY(!change.contains("PlaybackStatus"));
      QVERIFY(!change.contains("Volume"));
      QVERIFY(!change.contains("Position"));
    }
  }

  void seekedFollowsEverySeek_data() {
    QTest::addColumn<QString>("how");
    QTest::addColumn<qlonglong>("expected");
    QTest::newRow("D-Bus Seek") << "Seek" << qlonglong(65000000);
    QTest::newRow("D-Bus SetPosition") << "SetPosition" << qlonglong(10000000);
    QTest::newRow("key") << "key" << qlonglong(55000000);
    QTest::newRow("a release on the progress bar") << "bar" << qlonglong(112500000);
  }
  void seekedFollowsEverySeek() {
    QFETCH(QString, how);
    QFETCH(qlonglong, expected);
    TBusRig rig;
    Prepare(rig, "playing");
    if (how == "Seek") {
      rig.Call(kPlayer, "Seek", {qlonglong(5000000)});
    } else if (how == "SetPosition") {
      rig.Call(kPlayer, "SetPosition",
               {QVariant::fromValue(TMprisPlayer::TrackId(rig.Song(2))), qlonglong(10000000)});
    } else if (how == "key") {
      QTest::keyClick(rig.main.get(), Qt::Key_Left);
    } else {
      const int middle = rig.main->barSongProgress->width() / 2;
      QTest::mousePress(rig.main->barSongProgress, Qt::LeftButton, {}, QPoint(middle, 4));
      QTest::mouseRelease(rig.main->barSongProgress, Qt::LeftButton, {}, QPoint(middle, 4));
    }
    QTRY_COMPARE_WITH_TIMEOUT(rig.log.seeks.size(), 1, 5000);
    QCOMPARE(rig.log.seeks.at(0), expected);
  }

  void raise() {
    TBusRig rig;
    rig.main->showMinimized();
    QCOMPARE(rig.Call(kRoot, "Raise").type(), QDBusMessage::ReplyMessage);
    QVERIFY(!rig.main->isMinimized());
    QVERIFY(rig.main->isVisible());
  }

  void quitEndsTheMessageLoop() {
    TBusRig rig;
    QDBusMessage message = QDBusMessage::createMethodCall(
        rig.service.ServiceName(), TMprisService::kObjectPath, kRoot, "Quit");
    QTimer::singleShot(0, [&] { rig.client.asyncCall(message); });
    QTimer::singleShot(10000, [] { QCoreApplication::exit(7); });  // never a hang
    QCOMPARE(QCoreApplication::exec(), 0);
  }
};

QTEST_MAIN(TestMpris)
#include "tst_mpris.moc"
