// The custom controls' hot paths, as the player and playlist windows use them:
//   1. barSongProgress (320 x 9, tiled bar bitmap): one Position change drawn to the screen.
//   2. boxPlaylist (336 x 86, wallpaper) with 10,000 rows: a refill, drawn.
//   3. The same list scrolled by one page, drawn.
//   4. The pointer moved across 100 rows with hint tracking (long rows open panels), each move
//      delivered through the window and followed by the event processing it causes.
// Each figure is the median of several runs. Run offscreen or on a real display.
#include <QApplication>
#include <QElapsedTimer>
#include <QPainter>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

#include "controls/alprogressbar.h"
#include "controls/dtlistbox.h"

namespace {

double MedianMs(int runs, const std::function<double()>& run) {
  std::vector<double> times;
  for (int i = 0; i < runs; ++i) times.push_back(run());
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

void Report(const char* what, double ms, double target) {
  std::printf("%s: %.3f ms (target <= %.1f ms)%s\n", what, ms, target,
              ms <= target ? "" : "  ** over target **");
}

QImage Pattern(int w, int h) {
  QImage image(w, h, QImage::Format_RGB32);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) image.setPixel(x, y, qRgb(x * 7 % 256, y * 20 % 256, 120));
  return image;
}

QStringList Entries(int count, int salt) {
  QStringList rows;
  rows.reserve(count);
  for (int i = 1; i <= count; ++i) {
    // Every third title is too long for the list.
    const QString title = i % 3 == 0 ? QStringLiteral(
                                           "A rather long artist name - a much longer "
                                           "song title that does not fit (live)")
                                     : QStringLiteral("Artist - Title");
    rows << QStringLiteral("%1. %2 %3.mp3 (%4:%5)")
                .arg(i)
                .arg(title)
                .arg(salt)
                .arg(i % 7)
                .arg(i % 60, 2, 10, QLatin1Char('0'));
  }
  return rows;
}

// Counts paint events, to be sure the figures include the drawing.
class TPaintCounter : public QObject {
 public:
  explicit TPaintCounter(QWidget* widget) { widget->installEventFilter(this); }
  long count = 0;

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++count;
    return false;
  }
};

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);

  QWidget player;
  player.resize(344, 116);
  auto* bar = new TALProgressBar(&player);
  bar->setGeometry(15, 71, 320, 9);
  bar->SetBackgroundColor(clSkyBlue);
  bar->SetBarColor1(clRed);
  bar->SetBarColor3(clLime);
  bar->SetBorderColor1(clNone);
  bar->SetBorderColor2(clNone);
  bar->SetMax(225000);
  bar->SetPercentage(true);
  bar->SetShowPosText(false);
  bar->BarBitmapObject() = Pattern(320, 9);
  player.show();

  QWidget playlist;
  playlist.resize(344, 116);
  playlist.move(0, 150);
  auto* box = new TdtListBox(&playlist);
  box->setGeometry(4, 4, 336, 86);
  box->SetBorderStyle(bsNone);
  box->SetColor(clSilver);
  QFont font(QStringLiteral("Tahoma"));
  font.setPixelSize(11);
  box->setFont(font);
  QFont bold = font;
  bold.setBold(true);
  box->SetSelectedFont(bold, clWhite);
  box->SetSelectedFontEnabled(true);
  box->SetItemHeight(12);
  box->SetHintBackColor(clBlack);
  box->SetHintTextColor(clBlack);
  box->SetBackgroundWallpaper(Pattern(344, 116));
  playlist.show();
  for (int i = 0; i < 10; ++i) app.processEvents();

  TPaintCounter barPaints(bar);
  TPaintCounter boxPaints(box->viewport());

  // 1.
  int position = 0;
  const double barMs = MedianMs(15, [&] {
    constexpr int kChanges = 200;
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < kChanges; ++i) bar->SetPosition(position = (position + 997) % 225000);
    return timer.nsecsElapsed() / 1e6 / kChanges;
  });
  Report("barSongProgress 320x9, one Position change drawn", barMs, 0.2);
  std::printf("  (%ld paints for %d changes)\n", barPaints.count, 15 * 200);

  // 2.
  int salt = 0;
  std::vector<QStringList> fills;
  for (int i = 0; i < 12; ++i) fills.push_back(Entries(10000, i));
  const double fillMs = MedianMs(11, [&] {
    const QStringList& rows = fills[size_t(salt++ % 12)];
    QElapsedTimer timer;
    timer.start();
    const int noted = box->ItemIndex();
    box->SetItems(rows);
    box->SetItemIndex(noted < 0 ? 0 : noted);
    box->viewport()->repaint();
    return timer.nsecsElapsed() / 1e6;
  });
  Report("boxPlaylist, refill with 10,000 rows and draw", fillMs, 15);

  // 3.
  box->SetTopIndex(0);
  const double scrollMs = MedianMs(41, [&] {
    QElapsedTimer timer;
    timer.start();
    const int page = std::max(1, box->ClientHeight() / box->ItemHeight());
    box->SetTopIndex(box->TopIndex() + page >= box->Count() - page ? 0 : box->TopIndex() + page);
    box->viewport()->repaint();
    return timer.nsecsElapsed() / 1e6;
  });
  Report("boxPlaylist, scroll one page and draw", scrollMs, 4);

  // 4.
  box->SetTopIndex(3000);
  const int rows = box->ClientHeight() / box->ItemHeight();
  long panelsOpened = 0;
  const TdtHintPanel* lastPanel = nullptr;
  const double hoverMs = MedianMs(9, [&] {
    QElapsedTimer timer;
    timer.start();
    for (int k = 0; k < 100; ++k) {
      // Down the visible rows and back up, a different row every move.
      const int cycle = 2 * rows - 2;
      const int phase = k % cycle;
      const int row = phase < rows ? phase : cycle - phase;
      // Delivered as the platform delivers a motion event (no pointer warp round trip).
      QTest::mouseMove(playlist.windowHandle(),
                       box->viewport()->mapTo(&playlist, QPoint(150, row * box->ItemHeight() + 5)));
      if (box->HintPanel() && box->HintPanel() != lastPanel) ++panelsOpened;
      lastPanel = box->HintPanel();
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return timer.nsecsElapsed() / 1e6;
  });
  Report("boxPlaylist, pointer across 100 rows with hints", hoverMs, 20);
  std::printf("  (%ld hint panels opened over 9 runs, %ld list paints in all)\n", panelsOpened,
              boxPaints.count);
  return 0;
}
