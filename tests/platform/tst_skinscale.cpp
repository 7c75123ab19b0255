// The whole-number scale: the rules that choose it, the "scale" setting, and a window drawn at
// it (each skin pixel an n x n block, the same picture again at 1x).
#include <QPainter>
#include <QtTest>

#include "platform/skinscale.h"
#include "support/tempprogramdir.h"

namespace {

// A window of skin pixels: a one-pixel checkerboard, the hardest case for block scaling.
class TChecker : public QWidget {
 public:
  TChecker() : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint) { setFixedSize(40, 20); }

 protected:
  void paintEvent(QPaintEvent*) override {
    QImage image(size(), QImage::Format_RGB32);
    for (int y = 0; y < height(); ++y)
      for (int x = 0; x < width(); ++x)
        image.setPixel(x, y, (x + y) % 2 ? qRgb(200, 30, 30) : qRgb(20, 40, 220));
    QPainter(this).drawImage(0, 0, image);
  }
};

QImage Grab(QWidget& widget) {
  return widget.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

}  // namespace

class TestSkinScale : public QObject {
  Q_OBJECT
 private slots:
  void cleanup() { TSkinScale::Apply(1); }
  void scaleChosen_data();
  void scaleChosen();
  void screenFactor_data();
  void screenFactor();
  void xftDpi_data();
  void xftDpi();
  void setting_data();
  void setting();
  void windowDrawnInBlocks_data();
  void windowDrawnInBlocks();
};

void TestSkinScale::scaleChosen_data() {
  QTest::addColumn<int>("setting");
  QTest::addColumn<double>("desktop");
  QTest::addColumn<int>("scale");
  QTest::newRow("1x desktop") << 0 << 1.0 << 1;
  QTest::newRow("1.49 rounds down") << 0 << 1.49 << 1;
  QTest::newRow("1.5 gives 2") << 0 << 1.5 << 2;
  QTest::newRow("2.5 gives 3") << 0 << 2.5 << 3;
  QTest::newRow("4 capped at 3") << 0 << 4.0 << 3;
  QTest::newRow("0.5 at least 1") << 0 << 0.5 << 1;
  QTest::newRow("not a number") << 0 << std::nan("") << 1;
  QTest::newRow("infinite") << 0 << std::numeric_limits<double>::infinity() << 1;
  QTest::newRow("1 fixed on a 2x desktop") << 1 << 2.0 << 1;
  QTest::newRow("2 fixed on a 1x desktop") << 2 << 1.0 << 2;
  QTest::newRow("4 is no setting") << 4 << 1.0 << 1;
  QTest::newRow("-1 is no setting") << -1 << 2.0 << 2;
}

void TestSkinScale::scaleChosen() {
  QFETCH(int, setting);
  QFETCH(double, desktop);
  QTEST(TSkinScale::ScaleFor(setting, desktop), "scale");
}

void TestSkinScale::screenFactor_data() {
  QTest::addColumn<QString>("value");
  QTest::addColumn<QString>("name");
  QTest::addColumn<int>("index");
  QTest::addColumn<double>("factor");
  QTest::newRow("unset") << ""
                         << "DP-1" << 0 << 0.0;
  QTest::newRow("one factor, first screen") << "1.5"
                                            << "DP-1" << 0 << 1.5;
  QTest::newRow("by order, second screen") << "1;2"
                                           << "HDMI-1" << 1 << 2.0;
  QTest::newRow("by order, none for it") << "1.5"
                                         << "HDMI-1" << 1 << 0.0;
  QTest::newRow("by name") << "DP-1=1.25;HDMI-1=2"
                           << "HDMI-1" << 0 << 2.0;
  QTest::newRow("blanks around") << " 1.5 ; 2 "
                                 << "x" << 0 << 1.5;
  QTest::newRow("not a number") << "big"
                                << "x" << 0 << 0.0;
}

void TestSkinScale::screenFactor() {
  QFETCH(QString, value);
  QFETCH(QString, name);
  QFETCH(int, index);
  QTEST(TSkinScale::ScreenFactorFromEnvironment(value, name, index), "factor");
}

void TestSkinScale::xftDpi_data() {
  QTest::addColumn<QByteArray>("resources");
  QTest::addColumn<double>("dpi");
  QTest::newRow("none") << QByteArray() << 0.0;
  QTest::newRow("among others, as xrdb stores it")
      << QByteArray("Xcursor.size:\t24\nXft.dpi:\t192\nXft.hinting:\t1\n") << 192.0;
  QTest::newRow("blank before the colon") << QByteArray("Xft.dpi : 120") << 120.0;
  QTest::newRow("fractional") << QByteArray("Xft.dpi:\t96.5\n") << 96.5;
  QTest::newRow("a longer name is another resource") << QByteArray("Xft.dpiX:\t192\n") << 0.0;
  QTest::newRow("garbage value") << QByteArray("Xft.dpi:\tlarge\n") << 0.0;
}

void TestSkinScale::xftDpi() {
  QFETCH(QByteArray, resources);
  QTEST(TSkinScale::XftDpi(resources), "dpi");
}

void TestSkinScale::setting_data() {
  QTest::addColumn<QByteArray>("settings");
  QTest::addColumn<int>("setting");
  QTest::newRow("no file") << QByteArray() << 0;
  QTest::newRow("no key") << QByteArray("[main]\nleft=3\n") << 0;
  QTest::newRow("2") << QByteArray("[main]\nscale=2\n") << 2;
  QTest::newRow("3, odd case") << QByteArray("[MAIN]\r\nScale=3\r\n") << 3;
  QTest::newRow("4 is out of range") << QByteArray("[main]\nscale=4\n") << 0;
  QTest::newRow("text") << QByteArray("[main]\nscale=double\n") << 0;
  QTest::newRow("binary garbage") << QByteArray("\x00\xff[main]\nscale=\x01\n", 18) << 0;
}

void TestSkinScale::setting() {
  QFETCH(QByteArray, settings);
  QFETCH(int, setting);
  TTempProgramDir dir(TTempProgramDir::Skin::None);
  if (!settings.isNull()) dir.Write("settings.ini", settings);
  QCOMPARE(TSkinScale::ReadSetting(), setting);
  QVERIFY(TSkinScale::SettingDiffers(1));  // no row stores 1
  TSkinScale::WriteSetting(1);
  QCOMPARE(TSkinScale::ReadSetting(), 1);
  QVERIFY(!TSkinScale::SettingDiffers(1));
  // Every other line stays as it was.
  const QByteArray after = dir.Read("settings.ini");
  for (const QByteArray& line : settings.split('\n'))
    if (!line.toLower().contains("scale=")) QVERIFY2(after.contains(line), line.constData());
}

void TestSkinScale::windowDrawnInBlocks_data() {
  QTest::addColumn<int>("scale");
  QTest::newRow("2x") << 2;
  QTest::newRow("3x") << 3;
  QTest::newRow("5 is drawn at 3x") << 5;
}

void TestSkinScale::windowDrawnInBlocks() {
  QFETCH(int, scale);
  const int n = std::min(scale, TSkinScale::kMaxScale);
  TChecker window;
  window.move(30, 40);
  window.show();
  QVERIFY(QTest::qWaitForWindowExposed(&window));
  const QImage single = Grab(window);
  QCOMPARE(single.size(), QSize(40, 20));

  TSkinScale::Apply(scale);
  QCOMPARE(TSkinScale::Current(), n);
  const QImage scaled = Grab(window);
  // The same window in skin pixels, n times the device pixels, each skin pixel one block.
  QCOMPARE(window.geometry(), QRect(30, 40, 40, 20));
  QCOMPARE(scaled.size(), QSize(40 * n, 20 * n));
  for (int y = 0; y < scaled.height(); ++y)
    for (int x = 0; x < scaled.width(); ++x)
      QCOMPARE(scaled.pixel(x, y), single.pixel(x / n, y / n));

  TSkinScale::Apply(1);
  QCOMPARE(Grab(window), single);
}

QTEST_MAIN(TestSkinScale)
#include "tst_skinscale.moc"
