// The MPRIS service on a private session bus (run under dbus-run-session), driven by a client
// on its own bus connection: the methods, the properties, and the change signals.
#include <QtDBus>
#include <QtTest>

#include "controls/dtlistbox.h"
#include "desktop/mprisplayer.h"
#include "desktop/mprisservice.h"
#include "windowsrig.h"

namespace {

const QString kPlayer = "org.mpris.MediaPlayer2.Player";
const QString kRoot = "org.mpris.MediaPlayer2";
const QString kProperties = "org.freedesktop.DBus.Properties";

// Listens for the service's signals on the client connection.
class TSignalLog : public QObject {
  Q_OBJECT
 public:
  QList<QVariantMap> changes;
  QList<qlonglong> seeks;
 public slots:
  void PropertiesChanged(const QString& interface, const QVariantMap& changed, const QStringList&) {
    if (interface == kPlayer) changes << changed;
  }
  void Seeked(qlonglong position) { seeks << position; }
};

class TBusRig : public TWindowsRig {
 public:
  TBusRig()
      : TWindowsRig(3),
        service(*control),
        client(QDBusConnection::connectToBus(QDBusConnection::SessionBus, "client")) {
    service.Start(QDBusConnection::sessionBus());
    client.connect(service.ServiceName(), TMprisService::kObjectPath, kProperties,
                   "PropertiesChanged", &log,
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

  TMprisService service;
  QDBusConnection client;
  TSignalLog log;
};

// Stopped on the first row, or the second song playing (or paused) at 60 s, or stopped with
// repeat playlist, or the player window minimized.
void Prepare(TBusRig& rig, const QString& setup) {
  if (setup == "repeating") {
    rig.control->SetRepeatMode(2);
  } else if (setup == "minimized") {
    rig.main->showMinimized();
  } else if (setup != "stopped") {
    rig.PlayRow(1);
    rig.fake->SetPosition(60000);
    if (setup == "paused") rig.main->PauseClick(nullptr);
  }
}

// What can be seen after a call, as name=value pairs; changed.<property> is the value last
// announced in PropertiesChanged, seeked the positions announced in Seeked.
QMap<QString, QString> Observe(TBusRig& rig, const QDBusMessage& reply) {
  const TformMain& main = *rig.main;
  QMap<QString, QString> seen{
      {"answer", reply.type() == QDBusMessage::ReplyMessage ? "ok" : "error"},
      {"value", reply.arguments().value(0).value<QDBusVariant>().variant().toString()},
      {"state", !main.Playing ? "stopped"
                : main.Paused ? "paused"
                              : "playing"},
      {"song", rig.fake->OpenFileName().section('/', -1)},
      {"pos", QString::number(main.Mp3MediaPlayer->Position())},
      {"rows", QString::number(rig.playlist->boxPlaylist->Count())},
      {"repeat", QString::number(main.RepeatMode)},
      {"shuffle", main.Shuffle ? "on" : "off"},
      {"volume", QString::number(main.barVolume->Position())},
      {"shown", main.isVisible() && !main.isMinimized() ? "yes" : "no"},
  };
  for (const QVariantMap& change : rig.log.changes)
    for (auto it = change.begin(); it != change.end(); ++it)
      seen["changed." + it.key()] = it.value().toString();
  QStringList seeks;
  for (qlonglong position : rig.log.seeks) seeks << QString::number(position);
  seen["seeked"] = seeks.join(' ');
  return seen;
}

QVariantList Set(const QString& name, const QVariant& value) {
  return {kPlayer, name, QVariant::fromValue(QDBusVariant(value))};
}

}  // namespace

class TestMpris : public QObject {
  Q_OBJECT
 private slots:
  void ownsTheName() {
    QVERIFY2(QDBusConnection::sessionBus().isConnected(),
             "needs a private session bus: run under dbus-run-session");
    TBusRig rig;
    QCOMPARE(rig.service.ServiceName(), QStringLiteral("org.mpris.MediaPlayer2.brimtone"));
    QVERIFY(rig.client.interface()->isServiceRegistered(rig.service.ServiceName()));
  }

  // Each method and each writable property, called by the client, and the change signals,
  // whatever caused the change; `expected` lists what is then seen. A SetPosition row's first
  // argument is the number of the song whose id is sent.
  void callsAndSignals_data() {
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QString>("method");  // or a click or key on the player window
    QTest::addColumn<QVariantList>("arguments");
    QTest::addColumn<QString>("expected");
    const auto row = [](const char* name, const char* setup, const char* method,
                        const QVariantList& arguments, const char* expected) {
      QTest::newRow(name) << QString(setup) << QString(method) << arguments << QString(expected);
    };
    const QString uri = "file://%1";
    const qlonglong s = 1000000;  // a second in microseconds
    row("Play", "stopped", "Play", {}, "state=playing,song=1.mp3,pos=0");
    row("Play after a pause", "paused", "Play", {}, "state=playing,song=2.mp3,pos=60000");
    row("Pause", "playing", "Pause", {}, "state=paused,pos=60000,changed.PlaybackStatus=Paused");
    row("PlayPause", "playing", "PlayPause", {}, "state=paused,pos=60000");
    row("Stop", "playing", "Stop", {}, "state=stopped,song=2.mp3");
    row("Next", "playing", "Next", {}, "state=playing,song=3.mp3,pos=0");
    row("Previous", "playing", "Previous", {}, "state=playing,song=1.mp3,pos=0");
    row("Seek", "playing", "Seek", {5 * s}, "state=playing,song=2.mp3,pos=65000,seeked=65000000");
    row("Seek past the start", "playing", "Seek", {-90 * s}, "song=2.mp3,pos=0");
    row("SetPosition", "playing", "SetPosition", {2, 30 * s}, "pos=30000,seeked=30000000");
    row("SetPosition, another song", "playing", "SetPosition", {3, 30 * s}, "pos=60000");
    row("OpenUri", "stopped", "OpenUri", {uri + "new%20song.mp3"},
        "answer=ok,state=playing,song=new song.mp3,rows=4");
    row("OpenUri, no such file", "stopped", "OpenUri", {uri + "gone.mp3"},
        "answer=error,state=stopped,rows=3");
    row("Raise", "minimized", "Raise", {}, "shown=yes");
    row("LoopStatus Track", "stopped", "Set", Set("LoopStatus", "Track"),
        "repeat=1,changed.LoopStatus=Track");
    row("LoopStatus None", "repeating", "Set", Set("LoopStatus", "None"), "repeat=0");
    row("unknown LoopStatus", "repeating", "Set", Set("LoopStatus", "Forever"), "repeat=2");
    row("Shuffle", "stopped", "Set", Set("Shuffle", true), "shuffle=on");
    row("Volume", "stopped", "Set", Set("Volume", 0.25), "volume=16384");
    row("PlaybackStatus", "paused", "Get", {kPlayer, "PlaybackStatus"}, "value=Paused");
    row("Position", "playing", "Get", {kPlayer, "Position"}, "value=60000000");
    row("Play button", "stopped", "Play button", {},
        "state=playing,changed.PlaybackStatus=Playing");
    row("shuffle button", "stopped", "shuffle button", {}, "shuffle=on,changed.Shuffle=true");
    row("Left key", "playing", "Left key", {}, "pos=55000,seeked=55000000");
  }
  void callsAndSignals() {
    QFETCH(QString, setup);
    QFETCH(QString, method);
    QFETCH(QVariantList, arguments);
    QFETCH(QString, expected);
    TBusRig rig;
    rig.dir.Write("new song.mp3", "");
    Prepare(rig, setup);
    if (method == "SetPosition")
      arguments[0] = QVariant::fromValue(TMprisPlayer::TrackId(rig.Song(arguments[0].toInt())));
    if (method == "OpenUri") arguments[0] = arguments[0].toString().arg(rig.dir.Path());
    const QString interface = method == "Get" || method == "Set" ? kProperties
                              : method == "Raise"                ? kRoot
                                                                 : kPlayer;
    QDBusMessage reply;
    if (method == "Play button") {
      QTest::mouseClick(rig.main->Play, Qt::LeftButton);
    } else if (method == "shuffle button") {
      QTest::mouseClick(rig.main->butnShuffle, Qt::LeftButton);
    } else if (method == "Left key") {
      QTest::keyClick(rig.main.get(), Qt::Key_Left);
    } else {
      reply = rig.Call(interface, method, arguments);
      if (!expected.contains("answer=")) expected.prepend("answer=ok,");
    }
    // What differs from `expected`, once the signals had time to arrive.
    const auto differences = [&] {
      const QMap<QString, QString> seen = Observe(rig, reply);
      QStringList different;
      for (const QString& pair : expected.split(',')) {
        const QString name = pair.section('=', 0, 0);
        if (name + '=' + seen.value(name) != pair) different << name + '=' + seen.value(name);
      }
      return different.join(',');
    };
    QTRY_COMPARE_WITH_TIMEOUT(differences(), QString(), 5000);
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
