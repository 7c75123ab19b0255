// The background length scan against its targets, in the whole program (both windows, the real
// engine playing through SDL):
//   1. 1,000 three-minute songs (192 kbps, 44.1 kHz stereo) added at once, as Add Directory
//      adds them, while a 60 s song plays: the time until every row shows its length, the CPU
//      the scanner's thread, the other threads and the whole process used meanwhile, the
//      playlist writes, and the playing song's underruns.
//   2. How long stopping takes in the middle of a batch (the program's end), five times.
//
// The 1,000 songs are hard links to one file made with sox and lame (kept in
// /tmp/brimtone-bench), so they come from the page cache: the figure is the scan's own cost.
// With --copies they are 1,000 separate files (4.3 GB, made once in the same folder) whose
// cached pages are dropped first, so the scan reads them from the disk.
// Runs offscreen with SDL's dummy audio driver (real time) unless told otherwise.

#include <fcntl.h>
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>
#include <ctime>
#include <optional>
#include <vector>

#include "app/startup.h"
#include "audio/mpg123sdlengine.h"
#include "benchkit.h"
#include "controls/dtlistbox.h"
#include "platform/programdir.h"
#include "player/formmain.h"
#include "playlist/formplaylist.h"
#include "playlist/lengthrecorder.h"
#include "playlist/playlistfile.h"

namespace {

constexpr int kSongs = 1000;
constexpr int kStopRounds = 5;

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "bench_scanner: %s\n", what);
  std::exit(1);
}

int64_t ProcessCpuNs() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return int64_t(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

// Time a thread of this process has run, from the kernel's scheduler statistics.
int64_t ThreadCpuNs(int tid) {
  QFile file(QString("/proc/self/task/%1/schedstat").arg(tid));
  if (tid <= 0 || !file.open(QIODevice::ReadOnly)) return 0;
  return file.readAll().split(' ').value(0).toLongLong();
}

// The engine's underrun count, when it keeps one.
template <typename Engine>
std::optional<long long> UnderrunsOf(Engine& engine) {
  if constexpr (requires { engine.Underruns(); })
    return static_cast<long long>(engine.Underruns());
  else
    return std::nullopt;
}

QString Names(const QString& stem, int count, const QString& source, bool copies) {
  const QString dir = BenchDir() + "/" + stem;
  QDir().mkpath(dir);
  for (int i = 0; i < count; ++i) {
    const QString path = dir + QString("/song%1.mp3").arg(i, 4, 10, QChar('0'));
    if (QFile::exists(path)) continue;
    const bool made = copies ? QFile::copy(source, path)
                             : ::link(QFile::encodeName(source).constData(),
                                      QFile::encodeName(path).constData()) == 0;
    if (!made) Fail("cannot make the test songs");
  }
  return dir;
}

// Asks the kernel to forget the cached pages of each file, so that the scan reads the disk.
void DropFromCache(const QStringList& paths) {
  for (const QString& path : paths) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) continue;
    ::fdatasync(fd);
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
    ::close(fd);
  }
}

QStringList Paths(const QString& dir, int count) {
  QStringList paths;
  for (int i = 0; i < count; ++i) paths << dir + QString("/song%1.mp3").arg(i, 4, 10, QChar('0'));
  return paths;
}

void WritePlaylistOf(const QString& file, const QString& playing) {
  QFile out(file);
  if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate)) Fail("cannot write the playlist");
  out.write(QString("[playlist]\nFile1=%1\nTitle1=%2\nLength1=60\nNumberOfEntries=1\nVersion=2\n")
                .arg(playing, TPlaylistFile::FileNamePart(playing))
                .toUtf8());
}

bool AllMeasured(const TdtListBox& box) {
  if (box.Count() < kSongs + 1) return false;
  for (const QString& row : box.Items())
    if (row.endsWith("(0:00)")) return false;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  if (qEnvironmentVariableIsEmpty("SDL_AUDIODRIVER")) qputenv("SDL_AUDIODRIVER", "dummy");
  QApplication app(argc, argv);
  const bool copies = app.arguments().contains("--copies");

  const QString playing = Song(60);
  const QString threeMinutes = Song(180);
  std::printf("making the test songs (once)...\n");
  std::fflush(stdout);
  const QString batchDir =
      Names(copies ? "scanner-copies" : "scanner-links", kSongs, threeMinutes, copies);

  QTemporaryDir programDir;
  if (!programDir.isValid()) Fail("no temporary folder");
  QDir().mkpath(programDir.filePath("skin"));
  const QDir skin(BRIMTONE_SKIN_DIR);
  for (const QString& name : skin.entryList(QDir::Files))
    QFile::copy(skin.filePath(name), programDir.filePath("skin/" + name));
  SetProgramDir(programDir.path());
  WritePlaylistOf(programDir.filePath("lastplay.dat"), playing);

  // 1.
  TWindows windows;
  CreateWindows(windows);
  TformMain& player = *windows.formMain;
  TformPlaylist& playlist = *windows.formPlaylist;
  auto* engine = dynamic_cast<TMpg123SdlEngine*>(&player.Mp3MediaPlayer->Engine());
  if (!engine) Fail("not the real engine");
  playlist.boxPlaylist->SetItemIndex(0);
  player.PlayClick(player.Play);
  if (!player.Playing) Fail("the program does not play");
  QTest::qWait(1000);

  // Each write of lengths is followed by one refresh: its times give the gaps between writes.
  std::vector<int64_t> writes;
  windows.lengthRecorder->SetRefresh([&] {
    writes.push_back(NowNs());
    playlist.RefreshRows();
  });
  if (copies) DropFromCache(Paths(batchDir, kSongs));
  const std::optional<long long> underrunsBefore = UnderrunsOf(*engine);
  const int guiTid = int(::gettid());
  const int64_t guiCpu0 = ThreadCpuNs(guiTid);
  const int64_t cpu0 = ProcessCpuNs();
  const int64_t t0 = NowNs();
  TPlaylistFile().AppendEntries(Paths(batchDir, kSongs), TAppendOrder::FileFirst);
  playlist.UpdatePlaylist();
  while (!AllMeasured(*playlist.boxPlaylist)) {
    QTest::qWait(10);
    if (NowNs() - t0 > 600'000'000'000) Fail("the lengths did not all come within 10 minutes");
  }
  const double seconds = (NowNs() - t0) / 1e9;
  const int64_t cpu = ProcessCpuNs() - cpu0;
  const int64_t guiCpu = ThreadCpuNs(guiTid) - guiCpu0;
  TLengthRecorder& recorder = *windows.lengthRecorder;
  const int64_t scanCpu = ThreadCpuNs(recorder.Scanner().WorkerThreadId());
  const std::optional<long long> underrunsAfter = UnderrunsOf(*engine);
  double shortestGapMs = 0;
  for (size_t i = 1; i < writes.size(); ++i) {
    const double gap = (writes[i] - writes[i - 1]) / 1e6;
    if (i == 1 || gap < shortestGapMs) shortestGapMs = gap;
  }
  const bool stillPlaying = player.Playing && engine->State() == TEngineState::Playing;

  std::printf(
      "%d three-minute songs added at once (%s), a song playing meanwhile:\n"
      "  every row shows its length after %.2f s (no target given; %.1f ms a song)\n"
      "  CPU meanwhile: %.2f s in all (%.0f%% of one core): scanner thread %.2f s (%.2f ms a "
      "song, idle priority), GUI thread %.2f s, engine and the rest %.2f s (no target given)\n"
      "  playlist writes: %d for %d lengths, shortest gap between two %.0f ms (target >= 1000 "
      "ms)\n",
      kSongs, copies ? "separate files, read from the disk" : "hard links to one cached file",
      seconds, seconds * 1000 / kSongs, cpu / 1e9, 100.0 * cpu / 1e9 / seconds, scanCpu / 1e9,
      scanCpu / 1e6 / kSongs, guiCpu / 1e9, (cpu - scanCpu - guiCpu) / 1e9, recorder.Commits(),
      recorder.Written(), shortestGapMs);
  if (underrunsBefore && underrunsAfter)
    std::printf("  underruns of the playing song: %lld (target 0)%s\n",
                *underrunsAfter - *underrunsBefore, stillPlaying ? "" : " -- it stopped playing");
  else
    std::printf("  underruns of the playing song: n/a (target 0; the engine keeps no count)%s\n",
                stillPlaying ? "" : " -- it stopped playing");
  player.StopClick(player.Stop);
  DestroyWindows(windows);

  // 2. A recorder of its own on a playlist of songs it has not seen, stopped mid-batch.
  std::vector<double> stops;
  for (int round = 0; round < kStopRounds; ++round) {
    const QString dir = Names(QString("scanner-stop%1").arg(round), 200, threeMinutes, false);
    QFile::remove(programDir.filePath("lastplay.dat"));
    TPlaylistFile().AppendEntries(Paths(dir, 200), TAppendOrder::FileFirst);
    TLengthRecorder stopping;
    stopping.RescanNow();
    QTest::qWait(100 + 37 * round);
    const int64_t s0 = NowNs();
    stopping.Stop();
    stops.push_back((NowNs() - s0) / 1e6);
  }
  std::printf(
      "stop in the middle of a batch (the program's end): median %.2f ms, worst %.2f ms "
      "over %d rounds (target: at once, <= 50 ms)\n",
      Median(stops), *std::max_element(stops.begin(), stops.end()), kStopRounds);
  return 0;
}
