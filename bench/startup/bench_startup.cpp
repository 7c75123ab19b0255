// Program start to both windows painted, with a 10,000-entry and a 150,000-entry playlist,
// measured from the outside (process spawn to the child's "painted" line), alternating with a
// floor program: a bare Qt program showing two frameless 344 x 116 windows. Then starts with
// damaged files, which must not be rewritten.
//
//   bench_startup            runs both, 15 times each, alternately, and prints medians
//   (run it under xvfb-run -a for a real X display, or with QT_QPA_PLATFORM=offscreen)
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <cstdio>

#include "app/application.h"
#include "app/startup.h"
#include "platform/programdir.h"
#include "player/formmain.h"
#include "playlist/formplaylist.h"

namespace {

// Prints "painted" once both windows have been painted, then quits.
class TPaintWatch : public QObject {
 public:
  TPaintWatch(QWidget* a, QWidget* b) : a_(a), b_(b) {
    a->installEventFilter(this);
    if (b)
      b->installEventFilter(this);
    else
      bPainted_ = true;
  }
  bool eventFilter(QObject* o, QEvent* e) override {
    if (e->type() == QEvent::Paint) {
      if (o == a_) aPainted_ = true;
      if (o == b_) bPainted_ = true;
      if (aPainted_ && bPainted_ && !done_) {
        done_ = true;
        QTimer::singleShot(0, [] {
          std::printf("painted\n");
          std::fflush(stdout);
          QCoreApplication::quit();
        });
      }
    }
    return false;
  }

 private:
  QWidget* a_;
  QWidget* b_;
  bool aPainted_ = false, bPainted_ = false, done_ = false;
};

int RunApp(int argc, char** argv, const QString& dir) {
  TApplication app(argc, argv);
  SetProgramDir(dir);
  TWindows windows;
  CreateWindows(windows);
  TPaintWatch watch(windows.formMain.get(),
                    windows.formPlaylist && windows.formPlaylist->isVisible()
                        ? windows.formPlaylist.get()
                        : nullptr);
  const int result = app.exec();
  windows.formPlaylist.reset();
  windows.formMain.reset();
  return result;
}

int RunFloor(int argc, char** argv) {
  QApplication app(argc, argv);
  QWidget a(nullptr, Qt::Window | Qt::FramelessWindowHint);
  QWidget b(nullptr, Qt::Tool | Qt::FramelessWindowHint);
  a.setGeometry(684, 442, 344, 116);
  b.setGeometry(684, 558, 344, 116);
  TPaintWatch watch(&a, &b);
  a.show();
  b.show();
  return app.exec();
}

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
    qFatal("cannot write %s", qPrintable(path));
}

QByteArray ReadFile(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void MakeProgramDir(const QString& dir, const QByteArray& playlist) {
  QDir().mkpath(dir + "/skin");
  const QDir skin(BRIMTONE_SKIN_DIR);
  for (const QString& name : skin.entryList(QDir::Files))
    QFile::copy(skin.filePath(name), dir + "/skin/" + name);
  WriteFile(dir + "/lastplay.dat", playlist);
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

double TimeChild(const QStringList& args) {
  QProcess child;
  QElapsedTimer timer;
  timer.start();
  child.start(QCoreApplication::applicationFilePath(), args);
  while (child.waitForReadyRead(10000)) {
    if (child.readAllStandardOutput().contains("painted")) break;
  }
  const double ms = timer.nsecsElapsed() / 1e6;
  child.waitForFinished(10000);
  return ms;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 3 && QByteArray(argv[1]) == "--child-app") return RunApp(argc, argv, argv[2]);
  if (argc >= 2 && QByteArray(argv[1]) == "--child-floor") return RunFloor(argc, argv);

  QCoreApplication app(argc, argv);
  for (const int entries : {10000, 150000}) {
    QTemporaryDir dir;
    const QByteArray playlist = PlaylistText(entries);
    MakeProgramDir(dir.path(), playlist);
    std::vector<double> appTimes, floorTimes;
    for (int i = 0; i < 15; ++i) {
      appTimes.push_back(TimeChild({"--child-app", dir.path()}));
      floorTimes.push_back(TimeChild({"--child-floor"}));
    }
    const double a = Median(appTimes), f = Median(floorTimes);
    const double target = entries > 10000 ? 600 : 250;
    std::printf(
        "start to both windows painted, %d entries (%.1f MB): %.1f ms (target <= %.0f ms)\n",
        entries, playlist.size() / 1048576.0, a, target);
    std::printf("floor program (two bare frameless windows): %.1f ms\n", f);
    std::printf("ratio to the floor: %.2f%s\n", f > 0 ? a / f : 0.0,
                entries > 10000 ? "" : " (target <= 2.00)");
    if (ReadFile(dir.path() + "/lastplay.dat") != playlist)
      std::printf("  the playlist file was rewritten!\n");
  }

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
    if (!file.settings.isEmpty()) WriteFile(dir.path() + "/settings.ini", file.settings);
    std::vector<double> times;
    for (int i = 0; i < 5; ++i) times.push_back(TimeChild({"--child-app", dir.path()}));
    std::printf("start with %s: %.1f ms (target well under 3000 ms)%s\n", file.what, Median(times),
                ReadFile(dir.path() + "/lastplay.dat") == file.playlist
                    ? ""
                    : "  ** the playlist file was rewritten **");
  }
  return 0;
}
