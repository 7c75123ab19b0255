// The lock that keeps one program per data folder: taken, refused while held (also by a Qt
// lock file of an older version), never stale once its holder died, unavailable where no
// lock can be had.
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QFile>
#include <QLockFile>
#include <QTemporaryDir>
#include <QTest>

#include "desktop/folderlock.h"

class TestFolderLock : public QObject {
  Q_OBJECT

 private slots:
  void takenOnceAtATime_data() {
    QTest::addColumn<QString>("before");  // what is in the lock's place first
    QTest::addColumn<int>("result");
    QTest::newRow("nothing") << "nothing" << int(TFolderLock::TResult::Locked);
    QTest::newRow("held by another") << "held" << int(TFolderLock::TResult::Held);
    QTest::newRow("held by a Qt lock file") << "qt" << int(TFolderLock::TResult::Held);
    QTest::newRow("left by a holder that died") << "died" << int(TFolderLock::TResult::Locked);
    QTest::newRow("let go by another") << "released" << int(TFolderLock::TResult::Locked);
    QTest::newRow("a link in its place") << "link" << int(TFolderLock::TResult::Unavailable);
    QTest::newRow("a folder that takes no files")
        << "no folder" << int(TFolderLock::TResult::Unavailable);
  }
  void takenOnceAtATime() {
    QFETCH(QString, before);
    QFETCH(int, result);
    QTemporaryDir dir;
    const QString path = dir.filePath(before == "no folder" ? "gone/x.lock" : "x.lock");
    TFolderLock other(path);
    QLockFile qtLock(path);
    if (before == "held" || before == "released")
      QCOMPARE(other.TryLock(), TFolderLock::TResult::Locked);
    if (before == "released") other.Unlock();
    if (before == "qt") QVERIFY(qtLock.tryLock(0));
    if (before == "link") QVERIFY(QFile::link(dir.filePath("elsewhere"), path));
    if (before == "died") {
      const pid_t child = ::fork();
      if (child == 0) {
        TFolderLock dying(path);
        if (dying.TryLock() == TFolderLock::TResult::Locked) ::raise(SIGKILL);
        ::_exit(1);
      }
      int status = 0;
      QCOMPARE(::waitpid(child, &status, 0), child);
      QVERIFY(WIFSIGNALED(status));
      QVERIFY(QFile::exists(path));
    }
    TFolderLock lock(path);
    QCOMPARE(int(lock.TryLock(result == int(TFolderLock::TResult::Held) ? 150 : 0)), result);
    QCOMPARE(lock.IsLocked(), result == int(TFolderLock::TResult::Locked));
    if (before == "held") QCOMPARE(lock.Holder(), QString::number(::getpid()));
    if (lock.IsLocked()) {
      QCOMPARE(lock.Holder(), QString::number(::getpid()));
      // Nobody else gets it meanwhile; once let go its file is gone and the next one takes it.
      TFolderLock next(path);
      QCOMPARE(next.TryLock(), TFolderLock::TResult::Held);
      lock.Unlock();
      QVERIFY(!QFile::exists(path));
      QCOMPARE(next.TryLock(), TFolderLock::TResult::Locked);
    }
  }
};

QTEST_MAIN(TestFolderLock)
#include "tst_folderlock.moc"
