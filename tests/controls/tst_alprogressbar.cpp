#include <QApplication>
#include <QPainter>
#include <QtTest>
#include <climits>
#include <memory>

#include "controls/alprogressbar.h"
#include "platform/errors.h"

Q_DECLARE_METATYPE(TProgressDirection)
Q_DECLARE_METATYPE(TBarColorStyle)

namespace {

QImage Grab(QWidget* widget) {
  return widget->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

QRgb Rgb(TColor color) {
  return ToQColor(color).rgb();
}

// Counts the paint events a widget receives.
class TPaintCounter : public QObject {
 public:
  explicit TPaintCounter(QWidget* widget) { widget->installEventFilter(this); }
  int count = 0;

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++count;
    return false;
  }
};

// An image whose every pixel is different, to see exactly where tiles start.
QImage PatternImage(int w, int h) {
  QImage image(w, h, QImage::Format_RGB32);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) image.setPixel(x, y, qRgb(10 + x * 12, 20 + y * 40, 200));
  return image;
}

QImage Solid(int w, int h, QColor color) {
  QImage image(w, h, QImage::Format_RGB32);
  image.fill(color);
  return image;
}

}  // namespace

class TestALProgressBar : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<QWidget> host;

  // The bar as the player window sets up barVolume.
  TALProgressBar* VolumeBar() {
    auto* bar = new TALProgressBar(host.get());
    bar->setGeometry(10, 10, 100, 9);
    bar->show();
    bar->SetBackgroundColor(clSkyBlue);
    bar->SetBorderColor1(clNone);
    bar->SetBorderColor2(clNone);
    bar->SetMax(65535);
    bar->SetPosition(65535);
    bar->SetPercentage(true);
    bar->SetShowPosText(false);
    return bar;
  }

 private slots:
  void init() {
    host = std::make_unique<QWidget>();
    host->resize(400, 300);
    host->show();
    QVERIFY(QTest::qWaitForWindowExposed(host.get()));
  }
  void cleanup() { host.reset(); }

  void newBarHasTheDesignedDefaults() {
    TALProgressBar bar;
    QCOMPARE(bar.size(), QSize(200, 20));
    QCOMPARE(bar.BackgroundColor(), TColor(0xFF00000F));
    QCOMPARE(bar.BorderColor1(), TColor(0xFF000010));
    QCOMPARE(bar.BorderColor2(), TColor(0xFF000014));
    QCOMPARE(bar.BarColor1(), clGreen);
    QCOMPARE(bar.BarColor2(), clYellow);
    QCOMPARE(bar.BarColor3(), clRed);
    QCOMPARE(bar.BarColorStyle(), cs3Colors);
    QCOMPARE(bar.Direction(), pdLeftToRight);
    QCOMPARE(bar.Min(), 0);
    QCOMPARE(bar.Max(), 100);
    QCOMPARE(bar.Position(), 0);
    QVERIFY(!bar.Percentage());
    QVERIFY(bar.ShowBorder());
    QVERIFY(bar.ShowPosText());
    QVERIFY(bar.PosTextPrefix().isEmpty() && bar.PosTextSuffix().isEmpty());
    QVERIFY(bar.BarBitmap().isNull());
  }

  // Which lines along the bar's axis show the bar rather than the background.
  void filledLength_data() {
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<bool>("border");
    QTest::addColumn<int>("min");
    QTest::addColumn<int>("max");
    QTest::addColumn<int>("position");
    QTest::addColumn<TProgressDirection>("direction");
    QTest::addColumn<int>("filled");

    QTest::newRow("volume half") << 100 << 9 << true << 0 << 65535 << 32767 << pdLeftToRight << 49;
    QTest::newRow("volume full") << 100 << 9 << true << 0 << 65535 << 65535 << pdLeftToRight << 98;
    QTest::newRow("volume zero") << 100 << 9 << true << 0 << 65535 << 0 << pdLeftToRight << 0;
    QTest::newRow("24.5 rounds to 24") << 100 << 9 << true << 0 << 4 << 1 << pdLeftToRight << 24;
    QTest::newRow("73.5 rounds to 74") << 100 << 9 << true << 0 << 4 << 3 << pdLeftToRight << 74;
    QTest::newRow("no border") << 100 << 9 << false << 0 << 4 << 1 << pdLeftToRight << 25;
    QTest::newRow("right to left") << 100 << 9 << true << 0 << 4 << 1 << pdRightToLeft << 24;
    QTest::newRow("bottom to top") << 9 << 100 << true << 0 << 4 << 3 << pdBottomToTop << 74;
    QTest::newRow("top to bottom") << 9 << 100 << true << 0 << 4 << 1 << pdTopToBottom << 24;
    QTest::newRow("min counts") << 100 << 9 << true << 10 << 14 << 11 << pdLeftToRight << 24;
    QTest::newRow("max equals min") << 100 << 9 << true << 5 << 5 << 5 << pdLeftToRight << 0;
    QTest::newRow("song progress")
        << 320 << 9 << true << 0 << 225000 << 112500 << pdLeftToRight << 159;
    QTest::newRow("full range of int")
        << 100 << 9 << true << INT_MIN << INT_MAX << 0 << pdLeftToRight << 49;
  }
  void filledLength() {
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(bool, border);
    QFETCH(int, min);
    QFETCH(int, max);
    QFETCH(int, position);
    QFETCH(TProgressDirection, direction);
    QFETCH(int, filled);

    auto* bar = new TALProgressBar(host.get());
    bar->setGeometry(5, 5, width, height);
    bar->SetBackgroundColor(clSkyBlue);
    bar->SetShowPosText(false);
    bar->SetShowBorder(border);
    bar->SetDirection(direction);
    bar->SetMax(max);
    bar->SetMin(min);
    bar->SetPosition(position);
    QCOMPARE(bar->Position(), position);
    const QImage image = Grab(bar);

    const bool horizontal = direction == pdLeftToRight || direction == pdRightToLeft;
    const int b = border ? 1 : 0;
    const int track = (horizontal ? width : height) - 2 * b;
    // The line where the bar starts to grow, then the direction it grows in.
    const bool fromStart = direction == pdLeftToRight || direction == pdTopToBottom;
    const int first = fromStart ? b : (horizontal ? width : height) - 1 - b;
    const int step = fromStart ? 1 : -1;
    for (int k = 0; k < track; ++k) {
      const int line = first + k * step;
      const QRgb pixel = horizontal ? image.pixel(line, height / 2) : image.pixel(width / 2, line);
      const bool isBackground = pixel == Rgb(clSkyBlue);
      QVERIFY2(isBackground == (k >= filled),
               qPrintable(QStringLiteral("line %1 (step %2 of the track)").arg(line).arg(k)));
    }
  }

  void leftoverPositionsOutsideTheRange_data() {
    QTest::addColumn<bool>("lowerMax");
    QTest::addColumn<bool>("expectFull");
    QTest::newRow("max lowered below position: full") << true << true;
    QTest::newRow("min raised above position: empty") << false << false;
  }
  void leftoverPositionsOutsideTheRange() {
    QFETCH(bool, lowerMax);
    QFETCH(bool, expectFull);
    auto* bar = VolumeBar();
    bar->SetPosition(30000);
    if (lowerMax)
      bar->SetMax(100);
    else
      bar->SetMin(40000);
    QCOMPARE(bar->Position(), 30000);  // setting Min or Max never moves Position
    const QImage image = Grab(bar);
    for (int x = 1; x <= 98; ++x) QCOMPARE(image.pixel(x, 4) == Rgb(clSkyBlue), !expectFull);
  }

  void gradientEnds_data() {
    QTest::addColumn<TProgressDirection>("direction");
    QTest::addColumn<TBarColorStyle>("style");
    // Colours at the first line (left or top), the two middle lines and the last line.
    QTest::addColumn<quint32>("atFirst");
    QTest::addColumn<quint32>("atMiddleA");
    QTest::addColumn<quint32>("atMiddleB");
    QTest::addColumn<quint32>("atLast");
    const TColor c1 = clRed, c2 = clWhite, c3 = clBlack;
    QTest::newRow("3 colours, left to right") << pdLeftToRight << cs3Colors << c1 << c2 << c2 << c3;
    QTest::newRow("3 colours, right to left") << pdRightToLeft << cs3Colors << c3 << c2 << c2 << c1;
    QTest::newRow("3 colours, top to bottom") << pdTopToBottom << cs3Colors << c1 << c2 << c2 << c3;
    QTest::newRow("3 colours, bottom to top") << pdBottomToTop << cs3Colors << c3 << c2 << c2 << c1;
    // Two colours: the middle lines 49 and 50 of a 100-line ramp from c1 to c2.
    const TColor mid49 = RGBToColor(255, 126, 126), mid50 = RGBToColor(255, 129, 129);
    QTest::newRow("2 colours, left to right")
        << pdLeftToRight << cs2Colors << c1 << mid49 << mid50 << c2;
    QTest::newRow("2 colours, right to left")
        << pdRightToLeft << cs2Colors << c2 << mid50 << mid49 << c1;
    QTest::newRow("2 colours, top to bottom")
        << pdTopToBottom << cs2Colors << c1 << mid49 << mid50 << c2;
    QTest::newRow("2 colours, bottom to top")
        << pdBottomToTop << cs2Colors << c2 << mid50 << mid49 << c1;
  }
  void gradientEnds() {
    QFETCH(TProgressDirection, direction);
    QFETCH(TBarColorStyle, style);
    QFETCH(quint32, atFirst);
    QFETCH(quint32, atMiddleA);
    QFETCH(quint32, atMiddleB);
    QFETCH(quint32, atLast);
    const bool horizontal = direction == pdLeftToRight || direction == pdRightToLeft;
    auto* bar = new TALProgressBar(host.get());
    bar->setGeometry(0, 0, horizontal ? 100 : 7, horizontal ? 7 : 100);
    bar->SetShowBorder(false);
    bar->SetShowPosText(false);
    bar->SetBarColor1(clRed);
    bar->SetBarColor2(clWhite);
    bar->SetBarColor3(clBlack);
    bar->SetBarColorStyle(style);
    bar->SetDirection(direction);
    bar->SetPosition(100);
    const QImage image = Grab(bar);
    auto at = [&](int line) { return horizontal ? image.pixel(line, 3) : image.pixel(3, line); };
    QCOMPARE(at(0), Rgb(atFirst));
    QCOMPARE(at(49), Rgb(atMiddleA));
    QCOMPARE(at(50), Rgb(atMiddleB));
    QCOMPARE(at(99), Rgb(atLast));
    // Every line across the axis is one colour.
    for (int across = 0; across < 7; ++across)
      QCOMPARE(horizontal ? image.pixel(37, across) : image.pixel(across, 37), at(37));
  }

  void volumeBarGradientSteps() {
    // Green to yellow over the first 50 columns, as barVolume shows it.
    auto* bar = VolumeBar();
    bar->SetShowBorder(false);
    const QImage image = Grab(bar);
    QCOMPARE(image.pixel(0, 4), qRgb(0, 128, 0));
    QCOMPARE(image.pixel(1, 4), qRgb(5, 131, 0));
    QCOMPARE(image.pixel(49, 4), qRgb(255, 255, 0));
    QCOMPARE(image.pixel(50, 4), qRgb(255, 255, 0));
    QCOMPARE(image.pixel(99, 4), qRgb(255, 0, 0));
  }

  void gradientColour_data() {
    QTest::addColumn<quint32>("from");
    QTest::addColumn<quint32>("to");
    QTest::addColumn<int>("step");
    QTest::addColumn<int>("steps");
    QTest::addColumn<quint32>("expected");
    QTest::newRow("first step") << quint32(clGreen) << quint32(clYellow) << 1 << 50
                                << quint32(clGreen);
    QTest::newRow("second step") << quint32(clGreen) << quint32(clYellow) << 2 << 50
                                 << quint32(RGBToColor(5, 131, 0));
    QTest::newRow("last step") << quint32(clGreen) << quint32(clYellow) << 50 << 50
                               << quint32(clYellow);
    QTest::newRow("single step gives the start")
        << quint32(clRed) << quint32(clLime) << 1 << 1 << quint32(clRed);
    // Halves away from zero in both directions: 1 * 255 / 2 = 127.5.
    QTest::newRow("half rounds up")
        << quint32(clBlack) << quint32(clWhite) << 2 << 3 << quint32(RGBToColor(128, 128, 128));
    QTest::newRow("half rounds down")
        << quint32(clWhite) << quint32(clBlack) << 2 << 3 << quint32(RGBToColor(127, 127, 127));
  }
  void gradientColour() {
    QFETCH(quint32, from);
    QFETCH(quint32, to);
    QFETCH(int, step);
    QFETCH(int, steps);
    QFETCH(quint32, expected);
    QCOMPARE(GradientColor(from, to, step, steps, QPalette()), TColor(expected));
  }

  void gradientColourRangeError_data() {
    QTest::addColumn<int>("step");
    QTest::addColumn<int>("steps");
    QTest::newRow("step 0") << 0 << 50;
    QTest::newRow("beyond the last") << 51 << 50;
    QTest::newRow("empty ramp") << 1 << 0;
  }
  void gradientColourRangeError() {
    QFETCH(int, step);
    QFETCH(int, steps);
    try {
      GradientColor(clRed, clLime, step, steps, QPalette());
      QFAIL("no range error");
    } catch (const ERangeError& error) {
      QCOMPARE(error.Message(),
               QStringLiteral("ColorIndex can't be less than 1 or greater than %1").arg(steps));
    }
  }

  void frameCorners_data() {
    QTest::addColumn<bool>("full");
    QTest::newRow("over the bar") << true;
    QTest::newRow("over the background") << false;
  }
  void frameCorners() {
    QFETCH(bool, full);
    auto* bar = new TALProgressBar(host.get());
    bar->setGeometry(0, 0, 50, 10);
    bar->SetShowPosText(false);
    bar->SetBorderColor1(clRed);
    bar->SetBorderColor2(clLime);
    bar->SetBackgroundColor(clSkyBlue);
    bar->SetPosition(full ? 100 : 0);
    const QImage image = Grab(bar);
    QCOMPARE(image.pixel(0, 0), Rgb(clRed));
    QCOMPARE(image.pixel(49, 0), Rgb(clRed));
    QCOMPARE(image.pixel(0, 9), Rgb(clRed));
    QCOMPARE(image.pixel(49, 9), Rgb(clLime));
    QCOMPARE(image.pixel(25, 9), Rgb(clLime));
    QCOMPARE(image.pixel(49, 5), Rgb(clLime));
    QCOMPARE(image.pixel(25, 0), Rgb(clRed));
    QCOMPARE(image.pixel(0, 5), Rgb(clRed));
  }

  void defaultFrameUsesSystemColours() {
    QPalette palette = host->palette();
    palette.setColor(QPalette::Dark, QColor(1, 2, 3));
    palette.setColor(QPalette::Light, QColor(4, 5, 6));
    palette.setColor(QPalette::Button, QColor(7, 8, 9));
    host->setPalette(palette);
    auto* bar = new TALProgressBar(host.get());
    bar->setGeometry(0, 0, 50, 10);
    bar->SetShowPosText(false);
    const QImage image = Grab(bar);
    QCOMPARE(image.pixel(0, 0), qRgb(1, 2, 3));
    QCOMPARE(image.pixel(49, 9), qRgb(4, 5, 6));
    QCOMPARE(image.pixel(20, 5), qRgb(7, 8, 9));  // clBtnFace background
  }

  void clNoneFrameLeavesTheBarImage() {
    // barVolume: frame colours clNone, frame on. The frame pixels show what lies beneath.
    auto* bar = VolumeBar();
    bar->SetPosition(0);
    const QImage image = Grab(bar);
    QCOMPARE(image.pixel(0, 0), qRgb(0, 128, 0));   // gradient start
    QCOMPARE(image.pixel(99, 8), qRgb(255, 0, 0));  // gradient end
    QCOMPARE(image.pixel(50, 0), qRgb(255, 255, 0));
    QCOMPARE(image.pixel(50, 4), Rgb(clSkyBlue));  // inside: the empty bar
  }

  void tilesStartAtTheTopLeft_data() {
    QTest::addColumn<TProgressDirection>("direction");
    QTest::addColumn<int>("tileWidth");
    QTest::addColumn<int>("tileHeight");
    QTest::newRow("16x4, left to right") << pdLeftToRight << 16 << 4;
    QTest::newRow("16x4, right to left") << pdRightToLeft << 16 << 4;
    QTest::newRow("16x4, bottom to top") << pdBottomToTop << 16 << 4;
    QTest::newRow("3x2 texture") << pdLeftToRight << 3 << 2;
    QTest::newRow("larger than the bar") << pdLeftToRight << 150 << 12;
  }
  void tilesStartAtTheTopLeft() {
    QFETCH(TProgressDirection, direction);
    QFETCH(int, tileWidth);
    QFETCH(int, tileHeight);
    const QImage tile = PatternImage(tileWidth, tileHeight);
    auto* bar = new TALProgressBar(host.get());
    bar->setGeometry(0, 0, 100, 9);
    bar->SetShowBorder(false);
    bar->SetShowPosText(false);
    bar->SetDirection(direction);
    bar->SetBarBitmap(tile);
    bar->SetPosition(100);
    const QImage image = Grab(bar);
    for (int y = 0; y < 9; ++y)
      for (int x = 0; x < 100; ++x)
        QCOMPARE(image.pixel(x, y), tile.pixel(x % tileWidth, y % tileHeight));
  }

  void barBitmapIsCopied() {
    QImage tile = Solid(4, 4, Qt::red);
    auto* bar = new TALProgressBar(host.get());
    bar->setGeometry(0, 0, 40, 9);
    bar->SetShowPosText(false);
    bar->SetBarBitmap(tile);
    bar->SetPosition(100);
    tile.fill(Qt::blue);
    QCOMPARE(Grab(bar).pixel(10, 4), qRgb(255, 0, 0));
    // Assigning nothing empties it: the gradient is back.
    bar->SetBarBitmap(QImage());
    QVERIFY(bar->BarBitmap().isNull());
    TALProgressBar fresh;
    fresh.resize(40, 9);
    fresh.SetShowPosText(false);
    fresh.SetPosition(100);
    QCOMPARE(Grab(bar), Grab(&fresh));
  }

  void positionSetterIgnores_data() {
    QTest::addColumn<int>("min");
    QTest::addColumn<int>("max");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("value");
    QTest::addColumn<bool>("taken");
    QTest::newRow("inside") << 0 << 100 << 10 << 20 << true;
    QTest::newRow("the same value") << 0 << 100 << 10 << 10 << false;
    QTest::newRow("max + 1") << 0 << 100 << 10 << 101 << false;
    QTest::newRow("min - 1") << 0 << 100 << 10 << -1 << false;
    QTest::newRow("exactly max") << 0 << 100 << 10 << 100 << true;
    QTest::newRow("exactly min") << 0 << 100 << 10 << 0 << true;
    QTest::newRow("min above max") << 50 << 40 << 0 << 45 << false;
    QTest::newRow("max 0, value 0 (song bar after stop)") << 0 << 0 << 1 << 0 << true;
  }
  void positionSetterIgnores() {
    QFETCH(int, min);
    QFETCH(int, max);
    QFETCH(int, start);
    QFETCH(int, value);
    QFETCH(bool, taken);
    auto* bar = new TALProgressBar(host.get());
    bar->setGeometry(0, 0, 100, 9);
    bar->show();
    bar->SetPosition(start);
    bar->SetMin(min);
    bar->SetMax(max);
    QCOMPARE(bar->Position(), start);
    QApplication::processEvents();
    TPaintCounter counter(bar);
    bar->SetPosition(value);
    // Drawn at once, without going back to the event loop.
    QCOMPARE(counter.count, taken ? 1 : 0);
    QCOMPARE(bar->Position(), taken ? value : start);
  }

  void settersRepaintAtOnce_data() {
    QTest::addColumn<int>("which");
    for (int i = 0; i < 15; ++i) QTest::newRow(qPrintable(QString::number(i))) << i;
  }
  void settersRepaintAtOnce() {
    QFETCH(int, which);
    auto* bar = new TALProgressBar(host.get());
    bar->setGeometry(0, 0, 100, 9);
    bar->show();
    QApplication::processEvents();
    TPaintCounter counter(bar);
    switch (which) {
      case 0:
        bar->SetBackgroundColor(clRed);
        break;
      case 1:
        bar->SetBarBitmap(Solid(2, 2, Qt::red));
        break;
      case 2:
        bar->SetBarColor1(clRed);
        break;
      case 3:
        bar->SetBarColor2(clRed);
        break;
      case 4:
        bar->SetBarColor3(clGreen);
        break;
      case 5:
        bar->SetBarColorStyle(cs2Colors);
        break;
      case 6:
        bar->SetBorderColor1(clRed);
        break;
      case 7:
        bar->SetBorderColor2(clRed);
        break;
      case 8:
        bar->SetDirection(pdRightToLeft);
        break;
      case 9:
        bar->SetMax(7);
        break;
      case 10:
        bar->SetMin(-7);
        break;
      case 11:
        bar->SetPercentage(true);
        break;
      case 12:
        bar->SetPosTextPrefix("a");
        break;
      case 13:
        bar->SetShowBorder(false);
        break;
      case 14:
        bar->SetShowPosText(false);
        break;
    }
    QCOMPARE(counter.count, 1);
  }

  void positionChangeKeepsTheCachedImage() {
    auto* bar = new TALProgressBar(host.get());
    bar->setGeometry(0, 0, 100, 9);
    bar->show();
    bar->SetShowPosText(false);
    bar->SetShowBorder(false);
    bar->SetBarBitmap(Solid(4, 4, Qt::red));
    bar->SetPosition(50);
    // Loaded straight into the owned bitmap: nothing is drawn by that.
    TPaintCounter counter(bar);
    bar->BarBitmapObject() = Solid(4, 4, Qt::blue);
    QCOMPARE(counter.count, 0);
    // A Position change draws from the cache: still red.
    bar->SetPosition(80);
    QCOMPARE(counter.count, 1);
    QCOMPARE(bar->BufferBitmap().pixel(70, 4), qRgb(255, 0, 0));
    QCOMPARE(bar->BufferBitmap().pixel(90, 4), bar->BufferBitmap().pixel(95, 4));
    // The next full paint rebuilds the cache from the new bitmap.
    QCOMPARE(Grab(bar).pixel(70, 4), qRgb(0, 0, 255));
    // And another setter does too.
    bar->BarBitmapObject() = Solid(4, 4, Qt::green);
    bar->SetBackgroundColor(clBlack);
    QCOMPARE(bar->BufferBitmap().pixel(70, 4), qRgb(0, 255, 0));
    QCOMPARE(bar->BufferBitmap().pixel(90, 4), qRgb(0, 0, 0));
  }

  // The position text, checked by drawing bars that must show the same text.
  void positionText_data() {
    QTest::addColumn<bool>("percentage");
    QTest::addColumn<int>("max");
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("prefix");
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<int>("plainNumber");
    QTest::newRow("12.5 % reads 12") << true << 8 << 1 << ""
                                     << "" << 12;
    QTest::newRow("37.5 % reads 38") << true << 8 << 3 << ""
                                     << "" << 38;
    QTest::newRow("max 0 reads 0") << true << 0 << 0 << ""
                                   << "" << 0;
    QTest::newRow("prefix and suffix join") << false << 200 << 2 << "1"
                                            << "3" << 123;
    QTest::newRow("percentage ignores min") << true << 200 << 100 << ""
                                            << "" << 50;
  }
  void positionText() {
    QFETCH(bool, percentage);
    QFETCH(int, max);
    QFETCH(int, position);
    QFETCH(QString, prefix);
    QFETCH(QString, suffix);
    QFETCH(int, plainNumber);
    // A flat bar in one colour, so only the text differs between bars.
    auto makeBar = [&] {
      auto* bar = new TALProgressBar(host.get());
      bar->setGeometry(0, 0, 120, 24);
      bar->SetShowBorder(false);
      bar->SetBarColorStyle(cs1Color);
      bar->SetBarColor1(clWhite);
      bar->SetBackgroundColor(clWhite);
      bar->SetFontColor(clBlack);
      bar->SetMax(1000);
      return bar;
    };
    auto* tested = makeBar();
    tested->SetMax(max);
    tested->SetMin(percentage && max > 0 ? -50 : 0);
    tested->SetPercentage(percentage);
    tested->SetPosTextPrefix(prefix);
    tested->SetPosTextSuffix(suffix);
    tested->SetPosition(position);
    auto* reference = makeBar();
    reference->SetPosition(plainNumber);
    auto* other = makeBar();
    other->SetPosition(plainNumber + 1);

    const QImage image = Grab(tested);
    QCOMPARE(image, Grab(reference));
    QVERIFY(image != Grab(other));
    // Centred: dark pixels around the middle, none at the ends.
    bool inkInMiddle = false;
    for (int x = 45; x < 75; ++x)
      for (int y = 0; y < 24; ++y) inkInMiddle |= qGray(image.pixel(x, y)) < 128;
    QVERIFY(inkInMiddle);
    for (int y = 0; y < 24; ++y) {
      QCOMPARE(image.pixel(2, y), qRgb(255, 255, 255));
      QCOMPARE(image.pixel(117, y), qRgb(255, 255, 255));
    }
  }

  void fontChangeRedraws() {
    auto* bar = new TALProgressBar(host.get());
    bar->setGeometry(0, 0, 120, 30);
    bar->show();
    bar->SetPosition(88);
    QApplication::processEvents();
    const QImage before = bar->BufferBitmap();
    TPaintCounter counter(bar);
    QFont font = bar->font();
    font.setPixelSize(20);
    bar->setFont(font);
    QCOMPARE(counter.count, 1);
    QVERIFY(bar->BufferBitmap() != before);
  }

  // Mouse events go through the window, as the platform delivers them, so the implicit grab
  // of a press is what is tested.
  void mouseCaptureAfterAPress_data() {
    QTest::addColumn<int>("button");
    QTest::newRow("left") << int(Qt::LeftButton);
    QTest::newRow("right") << int(Qt::RightButton);
  }
  void mouseCaptureAfterAPress() {
    QFETCH(int, button);
    auto* bar = VolumeBar();
    bar->move(235, 56);
    QStringList log;
    bar->SetOnMouseDown(
        [&](QObject* sender, Qt::MouseButton b, Qt::KeyboardModifiers shift, int x, int y) {
          QCOMPARE(sender, static_cast<QObject*>(bar));
          log << QStringLiteral("down %1 %2 %3 shift=%4")
                     .arg(int(b))
                     .arg(x)
                     .arg(y)
                     .arg(bool(shift & Qt::ShiftModifier));
        });
    bar->SetOnMouseMove(
        [&](QObject*, Qt::MouseButtons buttons, Qt::KeyboardModifiers, int x, int y) {
          log << QStringLiteral("move %1 %2 %3").arg(int(buttons)).arg(x).arg(y);
        });
    bar->SetOnMouseUp([&](QObject*, Qt::MouseButton b, Qt::KeyboardModifiers, int x, int y) {
      log << QStringLiteral("up %1 %2 %3").arg(int(b)).arg(x).arg(y);
    });
    bar->SetOnClick([&](QObject*) { log << "click"; });
    QWindow* window = host->windowHandle();
    const auto b = Qt::MouseButton(button);
    QTest::mousePress(window, b, Qt::ShiftModifier, QPoint(245, 60));
    QTest::mouseMove(window, QPoint(390, 200));  // far right, below the bar
    QTest::mouseMove(window, QPoint(10, 20));    // left of it
    QTest::mouseRelease(window, b, {}, QPoint(5, 250));
    // The platform moves the pointer to each press and release position first.
    const QStringList expected{QStringLiteral("move 0 10 4"),
                               QStringLiteral("down %1 10 4 shift=1").arg(button),
                               QStringLiteral("move %1 155 144").arg(button),
                               QStringLiteral("move %1 -225 -36").arg(button),
                               QStringLiteral("move %1 -230 194").arg(button),
                               QStringLiteral("up %1 -230 194").arg(button)};
    QCOMPARE(log, expected);  // released outside: no click
  }

  void clickAndHover() {
    auto* bar = VolumeBar();
    int clicks = 0, moves = 0, doubles = 0, downs = 0;
    bar->SetOnClick([&](QObject*) { ++clicks; });
    bar->SetOnDblClick([&](QObject*) { ++doubles; });
    bar->SetOnMouseDown(
        [&](QObject*, Qt::MouseButton, Qt::KeyboardModifiers, int, int) { ++downs; });
    bar->SetOnMouseMove(
        [&](QObject*, Qt::MouseButtons, Qt::KeyboardModifiers, int, int) { ++moves; });
    QWindow* window = host->windowHandle();
    QTest::mouseMove(window, QPoint(20, 12));
    QCOMPARE(moves, 1);  // no button needed
    QTest::mouseClick(window, Qt::LeftButton, {}, QPoint(20, 12));
    QCOMPARE(clicks, 1);
    QTest::mouseClick(window, Qt::RightButton, {}, QPoint(20, 12));
    QCOMPARE(clicks, 1);
    QTest::mouseDClick(window, Qt::LeftButton, {}, QPoint(30, 12));
    QCOMPARE(doubles, 1);
    QCOMPARE(downs, 4);  // both presses of the double-click reach OnMouseDown
  }

  // Bad sizes and values: drawn without a crash, a hang or a division by zero.
  void badInputDrawsSafely_data() {
    QTest::addColumn<QSize>("size");
    QTest::addColumn<TBarColorStyle>("style");
    QTest::addColumn<TProgressDirection>("direction");
    QTest::addColumn<QSize>("bitmap");
    QTest::addColumn<bool>("border");
    const QList<QSize> sizes{QSize(0, 0), QSize(1, 1), QSize(2, 2),  QSize(1, 9),
                             QSize(0, 9), QSize(3, 0), QSize(-5, -5)};
    for (const QSize& size : sizes)
      for (TBarColorStyle style : {cs1Color, cs2Colors, cs3Colors})
        for (TProgressDirection direction : {pdLeftToRight, pdBottomToTop})
          for (bool border : {true, false})
            QTest::newRow(qPrintable(QStringLiteral("%1x%2 style %3 dir %4 border %5")
                                         .arg(size.width())
                                         .arg(size.height())
                                         .arg(int(style))
                                         .arg(int(direction))
                                         .arg(border)))
                << size << style << direction << QSize() << border;
    QTest::newRow("bitmap 0x0") << QSize(100, 9) << cs3Colors << pdLeftToRight << QSize(0, 0)
                                << true;
    QTest::newRow("bitmap 1x1") << QSize(320, 9) << cs3Colors << pdLeftToRight << QSize(1, 1)
                                << true;
    QTest::newRow("bitmap 1x1 on 0x0")
        << QSize(0, 0) << cs3Colors << pdLeftToRight << QSize(1, 1) << true;
  }
  void badInputDrawsSafely() {
    QFETCH(QSize, size);
    QFETCH(TBarColorStyle, style);
    QFETCH(TProgressDirection, direction);
    QFETCH(QSize, bitmap);
    QFETCH(bool, border);
    auto* bar = new TALProgressBar(host.get());
    bar->show();
    bar->resize(size);
    bar->SetShowBorder(border);
    bar->SetBarColorStyle(style);
    bar->SetDirection(direction);
    if (bitmap.isValid())
      bar->SetBarBitmap(bitmap.isEmpty() ? QImage(bitmap, QImage::Format_RGB32)
                                         : Solid(bitmap.width(), bitmap.height(), Qt::red));
    for (int position : {0, 1, 50, 100}) bar->SetPosition(position);
    bar->SetMin(200);  // Min above Max
    bar->SetPercentage(true);
    bar->SetMax(0);
    QCOMPARE(Grab(bar).size(), size.isEmpty() ? QSize(0, 0) : size);
    if (size.isEmpty()) return;
    bar->SetShowPosText(false);
    const QImage image = Grab(bar);
    // The frame still goes on top of whatever the bar drew.
    if (border) QCOMPARE(image.pixel(0, 0), ToQColor(clBtnShadow, bar->palette()).rgb());
  }

  void tinyThreeColourBars_data() {
    QTest::addColumn<int>("width");
    QTest::addColumn<QList<quint32>>("columns");
    // Width 1: the first segment is empty, the second has one step in its start colour.
    QTest::newRow("width 1") << 1 << QList<quint32>{clWhite};
    // Width 2: one step each, each in its start colour.
    QTest::newRow("width 2") << 2 << QList<quint32>{clRed, clWhite};
    QTest::newRow("width 3") << 3 << QList<quint32>{clRed, clWhite, clBlack};
  }
  void tinyThreeColourBars() {
    QFETCH(int, width);
    QFETCH(QList<quint32>, columns);
    auto* bar = new TALProgressBar(host.get());
    bar->setGeometry(0, 0, width, 5);
    bar->SetShowBorder(false);
    bar->SetShowPosText(false);
    bar->SetBarColor1(clRed);
    bar->SetBarColor2(clWhite);
    bar->SetBarColor3(clBlack);
    bar->SetPosition(100);
    const QImage image = Grab(bar);
    for (int x = 0; x < width; ++x) QCOMPARE(image.pixel(x, 2), Rgb(columns[x]));
  }
};

QTEST_MAIN(TestALProgressBar)
#include "tst_alprogressbar.moc"
