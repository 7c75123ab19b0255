// The whole program against its targets, with both windows shown on a real X server:
//   1. CPU while a 60 s, 192 kbps, 44.1 kHz stereo MP3 plays, over 15 s, next to a floor that
//      only decodes with libmpg123 inside the SDL callback; resident memory with a 10,000-entry
//      playlist. Floor and program run one after the other, three rounds; the CPU time of all
//      threads of each child is read from the outside (/proc/PID/task/*/schedstat).
//   2. From the triggering click on a playlist row (the third left-button click on the selected
//      row, real mouse events to the list) to the first sample handed to the output, for a
//      5-minute MP3 whose entry has no length yet, in a 10,000-entry playlist.
//   3. CPU per drag step of the player window: snap, move both windows, repaint.
//
// Run it from a plain shell: it starts its own X server (Xvfb -displayfd) and runs every part
// in child processes on that display, with SDL's dummy audio driver. An existing DISPLAY is
// not used, so figures do not depend on the desktop it is run from.
// Test songs are made once with sox and lame in /tmp/brimtone-bench and kept there (the engine
// benchmark makes and uses the same files).

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <thread>
#include <vector>

#include "app/application.h"
#include "app/startup.h"
#include "audio/mpg123sdlengine.h"
#include "benchkit.h"
#include "controls/dtlistbox.h"
#include "platform/programdir.h"
#include "player/formmain.h"
#include "playlist/formplaylist.h"

namespace {

constexpr int kWarmupMs = 2000;
constexpr int kWindowMs = 15000;
constexpr int kRounds = 3;
constexpr int kEntries = 10000;
constexpr int kLatencyRuns = 11;  // the first is the first play after start-up, reported apart
constexpr int kDragSteps = 500;

int64_t ProcessCpuNs() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return int64_t(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "bench_player: %s\n", what);
  std::exit(1);
}

// A playlist of kEntries entries: the given songs first (length in seconds, 0: none yet), then
// entries of songs that are not there, as a long-kept playlist has. Written aside and renamed
// over, as the program itself writes.
void WritePlaylist(const QString& dir, const std::vector<std::pair<QString, int>>& head) {
  QByteArray text = "[playlist]\n";
  text.reserve(kEntries * 90);
  for (int n = 1; n <= kEntries; ++n) {
    QString file, title;
    int length = 0;
    if (n <= int(head.size())) {
      file = head[n - 1].first;
      title = QFileInfo(file).fileName();
      length = head[n - 1].second;
    } else {
      file = QStringLiteral("/music/album %1/track %2.mp3").arg(n / 12).arg(n);
      title = QStringLiteral("track %1.mp3").arg(n);
      length = 120 + n % 300;
    }
    text += QStringLiteral("File%1=%2\nTitle%1=%3\n").arg(n).arg(file, title).toUtf8();
    if (length > 0) text += QStringLiteral("Length%1=%2\n").arg(n).arg(length).toUtf8();
  }
  text += QStringLiteral("NumberOfEntries=%1\nVersion=2\n").arg(kEntries).toUtf8();
  QFile file(dir + "/lastplay.dat.part");
  if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size()) Fail("cannot write");
  file.close();
  if (::rename(QFile::encodeName(dir + "/lastplay.dat.part").constData(),
               QFile::encodeName(dir + "/lastplay.dat").constData()) != 0)
    Fail("cannot write the playlist");
}

void MakeProgramDir(const QString& dir) {
  QDir().mkpath(dir + "/skin");
  const QDir skin(BRIMTONE_SKIN_DIR);
  const QStringList names = skin.entryList(QDir::Files);
  if (names.isEmpty()) Fail("no built skin");
  for (const QString& name : names) QFile::copy(skin.filePath(name), dir + "/skin/" + name);
}

// --- children

void SayReady() {
  std::printf("ready\n");
  std::fflush(stdout);
}

// The floor of bench_engine; plays until killed.
int RunFloor(const QString& path) {
  TFloorPlayer floor;
  if (!floor.Start(path)) return 1;
  SayReady();
  SleepMs(60000);
  return 0;
}

int RunProgram(int argc, char** argv, const QString& dir) {
  TApplication app(argc, argv);
  app.setQuitOnLastWindowClosed(false);
  QuitOnTerminationSignals();
  SetProgramDir(dir);
  TWindows windows;
  CreateWindows(windows);
  if (!QTest::qWaitForWindowExposed(windows.formPlaylist.get())) Fail("playlist window not shown");
  windows.formPlaylist->boxPlaylist->SetItemIndex(0);
  windows.formMain->PlayClick(windows.formMain->Play);
  if (!windows.formMain->Playing) Fail("the program does not play");
  QTimer::singleShot(0, SayReady);
  QTimer::singleShot(60000, &app, &QCoreApplication::quit);
  const int result = app.exec();
  DestroyWindows(windows);
  return result;
}

int RunLatency(int argc, char** argv, const QString& dir, const QString& song) {
  TApplication app(argc, argv);
  app.setQuitOnLastWindowClosed(false);
  SetProgramDir(dir);
  TWindows windows;
  CreateWindows(windows);
  TformMain& player = *windows.formMain;
  TformPlaylist& playlist = *windows.formPlaylist;
  if (!QTest::qWaitForWindowExposed(&playlist)) Fail("playlist window not shown");
  auto* engine = dynamic_cast<TMpg123SdlEngine*>(&player.Mp3MediaPlayer->Engine());
  if (!engine) Fail("not the real engine");
  QWidget* surface = playlist.boxPlaylist->viewport();
  const int itemHeight = playlist.boxPlaylist->ItemHeight();
  const QPoint row1(20, itemHeight + itemHeight / 2);

  std::vector<double> toAudio, inClick;
  double first = 0;
  for (int run = 0; run < kLatencyRuns; ++run) {
    // Entry 2 without a length again; the file left alone long enough that the program's
    // cached parse of it is trusted, as with a playlist written long before.
    WritePlaylist(dir, {{song, 300}, {song, 0}});
    QTest::qWait(2200);
    playlist.UpdatePlaylist();
    QTest::qWait(100);
    QTest::mouseClick(surface, Qt::LeftButton, {}, row1);
    QTest::qWait(90);
    QTest::mouseClick(surface, Qt::LeftButton, {}, row1);
    QTest::qWait(90);
    const int64_t t0 = NowNs();
    QTest::mouseClick(surface, Qt::LeftButton, {}, row1);
    const double clickMs = (NowNs() - t0) / 1e6;
    if (!player.Playing || player.Mp3MediaPlayer->FileName() != song)
      Fail("the click did not play");
    const double ms = WaitFirstAudioMs(*engine, t0);
    if (ms >= 1e9) Fail("no audio after a click");
    if (run == 0)
      first = ms;
    else {
      toAudio.push_back(ms);
      inClick.push_back(clickMs);
    }
    QTest::qWait(300);
    player.StopClick(player.Stop);
  }
  std::printf(
      "click on a playlist row to the first sample handed to the output, 5-minute MP3, "
      "%d-entry playlist, length recorded: median %.1f ms, worst %.1f ms over %zu runs "
      "(target <= 40 ms)\n",
      kEntries, Median(toAudio), *std::max_element(toAudio.begin(), toAudio.end()), toAudio.size());
  std::printf(
      "  of which the click's own handling (Open, length written, list refilled, Play): median "
      "%.1f ms; the first play after start-up (output device opened): %.1f ms\n",
      Median(inClick), first);
  DestroyWindows(windows);
  return 0;
}

class TPaintCount : public QObject {
 public:
  int paints = 0;
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++paints;
    return false;
  }
};

int RunDrag(int argc, char** argv, const QString& dir) {
  TApplication app(argc, argv);
  app.setQuitOnLastWindowClosed(false);
  SetProgramDir(dir);
  TWindows windows;
  CreateWindows(windows);
  TformMain& player = *windows.formMain;
  if (!QTest::qWaitForWindowExposed(windows.formPlaylist.get())) Fail("playlist window not shown");
  QTest::qWait(200);
  TPaintCount counter;
  app.installEventFilter(&counter);

  // A Lissajous path over the whole work area that overshoots its edges a little, so steps
  // snap to the edges, get pulled back, and move freely in between.
  const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
  const int totalHeight = player.height() + windows.formPlaylist->height();
  const double cx = area.x() + (area.width() - player.width()) / 2.0;
  const double cy = area.y() + (area.height() - totalHeight) / 2.0;
  const double ax = (area.width() - player.width()) / 2.0 + 12;
  const double ay = (area.height() - totalHeight) / 2.0 + 12;
  // repaint: both windows repainted in full every step, as a window manager without saved
  // window contents would have them; otherwise only what the X server asks for.
  auto step = [&](int i, bool repaint) {
    player.SetPlayerPosition(
        QPoint(int(cx + ax * std::sin(i * 0.05)), int(cy + ay * std::sin(i * 0.037 + 1.0))));
    if (repaint) {
      player.update();
      windows.formPlaylist->update();
    }
    QCoreApplication::processEvents();
  };
  for (const bool repaint : {false, true}) {
    for (int i = 0; i < 50; ++i) step(i, repaint);  // warm-up
    counter.paints = 0;
    std::vector<double> steps;
    const int64_t wall0 = NowNs(), cpu0 = ProcessCpuNs();
    for (int i = 50; i < 50 + kDragSteps; ++i) {
      const int64_t c = ProcessCpuNs();
      step(i, repaint);
      steps.push_back((ProcessCpuNs() - c) / 1e6);
    }
    const double cpuMs = (ProcessCpuNs() - cpu0) / 1e6, wallMs = (NowNs() - wall0) / 1e6;
    const bool docked = windows.formPlaylist->pos() == player.pos() + QPoint(0, player.height());
    std::printf(
        "drag step%s: %.3f ms CPU (median %.3f, worst %.3f; wall %.3f ms; %d paint events over "
        "%d steps%s) (target <= 2 ms)\n",
        repaint ? ", both windows repainted in full each step" : "", cpuMs / kDragSteps,
        Median(steps), *std::max_element(steps.begin(), steps.end()), wallMs / kDragSteps,
        counter.paints, kDragSteps, docked ? "" : "; PLAYLIST NOT DOCKED");
  }
  app.removeEventFilter(&counter);
  DestroyWindows(windows);
  return 0;
}

// --- the parent

pid_t xvfbPid = 0;

void StopXvfb() {
  if (xvfbPid > 0) {
    kill(xvfbPid, SIGTERM);
    waitpid(xvfbPid, nullptr, 0);
    xvfbPid = 0;
  }
}

// Starts Xvfb on a free display number and returns ":N".
QString StartXvfb() {
  int fds[2];
  if (pipe(fds) != 0) Fail("pipe");
  xvfbPid = fork();
  if (xvfbPid < 0) Fail("fork");
  if (xvfbPid == 0) {
    close(fds[0]);
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, 1);
    dup2(null, 2);
    const std::string fd = std::to_string(fds[1]);
    execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x1024x24", "-nolisten",
           "tcp", static_cast<char*>(nullptr));
    _exit(127);
  }
  std::atexit(StopXvfb);
  close(fds[1]);
  std::string number;
  pollfd p{fds[0], POLLIN, 0};
  while (poll(&p, 1, 15000) > 0) {
    char c = 0;
    if (read(fds[0], &c, 1) != 1 || c == '\n') break;
    number += c;
  }
  close(fds[0]);
  if (number.empty()) Fail("Xvfb did not start (is the xvfb package installed?)");
  return ":" + QString::fromStdString(number);
}

QProcessEnvironment ChildEnvironment(const QString& display) {
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("DISPLAY", display);
  env.insert("QT_QPA_PLATFORM", "xcb");
  env.insert("SDL_AUDIODRIVER", "dummy");
  env.remove("WAYLAND_DISPLAY");
  if (!env.contains("XDG_RUNTIME_DIR")) {
    static QTemporaryDir runtime;  // private to the user, as Qt wants it
    env.insert("XDG_RUNTIME_DIR", runtime.path());
  }
  return env;
}

// CPU time of all live threads of a process, in ns.
int64_t TasksCpuNs(qint64 pid) {
  int64_t total = 0;
  const QString base = QString("/proc/%1/task").arg(pid);
  for (const QString& task : QDir(base).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
    QFile file(base + "/" + task + "/schedstat");
    if (file.open(QIODevice::ReadOnly)) total += file.readAll().split(' ').value(0).toLongLong();
  }
  return total;
}

int64_t StatusKb(qint64 pid, const char* key) {
  QFile status(QString("/proc/%1/status").arg(pid));
  if (!status.open(QIODevice::ReadOnly)) return 0;
  for (const QByteArray& line : status.readAll().split('\n'))
    if (line.startsWith(key))
      return line.mid(int(strlen(key))).trimmed().split(' ').value(0).toLongLong();
  return 0;
}

void StartChild(QProcess& child, const QProcessEnvironment& env, const QStringList& args) {
  child.setProcessEnvironment(env);
  child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  child.start(QCoreApplication::applicationFilePath(), args);
  if (!child.waitForStarted(10000)) Fail("cannot start a child");
}

void EndChild(QProcess& child) {
  child.terminate();
  if (!child.waitForFinished(10000)) {
    child.kill();
    child.waitForFinished(5000);
  }
}

struct TPlaySample {
  double cpuMs = 0;
  int64_t rssKb = 0, hwmKb = 0;
};

// Starts a child that plays, waits for it to say so, lets it settle, then reads its threads'
// CPU time over the window and its resident memory at the end.
TPlaySample MeasurePlaying(const QProcessEnvironment& env, const QStringList& args) {
  QProcess child;
  StartChild(child, env, args);
  QByteArray out;
  while (!out.contains("ready") && child.waitForReadyRead(30000))
    out += child.readAllStandardOutput();
  if (!out.contains("ready")) Fail("a playing child did not start playing");
  const qint64 pid = child.processId();
  SleepMs(kWarmupMs);
  const int64_t c0 = TasksCpuNs(pid);
  SleepMs(kWindowMs);
  TPlaySample sample;
  sample.cpuMs = (TasksCpuNs(pid) - c0) / 1e6;
  sample.rssKb = StatusKb(pid, "VmRSS:");
  sample.hwmKb = StatusKb(pid, "VmHWM:");
  if (child.state() != QProcess::Running) Fail("a playing child ended early");
  EndChild(child);
  return sample;
}

void BenchPlaying(const QProcessEnvironment& env, const QString& song) {
  QTemporaryDir dir;
  MakeProgramDir(dir.path());
  WritePlaylist(dir.path(), {{song, 60}});
  std::vector<double> floors, programs, ratios;
  int64_t rss = 0, hwm = 0;
  for (int round = 0; round < kRounds; ++round) {
    const TPlaySample f = MeasurePlaying(env, {"--floor", song});
    const TPlaySample p = MeasurePlaying(env, {"--program", dir.path()});
    floors.push_back(f.cpuMs);
    programs.push_back(p.cpuMs);
    ratios.push_back(p.cpuMs / f.cpuMs);
    rss = std::max(rss, p.rssKb);
    hwm = std::max(hwm, p.hwmKb);
  }
  const double program = Median(programs), floor = Median(floors);
  std::printf(
      "program CPU while playing, %d s: %.3f s = %.2f x floor (floor %.3f s; medians of %d "
      "rounds; per-round ratios",
      kWindowMs / 1000, program / 1000, program / floor, floor / 1000, kRounds);
  for (double r : ratios) std::printf(" %.2f", r);
  std::printf(") (target <= 2.0 x)\n");
  std::printf(
      "resident memory, 10,000-entry playlist, playing: %.1f MB (peak %.1f MB; highest of %d "
      "rounds) (target <= 60 MB)\n",
      rss / 1024.0, hwm / 1024.0, kRounds);
  std::fflush(stdout);
}

// Runs a child that prints its own figures, and passes them on.
void RunReporting(const QProcessEnvironment& env, const QStringList& args) {
  QProcess child;
  StartChild(child, env, args);
  if (!child.waitForFinished(300000) || child.exitCode() != 0) {
    std::fputs(child.readAllStandardOutput().constData(), stdout);
    Fail("a child failed");
  }
  std::fputs(child.readAllStandardOutput().constData(), stdout);
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && QByteArray(argv[1]) == "--floor") {
    QCoreApplication app(argc, argv);
    return RunFloor(QString::fromLocal8Bit(argv[2]));
  }
  if (argc == 3 && QByteArray(argv[1]) == "--program")
    return RunProgram(argc, argv, QString::fromLocal8Bit(argv[2]));
  if (argc == 4 && QByteArray(argv[1]) == "--latency")
    return RunLatency(argc, argv, QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));
  if (argc == 3 && QByteArray(argv[1]) == "--drag")
    return RunDrag(argc, argv, QString::fromLocal8Bit(argv[2]));

  QCoreApplication app(argc, argv);
  signal(SIGINT, [](int) {  // the X server goes too
    if (xvfbPid > 0) kill(xvfbPid, SIGTERM);
    _exit(130);
  });
  const QString minute = Song(60), five = Song(300);
  const QProcessEnvironment env = ChildEnvironment(StartXvfb());

  QTemporaryDir latencyDir, dragDir;
  MakeProgramDir(latencyDir.path());
  MakeProgramDir(dragDir.path());
  WritePlaylist(dragDir.path(), {{minute, 60}});
  RunReporting(env, {"--drag", dragDir.path()});
  RunReporting(env, {"--latency", latencyDir.path(), five});
  BenchPlaying(env, minute);
  StopXvfb();
  return 0;
}
