// The list's scroll bar in the skin's colours: colours taken from the wallpaper, and a list
// that overflows drawing its bar in them (never the desktop's white), at 1x and scaled.
#include <QStyleOptionSlider>
#include <QtTest>

#include "controls/dtlistbox.h"
#include "controls/skinscrollbar.h"
#include "platform/skinscale.h"

namespace {

QImage Stripes(const QList<QColor>& colours, int rowsEach) {
  QImage image(8, int(colours.size()) * rowsEach, QImage::Format_RGB32);
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) image.setPixel(x, y, colours[y / rowsEach].rgb());
  return image;
}

int Gray(const QColor& colour) {
  return qGray(colour.rgb());
}

QStringList Rows(int count) {
  QStringList rows;
  for (int i = 0; i < count; ++i) rows << QString::number(i);
  return rows;
}

}  // namespace

class TestSkinScrollBar : public QObject {
  Q_OBJECT
 private slots:
  void colours_data();
  void colours();
  void barDrawnInTheColours_data();
  void barDrawnInTheColours();
};

void TestSkinScrollBar::colours_data() {
  QTest::addColumn<QImage>("wallpaper");
  QTest::addColumn<QColor>("fallback");
  QTest::addColumn<QColor>("track");  // invalid: only darker than the thumb is checked
  QTest::addColumn<QColor>("thumb");
  const QColor navy(10, 20, 60), sky(150, 190, 240);
  QTest::newRow("two colours: dark track, light thumb")
      << Stripes({navy, sky}, 4) << QColor(Qt::white) << navy << sky;
  QTest::newRow("the quarters' means")
      << Stripes(
             {QColor(0, 0, 0), QColor(40, 40, 40), QColor(100, 100, 100), QColor(200, 200, 200)}, 1)
      << QColor(Qt::white) << QColor(0, 0, 0) << QColor(200, 200, 200);
  QTest::newRow("flat dark picture: darker track, lighter thumb")
      << Stripes({navy}, 4) << QColor(Qt::white) << QColor(6, 12, 36) << QColor(108, 114, 138);
  QTest::newRow("flat light picture") << Stripes({QColor(220, 220, 200)}, 4) << QColor(Qt::black)
                                      << QColor(132, 132, 120) << QColor(234, 234, 222);
  QTest::newRow("near-flat slate, as the default skin")
      << Stripes({QColor(110, 122, 137), QColor(124, 136, 151)}, 2) << QColor(Qt::white)
      << QColor(66, 73, 82) << QColor(176, 184, 193);
  QTest::newRow("no picture: from the list's colour")
      << QImage() << QColor(192, 192, 192) << QColor(115, 115, 115) << QColor(217, 217, 217);
  QTest::newRow("large picture is sampled")
      << Stripes({navy, sky}, 500) << QColor(Qt::white) << navy << sky;
}

void TestSkinScrollBar::colours() {
  QFETCH(QImage, wallpaper);
  QFETCH(QColor, fallback);
  QFETCH(QColor, track);
  QFETCH(QColor, thumb);
  const TScrollColors colours = TSkinScrollBar::ColorsFromWallpaper(wallpaper, fallback);
  QCOMPARE(colours.track, track);
  QCOMPARE(colours.thumb, thumb);
  QVERIFY(Gray(colours.thumb) - Gray(colours.track) >= 48);
}

void TestSkinScrollBar::barDrawnInTheColours_data() {
  QTest::addColumn<int>("scale");
  QTest::newRow("1x") << 1;
  QTest::newRow("2x") << 2;
}

void TestSkinScrollBar::barDrawnInTheColours() {
  QFETCH(int, scale);
  const QColor navy(10, 20, 60), sky(150, 190, 240);
  QWidget form(nullptr, Qt::Window | Qt::FramelessWindowHint);
  form.setFixedSize(344, 116);
  TdtListBox list(&form);
  list.setGeometry(4, 4, 336, 86);
  list.SetBorderStyle(bsNone);
  list.SetItemHeight(12);
  list.SetBackgroundWallpaper(Stripes({navy, sky}, 3));
  list.SetItems(Rows(30));
  form.show();
  QVERIFY(QTest::qWaitForWindowExposed(&form));
  TSkinScale::Apply(scale);

  auto* bar = qobject_cast<TSkinScrollBar*>(list.verticalScrollBar());
  QVERIFY(bar);
  QVERIFY(bar->isVisible());
  QCOMPARE(bar->Colors().track, navy);
  QCOMPARE(bar->Colors().thumb, sky);

  const QImage image = bar->grab().toImage().convertToFormat(QImage::Format_RGB32);
  TSkinScale::Apply(1);
  QCOMPARE(image.size(), bar->size() * scale);
  // Track and thumb (with the arrows) only: nothing of the desktop's light default is left.
  int thumbPixels = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) {
      const QColor pixel(image.pixel(x, y));
      QVERIFY2(pixel == navy || pixel == sky, qPrintable(QStringLiteral("%1,%2").arg(x).arg(y)));
      thumbPixels += pixel == sky;
    }
  // The thumb: some rows of the bar (7 of 30 items shown), one track pixel either side; the
  // left column is track all the way down.
  QVERIFY(thumbPixels > image.height() / 10 * (image.width() - 2 * scale));
  for (int y = 0; y < image.height(); ++y) QCOMPARE(QColor(image.pixel(0, y)), navy);
}

QTEST_MAIN(TestSkinScrollBar)
#include "tst_skinscrollbar.moc"
