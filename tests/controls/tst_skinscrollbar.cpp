// The list's scroll bar in the skin's colours: colours taken from the wallpaper, and a list
// that overflows drawing its bar in them (never the desktop's white), at 1x and scaled.
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
const QColor navy(10, 20, 60), sky(150, 190, 240);
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
  QTest::addColumn<QColor>("track");
  QTest::addColumn<QColor>("thumb");
  QTest::newRow("two colours, large picture sampled")
      << Stripes({navy, sky}, 500) << QColor(Qt::white) << navy << sky;
  QTest::newRow("flat picture: darker track, lighter thumb")
      << Stripes({navy}, 4) << QColor(Qt::white) << QColor(6, 12, 36) << QColor(108, 114, 138);
  QTest::newRow("no picture: from the list's colour")
      << QImage() << QColor(192, 192, 192) << QColor(115, 115, 115) << QColor(217, 217, 217);
}

void TestSkinScrollBar::colours() {
  QFETCH(QImage, wallpaper);
  QFETCH(QColor, fallback);
  const TScrollColors colours = TSkinScrollBar::ColorsFromWallpaper(wallpaper, fallback);
  QTEST(colours.track, "track");
  QTEST(colours.thumb, "thumb");
}

void TestSkinScrollBar::barDrawnInTheColours_data() {
  QTest::addColumn<int>("scale");
  QTest::newRow("1x") << 1;
  QTest::newRow("2x") << 2;
}

void TestSkinScrollBar::barDrawnInTheColours() {
  QFETCH(int, scale);
  QWidget form(nullptr, Qt::Window | Qt::FramelessWindowHint);
  form.setFixedSize(344, 116);
  TdtListBox list(&form);
  list.setGeometry(4, 4, 336, 86);
  list.SetBorderStyle(bsNone);
  list.SetItemHeight(12);
  list.SetBackgroundWallpaper(Stripes({navy, sky}, 3));
  QStringList rows;
  for (int i = 0; i < 30; ++i) rows << QString::number(i);
  list.SetItems(rows);
  form.show();
  QVERIFY(QTest::qWaitForWindowExposed(&form));
  TSkinScale::Apply(scale);
  auto* bar = qobject_cast<TSkinScrollBar*>(list.verticalScrollBar());
  QVERIFY(bar && bar->isVisible());
  const QImage image = bar->grab().toImage().convertToFormat(QImage::Format_RGB32);
  TSkinScale::Apply(1);
  QCOMPARE(image.size(), bar->size() * scale);
  // Track and thumb only: nothing of the desktop's light default is left; the thumb (7 of 30
  // items shown) takes a fair part of the bar.
  int thumbPixels = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) {
      const QColor pixel(image.pixel(x, y));
      QVERIFY2(pixel == navy || pixel == sky, qPrintable(QStringLiteral("%1,%2").arg(x).arg(y)));
      thumbPixels += pixel == sky;
    }
  QVERIFY(thumbPixels > image.height() / 10 * (image.width() - 2 * scale));
}

QTEST_MAIN(TestSkinScrollBar)
#include "tst_skinscrollbar.moc"
