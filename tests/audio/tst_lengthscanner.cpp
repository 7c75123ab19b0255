// The background length scanner on MP3 files made with sox and lame: the device's lengths,
// silence on what it cannot measure, the player's open file left alone, changed files, priority.

#include <sched.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <QFile>
#include <QTest>

#include "audio/diskorder.h"
#include "audio/lengthscanner.h"
#include "audio/mediaplayer.h"
#include "mp3fixtures.h"
#include "support/openwait.h"

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
  TMediaPlayer player;
  OpenAndWait(player, path);
  return QString("%1 %2 %3").arg(n).arg(path).arg(player.Length());
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
    QVERIFY(!fixtures_.Derived("joined.mp3", {cbr_, vbr_}).isEmpty());
    QCOMPARE(::mkfifo(QFile::encodeName(Path("fifo.mp3")).constData(), 0600), 0);
  }

  // A bad file between two good ones (mono 22.05 kHz, constant rate) gives nothing, stops nothing.
  void measuresWhatTheDeviceReports_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("measurable");
    QTest::newRow("variable, no info frame") << "vbr.mp3" << true;
    QTest::newRow("behind an ID3 tag") << "tagged.mp3" << true;
    QTest::newRow("two songs joined") << "joined.mp3" << true;
    for (const char* bad : {"missing", "text", "cut", "fifo"})
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
    // In the order the files lie on the disk.
    auto sorted = [](QStringList list) {
      list.sort();
      return list;
    };
    QCOMPARE(sorted(rig.ScanAll(jobs)), sorted(expected));
    QCOMPARE(sorted(rig.ScanAll(jobs)), sorted(expected));  // again, from memory
  }

  // The player's open file waits, under another name too, until the player moves on.
  void busyFileWaits() {
    QVERIFY(QFile::copy(cbr_, Path("busy.mp3")));
    QCOMPARE(::link(QFile::encodeName(Path("busy.mp3")).constData(),
                    QFile::encodeName(Path("hardlink.mp3")).constData()),
             0);
    TRig rig;
    rig.scanner.SetBusyFile(Path("hardlink.mp3"));
    QCOMPARE(rig.ScanAll({{1, Path("busy.mp3")}, {2, vbr_}}), QStringList{Device(2, vbr_)});
    QCOMPARE(rig.scanner.Waiting(), 1);
    rig.scanner.SetBusyFile(mono_);  // the player moves on
    QTRY_COMPARE_WITH_TIMEOUT(rig.results,
                              (QStringList{Device(2, vbr_), Device(1, Path("busy.mp3"))}), 60000);
  }

  // What a file gave is reused only while it is the same file.
  void changedFilesAreMeasuredAgain() {
    const QString path = Path("changing.mp3");
    QVERIFY(QFile::copy(cbr_, path));
    TRig rig;
    QCOMPARE(rig.ScanAll({{1, path}}), QStringList{Device(1, cbr_).replace(cbr_, path)});
    QFile file(path), source(vbr_);  // overwritten with another song
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QVERIFY(source.open(QIODevice::ReadOnly) && file.write(source.readAll()) > 0);
    file.close();
    QCOMPARE(rig.ScanAll({{1, path}}), QStringList{Device(1, vbr_).replace(vbr_, path)});
  }

  // Files that cost no read first, then device by device by their places on it; without
  // places, folder by folder in inode order. Each file: path, then device inode offset, or free.
  void diskOrder_data() {
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QString>("order");
    QTest::newRow("by place") << QStringList{"a/1 1 1 300", "a/2 1 2 100", "a/3 free", "x/1 2 1 50",
                                             "a/4 1 3 200"}
                              << "a/3 a/2 a/4 a/1 x/1";
    QTest::newRow("no places") << QStringList{"b/1 1 9 -1", "a/1 1 3 -1", "b/2 1 1 -1",
                                              "a/2 1 2 -1"}
                               << "b/2 b/1 a/2 a/1";
  }
  void diskOrder() {
    QFETCH(QStringList, files);
    QFETCH(QString, order);
    QHash<QString, QStringList> fields;
    QVector<QString> paths;
    for (const QString& file : files)
      fields[paths.emplaceBack(file.section(' ', 0, 0))] = file.split(' ');
    auto place = [&](const QString& path) {
      const QStringList f = fields[path];
      TDiskPlace p{true, dev_t(f.value(1).toInt()), ino_t(f.value(2).toInt()), {}};
      if (f.value(3).toInt() >= 0) p.Offset = f.value(3).toInt();
      return p;
    };
    QStringList got;
    for (const int i :
         DiskOrder(paths, place, [&](const QString& path) { return fields[path][1] == "free"; }))
      got << paths[i];
    QCOMPARE(got.join(' '), order);
  }

  void workerRunsAtIdlePriority() {
    TRig rig;
    QCOMPARE(rig.ScanAll({{1, cbr_}}).size(), 1);
    const int tid = rig.scanner.WorkerThreadId();
    QVERIFY(tid > 0 && tid != ::gettid());
    QCOMPARE(::sched_getscheduler(tid), SCHED_IDLE);
    QCOMPARE(::syscall(SYS_ioprio_get, 1, tid) >> 13, 3L);  // the idle I/O class
  }
};

QTEST_MAIN(TestLengthScanner)
#include "tst_lengthscanner.moc"
