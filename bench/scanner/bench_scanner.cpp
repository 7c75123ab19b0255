// The background length scan against its targets, in the whole program (both windows, the real
// engine playing a 60 s song through SDL meanwhile):
//   1. 1,000 separate three-minute songs, a mix of kinds (CBR with an Info header, some behind
//      an ID3v2 tag with a cover, VBR with a Xing header, VBR without a header, files cut short,
//      two songs joined), added at once as Add Directory adds them, their pages dropped from the
//      cache first: the time until every row shows its length (target 3 s), the CPU, the
//      playlist writes, the playing song's underruns.
//   2. 10,000 hard links to one three-minute song, from the cache: the same (target 2 s).
//   3. How long stopping takes in the middle of a batch (the program's end), five times.
//   4. For each kind of file, the length its header states against libmpg123's full scan, and
//      the length the player's open gives; and the decoder alone on the cold 1,000, the old way
//      (full scan of every file) against the new, in playlist order and in disk order.
//
// The songs are kept in /tmp/brimtone-bench: a few originals made once with sox and lame, and
// 4.3 GB of copies made from them in a shuffled order (so that name order is not disk order, as
// in a library that grew over time). The cache is dropped with /proc/sys/vm/drop_caches when
// run as root, else with posix_fadvise(POSIX_FADV_DONTNEED) on every file; the output says which.
// Runs offscreen with SDL's dummy audio driver (real time) unless told otherwise.

#include <fcntl.h>
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>
#include <ctime>
#include <functional>
#include <optional>
#include <vector>

#include "app/startup.h"
#include "audio/diskorder.h"
#include "audio/mp3decoder.h"
#include "audio/mp3header.h"
#include "audio/mpg123sdlengine.h"
#include "benchkit.h"
#include "controls/dtlistbox.h"
#include "platform/programdir.h"
#include "player/formmain.h"
#include "playlist/formplaylist.h"
#include "playlist/lengthrecorder.h"
#include "playlist/playlistfile.h"

namespace {

constexpr int kColdSongs = 1000;
constexpr int kLinks = 10000;
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

// CPU time all processes of the machine have used so far, from /proc/stat.
int64_t MachineBusyNs() {
  QFile file("/proc/stat");
  if (!file.open(QIODevice::ReadOnly)) return 0;
  const QList<QByteArray> fields = file.readLine().simplified().split(' ');
  int64_t busy = 0;  // user nice system (idle iowait) irq softirq steal
  for (const int i : {1, 2, 3, 6, 7, 8}) busy += fields.value(i).toLongLong();
  return busy * (1'000'000'000 / sysconf(_SC_CLK_TCK));
}

bool Sh(const QString& command) {
  return QProcess::execute("sh", {"-c", command}) == 0;
}

// One kind of file in the mix: how many of the 1,000, and how its original is made.
struct TKind {
  const char* name;
  int copies;
  const char* file;
  std::function<bool(const QString& path)> make;
};

// seconds of pink noise over a tone, encoded by lame with args into path.
bool Encode(const QString& path, int seconds, const QString& args) {
  return Sh(QString("sox -r 44100 -c 2 -n -b 16 -t wav - synth %1 pinknoise vol 0.3 synth %1 sine "
                    "mix 440 vol 0.8 2>/dev/null | lame --quiet %2 - '%3'")
                .arg(seconds)
                .arg(args, path));
}

QList<TKind> Kinds() {
  const QString dir = BenchDir();
  return {
      {"CBR 192 kbps, Info header", 400, "cbr.mp3",
       [](const QString& p) { return Encode(p, 180, "-b 192"); }},
      {"CBR 128 kbps, Info, ID3v2 + 120 KB cover + ID3v1", 200, "tagged.mp3",
       [dir](const QString& p) {
         // A picture's bytes are not checked beyond their first few.
         return Sh(QString("(printf '\\377\\330\\377\\340'; head -c 120000 /dev/urandom) > "
                           "'%1/cover.jpg'")
                       .arg(dir)) &&
                Encode(p, 180,
                       QString("-b 128 --tt Title --ta Artist --tl Album --tn 3/12 --add-id3v2 "
                               "--ti '%1/cover.jpg'")
                           .arg(dir));
       }},
      {"VBR -V 2, Xing header", 300, "vbr.mp3",
       [](const QString& p) { return Encode(p, 180, "-V 2"); }},
      {"VBR -V 2 without header", 50, "noheader.mp3",
       [](const QString& p) { return Encode(p, 180, "-V 2 -t"); }},
      {"cut short (VBR, 60 % kept)", 25, "cut.mp3",
       [dir](const QString& p) {
         return Encode(p + ".whole", 180, "-V 2") &&
                Sh(QString("head -c $(( $(stat -c %s '%1.whole') * 6 / 10 )) '%1.whole' > '%1'")
                       .arg(p));
       }},
      {"two songs joined (CBR 90 s + VBR 90 s)", 25, "joined.mp3",
       [](const QString& p) {
         return Encode(p + ".a", 90, "-b 192") && Encode(p + ".b", 90, "-V 2") &&
                Sh(QString("cat '%1.a' '%1.b' > '%1'").arg(p));
       }},
  };
}

QString Original(const TKind& kind) {
  const QString path = BenchDir() + "/scanner-original-" + kind.file;
  if (QFile::exists(path)) return path;
  std::printf("making %s (once)...\n", qPrintable(path));
  std::fflush(stdout);
  if (!kind.make(path + ".part") || !QFile::rename(path + ".part", path))
    Fail("cannot make the originals (sox and lame needed)");
  return path;
}

QString Numbered(const QString& dir, int i) {
  return dir + QString("/song%1.mp3").arg(i, 5, 10, QChar('0'));
}

// The 1,000 copies, the kinds interleaved in name order; written in a shuffled order.
QStringList MixedCopies() {
  const QString dir = BenchDir() + "/scanner-mix";
  QDir().mkpath(dir);
  QStringList sources;
  for (const TKind& kind : Kinds())
    for (int i = 0; i < kind.copies; ++i) sources << Original(kind);
  if (sources.size() != kColdSongs) Fail("the mix does not add up");
  QRandomGenerator names(7);
  for (int i = sources.size() - 1; i > 0; --i) sources.swapItemsAt(i, names.bounded(i + 1));
  QStringList paths;
  for (int i = 0; i < kColdSongs; ++i) paths << Numbered(dir, i);
  std::vector<int> writeOrder(kColdSongs);
  for (int i = 0; i < kColdSongs; ++i) writeOrder[i] = i;
  QRandomGenerator writes(11);
  for (int i = kColdSongs - 1; i > 0; --i)
    std::swap(writeOrder[i], writeOrder[writes.bounded(i + 1)]);
  bool announced = false;
  for (const int i : writeOrder) {
    if (QFile::exists(paths[i])) continue;
    if (!announced) std::printf("copying the 1,000 songs (once, 4.3 GB)...\n");
    announced = true;
    std::fflush(stdout);
    if (!QFile::copy(sources[i], paths[i] + ".part") ||
        !QFile::rename(paths[i] + ".part", paths[i]))
      Fail("cannot copy the test songs");
  }
  return paths;
}

QStringList Links(const QString& stem, int count, const QString& source) {
  const QString dir = BenchDir() + "/" + stem;
  QDir().mkpath(dir);
  QStringList paths;
  for (int i = 0; i < count; ++i) {
    paths << Numbered(dir, i);
    if (!QFile::exists(paths.last()) && ::link(QFile::encodeName(source).constData(),
                                               QFile::encodeName(paths.last()).constData()) != 0)
      Fail("cannot make the test songs");
  }
  return paths;
}

// Forgets the cached pages of the files (all of them when allowed), so that the scan reads the
// disk. Says how.
const char* DropFromCache(const QStringList& paths) {
  ::sync();
  QFile drop("/proc/sys/vm/drop_caches");
  if (drop.open(QIODevice::WriteOnly) && drop.write("3\n") == 2 && drop.flush())
    return "page cache dropped with /proc/sys/vm/drop_caches";
  for (const QString& path : paths) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) continue;
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
    ::close(fd);
  }
  return "each file's pages dropped with posix_fadvise(POSIX_FADV_DONTNEED)";
}

void WritePlaylistOf(const QString& file, const QString& playing) {
  QFile out(file);
  if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate)) Fail("cannot write the playlist");
  out.write(QString("[playlist]\nFile1=%1\nTitle1=%2\nLength1=60\nNumberOfEntries=1\nVersion=2\n")
                .arg(playing, TPlaylistFile::FileNamePart(playing))
                .toUtf8());
}

bool AllMeasured(const TdtListBox& box, int songs) {
  if (box.Count() < songs + 1) return false;
  for (const QString& row : box.Items())
    if (row.endsWith("(0:00)")) return false;
  return true;
}

// 1. and 2.: the whole program, a song playing, songs added at once.
void RunBatch(const QString& programDir, const QString& playing, const QStringList& songs,
              const QString& what, bool cold, double targetSeconds) {
  WritePlaylistOf(programDir + "/lastplay.dat", playing);
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
  const char* how = cold ? DropFromCache(songs) : "from the page cache";
  const std::optional<long long> underrunsBefore = UnderrunsOf(*engine);
  const int guiTid = int(::gettid());
  const int64_t guiCpu0 = ThreadCpuNs(guiTid);
  const int64_t cpu0 = ProcessCpuNs();
  const int64_t machine0 = MachineBusyNs();
  const int64_t t0 = NowNs();
  TPlaylistFile().AppendEntries(songs, TAppendOrder::FileFirst);
  playlist.UpdatePlaylist();
  while (!AllMeasured(*playlist.boxPlaylist, int(songs.size()))) {
    QTest::qWait(5);
    if (NowNs() - t0 > 600'000'000'000) Fail("the lengths did not all come within 10 minutes");
  }
  const double seconds = (NowNs() - t0) / 1e9;
  const int64_t cpu = ProcessCpuNs() - cpu0;
  const double othersCores = (MachineBusyNs() - machine0 - cpu) / 1e9 / seconds;
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
      "%lld %s added at once (%s), a song playing meanwhile:\n"
      "  every row shows its length after %.2f s (target <= %.0f s; %.2f ms a song)\n"
      "  CPU meanwhile: %.2f s in all (%.0f%% of one core): scanner thread %.2f s (%.3f ms a "
      "song, idle priority), GUI thread %.2f s, engine and the rest %.2f s (no target given)\n"
      "  playlist writes: %d for %d lengths, shortest gap between two %.0f ms (target >= 1000 "
      "ms)\n"
      "  other processes kept %.1f of the machine's %ld cores busy meanwhile (the scanner's idle "
      "priority leaves the processor to them)\n",
      static_cast<long long>(songs.size()), qPrintable(what), how, seconds, targetSeconds,
      seconds * 1000 / songs.size(), cpu / 1e9, 100.0 * cpu / 1e9 / seconds, scanCpu / 1e9,
      scanCpu / 1e6 / songs.size(), guiCpu / 1e9,
      std::max<int64_t>(0, cpu - scanCpu - guiCpu) / 1e9, recorder.Commits(), recorder.Written(),
      shortestGapMs, std::max(0.0, othersCores), sysconf(_SC_NPROCESSORS_ONLN));
  if (underrunsBefore && underrunsAfter)
    std::printf("  underruns of the playing song: %lld (target 0)%s\n",
                *underrunsAfter - *underrunsBefore, stillPlaying ? "" : " -- it stopped playing");
  else
    std::printf("  underruns of the playing song: n/a (target 0; the engine keeps no count)%s\n",
                stillPlaying ? "" : " -- it stopped playing");
  std::fflush(stdout);
  player.StopClick(player.Stop);
  DestroyWindows(windows);
}

// 4. The length the header states, the full scan's, the player's open's, for one file.
void CompareKind(const char* name, const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) Fail("cannot read an original");
  const TByteSource source = [&file](int64_t offset, void* dst, int64_t size) -> int64_t {
    return file.seek(offset) ? file.read(static_cast<char*>(dst), size) : -1;
  };
  const TMp3Layout layout = ReadMp3Layout(source, file.size());
  const std::optional<int64_t> trusted = TrustedLength(layout);
  QString stated = "none";
  if (layout.Xing && layout.Xing->Frames && layout.First)
    stated = QString::number(GaplessLength(*layout.Xing->Frames, layout.First->SamplesPerFrame,
                                           layout.Xing->Lame, layout.Xing->Delay,
                                           layout.Xing->Padding)) +
             (trusted ? " trusted" : " refused");
  const TMp3Decoder scanned(path, {.ReadTags = false, .FullScan = true});
  const TMp3Decoder opened(path, {.ReadTags = false});
  const bool agree = trusted ? *trusted == scanned.LengthFrames()
                             : opened.LengthFrames() == scanned.LengthFrames();
  std::printf("  %-50s %18s %10lld %10lld %-11s %s\n", name, qPrintable(stated),
              static_cast<long long>(scanned.LengthFrames()),
              static_cast<long long>(opened.LengthFrames()),
              opened.LengthFromHeader() ? "header" : (opened.Joined() ? "scan,joined" : "scan"),
              agree ? "yes" : "NO");
}

// 4. The decoder alone on the cold files: seconds for all of them.
double DecoderAlone(const QStringList& paths, bool fullScan) {
  DropFromCache(paths);
  const int64_t t0 = NowNs();
  for (const QString& path : paths) {
    try {
      const TMp3Decoder song(path, {.ReadTags = false, .FullScan = fullScan});
    } catch (const std::exception&) {
    }
  }
  return (NowNs() - t0) / 1e9;
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  if (qEnvironmentVariableIsEmpty("SDL_AUDIODRIVER")) qputenv("SDL_AUDIODRIVER", "dummy");
  QApplication app(argc, argv);
  // Parts named on the command line run alone: cold links stop kinds.
  const QStringList asked = app.arguments().mid(1);
  auto part = [&](const char* name) { return asked.isEmpty() || asked.contains(name); };

  const QString playing = Song(60);
  const QStringList mix = MixedCopies();
  const QStringList links = Links("scanner-links10k", kLinks, Song(180));

  QTemporaryDir programDir;
  if (!programDir.isValid()) Fail("no temporary folder");
  QDir().mkpath(programDir.filePath("skin"));
  const QDir skin(BRIMTONE_SKIN_DIR);
  for (const QString& name : skin.entryList(QDir::Files))
    QFile::copy(skin.filePath(name), programDir.filePath("skin/" + name));
  SetProgramDir(programDir.path());

  QString kinds;
  for (const TKind& kind : Kinds()) kinds += QString("%1 %2, ").arg(kind.copies).arg(kind.name);
  kinds.chop(2);
  std::printf("the mix: %s\n", qPrintable(kinds));
  // 1.
  if (part("cold"))
    RunBatch(programDir.path(), playing, mix, "separate three-minute songs of that mix", true, 3);
  // 2.
  if (part("links"))
    RunBatch(programDir.path(), playing, links, "hard links to one three-minute CBR song", false,
             2);

  // 3. A recorder of its own on a playlist of songs it has not seen, stopped mid-batch.
  std::vector<double> stops;
  for (int round = 0; round < (part("stop") ? kStopRounds : 0); ++round) {
    const QStringList batch = Links(QString("scanner-stop%1").arg(round), 2000, Song(180));
    QFile::remove(programDir.filePath("lastplay.dat"));
    TPlaylistFile().AppendEntries(batch, TAppendOrder::FileFirst);
    TLengthRecorder stopping;
    stopping.RescanNow();
    QTest::qWait(20 + 7 * round);
    const int64_t s0 = NowNs();
    stopping.Stop();
    stops.push_back((NowNs() - s0) / 1e6);
  }
  if (!stops.empty())
    std::printf(
        "stop in the middle of a batch (the program's end): median %.2f ms, worst %.2f ms "
        "over %d rounds (target: at once, <= 50 ms)\n",
        Median(stops), *std::max_element(stops.begin(), stops.end()), kStopRounds);

  // 4.
  if (!part("kinds")) return 0;
  std::printf(
      "each kind of file, lengths in samples (target: the player's open agrees with the "
      "full scan for every kind):\n  %-50s %18s %10s %10s %-11s %s\n",
      "kind", "header states", "full scan", "open", "open used", "agree");
  for (const TKind& kind : Kinds()) CompareKind(kind.name, Original(kind));
  QStringList diskOrder;
  QVector<QString> paths(mix.begin(), mix.end());
  for (const int i : DiskOrder(paths, &DiskPlaceOf, [](const QString&) { return false; }))
    diskOrder << mix[i];
  const double oldWay = DecoderAlone(mix, true);
  const double playlistOrder = DecoderAlone(mix, false);
  const double inDiskOrder = DecoderAlone(diskOrder, false);
  std::printf(
      "the decoder alone on the 1,000, cold (no target given): full scan of every file %.2f s "
      "(the old way), header where trusted %.2f s in playlist order, %.2f s in disk order\n",
      oldWay, playlistOrder, inDiskOrder);
  return 0;
}
