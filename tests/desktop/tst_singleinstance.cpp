// One program per data folder: the first start listens, a later one hands over its request
// and learns that it arrived; one without a way to reach the first says so.
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <QLocalServer>
#include <QLocalSocket>
#include <QtTest>

#include "controls/dtlistbox.h"
#include "desktop/commandline.h"
#include "desktop/desktopintegration.h"
#include "desktop/singleinstance.h"
#include "playlist/songpaths.h"
#include "windowsrig.h"

using TRole = TSingleInstance::TRole;

// A later start in its own thread, as in its own process.
struct TLaterStart {
  TLaterStart(const QString& dataDir, const QByteArray& request, int timeoutMs = 5000)
      : thread(QThread::create(
            [=, this] { role = int(TSingleInstance(dataDir).Start(request, timeoutMs)); })) {
    thread->start();
  }
  ~TLaterStart() { thread->wait(); }
  QAtomicInt role = -1;
  std::unique_ptr<QThread> thread;
};

class TestSingleInstance : public QObject {
  Q_OBJECT
 private slots:
  // The first gets the bytes as sent, also more than a socket buffer (or 16 MiB) holds, and
  // refuses a frame claiming too much.
  void handOver() {
    QTemporaryDir runtime;
    qputenv("XDG_RUNTIME_DIR", runtime.path().toUtf8());
    TSingleInstance first(runtime.path());
    QCOMPARE(first.Start("first's own"), TRole::Primary);
    first.Ready();
    const QString path = first.SocketPath();
    QSignalSpy received(&first, &TSingleInstance::Received);
    for (const QByteArray& request : {QByteArray("play this"), QByteArray(20 << 20, 'x')}) {
      TLaterStart later(runtime.path(), request);
      QTRY_VERIFY_WITH_TIMEOUT(later.thread->isFinished(), 20000);
      QCOMPARE(later.role.loadRelaxed(), int(TRole::HandedOver));
      QTRY_COMPARE(received.size(), 1);
      QCOMPARE(received.takeFirst().at(0).toByteArray(), request);
    }
    QLocalSocket client;
    client.connectToServer(path);
    QVERIFY(client.waitForConnected(2000));
    client.write(QByteArray("\x7f\xff\xff\xff", 4) + "tail");
    QTRY_COMPARE_WITH_TIMEOUT(client.state(), QLocalSocket::UnconnectedState, 5000);
    QCOMPARE(client.readAll(), QByteArray("\x15"));
    QVERIFY(received.isEmpty());
  }

  // A killed program leaves its socket (bound, nobody listening): taken over, never waited on.
  void staleSocketIsTakenOver() {
    QTemporaryDir runtime;
    const QString path = runtime.filePath("sock");
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, QFile::encodeName(path).constData(), 100);
    QCOMPARE(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ::close(fd);
    QVERIFY(QFileInfo::exists(path));
    TSingleInstance instance(QString(), path);
    QCOMPARE(instance.Start("x", 3000), TRole::Primary);
    QLocalSocket probe;
    probe.connectToServer(path);
    QVERIFY(probe.waitForConnected(2000));
  }

  // Somebody listens but never confirms: the later start gives up instead of hanging.
  void silentListenerIsNoAnswer() {
    QTemporaryDir runtime;
    QLocalServer mute;
    QVERIFY(mute.listen(runtime.filePath("sock")));
    QCOMPARE(TSingleInstance(QString(), runtime.filePath("sock")).Start("hello", 300),
             TRole::NoAnswer);
  }

  // Two starts on one data folder without XDG_RUNTIME_DIR: the second finds the first in
  // the private folder made when the usual name was taken (or, with no folder to be had,
  // says it cannot reach it), and waits while the first is still starting, far past its
  // answer timeout. Never a second program on the folder.
  void twoStartsOnOneDataFolder_data() {
    QTest::addColumn<QString>("usual");  // what holds the usual folder's name
    QTest::addColumn<int>("role");
    for (const char* usual : {"nothing", "a link", "another user's folder", "an open folder",
                              "nothing, the first still starting"})
      QTest::newRow(usual) << usual << int(TRole::HandedOver);
    QTest::newRow("no temporary folder") << "no tmp" << int(TRole::Unreachable);
  }
  void twoStartsOnOneDataFolder() {
    QFETCH(QString, usual);
    QFETCH(int, role);
    QTemporaryDir temp, data;
    qunsetenv("XDG_RUNTIME_DIR");
    qputenv("TMPDIR", temp.filePath(usual == "no tmp" ? "file" : "").toUtf8());
    QVERIFY(QFile(temp.filePath("file")).open(QIODevice::WriteOnly));
    const QString name = temp.filePath(QStringLiteral("brimtone-%1").arg(::getuid()));
    if (usual == "a link") QVERIFY(QFile::link(temp.path(), name));
    if (usual.endsWith("folder"))
      QVERIFY(QDir().mkpath(name) && ::chmod(QFile::encodeName(name), 0777) == 0);
    if (usual.startsWith("another") && ::chown(QFile::encodeName(name), 65534, 65534) != 0)
      QSKIP("giving a folder to another user needs root");
    TSingleInstance first(data.path());
    QCOMPARE(first.Start("own"), usual == "no tmp" ? TRole::Failed : TRole::Primary);
    QSignalSpy received(&first, &TSingleInstance::Received);
    TLaterStart later(data.path(), "later", 200);
    if (usual.endsWith("starting"))
      QVERIFY(!QTest::qWaitFor([&] { return later.thread->isFinished(); }, 1500));
    first.Ready();
    QTRY_VERIFY_WITH_TIMEOUT(later.thread->isFinished(), 10000);
    QCOMPARE(later.role.loadRelaxed(), role);
    QTRY_COMPARE(received.size(), role == int(TRole::HandedOver) ? 1 : 0);
    QCOMPARE(first.SocketPath().startsWith(name + "-"), usual.startsWith('a'));
    QCOMPARE(QFileInfo(name).isSymLink(), usual == "a link");
  }

  // A request whose handling opens a box: applied once the socket's handler has returned, so
  // the box's event loop may delete the socket of the sender that went away meanwhile; the
  // program then takes the next request.
  void requestOpeningABox_data() {
    QTest::addColumn<QString>("song");
    QTest::newRow("a name the playlist cannot hold") << "two\nlines.mp3";
    QTest::newRow("a song that does not open") << "broken.mp3";
  }
  void requestOpeningABox() {
    QFETCH(QString, song);
    TWindowsRig rig(1);
    qputenv("XDG_RUNTIME_DIR", rig.dir.Path().toUtf8());
    rig.fake->FailOpen(rig.dir.Write(song, ""));
    TDesktopIntegration desktop(rig.main.get(), rig.playlist.get());
    TSingleInstance first(rig.dir.Path());
    QCOMPARE(first.Start("own"), TRole::Primary);
    first.Ready();
    connect(&first, &TSingleInstance::Received, &desktop, &TDesktopIntegration::ApplyBytes);
    std::unique_ptr<TLaterStart> later;
    rig.dialogs->whileShown = [&](const QString&) {
      for (const QLocalSocket* socket : first.findChildren<QLocalSocket*>())
        QCOMPARE(socket->state(), QLocalSocket::UnconnectedState);  // done with before the box
      QEventLoop box;  // as a box's own: the sender goes away and its socket is deleted here
      QTimer::singleShot(1000, &box, &QEventLoop::quit);
      box.exec();
      QVERIFY(later->thread->isFinished());
    };
    TInstanceRequest request;
    for (const QString& path : {rig.dir.File(song), rig.Song(1)}) {
      request.songs = QStringList{path};
      later = std::make_unique<TLaterStart>(rig.dir.Path(), EncodeRequest(request));
      QTRY_VERIFY_WITH_TIMEOUT(later->thread->isFinished(), 10000);
      QCOMPARE(later->role.loadRelaxed(), int(TRole::HandedOver));
    }
    QTRY_COMPARE(rig.fake->OpenFileName(), rig.Song(1));
    QCOMPARE(rig.dialogs->messages.size() + rig.dialogs->errors.size(), 1);
  }

  // One socket per data folder in XDG_RUNTIME_DIR; without it, a folder private to the user,
  // found again by the next start.
  void socketPlace() {
    QTemporaryDir temp;
    qputenv("XDG_RUNTIME_DIR", temp.path().toUtf8());
    const QString path = TSingleInstance::SocketPathFor("/home/u/.config/brimtone/");
    QVERIFY(path.startsWith(temp.path() + "/brimtone-"));
    QCOMPARE(TSingleInstance::SocketPathFor("/home/u/.config/brimtone"), path);
    QVERIFY(TSingleInstance::SocketPathFor("/opt/brimtone/") != path);
    qputenv("TMPDIR", temp.path().toUtf8());  // left changed
    qunsetenv("XDG_RUNTIME_DIR");
    const QString dir = TSingleInstance::RuntimeDir();
    QCOMPARE(QFileInfo(dir).permissions() & 0x77, QFileDevice::Permissions());
    QVERIFY(QFileInfo(dir).isDir() && QDir(dir).removeRecursively());
    QVERIFY(QDir().mkpath(temp.filePath("elsewhere")));
    QVERIFY(QFile::link(temp.filePath("elsewhere"), dir));
    QVERIFY(TSingleInstance::RuntimeDir().startsWith(dir + "-"));
    QCOMPARE(TSingleInstance(QString(), QString()).Start("x"), TRole::Failed);
  }
};

QTEST_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"
