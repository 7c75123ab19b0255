// One program per data folder: the first start listens, a later one hands over its request
// and learns that it arrived; leftovers of a killed program are taken over, never waited on.
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
// TMPDIR set for one case.
class TTempDirVariable {
 public:
  explicit TTempDirVariable(const QString& dir) : old_(qgetenv("TMPDIR")) {
    qputenv("TMPDIR", dir.toUtf8());
  }
  ~TTempDirVariable() {
    if (old_.isEmpty())
      qunsetenv("TMPDIR");
    else
      qputenv("TMPDIR", old_);
  }

 private:
  QByteArray old_;
};
}  // namespace

class TestSingleInstance : public QObject {
  Q_OBJECT
 private slots:
  void socketPaths_data() {
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second");
    QTest::addColumn<bool>("same");
    QTest::newRow("same folder") << "/home/u/.config/brimtone/"
                                 << "/home/u/.config/brimtone" << true;
    QTest::newRow("another copy") << "/home/u/.config/brimtone/"
                                  << "/opt/brimtone/" << false;
    QTest::newRow("dot segments") << "/a/b/../c/"
                                  << "/a/c" << true;
  }
  void socketPaths() {
    QFETCH(QString, first);
    QFETCH(QString, second);
    QFETCH(bool, same);
    QTemporaryDir runtime;
    qputenv("XDG_RUNTIME_DIR", runtime.path().toUtf8());
    const QString a = TSingleInstance::SocketPathFor(first);
    QVERIFY(a.startsWith(runtime.path() + "/brimtone-"));
    QCOMPARE(a == TSingleInstance::SocketPathFor(second), same);
  }

  void runtimeDirWithoutTheVariable() {
    QTemporaryDir temp;  // the temporary folder of this case, not the machine's
    const TTempDirVariable variable(temp.path());
    qunsetenv("XDG_RUNTIME_DIR");
    const QString dir = TSingleInstance::RuntimeDir();
    QVERIFY(QFileInfo(dir).isDir());
    // Private to the user: others cannot reach the socket.
    QCOMPARE(QFileInfo(dir).permissions() & (QFileDevice::ReadOther | QFileDevice::WriteOther |
                                             QFileDevice::ReadGroup | QFileDevice::WriteGroup),
             QFileDevice::Permissions());
  }

  // Someone else's folder in the place of ours: no socket there, the program runs alone.
  void runtimeDirOthersCanReach() {
    QTemporaryDir temp;
    const TTempDirVariable variable(temp.path());
    qunsetenv("XDG_RUNTIME_DIR");
    const QString dir = TSingleInstance::RuntimeDir();
    QVERIFY(!dir.isEmpty());
    QVERIFY(QDir(dir).removeRecursively());
    QVERIFY(QDir().mkpath(temp.filePath("elsewhere")));
    QVERIFY(QFile::link(temp.filePath("elsewhere"), dir));
    const QString linked = TSingleInstance::RuntimeDir();
    QFile::remove(dir);
    QCOMPARE(linked, QString());
    QCOMPARE(TSingleInstance(QString()).Start("x"), TSingleInstance::TRole::Failed);
  }

  // A second start hands over; the first gets the bytes as sent (sizes around the framing).
  void handOver_data() {
    QTest::addColumn<QByteArray>("request");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("small") << QByteArray("play this");
    QTest::newRow("larger than a socket buffer") << QByteArray(3 * 1024 * 1024, 'x');
  }
  void handOver() {
    QFETCH(QByteArray, request);
    QTemporaryDir runtime;
    const QString path = runtime.filePath("sock");
    TSingleInstance first(path);
    QCOMPARE(first.Start("first's own"), TSingleInstance::TRole::Primary);
    QSignalSpy received(&first, &TSingleInstance::Received);
    // The later start runs in its own thread here, as it would in its own process.
    QAtomicInt role = -1;
    QThread* later = QThread::create([&] {
      TSingleInstance second(path);
      role = int(second.Start(request));
    });
    later->start();
    QTRY_VERIFY_WITH_TIMEOUT(later->isFinished(), 20000);
    delete later;
    QCOMPARE(role.loadRelaxed(), int(TSingleInstance::TRole::HandedOver));
    QCOMPARE(received.size(), 1);
    QCOMPARE(received.at(0).at(0).toByteArray(), request);
  }

  void staleSocketIsTakenOver() {
    QTemporaryDir runtime;
    const QString path = runtime.filePath("sock");
    QVERIFY(MakeDeadSocket(path));
    TSingleInstance instance(path);
    QCOMPARE(instance.Start("x", 2000), TSingleInstance::TRole::Primary);
    QLocalSocket probe;
    probe.connectToServer(path);
    QVERIFY(probe.waitForConnected(2000));
  }

  void plainFileInThePlaceIsTakenOver() {
    QTemporaryDir runtime;
    const QString path = runtime.filePath("sock");
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    TSingleInstance instance(path);
    QCOMPARE(instance.Start("x", 2000), TSingleInstance::TRole::Primary);
  }

  void leftoverLockOfADeadProgram() {
    QTemporaryDir runtime;
    const QString path = runtime.filePath("sock");
    // A lock naming a process that is gone.
    QFile lock(path + ".lock");
    QVERIFY(lock.open(QIODevice::WriteOnly));
    lock.write("999999999\nbrimtone\n" + QSysInfo::machineHostName().toUtf8() + "\n");
    lock.close();
    TSingleInstance instance(path);
    QCOMPARE(instance.Start("x", 3000), TSingleInstance::TRole::Primary);
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

  void oversizedFrameIsDropped() {
    QTemporaryDir runtime;
    const QString path = runtime.filePath("sock");
    TSingleInstance first(path);
    QCOMPARE(first.Start("x"), TSingleInstance::TRole::Primary);
    QSignalSpy received(&first, &TSingleInstance::Received);
    QLocalSocket client;
    client.connectToServer(path);
    QVERIFY(client.waitForConnected(2000));
    client.write(QByteArray("\x7f\xff\xff\xff", 4) + "tail");
    client.flush();
    QTRY_COMPARE_WITH_TIMEOUT(client.state(), QLocalSocket::UnconnectedState, 5000);
    QCOMPARE(received.size(), 0);
  }

  void closingRemovesTheSocket() {
    QTemporaryDir runtime;
    const QString path = runtime.filePath("sock");
    {
      TSingleInstance first(path);
      QCOMPARE(first.Start("x"), TSingleInstance::TRole::Primary);
      QVERIFY(QFileInfo::exists(path));
    }
    QVERIFY(!QFileInfo::exists(path));
    TSingleInstance next(path);
    QCOMPARE(next.Start("x"), TSingleInstance::TRole::Primary);
  }
};

QTEST_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"
