// The whole program against its targets, with both windows shown on a real X server:
//   1. CPU while a 60 s, 192 kbps, 44.1 kHz stereo MP3 plays, over 15 s, side by side with a
//      floor that only decodes with libmpg123 inside an SDL callback with 2048-frame buffers;
//      resident memory with a 10,000-entry playlist; ring underruns. Three rounds; the CPU
//      time of all threads of each child is read from the outside (/proc/PID/task/*/schedstat).
//      Both play through SDL's disk driver into /dev/null, which keeps real time; the pace of
//      each (seconds of audio per second of wall time over the window) is printed beside.
//   2. From the triggering click on a playlist row (the third left-button click on the selected
//      row, real mouse events to the list) to the first sample handed to the output, for a
//      5-minute MP3 whose entry has no length yet, in a 10,000-entry playlist.
//   3. CPU per drag step of the player window: snap, move both windows, repaint.
//   4. Wake-ups per second of every thread over 10 s with nothing playing and while paused
//      (voluntary and involuntary context switches from /proc/PID/task/*/status).
//   5. Gapless: three songs cut from one sweep, played through with no repeating, in
//      repeat-file and in repeat-playlist mode, captured by SDL's disk driver: the samples
//      between one song and the next against the songs' own decoding, and the longest silence.
//   6. The GUI thread's time in Play for a 20-minute 48 MB song, and the longest time between
//      two repaints of the windows while a read of a song is held for 2 s (opening it, and
//      while it plays).
//
// Run it from a plain shell: it starts its own X server (Xvfb -displayfd) and runs every part
// in child processes on that display, with SDL's dummy audio driver. An existing DISPLAY is
// not used, so figures do not depend on the desktop it is run from.
// Test songs are made once with sox and lame in /tmp/brimtone-bench and kept there (the engine
// benchmark makes and uses the same files).

#include <fcntl.h>
#include <mpg123.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <QScreen>
#include <QSocketNotifier>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <atomic>
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
#include "audio/mp3decoder.h"
#include "audio/mpg123sdlengine.h"
#include "benchkit.h"
#include "controls/dtlistbox.h"
#include "platform/programdir.h"
#include "player/formmain.h"
#include "playlist/formplaylist.h"

namespace {

constexpr int kWarmupMs = 2000;
constexpr int kWindowMs = 15000;
constexpr int kRounds = 5;
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
void WritePlaylist(const QString& dir, const std::vector<std::pair<QString, int>>& head,
                   int entries = kEntries) {
  QByteArray text = "[playlist]\n";
  text.reserve(entries * 90);
  for (int n = 1; n <= entries; ++n) {
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
  text += QStringLiteral("NumberOfEntries=%1\nVersion=2\n").arg(entries).toUtf8();
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

TMpg123SdlEngine& RealEngine(TformMain& player) {
  auto* engine = dynamic_cast<TMpg123SdlEngine*>(&player.Mp3MediaPlayer->Engine());
  if (!engine) Fail("not the real engine");
  return *engine;
}

void PrintUnderruns(TformMain& player) {
  std::printf("underruns %llu\n", (unsigned long long)RealEngine(player).Underruns());
  std::fflush(stdout);
}

// The underrun count a child printed last; -1 for none.
long long UnderrunsIn(const QByteArray& out) {
  const qsizetype at = out.lastIndexOf("underruns ");
  if (at < 0) return -1;
  return out.mid(at + 10).split('\n').value(0).trimmed().toLongLong();
}

bool WaitPlaying(TformMain& player) {
  return QTest::qWaitFor([&] { return player.Playing; }, 10000);
}

void SayReady() {
  std::printf("ready\n");
  std::fflush(stdout);
}

// Where a playing child's song is, and when: asked for on standard input, so that answering
// costs the child no wake-ups in between.
void SayPos(int64_t ms) {
  std::printf("pos %lld %lld\n", (long long)ms, (long long)NowNs());
  std::fflush(stdout);
}

// The floor of bench_engine; plays until killed.
int RunFloor(const QString& path) {
  TFloorPlayer floor;
  if (!floor.Start(path)) return 1;
  SayReady();
  char line[16];
  while (std::fgets(line, sizeof line, stdin)) SayPos(floor.FramesPlayed() * 1000 / 44100);
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
  if (!WaitPlaying(*windows.formMain)) Fail("the program does not play");
  QSocketNotifier asked(0, QSocketNotifier::Read);
  QObject::connect(&asked, &QSocketNotifier::activated, [&] {
    char line[16];
    if (::read(0, line, sizeof line) <= 0) asked.setEnabled(false);
    SayPos(windows.formMain->Mp3MediaPlayer->Position());
  });
  QTimer::singleShot(0, SayReady);
  QTimer::singleShot(60000, &app, &QCoreApplication::quit);
  const int result = app.exec();
  PrintUnderruns(*windows.formMain);
  DestroyWindows(windows);
  return result;
}

// The program with both windows shown and nothing playing; or paused a second into a song.
int RunIdle(int argc, char** argv, const QString& dir, bool paused) {
  TApplication app(argc, argv);
  app.setQuitOnLastWindowClosed(false);
  QuitOnTerminationSignals();
  SetProgramDir(dir);
  TWindows windows;
  CreateWindows(windows);
  if (!QTest::qWaitForWindowExposed(windows.formPlaylist.get())) Fail("playlist window not shown");
  if (paused) {
    windows.formPlaylist->boxPlaylist->SetItemIndex(0);
    windows.formMain->PlayClick(windows.formMain->Play);
    if (!WaitPlaying(*windows.formMain)) Fail("the program does not play");
    QTest::qWait(1000);
    windows.formMain->PauseClick(windows.formMain->Pause);
    if (!windows.formMain->Paused) Fail("the program does not pause");
  }
  QTimer::singleShot(0, SayReady);
  QTimer::singleShot(60000, &app, &QCoreApplication::quit);
  const int result = app.exec();
  DestroyWindows(windows);
  return result;
}

// Plays the playlist from its first row in the given repeat mode for up to ms (or until it
// stops) with SDL's disk driver writing to the file named by SDL_DISKAUDIOFILE.
int RunGapless(int argc, char** argv, const QString& dir, int mode, int ms) {
  TApplication app(argc, argv);
  app.setQuitOnLastWindowClosed(false);
  SetProgramDir(dir);
  TWindows windows;
  CreateWindows(windows);
  if (!QTest::qWaitForWindowExposed(windows.formPlaylist.get())) Fail("playlist window not shown");
  TformMain& player = *windows.formMain;
  QAction* item = mode == 1   ? player.itemRepeatFile
                  : mode == 2 ? player.itemRepeatPlaylist
                              : player.itemRepeatNone;
  item->trigger();
  windows.formPlaylist->boxPlaylist->SetItemIndex(0);
  player.PlayClick(player.Play);
  if (!WaitPlaying(player)) Fail("the program does not play");
  TMpg123SdlEngine& engine = RealEngine(player);
  if (!QTest::qWaitFor([&] { return engine.FirstAudioTimeNs() != 0; }, 5000))
    Fail("no audio after Play");
  const int64_t first = engine.FirstAudioTimeNs();
  // The end of the list, or the time given (repeat modes go on for ever).
  (void)QTest::qWaitFor([&] { return !player.Playing; }, ms);
  std::printf("wall %lld\n", (long long)((NowNs() - first) / 1'000'000));
  player.StopClick(player.Stop);
  std::printf("joins %llu\n", (unsigned long long)engine.Joins());
  PrintUnderruns(player);
  DestroyWindows(windows);
  return 0;
}

// QApplication with the time spent in events for one object summed up: what the GUI thread
// does for a song's open when it completes.
int64_t ThreadCpuNs() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return int64_t(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

class TTimedApplication : public TApplication {
 public:
  using TApplication::TApplication;
  QObject* watched = nullptr;
  double watchedMs = 0, watchedCpuMs = 0;
  bool notify(QObject* receiver, QEvent* event) override {
    if (receiver != watched) return TApplication::notify(receiver, event);
    const int64_t t0 = NowNs(), c0 = ThreadCpuNs();
    const bool result = TApplication::notify(receiver, event);
    watchedMs += (NowNs() - t0) / 1e6;
    watchedCpuMs += (ThreadCpuNs() - c0) / 1e6;
    return result;
  }
};

int RunOpen(int argc, char** argv, const QString& dir) {
  TTimedApplication app(argc, argv);
  app.setQuitOnLastWindowClosed(false);
  SetProgramDir(dir);
  TWindows windows;
  CreateWindows(windows);
  TformMain& player = *windows.formMain;
  if (!QTest::qWaitForWindowExposed(windows.formPlaylist.get())) Fail("playlist window not shown");
  QTest::qWait(600);  // the output readied at start has closed again
  app.watched = player.Mp3MediaPlayer;
  std::vector<double> inPlay, inClick, cpu;
  for (int run = 0; run < 9; ++run) {
    windows.formPlaylist->boxPlaylist->SetItemIndex(run % 2);
    app.watchedMs = app.watchedCpuMs = 0;
    const int64_t t0 = NowNs(), c0 = ThreadCpuNs();
    player.PlayClick(player.Play);
    const double click = (NowNs() - t0) / 1e6, clickCpu = (ThreadCpuNs() - c0) / 1e6;
    if (!WaitPlaying(player)) Fail("the program does not play");
    inClick.push_back(click);
    inPlay.push_back(click + app.watchedMs);
    cpu.push_back(clickCpu + app.watchedCpuMs);
    QTest::qWait(200);
    player.StopClick(player.Stop);
    QTest::qWait(100);
  }
  std::printf(
      "GUI thread's time in Play for a 20-minute 48 MB song (the click, and the steps once it is "
      "open): median %.2f ms, worst %.2f ms (target <= 2 ms); CPU median %.2f ms; in the click "
      "itself: median %.2f ms\n",
      Median(inPlay), *std::max_element(inPlay.begin(), inPlay.end()), Median(cpu),
      Median(inClick));
  DestroyWindows(windows);
  return 0;
}

// Holds the first read of a song file on a thread other than the GUI's for 2 s once armed.
std::atomic<bool> stallArmed{false}, stallHeld{false};
Qt::HANDLE guiThread = nullptr;
void StallHook() {
  if (QThread::currentThreadId() == guiThread || !stallArmed.exchange(false)) return;
  stallHeld = true;
  SleepMs(2000);
  stallHeld = false;
}

class TPaintTimes : public QObject {
 public:
  std::vector<int64_t> times;
  QList<QObject*> windows;
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint && windows.contains(watched)) times.push_back(NowNs());
    return false;
  }
  // The longest time between two paints of the windows after t0.
  double LongestGapMs(int64_t t0) const {
    int64_t last = t0, worst = 0;
    for (const int64_t t : times) {
      if (t < t0) continue;
      worst = std::max(worst, t - last);
      last = t;
    }
    return worst / 1e6;
  }
};

int RunStall(int argc, char** argv, const QString& dir) {
  TApplication app(argc, argv);
  app.setQuitOnLastWindowClosed(false);
  SetProgramDir(dir);
  guiThread = QThread::currentThreadId();
  SetSongReadHook(&StallHook);
  TWindows windows;
  CreateWindows(windows);
  TformMain& player = *windows.formMain;
  if (!QTest::qWaitForWindowExposed(windows.formPlaylist.get())) Fail("playlist window not shown");
  TPaintTimes paints;
  paints.windows = {windows.formMain.get(), windows.formPlaylist.get()};
  app.installEventFilter(&paints);
  // Both windows asked to repaint every 10 ms, as a drag or a busy screen would.
  QTimer repaint;
  QObject::connect(&repaint, &QTimer::timeout, [&] {
    windows.formMain->update();
    windows.formPlaylist->update();
  });
  repaint.start(10);
  QTest::qWait(300);

  // A song whose open is held.
  windows.formPlaylist->boxPlaylist->SetItemIndex(0);
  stallArmed = true;
  int64_t t0 = NowNs();
  player.PlayClick(player.Play);
  QTest::qWait(2300);
  const double opening = paints.LongestGapMs(t0);
  const bool heldOpen = !player.Playing || !stallArmed;
  if (!WaitPlaying(player)) Fail("the program does not play");
  // A read held while the song plays (the decoder's next read of the file).
  stallArmed = true;
  if (!QTest::qWaitFor([] { return stallHeld.load(); }, 30000)) Fail("no read was held");
  t0 = NowNs();
  QTest::qWait(2200);
  const double playing = paints.LongestGapMs(t0);
  std::printf(
      "longest time between two repaints of the windows while a read is held for 2 s: opening "
      "the song %.1f ms%s, while it plays %.1f ms (target <= 50 ms)\n",
      opening, heldOpen ? "" : " (NO READ HELD)", playing);
  app.removeEventFilter(&paints);
  player.StopClick(player.Stop);
  DestroyWindows(windows);
  return 0;
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
  TMpg123SdlEngine* engine = &RealEngine(player);
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
    if (player.Mp3MediaPlayer->FileName() != song) Fail("the click did not play");
    (void)QTest::qWaitFor([&] { return engine->FirstAudioTimeNs() != 0; }, 2000);
    const int64_t heard = engine->FirstAudioTimeNs();
    const double ms = heard ? (heard - t0) / 1e6 : 1e9;
    if (!WaitPlaying(player)) Fail("the click did not play");
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
      "  of which the click's own handling (the open asked for): median "
      "%.1f ms; the first play after start-up (output device opened): %.1f ms\n",
      Median(inClick), first);
  std::printf("  underruns over these plays: %llu (target 0)\n",
              (unsigned long long)engine->Underruns());
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
  double pace = 0;  // seconds of audio per second of wall time over the window
  int64_t rssKb = 0, hwmKb = 0;
  long long underruns = -1;
};

// Where a child's song is now, and when, as it answers.
struct TPos {
  int64_t ms = -1, ns = 0;
};
TPos AskPos(QProcess& child, QByteArray& out) {
  out.clear();
  child.write("p\n");
  child.waitForBytesWritten(1000);
  while (!out.contains("pos ") || !out.endsWith('\n')) {
    if (!child.waitForReadyRead(2000)) break;
    out += child.readAllStandardOutput();
  }
  TPos pos;
  const qsizetype at = out.lastIndexOf("pos ");
  if (at < 0) return pos;
  const QList<QByteArray> fields = out.mid(at).split('\n').value(0).split(' ');
  if (fields.size() < 3) return pos;
  pos.ms = fields[1].toLongLong();
  pos.ns = fields[2].toLongLong();
  return pos;
}

double Pace(const TPos& from, const TPos& to) {
  if (from.ms < 0 || to.ms < 0 || to.ns <= from.ns) return 0;
  return (to.ms - from.ms) * 1e6 / double(to.ns - from.ns);
}

// Starts the floor and the program side by side, waits for both to say they play, lets them
// settle, then reads their threads' CPU time over the same window and the program's resident
// memory at the end.
std::pair<TPlaySample, TPlaySample> MeasurePlaying(const QProcessEnvironment& env,
                                                   const QString& song, const QString& dir) {
  QProcess floor, program;
  StartChild(floor, env, {"--floor", song});
  StartChild(program, env, {"--program", dir});
  QByteArray outs[2];
  QProcess* children[2] = {&floor, &program};
  for (int i = 0; i < 2; ++i) {
    while (!outs[i].contains("ready") && children[i]->waitForReadyRead(30000))
      outs[i] += children[i]->readAllStandardOutput();
    if (!outs[i].contains("ready")) Fail("a playing child did not start playing");
  }
  SleepMs(kWarmupMs);
  const TPos floorFrom = AskPos(floor, outs[0]), programFrom = AskPos(program, outs[1]);
  const int64_t f0 = TasksCpuNs(floor.processId()), p0 = TasksCpuNs(program.processId());
  SleepMs(kWindowMs);
  std::pair<TPlaySample, TPlaySample> samples;
  samples.first.cpuMs = (TasksCpuNs(floor.processId()) - f0) / 1e6;
  samples.second.cpuMs = (TasksCpuNs(program.processId()) - p0) / 1e6;
  samples.first.pace = Pace(floorFrom, AskPos(floor, outs[0]));
  samples.second.pace = Pace(programFrom, AskPos(program, outs[1]));
  samples.second.rssKb = StatusKb(program.processId(), "VmRSS:");
  samples.second.hwmKb = StatusKb(program.processId(), "VmHWM:");
  if (floor.state() != QProcess::Running || program.state() != QProcess::Running)
    Fail("a playing child ended early");
  EndChild(floor);
  EndChild(program);
  samples.second.underruns = UnderrunsIn(program.readAllStandardOutput());
  return samples;
}

void BenchPlaying(QProcessEnvironment env, const QString& song) {
  QTemporaryDir dir;
  MakeProgramDir(dir.path());
  WritePlaylist(dir.path(), {{song, 60}});
  // An output that keeps real time: the dummy driver plays our buffers a third slow.
  env.insert("SDL_AUDIODRIVER", "disk");
  env.insert("SDL_DISKAUDIOFILE", "/dev/null");
  std::vector<double> floors, programs, ratios, floorPaces, programPaces;
  int64_t rss = 0, hwm = 0;
  long long underruns = 0;
  for (int round = 0; round < kRounds; ++round) {
    const auto [f, p] = MeasurePlaying(env, song, dir.path());
    floors.push_back(f.cpuMs);
    programs.push_back(p.cpuMs);
    floorPaces.push_back(f.pace);
    programPaces.push_back(p.pace);
    ratios.push_back(p.cpuMs / f.cpuMs);
    rss = std::max(rss, p.rssKb);
    hwm = std::max(hwm, p.hwmKb);
    underruns = p.underruns < 0 || underruns < 0 ? -1 : underruns + p.underruns;
  }
  const double program = Median(programs), floor = Median(floors);
  std::printf(
      "program CPU while playing, both windows shown, %d s side by side with the floor "
      "(libmpg123 into an SDL callback, 2048-frame buffers): %.3f s = %.2f x floor (floor %.3f "
      "s; medians of %d rounds; per-round ratios",
      kWindowMs / 1000, program / 1000, Median(ratios), floor / 1000, kRounds);
  for (double r : ratios) std::printf(" %.2f", r);
  std::printf(
      ") (target <= 1.3 x); pace, audio s per wall s: program %.3f, floor %.3f (disk "
      "driver into /dev/null); underruns %lld (target 0)\n",
      Median(programPaces), Median(floorPaces), underruns);
  std::printf(
      "resident memory, 10,000-entry playlist, playing: %.1f MB (peak %.1f MB; highest of %d "
      "rounds) (target <= 60 MB)\n",
      rss / 1024.0, hwm / 1024.0, kRounds);
  std::fflush(stdout);
}

struct TThreadSwitches {
  QString name;
  int64_t switches = 0;
};

// Context switches (voluntary and involuntary) of every live thread of a process, by thread id.
QMap<QString, TThreadSwitches> Switches(qint64 pid) {
  QMap<QString, TThreadSwitches> threads;
  const QString base = QString("/proc/%1/task").arg(pid);
  for (const QString& task : QDir(base).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
    QFile file(base + "/" + task + "/status");
    if (!file.open(QIODevice::ReadOnly)) continue;
    TThreadSwitches& thread = threads[task];
    for (const QByteArray& line : file.readAll().split('\n')) {
      if (line.startsWith("Name:")) thread.name = QString::fromUtf8(line.mid(5).trimmed());
      if (line.startsWith("voluntary_ctxt_switches:") ||
          line.startsWith("nonvoluntary_ctxt_switches:"))
        thread.switches += line.mid(line.indexOf(':') + 1).trimmed().toLongLong();
    }
  }
  return threads;
}

// Starts an idle child, lets it settle, and prints each thread's wake-ups per second over 10 s.
void MeasureWakeups(const QProcessEnvironment& env, const QStringList& args, const char* what) {
  constexpr int kSettleMs = 2000, kSpanMs = 10000;
  QProcess child;
  StartChild(child, env, args);
  QByteArray out;
  while (!out.contains("ready") && child.waitForReadyRead(30000))
    out += child.readAllStandardOutput();
  if (!out.contains("ready")) Fail("an idle child did not get ready");
  const qint64 pid = child.processId();
  SleepMs(kSettleMs);
  const QMap<QString, TThreadSwitches> before = Switches(pid);
  SleepMs(kSpanMs);
  const QMap<QString, TThreadSwitches> after = Switches(pid);
  if (child.state() != QProcess::Running) Fail("an idle child ended early");
  EndChild(child);
  double total = 0;
  QStringList parts;
  for (auto it = after.begin(); it != after.end(); ++it) {
    const double perSecond = (it->switches - before.value(it.key()).switches) * 1000.0 / kSpanMs;
    total += perSecond;
    if (perSecond > 0) parts << QString("%1 %2").arg(it->name).arg(perSecond, 0, 'f', 1);
  }
  std::printf(
      "wake-ups per second %s, whole program over %d s: %.1f (%s; %d threads) (target: the "
      "timer's 2 and nothing else)\n",
      what, kSpanMs / 1000, total, parts.isEmpty() ? "none" : qPrintable(parts.join(", ")),
      int(after.size()));
  std::fflush(stdout);
}

// Runs of silence (both channels exactly 0) of at least minFrames between the first and the
// last sound of a capture of stereo 16-bit frames, in frames.
std::vector<int64_t> SilentRuns(const QByteArray& raw, int64_t minFrames) {
  const auto* samples = reinterpret_cast<const int16_t*>(raw.constData());
  const int64_t frames = raw.size() / 4;
  std::vector<int64_t> runs;
  int64_t run = 0;
  bool sounded = false;
  for (int64_t f = 0; f < frames; ++f) {
    if (samples[2 * f] == 0 && samples[2 * f + 1] == 0) {
      ++run;
      continue;
    }
    if (sounded && run >= minFrames) runs.push_back(run);
    sounded = true;
    run = 0;
  }
  return runs;
}

// libmpg123's own decoding of a whole file, gapless, as stereo 16-bit: the reference.
std::vector<int16_t> Decode(const QString& path) {
  mpg123_init();
  mpg123_handle* handle = mpg123_new(nullptr, nullptr);
  mpg123_param(handle, MPG123_ADD_FLAGS, MPG123_QUIET | MPG123_FORCE_STEREO | MPG123_GAPLESS, 0);
  mpg123_format_none(handle);
  mpg123_format(handle, 44100, MPG123_STEREO, MPG123_ENC_SIGNED_16);
  std::vector<int16_t> pcm;
  if (mpg123_open(handle, QFile::encodeName(path).constData()) == MPG123_OK) {
    mpg123_scan(handle);
    std::vector<int16_t> buffer(16384);
    for (;;) {
      size_t done = 0;
      const int result = mpg123_read(handle, buffer.data(), buffer.size() * 2, &done);
      pcm.insert(pcm.end(), buffer.begin(), buffer.begin() + done / 2);
      if (result != MPG123_OK && result != MPG123_NEW_FORMAT) break;
    }
  }
  mpg123_delete(handle);
  return pcm;
}

// The frame of capture at which song's first 2048 frames start, searched from frame `from` to
// `to`; -1 when they are not there.
int64_t FindSong(const std::vector<int16_t>& capture, const std::vector<int16_t>& song,
                 int64_t from, int64_t to) {
  const size_t span = std::min<size_t>(song.size(), 4096);
  const int64_t frames = int64_t(capture.size() / 2);
  for (int64_t f = std::max<int64_t>(0, from); f <= std::min(to, frames - int64_t(span / 2)); ++f)
    if (std::equal(song.begin(), song.begin() + span, capture.begin() + 2 * f)) return f;
  return -1;
}

void BenchGapless(QProcessEnvironment env) {
  QTemporaryDir dir;
  dir.setAutoRemove(qEnvironmentVariableIsEmpty("BENCH_KEEP"));
  MakeProgramDir(dir.path());
  // One 12 s sweep, cut into three songs at points that fall inside MPEG frames.
  const QString sweep = dir.path() + "/sweep.wav";
  if (QProcess::execute("sh", {"-c", QString("sox -n -r 44100 -c 2 -b 16 '%1' synth 12 sine "
                                             "110:3520 sine 165:5280 vol 0.7 2>/dev/null")
                                         .arg(sweep)}) != 0)
    Fail("cannot make the sweep");
  const int64_t cuts[] = {0, 176893, 352777, 529200};
  std::vector<std::pair<QString, int>> songs;
  std::vector<std::vector<int16_t>> decoded;
  for (int i = 0; i < 3; ++i) {
    const QString path = dir.path() + QString("/part%1.mp3").arg(i + 1);
    const QString command = QString(
                                "sox '%1' -t wav - trim %2s %3s 2>/dev/null | lame --quiet "
                                "-b 192 - '%4'")
                                .arg(sweep)
                                .arg(cuts[i])
                                .arg(cuts[i + 1] - cuts[i])
                                .arg(path);
    if (QProcess::execute("sh", {"-c", command}) != 0) Fail("cannot make the songs");
    songs.push_back({path, 0});
    decoded.push_back(Decode(path));
    if (decoded.back().empty()) Fail("cannot decode a song");
  }
  WritePlaylist(dir.path(), songs, int(songs.size()));
  {
    // Full volume: the samples as decoded.
    QFile settings(dir.path() + "/settings.ini");
    if (!settings.open(QIODevice::WriteOnly) || settings.write("[main]\nvolume=65535\n") <= 0)
      Fail("cannot write the settings");
  }
  env.insert("SDL_AUDIODRIVER", "disk");
  struct TCase {
    const char* name;
    int mode;
    std::vector<int> order;
  };
  const TCase cases[] = {{"no repeating", 0, {0, 1, 2}},
                         {"repeat file", 1, {0, 0, 0}},
                         {"repeat playlist", 2, {0, 1, 2, 0}}};
  for (const TCase& c : cases) {
    const QString capture = dir.path() + QString("/capture%1.raw").arg(c.mode);
    env.insert("SDL_DISKAUDIOFILE", capture);
    int64_t total = 0;
    for (int song : c.order) total += int64_t(decoded[song].size() / 2);
    const int ms = int(total * 1000 / 44100) + 400;
    QProcess child;
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(),
                {"--gapless", dir.path(), QString::number(c.mode), QString::number(ms)});
    if (!child.waitForFinished(120000) || child.exitCode() != 0) Fail("the gapless child failed");
    const QByteArray out = child.readAllStandardOutput();
    const qsizetype wallAt = out.indexOf("wall ");
    const double wallS =
        wallAt < 0 ? 0 : out.mid(wallAt + 5).split('\n').value(0).toLongLong() / 1e3;
    const long long underruns = UnderrunsIn(out);
    const qsizetype at = out.indexOf("joins ");
    const long long joins = at < 0 ? -1 : out.mid(at + 6).split('\n').value(0).toLongLong();
    QFile file(capture);
    if (!file.open(QIODevice::ReadOnly)) Fail("no capture");
    const QByteArray raw = file.readAll();
    std::vector<int16_t> pcm(size_t(raw.size() / 2));
    memcpy(pcm.data(), raw.constData(), pcm.size() * 2);
    // Each song where the one before ended: the frames between (negative: lost) and the
    // samples that differ from its own decoding.
    QStringList between;
    int64_t worstBetween = 0, differing = 0;
    int64_t next = FindSong(pcm, decoded[c.order[0]], 0, 44100 * 3);
    if (next < 0) Fail("the first song is not in the capture");
    for (size_t k = 0; k < c.order.size(); ++k) {
      const std::vector<int16_t>& song = decoded[c.order[k]];
      int64_t found = next;
      if (k > 0) {
        found = FindSong(pcm, song, next - 4096, next + 44100);
        if (found < 0) {
          between << "missing";
          break;
        }
        between << QString::number(found - next);
        worstBetween = std::max(worstBetween, std::abs(found - next));
      }
      for (size_t i = 0; i < song.size() && 2 * size_t(found) + i < pcm.size(); ++i)
        differing += pcm[2 * size_t(found) + i] != song[i];
      next = found + int64_t(song.size() / 2);
    }
    int64_t longest = 0;
    for (int64_t run : SilentRuns(raw, 2)) longest = std::max(longest, run);
    std::printf(
        "gapless, %s (%zu songs cut from one sweep, disk driver): frames between songs against "
        "their own decoding %s (target 0); samples differing %lld (target 0); longest silence "
        "between the first and last sound %lld frames (target 0); songs joined %lld; underruns "
        "%lld; pace %.3f audio s per wall s\n",
        c.name, c.order.size(), qPrintable(between.join(' ')), (long long)differing,
        (long long)longest, joins, underruns, wallS > 0 ? (total / 44100.0) / wallS : 0.0);
    std::fflush(stdout);
  }
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
  if (argc == 3 && QByteArray(argv[1]) == "--rest")
    return RunIdle(argc, argv, QString::fromLocal8Bit(argv[2]), false);
  if (argc == 3 && QByteArray(argv[1]) == "--paused")
    return RunIdle(argc, argv, QString::fromLocal8Bit(argv[2]), true);
  if (argc == 5 && QByteArray(argv[1]) == "--gapless")
    return RunGapless(argc, argv, QString::fromLocal8Bit(argv[2]), QByteArray(argv[3]).toInt(),
                      QByteArray(argv[4]).toInt());
  if (argc == 3 && QByteArray(argv[1]) == "--open")
    return RunOpen(argc, argv, QString::fromLocal8Bit(argv[2]));
  if (argc == 3 && QByteArray(argv[1]) == "--stall")
    return RunStall(argc, argv, QString::fromLocal8Bit(argv[2]));

  QCoreApplication app(argc, argv);
  const QString minute = Song(60), five = Song(300);
  const QProcessEnvironment env = ChildEnvironment(StartXvfb());

  QTemporaryDir latencyDir, dragDir;
  MakeProgramDir(latencyDir.path());
  MakeProgramDir(dragDir.path());
  WritePlaylist(dragDir.path(), {{minute, 60}});
  // parts to run: drag latency idle gap open stall cpu
  const QStringList only = app.arguments().mid(1);
  auto wanted = [&](const char* part) { return only.isEmpty() || only.contains(part); };
  if (wanted("idle")) {
    MeasureWakeups(env, {"--rest", dragDir.path()}, "with nothing playing");
    MeasureWakeups(env, {"--paused", dragDir.path()}, "while paused");
  }
  if (wanted("gap")) BenchGapless(env);
  if (wanted("open") || wanted("stall")) {
    // A 20-minute 320 kbps song: 48 MB.
    const QString long20 = Song(1200, 44100, 320);
    QTemporaryDir openDir;
    MakeProgramDir(openDir.path());
    WritePlaylist(openDir.path(), {{long20, 1200}, {long20, 1200}}, 2);
    if (wanted("open")) RunReporting(env, {"--open", openDir.path()});
    if (wanted("stall")) RunReporting(env, {"--stall", openDir.path()});
  }
  if (wanted("drag")) RunReporting(env, {"--drag", dragDir.path()});
  if (wanted("latency")) RunReporting(env, {"--latency", latencyDir.path(), five});
  if (wanted("cpu")) BenchPlaying(env, minute);
  StopXvfb();
  return 0;
}
