// One program per data folder: the first start listens, a later one hands over its request
// and learns that it arrived; one without a way to reach the first says so.
#include <sys/socket.h>
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

namespace {
using TRole = TSingleInstance::TRole;

// A later start in its own thread, as in its own process.
class TLaterStart {
 public:
  TLaterStart(const QString& dataDir, const QString& socket, const QByteArray& request,
              int timeoutMs = 5000)
      : thread_(QThread::create([=, this] {
          role_ = int(TSingleInstance(dataDir, socket).Start(request, timeoutMs));
        })) {
    thread_->start();
  }
  ~TLaterStart() { thread_->wait(); }
  bool Finished() const { return thread_->isFinished(); }
  int Role() const { return role_.loadRelaxed(); }

 private:
  QAtomicInt role_ = -1;
  std::unique_ptr<QThread> thread_;
};
}  // namespace

class TestSingleInstance : public QObject {
  Q_OBJECT
 private slots:
  // The first gets the bytes as sent, also more than a socket buffer holds, and refuses a
  // frame claiming too much.
  void handOver() {
    QTemporaryDir runtime;
    const QString path = runtime.filePath("sock");
    TSingleInstance first(QString(), path);
    QCOMPARE(first.Start("first's own"), TRole::Primary);
    first.Ready();
    QSignalSpy received(&first, &TSingleInstance::Received);
    for (const QByteArray& request : {QByteArray("play this"), QByteArray(3 << 20, 'x')}) {
      TLaterStart later(QString(), path, request);
      QTRY_VERIFY_WITH_TIMEOUT(later.Finished(), 20000);
      QCOMPARE(later.Role(), int(TRole::HandedOver));
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

  // A first program still starting holds the start lock: a later start waits for it, far
  // past its answer timeout, instead of reporting a failure for a request applied later.
  void laterStartWaitsForOneStarting() {
    QTemporaryDir data;
    qputenv("XDG_RUNTIME_DIR", data.path().toUtf8());
    TSingleInstance first(data.path());
    QCOMPARE(first.Start("own"), TRole::Primary);
    QSignalSpy received(&first, &TSingleInstance::Received);
    TLaterStart later(data.path(), QString(), "later", 200);
    QTest::qWait(1500);
    QVERIFY(!later.Finished());
    first.Ready();
    QTRY_VERIFY_WITH_TIMEOUT(later.Finished(), 10000);
    QCOMPARE(later.Role(), int(TRole::HandedOver));
    QTRY_COMPARE(received.size(), 1);
  }

  // Two starts on one data folder without XDG_RUNTIME_DIR: the second finds the first
  // through the private folder the first made when the usual one was taken, or, with no
  // folder to be had, learns that it cannot reach it. Never a second program on the folder.
  void twoStartsOnOneDataFolder_data() {
    QTest::addColumn<QString>("usual");  // what holds the usual folder's name
    QTest::addColumn<int>("role");
    QTest::newRow("free") << "nothing" << int(TRole::HandedOver);
    QTest::newRow("a link") << "link" << int(TRole::HandedOver);
    QTest::newRow("another user's folder") << "other" << int(TRole::HandedOver);
    QTest::newRow("a folder open to all") << "open" << int(TRole::HandedOver);
    QTest::newRow("no temporary folder") << "no tmp" << int(TRole::Unreachable);
  }
  void twoStartsOnOneDataFolder() {
    QFETCH(QString, usual);
    QFETCH(int, role);
    QTemporaryDir temp, data;
    qunsetenv("XDG_RUNTIME_DIR");
    const QString tmp = temp.filePath("tmp");
    QVERIFY(QDir().mkpath(tmp));
    const QString name = tmp + QStringLiteral("/brimtone-%1").arg(::getuid());
    if (usual == "link") QVERIFY(QFile::link(temp.path(), name));
    if (usual == "open" || usual == "other") {
      QVERIFY(QDir().mkpath(name));
      QVERIFY(QFile::setPermissions(name, QFileDevice::Permissions(0x7777)));
    }
    if (usual == "other" && (::geteuid() != 0 || ::chown(name.toUtf8(), 65534, 65534) != 0))
      QSKIP("giving a folder to another user needs root");
    if (usual == "no tmp") QVERIFY(QFile(tmp + "/file").open(QIODevice::WriteOnly));
    qputenv("TMPDIR", (usual == "no tmp" ? tmp + "/file" : tmp).toUtf8());

    TSingleInstance first(data.path());
    QCOMPARE(first.Start("own"), usual == "no tmp" ? TRole::Failed : TRole::Primary);
    first.Ready();
    QSignalSpy received(&first, &TSingleInstance::Received);
    TLaterStart later(data.path(), QString(), "later");
    QTRY_VERIFY_WITH_TIMEOUT(later.Finished(), 10000);
    QCOMPARE(later.Role(), role);
    if (role == int(TRole::HandedOver)) QTRY_COMPARE(received.size(), 1);
    if (usual != "nothing" && usual != "no tmp") QVERIFY(first.SocketPath().startsWith(name + "-"));
    QCOMPARE(QFileInfo(name).isSymLink(), usual == "link");  // nothing followed into the link
  }

  // A request whose handling opens a box: applied only once the socket's handler has
  // returned, so the box's event loop may delete the socket of the sender that went away,
  // and the program still takes the next request.
  void requestOpeningABox_data() {
    QTest::addColumn<QString>("song");
    QTest::addColumn<QString>("box");
    QTest::newRow("a name the playlist cannot hold") << "two\nlines.mp3"
                                                     << "unstorable";
    QTest::newRow("a song that does not open") << "broken.mp3"
                                               << "Error";
  }
  void requestOpeningABox() {
    QFETCH(QString, song);
    QFETCH(QString, box);
    TWindowsRig rig(1);
    qputenv("XDG_RUNTIME_DIR", rig.dir.Path().toUtf8());
    const QString path = rig.dir.Write(song, "");
    rig.fake->FailOpen(path);
    TDesktopIntegration desktop(rig.main.get(), rig.playlist.get());
    TSingleInstance first(rig.dir.Path());
    QCOMPARE(first.Start("own"), TRole::Primary);
    first.Ready();
    connect(&first, &TSingleInstance::Received, &desktop, &TDesktopIntegration::ApplyBytes);
    std::unique_ptr<TLaterStart> later;
    QStringList shown;
    rig.dialogs->whileShown = [&](const QString& text) {
      shown << text;
      // The sender is gone and its socket deleted while the box is up.
      QTRY_VERIFY_WITH_TIMEOUT(later->Finished(), 10000);
      QTest::qWait(300);
    };
    TInstanceRequest request;
    request.songs << path;
    later = std::make_unique<TLaterStart>(rig.dir.Path(), QString(), EncodeRequest(request));
    QTRY_COMPARE_WITH_TIMEOUT(shown.size(), 1, 10000);
    QCOMPARE(later->Role(), int(TRole::HandedOver));
    QCOMPARE(shown[0], box == "Error" ? box : UnstorableNamesMessage({path}));
    rig.dialogs->whileShown = nullptr;
    request.songs = QStringList{rig.Song(1)};
    TLaterStart next(rig.dir.Path(), QString(), EncodeRequest(request));
    QTRY_VERIFY_WITH_TIMEOUT(next.Finished(), 10000);
    QCOMPARE(next.Role(), int(TRole::HandedOver));
    QTRY_COMPARE(rig.fake->OpenFileName(), rig.Song(1));
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
    const QString own = TSingleInstance::RuntimeDir();
    QVERIFY(own.startsWith(dir + "-"));
    QCOMPARE(TSingleInstance::RuntimeDir(), own);
    QCOMPARE(QFileInfo(own).permissions() & 0x77, QFileDevice::Permissions());
    QCOMPARE(TSingleInstance(QString(), QString()).Start("x"), TRole::Failed);
  }
};

QTEST_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"
