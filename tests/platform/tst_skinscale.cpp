// The whole-number scale: the rules that choose it, the "scale" setting, and windows drawn at
// it (each skin pixel an n x n block, the same picture again at 1x).
#include <QPainter>
#include <QtTest>

#include "platform/errors.h"
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

// Every n x n block of the image is one colour.
bool BlocksUniform(const QImage& image, int n) {
  for (int y = 0; y + n <= image.height(); y += n)
    for (int x = 0; x + n <= image.width(); x += n)
      for (int dy = 0; dy < n; ++dy)
        for (int dx = 0; dx < n; ++dx)
          if (image.pixel(x + dx, y + dy) != image.pixel(x, y)) return false;
  return true;
}

}  // namespace

class TestSkinScale : public QObject {
  Q_OBJECT
 private slots:
  void cleanup() { TSkinScale::Apply(1); }
  void wholeScale_data();
  void wholeScale();
  void scaleFor_data();
  void scaleFor();
  void toggled_data();
  void toggled();
  void screenFactor_data();
  void screenFactor();
  void xftDpi_data();
  void xftDpi();
  void readSetting_data();
  void readSetting();
  void writeKeepsOtherKeys();
  void settingDiffers_data();
  void settingDiffers();
  void readOnlySettingIsReported();
  void windowDrawnInBlocks_data();
  void windowDrawnInBlocks();
};

void TestSkinScale::wholeScale_data() {
  QTest::addColumn<double>("factor");
  QTest::addColumn<int>("scale");
  QTest::newRow("1") << 1.0 << 1;
  QTest::newRow("1.25 stays single") << 1.25 << 1;
  QTest::newRow("1.49") << 1.49 << 1;
  QTest::newRow("1.5 gives 2") << 1.5 << 2;
  QTest::newRow("1.75") << 1.75 << 2;
  QTest::newRow("2") << 2.0 << 2;
  QTest::newRow("2.5 gives 3") << 2.5 << 3;
  QTest::newRow("4 capped at 3") << 4.0 << 3;
  QTest::newRow("0.5 at least 1") << 0.5 << 1;
  QTest::newRow("0") << 0.0 << 1;
  QTest::newRow("negative") << -2.0 << 1;
  QTest::newRow("not a number") << std::nan("") << 1;
  QTest::newRow("infinite") << std::numeric_limits<double>::infinity() << 1;
}

void TestSkinScale::wholeScale() {
  QFETCH(double, factor);
  QFETCH(int, scale);
  QCOMPARE(TSkinScale::WholeScale(factor), scale);
}

void TestSkinScale::scaleFor_data() {
  QTest::addColumn<int>("setting");
  QTest::addColumn<double>("desktop");
  QTest::addColumn<int>("scale");
  QTest::newRow("0 follows a 1.5 desktop") << 0 << 1.5 << 2;
  QTest::newRow("0 follows a 1x desktop") << 0 << 1.0 << 1;
  QTest::newRow("0 follows a 3x desktop") << 0 << 3.0 << 3;
  QTest::newRow("1 fixed on a 2x desktop") << 1 << 2.0 << 1;
  QTest::newRow("2 fixed on a 1x desktop") << 2 << 1.0 << 2;
  QTest::newRow("3 fixed") << 3 << 1.0 << 3;
  QTest::newRow("4 is not a setting") << 4 << 1.0 << 1;
  QTest::newRow("-1 is not a setting") << -1 << 2.0 << 2;
}

void TestSkinScale::scaleFor() {
  QFETCH(int, setting);
  QFETCH(double, desktop);
  QFETCH(int, scale);
  QCOMPARE(TSkinScale::ScaleFor(setting, desktop), scale);
}

void TestSkinScale::toggled_data() {
  QTest::addColumn<int>("from");
  QTest::addColumn<int>("to");
  QTest::newRow("1 to 2") << 1 << 2;
  QTest::newRow("2 to 1") << 2 << 1;
  QTest::newRow("3 to 1") << 3 << 1;
}

void TestSkinScale::toggled() {
  QFETCH(int, from);
  QFETCH(int, to);
  QCOMPARE(TSkinScale::Toggled(from), to);
}

void TestSkinScale::screenFactor_data() {
  QTest::addColumn<QString>("value");
  QTest::addColumn<QString>("name");
  QTest::addColumn<int>("index");
  QTest::addColumn<double>("factor");
  QTest::newRow("unset") << ""
                         << "DP-1" << 0 << 0.0;
  QTest::newRow("one factor for the first screen") << "1.5"
                                                   << "DP-1" << 0 << 1.5;
  QTest::newRow("by order, second screen") << "1;2"
                                           << "HDMI-1" << 1 << 2.0;
  QTest::newRow("by order, no entry for it") << "1.5"
                                             << "HDMI-1" << 1 << 0.0;
  QTest::newRow("by name") << "DP-1=1.25;HDMI-1=2"
                           << "HDMI-1" << 0 << 2.0;
  QTest::newRow("by name, other screen only") << "DP-1=1.25"
                                              << "HDMI-1" << 0 << 0.0;
  QTest::newRow("blanks around") << " 1.5 ; 2 "
                                 << "x" << 0 << 1.5;
  QTest::newRow("not a number") << "big"
                                << "x" << 0 << 0.0;
  QTest::newRow("negative") << "-2"
                            << "x" << 0 << 0.0;
}

void TestSkinScale::screenFactor() {
  QFETCH(QString, value);
  QFETCH(QString, name);
  QFETCH(int, index);
  QFETCH(double, factor);
  QCOMPARE(TSkinScale::ScreenFactorFromEnvironment(value, name, index), factor);
}

void TestSkinScale::xftDpi_data() {
  QTest::addColumn<QByteArray>("resources");
  QTest::addColumn<double>("dpi");
  QTest::newRow("none") << QByteArray() << 0.0;
  QTest::newRow("as xrdb stores it") << QByteArray("Xft.dpi:\t192\n") << 192.0;
  QTest::newRow("among others") << QByteArray(
                                       "Xcursor.size:\t24\nXft.antialias:\t1\nXft.dpi:\t144\n"
                                       "Xft.hinting:\t1\n")
                                << 144.0;
  QTest::newRow("blank before the colon") << QByteArray("Xft.dpi : 120") << 120.0;
  QTest::newRow("fractional") << QByteArray("Xft.dpi:\t96.5\n") << 96.5;
  QTest::newRow("a longer name is another resource") << QByteArray("Xft.dpiX:\t192\n") << 0.0;
  QTest::newRow("no value") << QByteArray("Xft.dpi:\n") << 0.0;
  QTest::newRow("garbage value") << QByteArray("Xft.dpi:\tlarge\n") << 0.0;
  QTest::newRow("zero") << QByteArray("Xft.dpi:\t0\n") << 0.0;
}

void TestSkinScale::xftDpi() {
  QFETCH(QByteArray, resources);
  QFETCH(double, dpi);
  QCOMPARE(TSkinScale::XftDpi(resources), dpi);
}

void TestSkinScale::readSetting_data() {
  QTest::addColumn<QByteArray>("settings");
  QTest::addColumn<int>("setting");
  QTest::newRow("no file") << QByteArray() << 0;
  QTest::newRow("no key") << QByteArray("[main]\nleft=3\n") << 0;
  QTest::newRow("0") << QByteArray("[main]\nscale=0\n") << 0;
  QTest::newRow("2") << QByteArray("[main]\nscale=2\n") << 2;
  QTest::newRow("3, odd case") << QByteArray("[MAIN]\r\nScale=3\r\n") << 3;
  QTest::newRow("4 is out of range") << QByteArray("[main]\nscale=4\n") << 0;
  QTest::newRow("negative") << QByteArray("[main]\nscale=-1\n") << 0;
  QTest::newRow("text") << QByteArray("[main]\nscale=double\n") << 0;
  QTest::newRow("other section") << QByteArray("[playlist]\nscale=2\n") << 0;
  QTest::newRow("binary garbage") << QByteArray("\x00\xff[main]\nscale=\x01\n", 18) << 0;
}

void TestSkinScale::readSetting() {
  QFETCH(QByteArray, settings);
  QFETCH(int, setting);
  TTempProgramDir dir(TTempProgramDir::Skin::None);
  if (!settings.isNull()) dir.Write("settings.ini", settings);
  QCOMPARE(TSkinScale::ReadSetting(), setting);
}

void TestSkinScale::writeKeepsOtherKeys() {
  TTempProgramDir dir(TTempProgramDir::Skin::None);
  const QByteArray before =
      "[main]\nleft=10\ntop=20\nvolume=1000\nrepeat=2\nshuffle=1\ntimetype=1\nlastdir=/m/\n"
      "[playlist]\nleft=10\ntop=136\nwidth=344\nheight=116\nvisible=1\n";
  dir.Write("settings.ini", before);
  TSkinScale::WriteSetting(2);
  const QByteArray after = dir.Read("settings.ini");
  QCOMPARE(TSkinScale::ReadSetting(), 2);
  // The new key joins its section; every other line stays as it was.
  QByteArray expected = before;
  expected.insert(expected.indexOf("[playlist]"), "scale=2\n");
  QCOMPARE(after, expected);
}

void TestSkinScale::settingDiffers_data() {
  QTest::addColumn<QByteArray>("settings");
  QTest::addColumn<int>("setting");
  QTest::addColumn<bool>("differs");
  QTest::newRow("no file") << QByteArray() << 0 << true;
  QTest::newRow("no key") << QByteArray("[main]\nleft=1\n") << 0 << true;
  QTest::newRow("same") << QByteArray("[main]\nscale=2\n") << 2 << false;
  QTest::newRow("other") << QByteArray("[main]\nscale=2\n") << 1 << true;
  QTest::newRow("garbage stored") << QByteArray("[main]\nscale=x\n") << 0 << true;
}

void TestSkinScale::settingDiffers() {
  QFETCH(QByteArray, settings);
  QFETCH(int, setting);
  QFETCH(bool, differs);
  TTempProgramDir dir(TTempProgramDir::Skin::None);
  if (!settings.isNull()) dir.Write("settings.ini", settings);
  QCOMPARE(TSkinScale::SettingDiffers(setting), differs);
}

void TestSkinScale::readOnlySettingIsReported() {
  TTempProgramDir dir(TTempProgramDir::Skin::None);
  dir.Write("settings.ini", "[main]\nscale=1\n");
  dir.MakeReadOnly("settings.ini");
  QVERIFY_THROWS_EXCEPTION(EIniFileException, TSkinScale::WriteSetting(2));
  QCOMPARE(dir.Read("settings.ini"), QByteArray("[main]\nscale=1\n"));
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
  const QImage single = window.grab().toImage().convertToFormat(QImage::Format_RGB32);
  QCOMPARE(single.size(), QSize(40, 20));

  TSkinScale::Apply(scale);
  QCOMPARE(TSkinScale::Current(), n);
  const QImage scaled = window.grab().toImage().convertToFormat(QImage::Format_RGB32);
  // Same window in skin pixels, n times the device pixels, each skin pixel one block.
  QCOMPARE(window.geometry(), QRect(30, 40, 40, 20));
  QCOMPARE(window.windowHandle()->devicePixelRatio(), qreal(n));
  QCOMPARE(scaled.size(), QSize(40 * n, 20 * n));
  QVERIFY(BlocksUniform(scaled, n));
  // Sampling one pixel of each block gives back the picture at 1x.
  QImage sampled = scaled.scaled(single.size());
  sampled.setDevicePixelRatio(1);
  QCOMPARE(sampled, single);

  TSkinScale::Apply(1);
  QCOMPARE(window.grab().toImage().convertToFormat(QImage::Format_RGB32), single);
}

QTEST_MAIN(TestSkinScale)
#include "tst_skinscale.moc"
