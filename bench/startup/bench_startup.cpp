// Start-up of the whole program, as a user starts it, against a floor: a bare Qt program
// showing two frameless 344 x 116 windows. Both are real executables, started side by side
// (alternately) in one run and watched from the outside through the X server's DAMAGE
// extension: the time from the spawn until two windows are mapped and each has been drawn
// over whole. Then where the program's time goes, step by step (the program's own code run
// with a listener on its steps), and starts with damaged files, which must not be rewritten.
//
//   build/bin/bench_startup [steps libraries large damaged]
// starts its own X server and, without one, a session bus. The ratio with 10,000 entries is
// always measured; name parts to run only those besides it.
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/damage.h>
#include <xcb/xcb.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QRegion>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <vector>

#include "app/program.h"
#include "benchclock.h"
#include "platform/programdir.h"
#include "platform/startupmarks.h"

namespace {

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "bench_startup: %s\n", what);
  std::exit(1);
}

// Top-level windows of the display as they are made, moved, mapped and drawn on.
class TScreenWatch {
 public:
  TScreenWatch() {
    connection_ = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection_)) Fail("cannot connect to the X display");
    root_ = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
    const xcb_query_extension_reply_t* damage = xcb_get_extension_data(connection_, &xcb_damage_id);
    if (!damage || !damage->present) Fail("the X server has no DAMAGE extension");
    damageEvent_ = damage->first_event + XCB_DAMAGE_NOTIFY;
    free(xcb_damage_query_version_reply(connection_, xcb_damage_query_version(connection_, 1, 1),
                                        nullptr));
    // Drawing into any window shows on the root window: no compositing on this display.
    xcb_damage_create(connection_, xcb_generate_id(connection_), root_,
                      XCB_DAMAGE_REPORT_LEVEL_RAW_RECTANGLES);
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(connection_, root_, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(connection_);
  }
  ~TScreenWatch() { xcb_disconnect(connection_); }

  // Waits until two windows of more than one pixel are mapped and drawn over whole; the time
  // since t0 in ms, or -1 after timeoutMs.
  double WaitPainted(int64_t t0, int timeoutMs) {
    return WaitFor([this] { return PaintedWindows() >= 2; }, timeoutMs) ? (NowNs() - t0) / 1e6 : -1;
  }
  // When the first window was mapped since the last call of MarkStart, in ms since t0.
  void MarkStart() { firstMapNs_ = 0; }
  double FirstMappedMs(int64_t t0) const { return firstMapNs_ ? (firstMapNs_ - t0) / 1e6 : -1; }
  // Waits until every window made since the watch began is gone again.
  bool WaitEmpty(int timeoutMs) {
    return WaitFor([this] { return windows_.empty(); }, timeoutMs);
  }

 private:
  struct TWindow {
    QRect geometry;
    bool mapped = false;
    QRegion drawn;  // in the window's own coordinates, since it was last mapped
  };

  template <typename F>
  bool WaitFor(F done, int timeoutMs) {
    const int64_t deadline = NowNs() + int64_t(timeoutMs) * 1000000;
    for (;;) {
      while (xcb_generic_event_t* event = xcb_poll_for_event(connection_)) {
        Handle(event);
        free(event);
      }
      if (done()) return true;
      const int64_t left = (deadline - NowNs()) / 1000000;
      if (left <= 0 || xcb_connection_has_error(connection_)) return false;
      pollfd p{xcb_get_file_descriptor(connection_), POLLIN, 0};
      poll(&p, 1, int(left));
    }
  }

  void Handle(const xcb_generic_event_t* event) {
    const uint8_t type = event->response_type & 0x7f;
    if (type == XCB_CREATE_NOTIFY) {
      const auto* e = reinterpret_cast<const xcb_create_notify_event_t*>(event);
      windows_[e->window].geometry = QRect(e->x, e->y, e->width, e->height);
    } else if (type == XCB_CONFIGURE_NOTIFY) {
      const auto* e = reinterpret_cast<const xcb_configure_notify_event_t*>(event);
      const auto found = windows_.find(e->window);
      if (found != windows_.end()) found->second.geometry = QRect(e->x, e->y, e->width, e->height);
    } else if (type == XCB_MAP_NOTIFY) {
      const auto* e = reinterpret_cast<const xcb_map_notify_event_t*>(event);
      const auto found = windows_.find(e->window);
      if (found != windows_.end()) found->second.mapped = true, found->second.drawn = QRegion();
      if (found != windows_.end() && firstMapNs_ == 0) firstMapNs_ = NowNs();
    } else if (type == XCB_UNMAP_NOTIFY) {
      const auto* e = reinterpret_cast<const xcb_unmap_notify_event_t*>(event);
      const auto found = windows_.find(e->window);
      if (found != windows_.end()) found->second.mapped = false;
    } else if (type == XCB_DESTROY_NOTIFY) {
      windows_.erase(reinterpret_cast<const xcb_destroy_notify_event_t*>(event)->window);
    } else if (type == damageEvent_) {
      const auto* e = reinterpret_cast<const xcb_damage_notify_event_t*>(event);
      const QRect area(e->area.x, e->area.y, e->area.width, e->area.height);
      for (auto& [id, window] : windows_)
        if (window.mapped && window.geometry.intersects(area))
          window.drawn += area.intersected(window.geometry).translated(-window.geometry.topLeft());
    }
  }

  int PaintedWindows() const {
    int painted = 0;
    for (const auto& [id, window] : windows_) {
      const QRect whole(QPoint(0, 0), window.geometry.size());
      if (window.mapped && whole.width() > 1 && whole.height() > 1 &&
          window.drawn.intersected(whole) == QRegion(whole))
        ++painted;
    }
    return painted;
  }

  xcb_connection_t* connection_ = nullptr;
  xcb_window_t root_ = 0;
  uint8_t damageEvent_ = 0;
  int64_t firstMapNs_ = 0;
  std::map<xcb_window_t, TWindow> windows_;
};

QByteArray PlaylistText(int entries) {
  QByteArray text = "[playlist]\n";
  text.reserve(qsizetype(entries) * 160);
  for (int n = 1; n <= entries; ++n)
    text += QStringLiteral(
                "File%1=/home/user/Music/Some Artist/Album %2/Track %1 - A Song With A Title.mp3\n"
                "Title%1=Track %1 - A Song With A Title.mp3\nLength%1=%3\n")
                .arg(n)
                .arg(n / 12)
                .arg(120 + n % 300)
                .toUtf8();
  text += "NumberOfEntries=" + QByteArray::number(entries) + "\nVersion=2\n";
  return text;
}

void WriteFile(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
    Fail("cannot write a file in the temporary folder");
}

QByteArray ReadFile(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A folder the program runs from as installed by hand: the executable beside its skin, so
// that its settings and playlist are kept there.
void MakeProgramDir(const QString& dir, const QByteArray& playlist) {
  QDir().mkpath(dir + "/skin");
  const QDir skin(BRIMTONE_SKIN_DIR);
  for (const QString& name : skin.entryList(QDir::Files))
    QFile::copy(skin.filePath(name), dir + "/skin/" + name);
  if (!QFile::copy(BRIMTONE_BINARY, dir + "/brimtone")) Fail("cannot copy the program");
  WriteFile(dir + "/lastplay.dat", playlist);
}

struct TRun {
  double paintedMs = -1;
  double mappedMs = -1;  // the first window (the player's) mapped
  QByteArray output;     // the child's standard output
};

// One start of program, to both windows painted; then it is asked to end (SIGTERM), after
// lingerMs when its later work is to be seen.
TRun Start(TScreenWatch& screen, const QString& program, const QStringList& args, int lingerMs = 0,
           const QString& preload = QString()) {
  QProcess child;
  if (!preload.isEmpty()) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("LD_PRELOAD", preload);
    child.setProcessEnvironment(env);
  }
  child.setProcessChannelMode(QProcess::SeparateChannels);
  child.setStandardErrorFile(QProcess::nullDevice());
  screen.MarkStart();
  const int64_t t0 = NowNs();
  child.start(program, args);
  TRun run;
  run.paintedMs = screen.WaitPainted(t0, 10000);
  run.mappedMs = screen.FirstMappedMs(t0);
  if (lingerMs > 0) SleepMs(lingerMs);
  child.terminate();
  if (!child.waitForFinished(10000)) {
    child.kill();
    child.waitForFinished(2000);
  }
  run.output = child.readAllStandardOutput();
  if (!screen.WaitEmpty(5000)) Fail("the windows of a start stayed after it ended");
  return run;
}

// --- one start with its steps told

int ChildProgram(int argc, char** argv) {
  SetStartupListener([](const char* step, bool begins) {
    timespec cpu{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &cpu);
    std::printf("%lld %lld %d %s\n", static_cast<long long>(NowNs()),
                static_cast<long long>(cpu.tv_sec) * 1000000000 + cpu.tv_nsec, begins ? 1 : 0,
                step);
    std::fflush(stdout);
  });
  SetProgramDir(argv[2]);
  // The program's own arguments follow the folder.
  std::vector<char*> rest = {argv[0]};
  for (int i = 3; i < argc; ++i) rest.push_back(argv[i]);
  rest.push_back(nullptr);
  return RunProgram(int(rest.size()) - 1, rest.data());
}

struct TStep {
  QString name;
  bool afterPaint = false;
  std::vector<double> ms, cpuMs;  // the time the step took; the CPU time its thread spent
};

// Each step's time: from the end of the step before (the spawn for the first), or from its
// own beginning when it told one; and the same for the CPU time of the thread that made it.
void AddSteps(std::vector<TStep>& steps, int64_t t0, double paintedMs, const QByteArray& output) {
  struct TMark {
    int64_t at = 0, cpu = 0;
  };
  TMark previous{t0, 0};
  QMap<QString, TMark> begun;
  bool painted = false;
  auto add = [&](const QString& name, double ms, double cpuMs) {
    auto found = std::find_if(steps.begin(), steps.end(),
                              [&](const TStep& step) { return step.name == name; });
    if (found == steps.end()) found = steps.insert(steps.end(), TStep{name, painted, {}, {}});
    found->ms.push_back(ms);
    found->cpuMs.push_back(cpuMs);
  };
  for (const QByteArray& line : output.split('\n')) {
    const QList<QByteArray> parts = line.split(' ');
    if (parts.size() < 4) continue;
    const TMark mark{parts[0].toLongLong(), parts[1].toLongLong()};
    const QString name =
        QString::fromUtf8(line.mid(parts[0].size() + parts[1].size() + parts[2].size() + 3));
    if (parts[2] == "1") {
      begun[name] = mark;
      continue;
    }
    if (name == "painted") {
      // The program's own view of the paint; the screen's view is the one that counts.
      add("on the screen (the event loop until both windows are drawn)",
          paintedMs - (previous.at - t0) / 1e6, (mark.cpu - previous.cpu) / 1e6);
      painted = true;
      continue;
    }
    const TMark from = begun.value(name, previous);
    add(name, (mark.at - from.at) / 1e6, (mark.cpu - from.cpu) / 1e6);
    if (!begun.contains(name)) previous = mark;
  }
}

int Measure(const QStringList& only) {
  auto wanted = [&](const char* part) { return only.isEmpty() || only.contains(part); };
  const QString display = StartXvfb();
  qputenv("DISPLAY", display.toUtf8());
  qputenv("QT_QPA_PLATFORM", "xcb");
  qputenv("SDL_AUDIODRIVER", "dummy");
  qunsetenv("WAYLAND_DISPLAY");
  QTemporaryDir runtime;  // private to the user, as Qt wants it
  if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR"))
    qputenv("XDG_RUNTIME_DIR", runtime.path().toUtf8());
  TScreenWatch screen;

  const QString self = QCoreApplication::applicationFilePath();
  for (const int entries : {10000, 150000}) {
    if (entries > 10000 && !wanted("large")) continue;
    QTemporaryDir dir;
    const QByteArray playlist = PlaylistText(entries);
    MakeProgramDir(dir.path(), playlist);
    const QString program = dir.filePath("brimtone");
    const int rounds = entries > 10000 ? 7 : 15;
    Start(screen, program, {});  // the page cache holds everything from here on
    std::vector<double> app, floor, linked, appMapped, floorMapped;
    for (int i = 0; i < rounds; ++i) {
      const TRun floorRun = Start(screen, FLOOR_BINARY, {});
      const TRun appRun = Start(screen, program, {});
      floor.push_back(floorRun.paintedMs);
      floorMapped.push_back(floorRun.mappedMs);
      app.push_back(appRun.paintedMs);
      appMapped.push_back(appRun.mappedMs);
      linked.push_back(Start(screen, FLOOR_LINKED_BINARY, {}).paintedMs);
    }
    const double a = Median(app), f = Median(floor), l = Median(linked);
    std::printf("start to both windows painted, %d entries (%.1f MB playlist), median of %d:\n",
                entries, playlist.size() / 1048576.0, rounds);
    std::printf("  floor (a bare Qt program, two frameless windows)    %7.1f ms\n", f);
    std::printf("  the floor linked with every library Brimtone loads %7.1f ms\n", l);
    std::printf("  brimtone                                           %7.1f ms\n", a);
    std::printf("  ratio to the floor: %.2f%s\n", f > 0 ? a / f : 0.0,
                entries > 10000 ? "" : " (target <= 1.20)");
    const double am = Median(appMapped), fm = Median(floorMapped);
    std::printf(
        "  to the first window mapped (the player's): floor %.1f ms, brimtone %.1f ms, "
        "ratio %.2f\n",
        fm, am, fm > 0 ? am / fm : 0.0);
    if (ReadFile(dir.filePath("lastplay.dat")) != playlist)
      std::printf("  ** the playlist file was rewritten **\n");

    if (entries > 10000 || !wanted("steps")) continue;
    std::vector<TStep> steps;
    for (int i = 0; i < rounds; ++i) {
      const int64_t t0 = NowNs();
      const TRun run = Start(screen, self, {"--child-program", dir.path()}, 400);
      AddSteps(steps, t0, run.paintedMs, run.output);
    }
    std::printf(
        "where the time goes, %d entries (the program's steps, median ms; beside it the\n"
        "CPU time of the thread that made it, the rest is waiting for the X server, the\n"
        "disk or a core):\n",
        entries);
    std::printf("  %-62s\n", "until both windows are on the screen:");
    bool after = false;
    for (const TStep& step : steps) {
      if (step.afterPaint && !after) {
        std::printf("  %-62s\n", "after the paint (not part of the figures above):");
        after = true;
      }
      const QString name =
          step.name == "command line" ? "start and the command line (from the spawn)" : step.name;
      std::printf("    %-60s %6.1f %6.1f\n", qPrintable(name), Median(step.ms), Median(step.cpuMs));
    }
    if (!wanted("libraries")) continue;
    // What loading each library costs: the floor with it loaded as well, beside the floor.
    std::printf("  %-62s\n",
                "loading the libraries Brimtone links (the floor with each, less the floor):");
    const struct {
      const char* what;
      const char* library;
    } libraries[] = {{"Qt Network (the single-instance socket)", "libQt6Network.so.6"},
                     {"SDL 2 (the audio output)", "libSDL2-2.0.so.0"},
                     {"libmpg123 (the decoder)", "libmpg123.so.0"}};
    for (const auto& library : libraries) {
      std::vector<double> with, without;
      for (int i = 0; i < rounds; ++i) {
        without.push_back(Start(screen, FLOOR_BINARY, {}).paintedMs);
        with.push_back(Start(screen, FLOOR_BINARY, {}, 0, library.library).paintedMs);
      }
      std::printf("    %-60s %6.1f\n", library.what, Median(with) - Median(without));
    }
    std::printf("    %-60s %6.1f\n", "all of them (the linked floor less the floor)", l - f);
  }

  if (!wanted("damaged")) return 0;
  // Damaged files: each start must stay well under 3 s and leave the playlist file as it was.
  QByteArray garbage(20 << 20, Qt::Uninitialized);
  for (qsizetype i = 0; i < garbage.size(); ++i) garbage[i] = char((i * 2654435761u) >> 13);
  const struct {
    const char* what;
    QByteArray playlist;
    QByteArray settings;
  } damaged[] = {
      {"NumberOfEntries=2000000000",
       PlaylistText(10).replace("NumberOfEntries=10", "NumberOfEntries=2000000000"),
       {}},
      {"a 20 MB title",
       "[playlist]\nVersion=2\nNumberOfEntries=1\nFile1=/m/a.mp3\nTitle1=" +
           QByteArray(20 << 20, 't') + "\n",
       {}},
      {"20 MB of binary garbage", garbage, {}},
      {"a 20 MB line in settings.ini", PlaylistText(10),
       "[main]\nlastdir=" + QByteArray(20 << 20, 'd') + "\nvolume=100\n"},
  };
  for (const auto& file : damaged) {
    QTemporaryDir dir;
    MakeProgramDir(dir.path(), file.playlist);
    if (!file.settings.isEmpty()) WriteFile(dir.filePath("settings.ini"), file.settings);
    std::vector<double> times;
    for (int i = 0; i < 3; ++i)
      times.push_back(Start(screen, dir.filePath("brimtone"), {}).paintedMs);
    std::printf("start with %s: %.1f ms (target well under 3000 ms)%s\n", file.what, Median(times),
                ReadFile(dir.filePath("lastplay.dat")) == file.playlist
                    ? ""
                    : "  ** the playlist file was rewritten **");
  }
  StopXvfb();
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 3 && QByteArray(argv[1]) == "--child-program") return ChildProgram(argc, argv);
  // The program offers its D-Bus service once it is on the screen, as on a desktop.
  if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")) {
    std::vector<char*> args = {const_cast<char*>("dbus-run-session"), const_cast<char*>("--")};
    for (int i = 0; i < argc; ++i) args.push_back(argv[i]);
    args.push_back(nullptr);
    ::execvp("dbus-run-session", args.data());
    Fail("no session bus and no dbus-run-session");
  }
  QCoreApplication app(argc, argv);
  return Measure(app.arguments().mid(1));
}
