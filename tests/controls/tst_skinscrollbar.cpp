// The list's scroll bar in the skin's colours: a list that overflows draws its bar in its
// wallpaper's colours (never the desktop's white), at 1x and scaled.
#include <QtTest>

#include "controls/dtlistbox.h"
#include "controls/skinscrollbar.h"
#include "platform/skinscale.h"

namespace {
QImage Stripes(int rowsEach) {  // navy over sky
  QImage image(8, 2 * rowsEach, QImage::Format_RGB32);
  image.fill(QColor(150, 190, 240));
  for (int y = 0; y < rowsEach; ++y)
    for (int x = 0; x < 8; ++x) image.setPixel(x, y, qRgb(10, 20, 60));
  return image;
}
const QColor navy(10, 20, 60), sky(150, 190, 240);
}  // namespace

class TestSkinScrollBar : public QObject {
  Q_OBJECT
 private slots:
  void coloursWithoutAPicture() {  // from the list's colour
    const TScrollColors colours = TSkinScrollBar::ColorsFromWallpaper(QImage(), Qt::lightGray);
    QCOMPARE(colours.track, QColor(115, 115, 115));
    QCOMPARE(colours.thumb, QColor(217, 217, 217));
  }

  void barDrawnInTheColours_data() {
    QTest::addColumn<int>("scale");
    QTest::newRow("1x") << 1;
    QTest::newRow("2x") << 2;
  }
  void barDrawnInTheColours() {
    QFETCH(int, scale);
    QWidget form(nullptr, Qt::Window | Qt::FramelessWindowHint);
    form.setFixedSize(344, 116);
    TdtListBox list(&form);
    list.setGeometry(4, 4, 336, 86);
    list.SetBorderStyle(bsNone);
    list.SetItemHeight(12);
    list.SetBackgroundWallpaper(Stripes(3));
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
    // Track and thumb only, nothing of the desktop's light default; the thumb (7 of 30 items
    // shown) takes a fair part of the bar.
    int thumbPixels = 0;
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x) {
        const QColor pixel(image.pixel(x, y));
        QVERIFY2(pixel == navy || pixel == sky, qPrintable(QStringLiteral("%1,%2").arg(x).arg(y)));
        thumbPixels += pixel == sky;
      }
    QVERIFY(thumbPixels > image.height() / 10 * (image.width() - 2 * scale));
  }
};

QTEST_MAIN(TestSkinScrollBar)
#include "tst_skinscrollbar.moc"
