// The background length scanner on real MP3 files made with sox and lame: the lengths the player's
// device reports, silence on files it cannot measure, the file the player has open left alone,
// files that change, the worker's priorities, and stopping.

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

constexpr int kWaitMs = 60000;  // a bound for a hung scanner, not a timing target

// A scanner with everything it reported.
struct TRig {
  TLengthScanner scanner;
  QStringList results;  // "n path ms"
  int drained = 0;
  TRig() {
    QObject::connect(&scanner, &TLengthScanner::Measured, &scanner, [this](const TLengthResult& r) {
      results << QString("%1 %2 %3").arg(r.Number).arg(r.Path).arg(r.LengthMs);
    });
    QObject::connect(&scanner, &TLengthScanner::Drained, &scanner, [this] { ++drained; });
  }
  // Scans and waits until the queue ran empty.
  bool ScanAll(const QVector<TLengthJob>& jobs) {
    const int before = drained;
    scanner.Scan(jobs);
    return QTest::qWaitFor([&] { return drained > before && scanner.Idle(); }, kWaitMs);
  }
};

// The length the player's device reports for a song.
qint64 DeviceLengthMs(const QString& path) {
  TMpg123SdlEngine engine;
  engine.Open(path);
  return engine.Length();
}

QString Result(int n, const QString& path, qint64 ms) {
  return QString("%1 %2 %3").arg(n).arg(path).arg(ms);
}

}  // namespace

class TestLengthScanner : public QObject {
  Q_OBJECT

  TMp3Fixtures fixtures_;
  QMap<QString, TMp3Fixture> songs_;

  QString Song(const QString& name) const { return songs_.value(name).path; }

 private slots:
  void initTestCase() {
    QVERIFY(fixtures_.Valid());
    struct {
      const char* name;
      long rate;
      int channels;
      int64_t frames;
      QStringList lame;
    } const specs[] = {
        {"cbr.mp3", 44100, 2, 3 * 44100 + 999, {"-b", "128"}},
        {"vbrnotag.mp3", 44100, 2, 70001, {"-V", "2", "-t"}},
        {"mono22.mp3", 22050, 1, 33333, {"-m", "m", "-b", "64"}},
        {"rate48.mp3", 48000, 2, 5 * 48000 + 47999, {"-b", "192"}},
        {"long.mp3", 44100, 2, 7 * 44100, {"-b", "320"}},
    };
    for (const auto& spec : specs) {
      const TMp3Fixture song =
          fixtures_.Make(spec.name, spec.rate, spec.channels, spec.frames, spec.lame);
      QVERIFY2(!song.path.isEmpty(), spec.name);
      songs_[spec.name] = song;
    }
    TMp3Fixture tagged = songs_["cbr.mp3"];
    tagged.path = fixtures_.WithId3Tag("tagged.mp3", tagged.path, 64 * 1024);
    QVERIFY(!tagged.path.isEmpty());
    songs_["tagged.mp3"] = tagged;
  }

  void measuresWhatTheDeviceReports_data() {
    QTest::addColumn<QString>("name");
    QTest::newRow("constant bit rate") << "cbr.mp3";
    QTest::newRow("variable bit rate without info frame") << "vbrnotag.mp3";
    QTest::newRow("mono at 22.05 kHz") << "mono22.mp3";
    QTest::newRow("48 kHz, just under 6 s") << "rate48.mp3";
    QTest::newRow("behind a 64 KiB ID3 tag") << "tagged.mp3";
  }
  void measuresWhatTheDeviceReports() {
    QFETCH(QString, name);
    const TMp3Fixture song = songs_.value(name);
    TRig rig;
    QVERIFY(rig.ScanAll({{7, song.path}}));
    const qint64 device = DeviceLengthMs(song.path);
    QCOMPARE(rig.results, QStringList{Result(7, song.path, device)});
    // And that is the song's real length, give or take the encoder's frame padding.
    QVERIFY(qAbs(device - song.inputFrames * 1000 / song.rate) < 100);
  }

  // Each bad file sits between two good ones: it gives nothing and stops nothing.
  void unmeasurableFilesGiveNothing_data() {
    QTest::addColumn<QString>("kind");
    QTest::newRow("missing") << "missing";
    QTest::newRow("empty") << "empty";
    QTest::newRow("text") << "text";
    QTest::newRow("cut before the first frame") << "cut";
    QTest::newRow("a folder") << "folder";
    QTest::newRow("a FIFO that nobody writes") << "fifo";
    QTest::newRow("no path") << "none";
  }
  void unmeasurableFilesGiveNothing() {
    QFETCH(QString, kind);
    const QString bad = fixtures_.Dir() + "/bad-" + kind + ".mp3";
    QFile::remove(bad);
    QDir(fixtures_.Dir()).rmdir("bad-" + kind + ".mp3");
    QFile cbr(Song("cbr.mp3"));
    QVERIFY(cbr.open(QIODevice::ReadOnly));
    if (kind == "empty") QVERIFY(!fixtures_.Write("bad-empty.mp3", {}).isEmpty());
    if (kind == "text")
      QVERIFY(!fixtures_.Write("bad-text.mp3", "[playlist]\nFile1=x\n").isEmpty());
    if (kind == "cut") QVERIFY(!fixtures_.Write("bad-cut.mp3", cbr.read(200)).isEmpty());
    if (kind == "folder") QVERIFY(QDir(fixtures_.Dir()).mkdir("bad-folder.mp3"));
    if (kind == "fifo") QCOMPARE(::mkfifo(QFile::encodeName(bad).constData(), 0600), 0);
    const QString path = kind == "none" ? QString() : bad;

    TRig rig;
    QVERIFY(rig.ScanAll({{1, Song("cbr.mp3")}, {2, path}, {3, Song("mono22.mp3")}}));
    QCOMPARE(rig.results,
             (QStringList{Result(1, Song("cbr.mp3"), DeviceLengthMs(Song("cbr.mp3"))),
                          Result(3, Song("mono22.mp3"), DeviceLengthMs(Song("mono22.mp3")))}));
    // Asked again, it stays silent (what it gave is remembered).
    rig.results.clear();
    QVERIFY(rig.ScanAll({{2, path}}));
    QVERIFY(rig.results.isEmpty());
  }

  // The file the player has open waits, under any of its names; other files go on.
  void busyFileWaits_data() {
    QTest::addColumn<QString>("busyName");  // how the busy file is named
    QTest::addColumn<bool>("waits");
    QTest::newRow("same path") << "same" << true;
    QTest::newRow("a hard link to it") << "hardlink" << true;
    QTest::newRow("a symbolic link to it") << "symlink" << true;
    QTest::newRow("another song") << "other" << false;
    QTest::newRow("a path that is not there") << "missing" << false;
  }
  void busyFileWaits() {
    QFETCH(QString, busyName);
    QFETCH(bool, waits);
    const QString song = fixtures_.Dir() + "/busy.mp3";
    QFile::remove(song);
    QVERIFY(QFile::copy(Song("cbr.mp3"), song));
    QString busy = song;
    const QString alias = fixtures_.Dir() + "/alias-" + busyName + ".mp3";
    QFile::remove(alias);
    if (busyName == "hardlink")
      QCOMPARE(::link(QFile::encodeName(song).constData(), QFile::encodeName(alias).constData()),
               0);
    if (busyName == "symlink") QVERIFY(QFile::link(song, alias));
    if (busyName == "hardlink" || busyName == "symlink" || busyName == "missing") busy = alias;
    if (busyName == "other") busy = Song("long.mp3");

    const qint64 length = DeviceLengthMs(song);
    TRig rig;
    rig.scanner.SetBusyFile(busy);
    QVERIFY(rig.ScanAll({{1, song}, {2, Song("mono22.mp3")}}));
    const QString second = Result(2, Song("mono22.mp3"), DeviceLengthMs(Song("mono22.mp3")));
    if (waits) {
      QCOMPARE(rig.results, QStringList{second});
      QCOMPARE(rig.scanner.Waiting(), 1);
      // The player moves on: the song's turn comes.
      rig.scanner.SetBusyFile(Song("long.mp3"));
      QVERIFY(QTest::qWaitFor([&] { return rig.results.size() == 2; }, kWaitMs));
      QCOMPARE(rig.results, (QStringList{second, Result(1, song, length)}));
    } else {
      QCOMPARE(rig.results, (QStringList{Result(1, song, length), second}));
    }
    QCOMPARE(rig.scanner.Waiting(), 0);
  }

  // A file measured before answers from memory only while it is the same file.
  void changedFilesAreMeasuredAgain_data() {
    QTest::addColumn<QString>("change");
    QTest::addColumn<QString>("nowLike");  // the song it now holds, empty: none
    QTest::newRow("unchanged") << "none"
                               << "cbr.mp3";
    QTest::newRow("overwritten with a longer song") << "overwrite"
                                                    << "long.mp3";
    QTest::newRow("replaced by a rename") << "rename"
                                          << "rate48.mp3";
    QTest::newRow("removed") << "remove" << QString();
    QTest::newRow("turned into garbage") << "garbage" << QString();
  }
  void changedFilesAreMeasuredAgain() {
    QFETCH(QString, change);
    QFETCH(QString, nowLike);
    const QString path = fixtures_.Dir() + "/changing.mp3";
    QFile::remove(path);
    QVERIFY(QFile::copy(Song("cbr.mp3"), path));
    TRig rig;
    QVERIFY(rig.ScanAll({{1, path}}));
    QCOMPARE(rig.results, QStringList{Result(1, path, DeviceLengthMs(Song("cbr.mp3")))});

    if (change == "overwrite") {
      QFile file(path);
      QFile source(Song("long.mp3"));
      QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
      QVERIFY(source.open(QIODevice::ReadOnly));
      QVERIFY(file.write(source.readAll()) > 0);
    } else if (change == "rename") {
      const QString other = fixtures_.Dir() + "/changing.tmp";
      QFile::remove(other);
      QVERIFY(QFile::copy(Song("rate48.mp3"), other));
      QVERIFY(::rename(QFile::encodeName(other).constData(), QFile::encodeName(path).constData()) ==
              0);
    } else if (change == "remove") {
      QVERIFY(QFile::remove(path));
    } else if (change == "garbage") {
      QFile file(path);
      QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
      QVERIFY(file.write(QByteArray(70000, 'x')) > 0);
    }
    rig.results.clear();
    QVERIFY(rig.ScanAll({{1, path}}));
    if (nowLike.isEmpty())
      QVERIFY(rig.results.isEmpty());
    else
      QCOMPARE(rig.results, QStringList{Result(1, path, DeviceLengthMs(Song(nowLike)))});
  }

  // A new batch replaces what was not started yet; results come in job order.
  void newBatchReplacesTheQueue_data() {
    QTest::addColumn<int>("firstBatch");
    QTest::newRow("after an empty batch") << 0;
    QTest::newRow("after a batch of one") << 1;
    QTest::newRow("after a long batch") << 60;
  }
  void newBatchReplacesTheQueue() {
    QFETCH(int, firstBatch);
    TRig rig;
    rig.scanner.SetBusyFile(Song("long.mp3"));  // the first batch's jobs all wait
    QVector<TLengthJob> first;
    for (int i = 0; i < firstBatch; ++i) first.append({100 + i, Song("long.mp3")});
    QVERIFY(rig.ScanAll(first));
    QCOMPARE(rig.scanner.Waiting(), firstBatch);
    QVERIFY(rig.ScanAll({{1, Song("cbr.mp3")}, {2, Song("mono22.mp3")}, {3, Song("cbr.mp3")}}));
    QCOMPARE(rig.scanner.Waiting(), 0);
    const qint64 cbr = DeviceLengthMs(Song("cbr.mp3"));
    QCOMPARE(rig.results,
             (QStringList{Result(1, Song("cbr.mp3"), cbr),
                          Result(2, Song("mono22.mp3"), DeviceLengthMs(Song("mono22.mp3"))),
                          Result(3, Song("cbr.mp3"), cbr)}));
  }

  void workerRunsAtIdlePriority_data() {
    QTest::addColumn<QString>("what");
    QTest::newRow("idle CPU scheduling") << "policy";
    QTest::newRow("nice 19") << "nice";
    QTest::newRow("idle I/O class") << "io";
    QTest::newRow("the GUI thread keeps its own") << "gui";
  }
  void workerRunsAtIdlePriority() {
    QFETCH(QString, what);
    const int guiNice = ::getpriority(PRIO_PROCESS, id_t(::gettid()));
    const int guiPolicy = ::sched_getscheduler(0);
    TRig rig;
    QVERIFY(rig.ScanAll({{1, Song("cbr.mp3")}}));
    const int tid = rig.scanner.WorkerThreadId();
    QVERIFY(tid > 0);
    QVERIFY(tid != int(::gettid()));
    if (what == "policy") QCOMPARE(::sched_getscheduler(tid), SCHED_IDLE);
    if (what == "nice") QCOMPARE(::getpriority(PRIO_PROCESS, id_t(tid)), 19);
    if (what == "io") {
      const long ioprio = ::syscall(SYS_ioprio_get, 1 /* a thread */, tid);
      QCOMPARE(ioprio >> 13, 3L);  // the idle class
    }
    if (what == "gui") {
      QCOMPARE(::sched_getscheduler(0), guiPolicy);
      QCOMPARE(::getpriority(PRIO_PROCESS, id_t(::gettid())), guiNice);
    }
  }

  // Stop: nothing reported afterwards, also from a scan that was under way; later calls do
  // nothing.
  void stopEndsTheWork_data() {
    QTest::addColumn<int>("jobs");
    QTest::newRow("idle") << 0;
    QTest::newRow("mid-batch") << 2000;
  }
  void stopEndsTheWork() {
    QFETCH(int, jobs);
    TRig rig;
    QVector<TLengthJob> batch;
    for (int i = 0; i < jobs; ++i) {
      // Each a name of its own, so that none answers from memory.
      const QString copy = fixtures_.Dir() + QString("/stop%1.mp3").arg(i);
      if (!QFile::exists(copy))
        QCOMPARE(::link(QFile::encodeName(Song("long.mp3")).constData(),
                        QFile::encodeName(copy).constData()),
                 0);
      batch.append({i + 1, copy});
    }
    rig.scanner.Scan(batch);
    if (jobs > 0) QVERIFY(QTest::qWaitFor([&] { return !rig.results.isEmpty(); }, kWaitMs));
    rig.scanner.Stop();
    const QStringList atStop = rig.results;
    QTest::qWait(300);  // anything still in flight would arrive now
    QCOMPARE(rig.results, atStop);
    if (jobs > 0) QVERIFY(atStop.size() < jobs);
    rig.scanner.Scan({{1, Song("cbr.mp3")}});
    rig.scanner.SetBusyFile(Song("cbr.mp3"));
    rig.scanner.Stop();
    QTest::qWait(100);
    QCOMPARE(rig.results, atStop);
    QVERIFY(rig.scanner.Idle());
  }
};

QTEST_MAIN(TestLengthScanner)
#include "tst_lengthscanner.moc"
