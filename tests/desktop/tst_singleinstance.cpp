// One program per data folder: the first start listens, a later one hands over its request
// and learns that it arrived.
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QLocalServer>
#include <QLocalSocket>
#include <QtTest>

#include "desktop/singleinstance.h"

class TestSingleInstance : public QObject {
  Q_OBJECT
 private slots:
  // A later start (in its own thread, as in its own process) hands over; the first gets the
  // bytes as sent, also more than a socket buffer holds, and drops a frame claiming too much.
  void handOver() {
    QTemporaryDir runtime;
    const QString path = runtime.filePath("sock");
    TSingleInstance first(path);
    QCOMPARE(first.Start("first's own"), TSingleInstance::TRole::Primary);
    QSignalSpy received(&first, &TSingleInstance::Received);
    for (const QByteArray& request : {QByteArray("play this"), QByteArray(3 << 20, 'x')}) {
      QAtomicInt role = -1;
      QThread* later = QThread::create([&] { role = int(TSingleInstance(path).Start(request)); });
      later->start();
      QTRY_VERIFY_WITH_TIMEOUT(later->isFinished(), 20000);
      delete later;
      QCOMPARE(role.loadRelaxed(), int(TSingleInstance::TRole::HandedOver));
      QCOMPARE(received.takeFirst().at(0).toByteArray(), request);
    }
    QLocalSocket client;
    client.connectToServer(path);
    QVERIFY(client.waitForConnected(2000));
    client.write(QByteArray("\x7f\xff\xff\xff", 4) + "tail");
    QTRY_COMPARE_WITH_TIMEOUT(client.state(), QLocalSocket::UnconnectedState, 5000);
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
    TSingleInstance instance(path);
    QCOMPARE(instance.Start("x", 3000), TSingleInstance::TRole::Primary);
    QLocalSocket probe;
    probe.connectToServer(path);
    QVERIFY(probe.waitForConnected(2000));
  }

  // Somebody listens but never confirms: the later start gives up instead of hanging.
  void silentListenerIsNoAnswer() {
    QTemporaryDir runtime;
    QLocalServer mute;
    QVERIFY(mute.listen(runtime.filePath("sock")));
    QCOMPARE(TSingleInstance(runtime.filePath("sock")).Start("hello", 300),
             TSingleInstance::TRole::NoAnswer);
  }

  // One socket per data folder in XDG_RUNTIME_DIR; without it, a folder private to the user,
  // none when a link to another folder is in its place (the program then runs alone).
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
    QCOMPARE(TSingleInstance::RuntimeDir(), QString());
    QCOMPARE(TSingleInstance(QString()).Start("x"), TSingleInstance::TRole::Failed);
  }
};

QTEST_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"
