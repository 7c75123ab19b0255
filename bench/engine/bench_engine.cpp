// The audio engine against its targets:
//   1. Open of a 5-minute and a 60-minute 192 kbps MP3 until the length is known.
//   2. From Play to the first sample handed to the output, from rest (output closed) and right
//      after a Stop (output still open); from Seek to audio at the new place; from Pause and
//      Stop to the moment the last audio handed out has been heard.
//   3. CPU and memory while a 60 s, 192 kbps, 44.1 kHz stereo MP3 plays in real time (SDL's
//      dummy driver), next to a floor that only decodes with libmpg123 inside an SDL callback
//      with 2048-frame buffers. Both run at the same time as child processes of this one; each
//      reads the CPU time of its threads from /proc/self/task/*/schedstat over the same 15 s
//      window. Ring underruns of the engine beside them.
//   4. Wake-ups per second of each of the engine's threads over 10 s with a song open and
//      nothing playing, and while paused.
// Test songs are made once with sox and lame in /tmp/brimtone-bench and kept there.

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <QTextStream>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <thread>
#include <vector>

#include "audio/mpg123sdlengine.h"
#include "benchkit.h"

namespace {

constexpr int kWarmupMs = 2000;
constexpr int kWindowMs = 15000;

// CPU time of every thread of this process but the calling one, in ns.
int64_t ThreadsCpuNs() {
  int64_t total = 0;
  const QString self = QString::number(gettid());
  for (const QString& task : QDir("/proc/self/task").entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
    if (task == self) continue;
    QFile file("/proc/self/task/" + task + "/schedstat");
    if (file.open(QIODevice::ReadOnly)) total += file.readAll().split(' ').value(0).toLongLong();
  }
  return total;
}

int64_t RssKb() {
  QFile status("/proc/self/status");
  if (!status.open(QIODevice::ReadOnly)) return 0;
  for (const QByteArray& line : status.readAll().split('\n'))
    if (line.startsWith("VmRSS:")) return line.mid(6).trimmed().split(' ').value(0).toLongLong();
  return 0;
}

// --- the floor: libmpg123 decoding straight into the SDL callback

int RunFloor(const QString& path) {
  const int64_t rssBefore = RssKb();
  TFloorPlayer floor;
  if (!floor.Start(path)) return 1;
  SleepMs(kWarmupMs);
  const int64_t cpu0 = ThreadsCpuNs();
  SleepMs(kWindowMs);
  const int64_t cpu = ThreadsCpuNs() - cpu0;
  const int64_t rss = RssKb() - rssBefore;
  std::printf("%lld %lld 0\n", (long long)cpu, (long long)rss);
  return 0;
}

int RunEngine(const QString& path) {
  const int64_t rssBefore = RssKb();
  TMpg123SdlEngine engine;
  if (!OpenAndWait(engine, path)) return 1;
  engine.Play(0, 1);
  SleepMs(kWarmupMs);
  const int64_t cpu0 = ThreadsCpuNs();
  SleepMs(kWindowMs);
  const int64_t cpu = ThreadsCpuNs() - cpu0;
  const int64_t rss = RssKb() - rssBefore;
  std::printf("%lld %lld %llu\n", (long long)cpu, (long long)rss,
              (unsigned long long)engine.Underruns());
  return 0;
}

// --- the parent

int64_t ThreadCpuNs() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return int64_t(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

// Wall time is the target; the CPU time of the opening thread is printed beside it because the
// wall time swings with the machine's load (the file's pages are in the page cache either way).
void BenchOpen(const QString& five, const QString& sixty) {
  TMpg123SdlEngine engine;
  OpenAndWait(engine, five);  // SDL and the device start here, not in the figures below
  for (const auto& [name, path, target] :
       {std::tuple{"5-minute", five, 25.0}, std::tuple{"60-minute", sixty, 100.0}}) {
    std::vector<double> wall, cpu;
    for (int i = 0; i < 9; ++i) {
      engine.Close();
      const int64_t t0 = NowNs(), c0 = ThreadCpuNs();
      if (!OpenAndWait(engine, path) || engine.Length() <= 0) std::exit(1);
      wall.push_back((NowNs() - t0) / 1e6);
      cpu.push_back((ThreadCpuNs() - c0) / 1e6);
    }
    std::printf(
        "Open of a %s 192 kbps MP3 to a known length (%lld ms): median %.1f ms, worst "
        "%.1f ms, CPU median %.1f ms (target <= %.0f ms)\n",
        name, (long long)engine.Length(), Median(wall), *std::max_element(wall.begin(), wall.end()),
        Median(cpu), target);
  }
}

// Waits until the engine's output is closed again (it closes a moment after playing stops).
void WaitAtRest(TMpg123SdlEngine& engine) {
  for (int i = 0; i < 500 && engine.OutputOpen(); ++i) SleepMs(10);
  if (engine.OutputOpen()) {
    std::fprintf(stderr, "the output stays open at rest\n");
    std::exit(1);
  }
}

// Time from t0 until the audio handed out so far has been heard, once the output has had a
// buffer's time to run on after a Pause or Stop.
double HeardAfterMs(TMpg123SdlEngine& engine, int64_t t0) {
  SleepMs(engine.OutputBufferFrames() * 1000 / 44100 + 20);
  return (engine.HeardUntilNs() - t0) / 1e6;
}

void BenchLatency(const QString& song) {
  TMpg123SdlEngine engine;
  engine.Prepare();
  OpenAndWait(engine, song);
  std::vector<double> rest, open, seek, pause, stop;
  for (int i = 0; i < 12; ++i) {
    WaitAtRest(engine);
    const int64_t t0 = NowNs();
    engine.Play(1000 * i, 1);
    rest.push_back(WaitFirstAudioMs(engine, t0));
    SleepMs(100);
    engine.Stop();
  }
  for (int i = 0; i < 25; ++i) {
    engine.Stop();
    SleepMs(30 + i % 7);  // land anywhere in the output's cycle
    const int64_t t0 = NowNs();
    engine.Play(1000 * i, 1);
    open.push_back(WaitFirstAudioMs(engine, t0));
  }
  for (int i = 0; i < 25; ++i) {
    SleepMs(30 + i % 7);
    const int64_t t0 = NowNs();
    engine.Seek((i * 7919) % 55000);
    seek.push_back(WaitFirstAudioMs(engine, t0));
  }
  for (int i = 0; i < 12; ++i) {
    engine.Play(2000 * i, 1);
    SleepMs(100 + 7 * i);
    int64_t t0 = NowNs();
    engine.Pause();
    pause.push_back(HeardAfterMs(engine, t0));
    engine.Play(2000 * i + 500, 1);
    SleepMs(100 + 7 * i);
    t0 = NowNs();
    engine.Stop();
    stop.push_back(HeardAfterMs(engine, t0));
  }
  auto worst = [](const std::vector<double>& v) { return *std::max_element(v.begin(), v.end()); };
  std::printf(
      "Play to the first sample handed to the output, from rest (output closed; SDL buffer %d "
      "frames): median %.1f ms, worst %.1f ms (target <= 20 ms)\n",
      engine.OutputBufferFrames(), Median(rest), worst(rest));
  std::printf(
      "Play to the first sample right after a Stop (output still open): median %.1f ms, worst "
      "%.1f ms (target <= 20 ms)\n",
      Median(open), worst(open));
  std::printf(
      "Seek to audio at the new position: median %.1f ms, worst %.1f ms (target <= 50 ms)\n",
      Median(seek), worst(seek));
  std::printf(
      "Pause until the last audio has been heard: median %.1f ms, worst %.1f ms; Stop: median "
      "%.1f ms, worst %.1f ms (target <= 50 ms); underruns %llu (target 0)\n",
      Median(pause), worst(pause), Median(stop), worst(stop),
      (unsigned long long)engine.Underruns());
}

// Context switches of each thread of this process, by thread id, with the thread's name.
QMap<QString, std::pair<QString, int64_t>> Switches() {
  QMap<QString, std::pair<QString, int64_t>> threads;
  for (const QString& task : QDir("/proc/self/task").entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
    QFile file("/proc/self/task/" + task + "/status");
    if (!file.open(QIODevice::ReadOnly)) continue;
    auto& thread = threads[task];
    for (const QByteArray& line : file.readAll().split('\n')) {
      if (line.startsWith("Name:")) thread.first = QString::fromUtf8(line.mid(5).trimmed());
      if (line.contains("ctxt_switches:"))
        thread.second += line.mid(line.indexOf(':') + 1).trimmed().toLongLong();
    }
  }
  return threads;
}

// Wake-ups per second of the engine's threads (all but this one) over 10 s.
void PrintWakeups(const char* what) {
  constexpr int kSpanMs = 10000;
  const QString self = QString::number(gettid());
  const auto before = Switches();
  SleepMs(kSpanMs);
  const auto after = Switches();
  double total = 0;
  QStringList parts;
  for (auto it = after.begin(); it != after.end(); ++it) {
    if (it.key() == self) continue;
    const double perSecond = (it->second - before.value(it.key()).second) * 1000.0 / kSpanMs;
    total += perSecond;
    parts << QString("%1 %2").arg(it->first).arg(perSecond, 0, 'f', 1);
  }
  std::printf("Engine wake-ups per second %s, over %d s: %.1f (%s) (target 0)\n", what,
              kSpanMs / 1000, total, qPrintable(parts.join(", ")));
  std::fflush(stdout);
}

void BenchWakeups(const QString& song) {
  TMpg123SdlEngine engine;
  engine.Prepare();
  OpenAndWait(engine, song);
  SleepMs(2000);
  PrintWakeups("with a song open, nothing played yet");
  engine.Play(0, 1);
  SleepMs(1000);
  engine.Pause();
  SleepMs(2000);
  PrintWakeups("while paused");
}

// Songs of another rate reopen the output device at that rate; what that costs Open and Play.
void BenchRateChange(const QString& song44, const QString& song48) {
  TMpg123SdlEngine engine;
  OpenAndWait(engine, song44);
  std::vector<double> open, play;
  for (int i = 0; i < 10; ++i) {
    const int64_t t0 = NowNs();
    OpenAndWait(engine, i % 2 ? song44 : song48);
    open.push_back((NowNs() - t0) / 1e6);
    const int64_t t1 = NowNs();
    engine.Play(0, 1);
    play.push_back(WaitFirstAudioMs(engine, t1));
  }
  std::printf(
      "Open of a 60 s song at the other rate (44.1 <-> 48 kHz, output device reopened): "
      "median %.1f ms, worst %.1f ms; Play to first sample after it: median %.1f ms, "
      "worst %.1f ms\n",
      Median(open), *std::max_element(open.begin(), open.end()), Median(play),
      *std::max_element(play.begin(), play.end()));
}

void BenchCpu(const QString& song) {
  const QString self = QCoreApplication::applicationFilePath();
  QProcess floor, engine;
  floor.start(self, {"--floor", song});
  engine.start(self, {"--engine", song});
  if (!floor.waitForFinished(60000) || !engine.waitForFinished(60000)) std::exit(1);
  const QList<QByteArray> f = floor.readAllStandardOutput().trimmed().split(' ');
  const QList<QByteArray> e = engine.readAllStandardOutput().trimmed().split(' ');
  if (f.size() != 3 || e.size() != 3) {
    std::fprintf(stderr, "a child failed: %s %s\n", floor.readAllStandardError().constData(),
                 engine.readAllStandardError().constData());
    std::exit(1);
  }
  const double floorMs = f[0].toLongLong() / 1e6, engineMs = e[0].toLongLong() / 1e6;
  std::printf(
      "CPU over the same %d s of real-time play (60 s, 192 kbps): engine %.1f ms, floor "
      "%.1f ms: %.2f x (target <= 1.3 x); underruns %lld (target 0)\n",
      kWindowMs / 1000, engineMs, floorMs, engineMs / floorMs, e[2].toLongLong());
  std::printf(
      "Resident memory the engine adds while playing: %.1f MB (floor: %.1f MB) (target <= "
      "8 MB)\n",
      e[1].toLongLong() / 1024.0, f[1].toLongLong() / 1024.0);
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  qputenv("SDL_AUDIODRIVER", "dummy");
  const QStringList args = app.arguments();
  if (args.size() == 3 && args[1] == "--floor") return RunFloor(args[2]);
  if (args.size() == 3 && args[1] == "--engine") return RunEngine(args[2]);

  const QString minute = Song(60), five = Song(300), hour = Song(3600), minute48 = Song(60, 48000);
  BenchOpen(five, hour);
  BenchLatency(minute);
  BenchWakeups(minute);
  BenchRateChange(minute, minute48);
  BenchCpu(minute);
  return 0;
}
