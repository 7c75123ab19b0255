// The background length scanner on MP3 files made with sox and lame: the device's lengths,
// silence on what it cannot measure, the player's open file left alone, changed files, priority.

#include <sched.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTest>

#include "audio/lengthscanner.h"
#include "audio/mpg123sdlengine.h"
#include "mp3fixtures.h"

namespace {

// A scanner and what it reported ("n path ms" each).
struct TRig {
  TLengthScanner scanner;
  QStringList results;
  bool drained = false;
  TRig() {
    QObject::connect(&scanner, &TLengthScanner::Measured, &scanner, [this](const TLengthResult& r) {
      results << QString("%1 %2 %3").arg(r.Number).arg(r.Path).arg(r.LengthMs);
    });
    QObject::connect(&scanner, &TLengthScanner::Drained, &scanner, [this] { drained = true; });
  }
  // Scans and waits (a bound for a hung scanner, not a timing target).
  QStringList ScanAll(const QVector<TLengthJob>& jobs) {
    results.clear();
    drained = false;
    scanner.Scan(jobs);
    if (!QTest::qWaitFor([&] { return drained && scanner.Idle(); }, 60000)) results << "hung";
    return results;
  }
};

QString Device(int n, const QString& path) {
  TMpg123SdlEngine engine;
  engine.Open(path);
  return QString("%1 %2 %3").arg(n).arg(path).arg(engine.Length());
}

}  // namespace

class TestLengthScanner : public QObject {
  Q_OBJECT
  TMp3Fixtures fixtures_;
  QString cbr_, vbr_, mono_, tagged_;

  QString Path(const QString& name) const { return fixtures_.Dir() + "/" + name; }

 private slots:
  void initTestCase() {
    cbr_ = fixtures_.Make("cbr.mp3", 44100, 2, 3 * 44100 + 999, {"-b", "128"}).path;
    vbr_ = fixtures_.Make("vbr.mp3", 44100, 2, 70001, {"-V", "2", "-t"}).path;  // no info frame
    mono_ = fixtures_.Make("mono.mp3", 22050, 1, 33333, {"-m", "m", "-b", "64"}).path;
    tagged_ = fixtures_.WithId3Tag("tagged.mp3", cbr_, 64 * 1024);
    QVERIFY(!cbr_.isEmpty() && !vbr_.isEmpty() && !mono_.isEmpty() && !tagged_.isEmpty());
    QFile cut(Path("cut.mp3")), source(cbr_);
    QVERIFY(cut.open(QIODevice::WriteOnly) && source.open(QIODevice::ReadOnly));
    cut.write(source.read(200));
    fixtures_.Write("text.mp3", "[playlist]\nFile1=x\n");
    fixtures_.Write("empty.mp3", {});
    QVERIFY(QDir(fixtures_.Dir()).mkdir("folder.mp3"));
    QCOMPARE(::mkfifo(QFile::encodeName(Path("fifo.mp3")).constData(), 0600), 0);
  }

  // A bad file between two good ones gives nothing and stops nothing.
  void measuresWhatTheDeviceReports_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("measurable");
    QTest::newRow("constant bit rate") << "cbr.mp3" << true;
    QTest::newRow("variable, no info frame") << "vbr.mp3" << true;
    QTest::newRow("mono 22.05 kHz") << "mono.mp3" << true;
    QTest::newRow("behind an ID3 tag") << "tagged.mp3" << true;
    for (const char* bad : {"missing", "empty", "text", "cut", "folder", "fifo"})
      QTest::newRow(bad) << QString(bad) + ".mp3" << false;
  }
  void measuresWhatTheDeviceReports() {
    QFETCH(QString, name);
    QFETCH(bool, measurable);
    TRig rig;
    const QVector<TLengthJob> jobs = {{1, mono_}, {2, Path(name)}, {3, cbr_}};
    const QStringList expected =
        measurable ? QStringList{Device(1, mono_), Device(2, Path(name)), Device(3, cbr_)}
                   : QStringList{Device(1, mono_), Device(3, cbr_)};
    QCOMPARE(rig.ScanAll(jobs), expected);
    QCOMPARE(rig.ScanAll(jobs), expected);  // again, from memory
  }

  // The player's open file waits under any of its names until the player moves on.
  void busyFileWaits_data() {
    QTest::addColumn<QString>("busy");
    QTest::addColumn<bool>("waits");
    QTest::newRow("same path") << "busy.mp3" << true;
    QTest::newRow("a hard link to it") << "hardlink.mp3" << true;
    QTest::newRow("a symbolic link to it") << "symlink.mp3" << true;
    QTest::newRow("another song") << "mono.mp3" << false;
  }
  void busyFileWaits() {
    QFETCH(QString, busy);
    QFETCH(bool, waits);
    QFile::remove(Path("busy.mp3"));
    QFile::remove(Path("hardlink.mp3"));
    QFile::remove(Path("symlink.mp3"));
    QVERIFY(QFile::copy(cbr_, Path("busy.mp3")));
    QCOMPARE(::link(QFile::encodeName(Path("busy.mp3")).constData(),
                    QFile::encodeName(Path("hardlink.mp3")).constData()),
             0);
    QVERIFY(QFile::link(Path("busy.mp3"), Path("symlink.mp3")));
    TRig rig;
    rig.scanner.SetBusyFile(Path(busy));
    const QStringList first = rig.ScanAll({{1, Path("busy.mp3")}, {2, vbr_}});
    QCOMPARE(rig.scanner.Waiting(), waits ? 1 : 0);
    QCOMPARE(first.size(), waits ? 1 : 2);
    QCOMPARE(first.last(), Device(2, vbr_));
    rig.scanner.SetBusyFile(mono_);  // the player moves on
    QTRY_COMPARE_WITH_TIMEOUT(rig.results.size(), 2, 60000);
    QVERIFY(rig.results.contains(Device(1, Path("busy.mp3"))));
  }

  // What a file gave is reused only while it is the same file.
  void changedFilesAreMeasuredAgain_data() {
    QTest::addColumn<QString>("now");  // what the path holds at the second scan
    QTest::newRow("unchanged") << "cbr.mp3";
    QTest::newRow("overwritten with another song") << "vbr.mp3";
    QTest::newRow("replaced by a rename") << "mono.mp3";
    QTest::newRow("removed") << "";
  }
  void changedFilesAreMeasuredAgain() {
    QFETCH(QString, now);
    const QString path = Path("changing.mp3");
    QFile::remove(path);
    QVERIFY(QFile::copy(cbr_, path));
    TRig rig;
    QCOMPARE(rig.ScanAll({{1, path}}), QStringList{Device(1, cbr_).replace(cbr_, path)});
    if (now == "vbr.mp3") {
      QFile file(path), source(vbr_);
      QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
      QVERIFY(source.open(QIODevice::ReadOnly) && file.write(source.readAll()) > 0);
    } else if (now == "mono.mp3") {
      QVERIFY(QFile::copy(mono_, path + ".new"));
      QCOMPARE(::rename(QFile::encodeName(path + ".new").constData(),
                        QFile::encodeName(path).constData()),
               0);
    } else if (now.isEmpty()) {
      QVERIFY(QFile::remove(path));
    }
    const QStringList expected =
        now.isEmpty() ? QStringList() : QStringList{Device(1, Path(now)).replace(Path(now), path)};
    QCOMPARE(rig.ScanAll({{1, path}}), expected);
  }

  void workerRunsAtIdlePriority_data() {
    QTest::addColumn<QString>("what");
    QTest::newRow("idle CPU class") << "policy";
    QTest::newRow("nice 19") << "nice";
    QTest::newRow("idle I/O class") << "io";
  }
  void workerRunsAtIdlePriority() {
    QFETCH(QString, what);
    const int guiNice = ::getpriority(PRIO_PROCESS, 0);
    TRig rig;
    QCOMPARE(rig.ScanAll({{1, cbr_}}).size(), 1);
    const int tid = rig.scanner.WorkerThreadId();
    QVERIFY(tid > 0 && tid != ::gettid());
    if (what == "policy") QCOMPARE(::sched_getscheduler(tid), SCHED_IDLE);
    if (what == "nice") QCOMPARE(::getpriority(PRIO_PROCESS, id_t(tid)), 19);
    if (what == "io") QCOMPARE(::syscall(SYS_ioprio_get, 1, tid) >> 13, 3L);  // the idle class
    QCOMPARE(::getpriority(PRIO_PROCESS, 0), guiNice);  // the GUI thread keeps its own
  }
};

QTEST_MAIN(TestLengthScanner)
#include "tst_lengthscanner.moc"
