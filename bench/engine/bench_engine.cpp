// The audio engine against its targets:
//   1. Open of a 5-minute and a 60-minute 192 kbps MP3 until the length is known.
//   2. From Play to the first sample handed to the output; from Seek to audio at the new place.
//   3. CPU and memory while a 60 s, 192 kbps, 44.1 kHz stereo MP3 plays in real time (SDL's
//      dummy driver), next to a floor that only decodes with libmpg123 inside the SDL callback.
//      Both run at the same time as child processes of this one; each reads the CPU time of its
//      threads from /proc/self/task/*/schedstat over the same 15 s window.
// Test songs are made once with sox and lame in /tmp/brimtone-bench and kept there.

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
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
  std::printf("%lld %lld\n", (long long)cpu, (long long)rss);
  return 0;
}

int RunEngine(const QString& path) {
  const int64_t rssBefore = RssKb();
  TMpg123SdlEngine engine;
  engine.Open(path);
  engine.Play(0, 1);
  SleepMs(kWarmupMs);
  const int64_t cpu0 = ThreadsCpuNs();
  SleepMs(kWindowMs);
  const int64_t cpu = ThreadsCpuNs() - cpu0;
  const int64_t rss = RssKb() - rssBefore;
  std::printf("%lld %lld\n", (long long)cpu, (long long)rss);
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
  engine.Open(five);  // SDL and the device start here, not in the figures below
  for (const auto& [name, path, target] :
       {std::tuple{"5-minute", five, 25.0}, std::tuple{"60-minute", sixty, 100.0}}) {
    std::vector<double> wall, cpu;
    for (int i = 0; i < 9; ++i) {
      engine.Close();
      const int64_t t0 = NowNs(), c0 = ThreadCpuNs();
      engine.Open(path);
      if (engine.Length() <= 0) std::exit(1);
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

void BenchLatency(const QString& song) {
  TMpg123SdlEngine engine;
  engine.Open(song);
  std::vector<double> play, seek;
  for (int i = 0; i < 25; ++i) {
    engine.Stop();
    SleepMs(30 + i % 7);  // land anywhere in the output's cycle
    const int64_t t0 = NowNs();
    engine.Play(1000 * i, 1);
    play.push_back(WaitFirstAudioMs(engine, t0));
  }
  for (int i = 0; i < 25; ++i) {
    SleepMs(30 + i % 7);
    const int64_t t0 = NowNs();
    engine.Seek((i * 7919) % 55000);
    seek.push_back(WaitFirstAudioMs(engine, t0));
  }
  engine.Stop();
  std::printf(
      "Play to the first sample handed to the output (SDL buffer %d frames): median %.1f "
      "ms, worst %.1f ms (target <= 20 ms)\n",
      engine.OutputBufferFrames(), Median(play), *std::max_element(play.begin(), play.end()));
  std::printf(
      "Seek to audio at the new position: median %.1f ms, worst %.1f ms (target <= 30 ms)\n",
      Median(seek), *std::max_element(seek.begin(), seek.end()));
}

// Songs of another rate reopen the output device at that rate; what that costs Open and Play.
void BenchRateChange(const QString& song44, const QString& song48) {
  TMpg123SdlEngine engine;
  engine.Open(song44);
  std::vector<double> open, play;
  for (int i = 0; i < 10; ++i) {
    const int64_t t0 = NowNs();
    engine.Open(i % 2 ? song44 : song48);
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
  if (f.size() != 2 || e.size() != 2) {
    std::fprintf(stderr, "a child failed: %s %s\n", floor.readAllStandardError().constData(),
                 engine.readAllStandardError().constData());
    std::exit(1);
  }
  const double floorMs = f[0].toLongLong() / 1e6, engineMs = e[0].toLongLong() / 1e6;
  std::printf(
      "CPU over the same %d s of real-time play (60 s, 192 kbps): engine %.1f ms, floor "
      "%.1f ms: %.2f x (target <= 1.3 x)\n",
      kWindowMs / 1000, engineMs, floorMs, engineMs / floorMs);
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
  BenchRateChange(minute, minute48);
  BenchCpu(minute);
  return 0;
}
