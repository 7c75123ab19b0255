// The desktop's ways in, timed:
// 1. a second start handing one song to the running program, to the row appearing
//    (the real brimtone executable as the second start; target 100 ms)
// 2. an MPRIS PlayPause call from another bus connection to the first sample handed to the
//    audio output (target 30 ms)
// 3. start to both windows painted with and without the instance server and the D-Bus service,
//    alternately in the same run (target: within 10 %)
//
//   dbus-run-session -- xvfb-run -a build/bin/bench_desktop
// Without a session bus it runs itself under dbus-run-session; without a display, offscreen.
// SDL_AUDIODRIVER=dummy is set unless another driver is asked for.
#include <unistd.h>

#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <cstdio>

#include "app/application.h"
#include "app/startup.h"
#include "audio/mpg123sdlengine.h"
#include "benchkit.h"
#include "controls/dtlistbox.h"
#include "desktop/desktopintegration.h"
#include "desktop/mprisservice.h"
#include "desktop/singleinstance.h"
#include "desktop/windowsadapter.h"
#include "platform/programdir.h"
#include "player/formmain.h"
#include "playlist/formplaylist.h"

namespace {

constexpr int kRounds = 15;

void MakeProgramDir(const QString& dir, int entries) {
  QDir().mkpath(dir + "/skin");
  const QDir skin(BRIMTONE_SKIN_DIR);
  for (const QString& name : skin.entryList(QDir::Files))
    QFile::copy(skin.filePath(name), dir + "/skin/" + name);
  if (entries == 0) return;
  QFile file(dir + "/lastplay.dat");
  if (!file.open(QIODevice::WriteOnly)) return;
  QByteArray text = "[playlist]\n";
  for (int n = 1; n <= entries; ++n)
    text += QStringLiteral("File%1=/music/album %2/track %1.mp3\nTitle%1=track %1.mp3\n")
                .arg(n)
                .arg(n / 12)
                .toUtf8();
  text += QStringLiteral("NumberOfEntries=%1\nVersion=2\n").arg(entries).toUtf8();
  file.write(text);
}

void Say(const QString& line) {
  std::printf("%s\n", qPrintable(line));
  std::fflush(stdout);
}

// 3. One start of the program, with or without the desktop's pieces; says "painted".
int ChildStart(int argc, char** argv, const QString& dir, bool desktop) {
  TApplication app(argc, argv);
  SetProgramDir(dir);
  std::unique_ptr<TSingleInstance> instance;
  if (desktop) {
    instance = std::make_unique<TSingleInstance>(ProgramDir());
    instance->Start(QByteArray());
  }
  TWindows windows;
  CreateWindows(windows);
  std::unique_ptr<TDesktopIntegration> integration;
  if (desktop) {
    integration =
        std::make_unique<TDesktopIntegration>(windows.formMain.get(), windows.formPlaylist.get());
    integration->StartMprisWhenShown();
    instance->Ready();
  }
  bool painted[2] = {false, !windows.formPlaylist->isVisible()};
  struct TWatch : QObject {
    std::function<void(QObject*)> onPaint;
    bool eventFilter(QObject* o, QEvent* e) override {
      if (e->type() == QEvent::Paint) onPaint(o);
      return false;
    }
  } watch;
  bool said = false;
  watch.onPaint = [&](QObject* o) {
    if (o == windows.formMain.get()) painted[0] = true;
    if (o == windows.formPlaylist.get()) painted[1] = true;
    if (painted[0] && painted[1] && !said) {
      said = true;
      QTimer::singleShot(0, [] {
        Say("painted");
        QCoreApplication::quit();
      });
    }
  };
  windows.formMain->installEventFilter(&watch);
  windows.formPlaylist->installEventFilter(&watch);
  const int result = app.exec();
  integration.reset();
  DestroyWindows(windows);
  return result;
}

// 1. The running program: says "rows <count> <ns>" after every refill.
int ChildPrimary(int argc, char** argv, const QString& dir) {
  TApplication app(argc, argv);
  SetProgramDir(dir);
  TSingleInstance instance(ProgramDir());
  if (instance.Start(QByteArray()) != TSingleInstance::TRole::Primary) return 1;
  TWindows windows;
  CreateWindows(windows);
  TDesktopIntegration desktop(windows.formMain.get(), windows.formPlaylist.get());
  QObject::connect(&instance, &TSingleInstance::Received, &desktop,
                   &TDesktopIntegration::ApplyBytes);
  TformPlaylist* playlist = windows.formPlaylist.get();
  QObject::connect(playlist, &TformPlaylist::playlistUpdated, [playlist] {
    Say(QStringLiteral("rows %1 %2").arg(playlist->boxPlaylist->Count()).arg(NowNs()));
  });
  instance.Ready();
  QTimer::singleShot(0, [] { Say("ready"); });
  const int result = app.exec();
  DestroyWindows(windows);
  return result;
}

// 2. PlayPause over the bus (from a thread with its own connection) to the first sample.
int ChildMpris(int argc, char** argv, const QString& dir, const QString& song) {
  TApplication app(argc, argv);
  SetProgramDir(dir);
  QFile file(dir + "/lastplay.dat");
  if (file.open(QIODevice::WriteOnly))
    file.write(QStringLiteral("[playlist]\nFile1=%1\nTitle1=song.mp3\nNumberOfEntries=1\n"
                              "Version=2\n")
                   .arg(song)
                   .toUtf8());
  file.close();
  TWindows windows;
  CreateWindows(windows);
  TDesktopIntegration desktop(windows.formMain.get(), windows.formPlaylist.get());
  if (!desktop.Mpris().StartOnSessionBus()) {
    Say("mpris: no session bus");
    return 1;
  }
  auto* engine = dynamic_cast<TMpg123SdlEngine*>(&windows.formMain->Mp3MediaPlayer->Engine());
  if (!engine) return 1;
  windows.formMain->Mp3MediaPlayer->Prepare();
  const QString service = desktop.Mpris().ServiceName();
  std::vector<double> times;
  for (int round = 0; round < kRounds; ++round) {
    desktop.Control().Stop();
    for (int i = 0; i < 20; ++i) {
      QCoreApplication::processEvents();
      SleepMs(10);
    }
    const int64_t t0 = NowNs();
    QThread* caller = QThread::create([service, round] {
      const QString name = QStringLiteral("bench%1").arg(round);
      {
        QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, name);
        bus.call(QDBusMessage::createMethodCall(service, TMprisService::kObjectPath,
                                                "org.mpris.MediaPlayer2.Player", "PlayPause"));
      }
      QDBusConnection::disconnectFromBus(name);
    });
    // The connection is made before the clock starts.
    caller->start();
    double ms = 1e9;
    for (int i = 0; i < 20000; ++i) {
      QCoreApplication::processEvents();
      const int64_t first = engine->FirstAudioTimeNs();
      if (first >= t0) {
        ms = (first - t0) / 1e6;
        break;
      }
      std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
    while (!caller->isFinished()) QCoreApplication::processEvents();
    delete caller;
    times.push_back(ms);
  }
  Say(QStringLiteral("MPRIS PlayPause to the first sample: median %1 ms over %2 (target 30 ms)")
          .arg(Median(times), 0, 'f', 1)
          .arg(kRounds));
  DestroyWindows(windows);
  return 0;
}

double TimeStart(const QStringList& args) {
  QProcess child;
  const int64_t t0 = NowNs();
  child.start(QCoreApplication::applicationFilePath(), args);
  while (child.waitForReadyRead(10000))
    if (child.readAllStandardOutput().contains("painted")) break;
  const double ms = (NowNs() - t0) / 1e6;
  child.waitForFinished(10000);
  return ms;
}

void SecondStarts(const QString& song) {
  QTemporaryDir dir;
  MakeProgramDir(dir.path(), 0);
  // The second start is the real program, from the same folder: it finds the same socket.
  QFile::copy(BRIMTONE_BINARY, dir.filePath("brimtone"));
  QProcess primary;
  primary.start(QCoreApplication::applicationFilePath(), {"--child-primary", dir.path()});
  QByteArray out;
  auto waitFor = [&](const QByteArray& what) -> QByteArray {
    for (int i = 0; i < 100; ++i) {
      const qsizetype at = out.indexOf(what);
      if (at >= 0) {
        const qsizetype end = out.indexOf('\n', at);
        if (end >= 0) {
          const QByteArray line = out.mid(at, end - at);
          out.remove(0, end + 1);
          return line;
        }
      }
      primary.waitForReadyRead(100);
      out += primary.readAllStandardOutput();
    }
    return {};
  };
  if (waitFor("ready").isEmpty()) {
    Say("second start: the running program did not come up");
    return;
  }
  std::vector<double> toRow, toExit;
  for (int round = 0; round < kRounds; ++round) {
    const int64_t t0 = NowNs();
    QProcess second;
    second.start(dir.filePath("brimtone"), {"--enqueue", song});
    const QByteArray line = waitFor(QByteArray("rows ") + QByteArray::number(round + 1) + ' ');
    const QList<QByteArray> parts = line.split(' ');
    if (parts.size() == 3) toRow.push_back((parts[2].toLongLong() - t0) / 1e6);
    second.waitForFinished(10000);
    toExit.push_back((NowNs() - t0) / 1e6);
  }
  primary.terminate();
  primary.waitForFinished(5000);
  Say(QStringLiteral("second start handing 1 song, to the row: median %1 ms over %2 (target 100 "
                     "ms); to its exit: %3 ms")
          .arg(Median(toRow), 0, 'f', 1)
          .arg(toRow.size())
          .arg(Median(toExit), 0, 'f', 1));
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS") &&
      !(argc >= 2 && argv[1][0] == '-')) {
    std::vector<char*> args = {const_cast<char*>("dbus-run-session"), const_cast<char*>("--")};
    for (int i = 0; i < argc; ++i) args.push_back(argv[i]);
    args.push_back(nullptr);
    ::execvp("dbus-run-session", args.data());
    std::fprintf(stderr, "bench_desktop: no session bus and no dbus-run-session\n");
    return 1;
  }
  if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  if (qEnvironmentVariableIsEmpty("SDL_AUDIODRIVER")) qputenv("SDL_AUDIODRIVER", "dummy");

  if (argc >= 3 && QByteArray(argv[1]) == "--child-plain")
    return ChildStart(argc, argv, argv[2], false);
  if (argc >= 3 && QByteArray(argv[1]) == "--child-desktop")
    return ChildStart(argc, argv, argv[2], true);
  if (argc >= 3 && QByteArray(argv[1]) == "--child-primary")
    return ChildPrimary(argc, argv, argv[2]);
  if (argc >= 4 && QByteArray(argv[1]) == "--child-mpris")
    return ChildMpris(argc, argv, argv[2], argv[3]);

  QCoreApplication app(argc, argv);
  Say(QStringLiteral("display: %1")
          .arg(qEnvironmentVariableIsEmpty("DISPLAY") ? "offscreen"
                                                      : qEnvironmentVariable("DISPLAY")));
  const QString song = Song(10);

  // 1.
  SecondStarts(song);

  // 2.
  {
    QTemporaryDir dir;
    MakeProgramDir(dir.path(), 0);
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedChannels);
    child.start(QCoreApplication::applicationFilePath(), {"--child-mpris", dir.path(), song});
    child.waitForFinished(120000);
  }

  // 3.
  {
    QTemporaryDir dir;
    MakeProgramDir(dir.path(), 10000);
    std::vector<double> plain, desktop;
    for (int round = 0; round < kRounds; ++round) {
      plain.push_back(TimeStart({"--child-plain", dir.path()}));
      desktop.push_back(TimeStart({"--child-desktop", dir.path()}));
    }
    const double p = Median(plain), d = Median(desktop);
    Say(QStringLiteral("start to both windows painted, 10000 entries: without the instance server "
                       "and D-Bus %1 ms, with them %2 ms, ratio %3 (target <= 1.10)")
            .arg(p, 0, 'f', 1)
            .arg(d, 0, 'f', 1)
            .arg(p > 0 ? d / p : 0.0, 0, 'f', 2));
  }
  return 0;
}
