// Program start to both windows painted, with a 10,000-entry playlist, measured from the
// outside (process spawn to the child's "painted" line), alternating with a floor program: a
// bare Qt program showing two frameless 344 x 116 windows.
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

void MakeProgramDir(const QString& dir) {
  QDir().mkpath(dir + "/skin");
  const QDir skin(BRIMTONE_SKIN_DIR);
  for (const QString& name : skin.entryList(QDir::Files))
    QFile::copy(skin.filePath(name), dir + "/skin/" + name);
  QFile file(dir + "/lastplay.dat");
  file.open(QIODevice::WriteOnly);
  QByteArray text = "[playlist]\n";
  for (int n = 1; n <= 10000; ++n)
    text +=
        QStringLiteral("File%1=/music/album %2/track %1.mp3\nTitle%1=track %1.mp3\nLength%1=%3\n")
            .arg(n)
            .arg(n / 12)
            .arg(120 + n % 300)
            .toUtf8();
  text += "NumberOfEntries=10000\nVersion=2\n";
  file.write(text);
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
  QTemporaryDir dir;
  MakeProgramDir(dir.path());
  std::vector<double> appTimes, floorTimes;
  for (int i = 0; i < 15; ++i) {
    appTimes.push_back(TimeChild({"--child-app", dir.path()}));
    floorTimes.push_back(TimeChild({"--child-floor"}));
  }
  const double a = Median(appTimes), f = Median(floorTimes);
  std::printf("start to both windows painted, 10000 entries: %.1f ms (target <= 250 ms)\n", a);
  std::printf("floor program (two bare frameless windows): %.1f ms\n", f);
  std::printf("ratio to the floor: %.2f (target <= 2.00)\n", f > 0 ? a / f : 0.0);
  return 0;
}
