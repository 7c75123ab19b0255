// The MPRIS service on a private session bus (run under dbus-run-session), driven by a client
// on its own bus connection: the methods, the writable properties, and the change signal.
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
  }
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
    row("stopped", "OpenUri", {"new%20song.mp3"}, "answer=ok,state=playing,song=new song.mp3");
    row("stopped", "OpenUri", {"gone.mp3"}, "answer=error,state=stopped");
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
    rig.dir.Write("new song.mp3", "");
    if (setup == "playing") {
      rig.PlayRow(1);
      rig.fake->SetPosition(60000);
    }
    if (method == "SetPosition")
      arguments[0] = QVariant::fromValue(TMprisPlayer::TrackId(rig.Song(arguments[0].toInt())));
    if (method == "OpenUri") arguments[0] = "file://" + rig.dir.Path() + arguments[0].toString();
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
