// The default skin as built: every file the windows load is there, is a 24-bit bitmap of
// the size its control shows, keeps its transparent colour where the windows expect it, and
// the texts the program draws over it stay readable.
#include <QFile>
#include <QImage>
#include <QtTest>
#include <cmath>

#include "platform/skinbitmap.h"

namespace {

QString SkinDir() {
  return qEnvironmentVariable("BRIMTONE_SKIN_DIR");
}

QImage Load(const QString& name) {
  return LoadBitmapFile(SkinDir() + "/" + name);
}

double Linear(int channel) {
  const double c = channel / 255.0;
  return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double Luminance(QRgb c) {
  return 0.2126 * Linear(qRed(c)) + 0.7152 * Linear(qGreen(c)) + 0.0722 * Linear(qBlue(c));
}

// Contrast ratio of two colours, 1 (none) to 21 (black on white).
double Contrast(QRgb a, QRgb b) {
  double la = Luminance(a), lb = Luminance(b);
  if (la < lb) std::swap(la, lb);
  return (la + 0.05) / (lb + 0.05);
}

// The lowest contrast a text colour has against any pixel of the area.
double WorstContrast(const QImage& image, const QRect& area, QRgb text) {
  double worst = 21;
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x)
      worst = std::min(worst, Contrast(image.pixel(x, y), text));
  return worst;
}

const QRgb kBlack = qRgb(0, 0, 0);
const QRgb kWhite = qRgb(255, 255, 255);

}  // namespace

class TestDefaultSkin : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase() { QVERIFY2(QDir(SkinDir()).exists(), qPrintable(SkinDir())); }

  void fileIsA24BitBitmapOfItsControlsSize_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QSize>("size");
    QTest::newRow("main") << "main.bmp" << QSize(344, 116);
    for (const char* n : {"prev", "play", "pause", "stop", "next", "eject"}) {
      QTest::newRow(n) << QString("%1.bmp").arg(n) << QSize(22, 18);
      QTest::newRow(qPrintable(QString("a%1").arg(n)))
          << QString("a%1.bmp").arg(n) << QSize(22, 18);
    }
    QTest::newRow("exit") << "exit.bmp" << QSize(10, 10);
    QTest::newRow("minimize") << "minimize.bmp" << QSize(10, 10);
    for (const char* n : {"repeat0", "repeat1", "repeat2", "shuffle0", "shuffle1"})
      QTest::newRow(n) << QString("%1.bmp").arg(n) << QSize(15, 15);
    QTest::newRow("playlist0") << "playlist0.bmp" << QSize(55, 15);
    QTest::newRow("playlist1") << "playlist1.bmp" << QSize(55, 15);
    // The bar tile spans the bar's full height; the wallpaper spans the list's full width.
    QTest::newRow("bar") << "bar.bmp" << QSize(-1, 9);
    QTest::newRow("playlist") << "playlist.bmp" << QSize(336, -1);
  }
  void fileIsA24BitBitmapOfItsControlsSize() {
    QFETCH(QString, name);
    QFETCH(QSize, size);
    QFile file(SkinDir() + "/" + name);
    QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(file.fileName()));
    const QByteArray header = file.read(30);
    QCOMPARE(header.left(2), QByteArray("BM"));
    QCOMPARE(quint8(header[28]) | quint8(header[29]) << 8, 24);  // bits per pixel

    const QImage image = Load(name);
    QVERIFY(!image.isNull());
    if (size.width() > 0) QCOMPARE(image.width(), size.width());
    if (size.height() > 0) QCOMPARE(image.height(), size.height());
    QVERIFY(image.width() > 0 && image.height() > 0);
  }

  void transparentImageKeysOutAroundItsGlyph_data() {
    QTest::addColumn<QString>("name");
    for (const char* n :
         {"prev",    "play",    "pause",   "stop",     "next",     "eject",     "aprev",
          "aplay",   "apause",  "astop",   "anext",    "aeject",   "exit",      "minimize",
          "repeat0", "repeat1", "repeat2", "shuffle0", "shuffle1", "playlist0", "playlist1"})
      QTest::newRow(n) << QString("%1.bmp").arg(n);
  }
  void transparentImageKeysOutAroundItsGlyph() {
    QFETCH(QString, name);
    const QImage image = Load(name).convertToFormat(QImage::Format_RGB32);
    const QRgb key = image.pixel(0, image.height() - 1);
    int keyed = 0, drawn = 0, fringe = 0;
    for (int y = 0; y < image.height(); ++y) {
      for (int x = 0; x < image.width(); ++x) {
        const QRgb c = image.pixel(x, y);
        if (c == key) {
          ++keyed;
          continue;
        }
        ++drawn;
        // Edges smoothed against the key colour would show a pink-purple seam once keyed out.
        if (std::min(qRed(c), qBlue(c)) - qGreen(c) > 48) ++fringe;
      }
    }
    QVERIFY2(keyed > 1, "the key colour is only in the corner pixel: the image is a plain block");
    QVERIFY2(drawn >= image.width() * image.height() / 3, "the image is mostly transparent");
    QCOMPARE(fringe, 0);
    // The key is the colour of a corner, not of the glyph: the other corners use it too.
    QCOMPARE(image.pixel(0, 0), key);
    QCOMPARE(image.pixel(image.width() - 1, 0), key);
    QCOMPARE(image.pixel(image.width() - 1, image.height() - 1), key);
  }

  void eachStateHasItsOwnLook_data() {
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second");
    for (const char* n : {"prev", "play", "pause", "stop", "next", "eject"})
      QTest::newRow(n) << QString("%1.bmp").arg(n) << QString("a%1.bmp").arg(n);
    QTest::newRow("repeat 0/1") << "repeat0.bmp"
                                << "repeat1.bmp";
    QTest::newRow("repeat 1/2") << "repeat1.bmp"
                                << "repeat2.bmp";
    QTest::newRow("repeat 0/2") << "repeat0.bmp"
                                << "repeat2.bmp";
    QTest::newRow("shuffle") << "shuffle0.bmp"
                             << "shuffle1.bmp";
    QTest::newRow("playlist") << "playlist0.bmp"
                              << "playlist1.bmp";
    QTest::newRow("prev/next") << "prev.bmp"
                               << "next.bmp";
    QTest::newRow("play/pause") << "play.bmp"
                                << "pause.bmp";
    QTest::newRow("exit/minimize") << "exit.bmp"
                                   << "minimize.bmp";
  }
  void eachStateHasItsOwnLook() {
    QFETCH(QString, first);
    QFETCH(QString, second);
    const QImage a = Load(first).convertToFormat(QImage::Format_RGB32);
    const QImage b = Load(second).convertToFormat(QImage::Format_RGB32);
    QCOMPARE(a.size(), b.size());
    int differing = 0;
    for (int y = 0; y < a.height(); ++y)
      for (int x = 0; x < a.width(); ++x)
        if (a.pixel(x, y) != b.pixel(x, y)) ++differing;
    // More than a stray pixel: a state the user can tell apart at a glance.
    QVERIFY2(differing >= a.width() * a.height() / 10, qPrintable(QString::number(differing)));
  }

  // Texts the program draws on main.bmp, in both windows that show it.
  void programTextReadsOnBackground_data() {
    QTest::addColumn<QRect>("area");
    QTest::addColumn<QRgb>("text");
    QTest::addColumn<double>("least");
    QTest::newRow("song title, white") << QRect(8, 2, 305, 17) << kWhite << 4.5;
    QTest::newRow("time read-out, black") << QRect(15, 24, 64, 31) << kBlack << 4.5;
    QTest::newRow("Volume, black") << QRect(200, 54, 32, 11) << kBlack << 4.5;
    QTest::newRow("Progress, black") << QRect(15, 60, 35, 11) << kBlack << 4.5;
    QTest::newRow("Add caption, white") << QRect(4, 94, 57, 17) << kWhite << 4.5;
    QTest::newRow("Delete caption, white") << QRect(68, 94, 57, 17) << kWhite << 4.5;
  }
  void programTextReadsOnBackground() {
    QFETCH(QRect, area);
    QFETCH(QRgb, text);
    QFETCH(double, least);
    const QImage main = Load("main.bmp").convertToFormat(QImage::Format_RGB32);
    const double worst = WorstContrast(main, area, text);
    QVERIFY2(worst >= least, qPrintable(QString("contrast %1").arg(worst)));
  }

  // Rows are drawn straight on the wallpaper: black regular text, the selected row bold white
  // with no highlight of its own. Both must read on every pixel of it (bold needs less).
  void wallpaperReadsWithBothListFonts_data() {
    QTest::addColumn<QRgb>("text");
    QTest::addColumn<double>("least");
    QTest::newRow("unselected, black regular") << kBlack << 4.5;
    QTest::newRow("selected, white bold") << kWhite << 3.0;
  }
  void wallpaperReadsWithBothListFonts() {
    QFETCH(QRgb, text);
    QFETCH(double, least);
    const QImage wallpaper = Load("playlist.bmp").convertToFormat(QImage::Format_RGB32);
    const double worst = WorstContrast(wallpaper, wallpaper.rect(), text);
    QVERIFY2(worst >= least, qPrintable(QString("contrast %1").arg(worst)));
  }

  // The progress fill must stand out from the bar's unfilled sky blue.
  void barTileStandsOutFromTheUnfilledPart() {
    const QImage bar = Load("bar.bmp").convertToFormat(QImage::Format_RGB32);
    const QRgb skyBlue = qRgb(166, 202, 240);
    double total = 0;
    for (int y = 1; y < bar.height() - 1; ++y)  // the bar's frame covers the first and last row
      for (int x = 0; x < bar.width(); ++x) total += Contrast(bar.pixel(x, y), skyBlue);
    const double mean = total / (bar.width() * (bar.height() - 2));
    QVERIFY2(mean >= 1.8, qPrintable(QString("contrast %1").arg(mean)));
  }
};

QTEST_GUILESS_MAIN(TestDefaultSkin)
#include "tst_defaultskin.moc"
