// The playlist file's operations on a 10,000-entry "lastplay.dat" (about 1.6 MB) and on a
// 150,000-entry one (about 23 MB), each timed as a whole operation (open, read, write,
// atomic replace) and reported as the median of several runs next to its target.
//
//   bench_playlistfile [runs]     (default 15 runs per figure)
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>
#include <vector>

#include "platform/inifile.h"
#include "playlist/playlistfile.h"

namespace {

constexpr int kEntries = 10000;
constexpr int kLargeEntries = 150000;

// The first half of the entries have been played (they carry a Length), the rest not yet.
QByteArray MakePlaylist(int entries = kEntries) {
  QByteArray bytes = "[playlist]\r\n";
  bytes.reserve(qsizetype(entries) * 180);
  for (int n = 1; n <= entries; ++n) {
    const QByteArray number = QByteArray::number(n);
    const QByteArray name = "Track " + number + " - A Song With A Long Title.mp3";
    bytes += "File" + number + "=/home/user/Music/Some Artist/Album " + QByteArray::number(n / 12) +
             "/" + name + "\r\n";
    bytes += "Title" + number + "=" + name + "\r\n";
    if (n == 1) bytes += "NumberOfEntries=" + QByteArray::number(entries) + "\r\nVersion=2\r\n";
  }
  for (int n = 1; n <= entries / 2; ++n)
    bytes += "Length" + QByteArray::number(n) + "=" + QByteArray::number(120 + n % 300) + "\r\n";
  return bytes;
}

void Restore(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
    qFatal("cannot write %s", qPrintable(path));
}

double CpuMs() {
  timespec t;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

struct TFigure {
  double wallMs;
  double cpuMs;  // on a busy machine the wall time also holds the waits for a processor
};

// Medians in milliseconds of runs of work, each after an untimed prepare.
TFigure Median(int runs, const std::function<void(int)>& prepare,
               const std::function<void(int)>& work) {
  std::vector<double> wall, cpu;
  for (int run = 0; run < runs; ++run) {
    prepare(run);
    QElapsedTimer timer;
    const double cpuStart = CpuMs();
    timer.start();
    work(run);
    wall.push_back(timer.nsecsElapsed() / 1e6);
    cpu.push_back(CpuMs() - cpuStart);
  }
  std::sort(wall.begin(), wall.end());
  std::sort(cpu.begin(), cpu.end());
  return {wall[wall.size() / 2], cpu[cpu.size() / 2]};
}

void Report(const char* what, TFigure figure, double target) {
  std::printf("%-56s %8.2f ms", what, figure.wallMs);
  if (target > 0)
    std::printf(" (target <= %.0f ms)%s", target, figure.wallMs <= target ? "" : " MISSED");
  std::printf("   [processor %.2f ms]\n", figure.cpuMs);
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 15;
  QTemporaryDir dir;
  const QString path = dir.filePath("lastplay.dat");
  const QByteArray original = MakePlaylist();
  const TPlaylistFile file(path);
  std::printf("lastplay.dat: %d entries, %.2f MB, median of %d runs\n", kEntries,
              original.size() / 1048576.0, runs);

  auto fresh = [&](int) {
    Restore(path, original);
    ClearIniFileCache();  // first open parses the file
  };
  auto freshKeepCache = [&](int) {
    Restore(path, original);
    TPlaylistFile(path).EntryPath(1);  // as after the list was filled
  };

  int rows = 0;
  Report("read entries, 10000 entries",
         Median(runs, fresh, [&](int) { rows = file.ReadEntriesReporting()->size(); }), 20);
  if (rows != kEntries) qFatal("read %d rows", rows);
  Report("read entries, file unchanged since last read",
         Median(
             runs, [](int) {}, [&](int) { file.ReadEntriesReporting(); }),
         0);
  Report("append entry (Add File), 10000 entries",
         Median(runs, fresh,
                [&](int) {
                  file.AppendEntry("/home/user/Music/new song.mp3", TAppendOrder::FileFirst);
                }),
         10);
  Report("append entry, file read just before",
         Median(runs, freshKeepCache,
                [&](int) {
                  file.AppendEntry("/home/user/Music/new song.mp3", TAppendOrder::FileFirst);
                }),
         10);
  Report("delete entry 1 of 10000",
         Median(runs, fresh, [&](int) { file.DeleteEntry(0, kEntries); }), 30);
  Report("delete entry 1 of 10000, file read just before",
         Median(runs, freshKeepCache, [&](int) { file.DeleteEntry(0, kEntries); }), 30);
  Report("record length, 10000 entries",
         Median(runs, fresh, [&](int run) { file.RecordLength(kEntries / 2 + 1 + run, 215000); }),
         10);
  Report("entry path, 10000 entries", Median(runs, fresh, [&](int) { file.EntryPath(kEntries); }),
         0);

  // A playlist grown to 150,000 entries by Add Directory and drops. In the program every edit
  // follows a read of the file (the list was filled from it), so the edits are timed after
  // one; the same edits on a file never read before are shown beside them.
  {
    const QString largePath = dir.filePath("large.dat");
    const QByteArray large = MakePlaylist(kLargeEntries);
    const TPlaylistFile largeFile(largePath);
    std::printf("\nlastplay.dat: %d entries, %.1f MB, median of %d runs\n", kLargeEntries,
                large.size() / 1048576.0, runs);
    auto cold = [&](int) {
      Restore(largePath, large);
      ClearIniFileCache();
    };
    auto listed = [&](int) {
      cold(0);
      largeFile.ReadEntriesSilent();
    };
    auto append = [&](int) {
      largeFile.AppendEntry("/home/user/Music/new song.mp3", TAppendOrder::FileFirst);
    };
    auto remove = [&](int) { largeFile.DeleteEntry(0, kLargeEntries); };
    auto record = [&](int run) { largeFile.RecordLength(kLargeEntries / 2 + 1 + run, 215000); };
    int largeRows = 0;
    Report("read entries, 150000 entries",
           Median(runs, cold, [&](int) { largeRows = largeFile.ReadEntriesReporting()->size(); }),
           100);
    if (largeRows != kLargeEntries) qFatal("read %d rows", largeRows);
    Report("append entry, 150000 entries, list filled before", Median(runs, listed, append), 60);
    Report("delete entry 1 of 150000, list filled before", Median(runs, listed, remove), 150);
    Report("record length, 150000 entries, list filled before", Median(runs, listed, record), 60);
    Report("append entry, 150000 entries, file not read before", Median(runs, cold, append), 0);
    Report("delete entry 1 of 150000, file not read before", Median(runs, cold, remove), 0);
    Report("record length, 150000 entries, file not read before", Median(runs, cold, record), 0);
    QFile::remove(largePath);
    std::printf("\n");
  }

  // 1,000 files dropped or found in a folder: appended one by one, each followed by the
  // list's refill, against all in one write (the same keys in the same order).
  QStringList songs;
  for (int i = 0; i < 1000; ++i) songs << QString("/home/user/Drop/song %1.mp3").arg(i);
  Restore(path, original);
  QElapsedTimer timer;
  double cpuStart = CpuMs();
  timer.start();
  for (const QString& song : songs) {
    file.AppendEntry(song, TAppendOrder::VersionFirst);
    file.ReadEntriesReporting();
  }
  Report("1000 files one by one: 1000 appends and 1000 reads",
         {timer.nsecsElapsed() / 1e6, CpuMs() - cpuStart}, 0);
  Restore(path, original);
  cpuStart = CpuMs();
  timer.restart();
  file.AppendEntries(songs, TAppendOrder::VersionFirst);
  file.ReadEntriesReporting();
  Report("1000 files in one go: one append of all, one read",
         {timer.nsecsElapsed() / 1e6, CpuMs() - cpuStart}, 0);
  return 0;
}
