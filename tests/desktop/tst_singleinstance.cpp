// One program per data folder: the first start listens, a later one hands over its request
// and learns that it arrived.
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QLocalServer>
#include <QLocalSocket>
#include <QtTest>

#include "desktop/singleinstance.h"

namespace {
// A socket file with nobody behind it, as a killed program leaves it.
bool MakeDeadSocket(const QString& path) {
  const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  if (fd < 0) return false;
  sockaddr_un address = {};
  address.sun_family = AF_UNIX;
  const QByteArray name = QFile::encodeName(path);
  std::memcpy(address.sun_path, name.constData(), std::min<size_t>(name.size(), 100));
  const bool bound = ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  ::close(fd);
  return bound && QFileInfo::exists(path);
}
}  // namespace

class TestSingleInstance : public QObject {
  Q_OBJECT
 private slots:
  void oneSocketPerDataFolder() {
    QTemporaryDir runtime;
    qputenv("XDG_RUNTIME_DIR", runtime.path().toUtf8());
    const QString path = TSingleInstance::SocketPathFor("/home/u/.config/brimtone/");
    QVERIFY(path.startsWith(runtime.path() + "/brimtone-"));
    QCOMPARE(TSingleInstance::SocketPathFor("/home/u/.config/brimtone"), path);
    QVERIFY(TSingleInstance::SocketPathFor("/opt/brimtone/") != path);
  }

  // A later start hands over; the first gets the bytes as sent, also more than a socket buffer
  // holds, and drops a frame that claims too much.
  void handOver() {
    QTemporaryDir runtime;
    const QString path = runtime.filePath("sock");
    TSingleInstance first(path);
    QCOMPARE(first.Start("first's own"), TSingleInstance::TRole::Primary);
    QSignalSpy received(&first, &TSingleInstance::Received);
    const QList<QByteArray> requests{"play this", QByteArray(3 * 1024 * 1024, 'x')};
    for (const QByteArray& request : requests) {
      // The later start runs in its own thread here, as it would in its own process.
      QAtomicInt role = -1;
      QThread* later = QThread::create([&] { role = int(TSingleInstance(path).Start(request)); });
      later->start();
      QTRY_VERIFY_WITH_TIMEOUT(later->isFinished(), 20000);
      delete later;
      QCOMPARE(role.loadRelaxed(), int(TSingleInstance::TRole::HandedOver));
    }
    QCOMPARE(received.size(), 2);
    QCOMPARE(received.at(0).at(0).toByteArray(), requests.at(0));
    QCOMPARE(received.at(1).at(0).toByteArray(), requests.at(1));
    QLocalSocket client;
    client.connectToServer(path);
    QVERIFY(client.waitForConnected(2000));
    client.write(QByteArray("\x7f\xff\xff\xff", 4) + "tail");
    client.flush();
    QTRY_COMPARE_WITH_TIMEOUT(client.state(), QLocalSocket::UnconnectedState, 5000);
    QCOMPARE(received.size(), 2);
  }

  // A killed program leaves its socket: it is taken over, never waited on.
  void staleSocketIsTakenOver() {
    QTemporaryDir runtime;
    const QString path = runtime.filePath("sock");
    QVERIFY(MakeDeadSocket(path));
    TSingleInstance instance(path);
    QCOMPARE(instance.Start("x", 3000), TSingleInstance::TRole::Primary);
    QLocalSocket probe;
    probe.connectToServer(path);
    QVERIFY(probe.waitForConnected(2000));
  }

  // Somebody listens but never confirms: the later start gives up instead of hanging.
  void silentListenerIsNoAnswer() {
    QTemporaryDir runtime;
    const QString path = runtime.filePath("sock");
    QLocalServer mute;
    QVERIFY(mute.listen(path));
    TSingleInstance later(path);
    QCOMPARE(later.Start("hello", 300), TSingleInstance::TRole::NoAnswer);
  }

  // Without XDG_RUNTIME_DIR: a folder private to the user, and none when someone else's folder
  // is in its place (the program then runs alone). Last: it leaves TMPDIR changed.
  void runtimeDirWithoutTheVariable() {
    QTemporaryDir temp;
    qputenv("TMPDIR", temp.path().toUtf8());
    qunsetenv("XDG_RUNTIME_DIR");
    const QString dir = TSingleInstance::RuntimeDir();
    QVERIFY(QFileInfo(dir).isDir());
    QCOMPARE(QFileInfo(dir).permissions() & (QFileDevice::ReadOther | QFileDevice::WriteOther |
                                             QFileDevice::ReadGroup | QFileDevice::WriteGroup),
             QFileDevice::Permissions());
    QVERIFY(QDir(dir).removeRecursively());
    QVERIFY(QDir().mkpath(temp.filePath("elsewhere")));
    QVERIFY(QFile::link(temp.filePath("elsewhere"), dir));
    const QString linked = TSingleInstance::RuntimeDir();
    QFile::remove(dir);
    QCOMPARE(linked, QString());
    QCOMPARE(TSingleInstance(QString()).Start("x"), TSingleInstance::TRole::Failed);
  }
};

QTEST_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"
