// Draws the default skin's 24 bitmaps. Transparency in the player works by the colour of
// each bitmap's bottom-left pixel, so every button keeps that pixel in its "key" colour.
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <cstdio>

namespace {
const QColor kKey(255, 0, 255);

bool Save(const QImage& image, const QDir& dir, const QString& name) {
  if (!image.convertToFormat(QImage::Format_RGB888).save(dir.filePath(name), "BMP")) {
    std::fprintf(stderr, "skingen: cannot write %s\n", qPrintable(dir.filePath(name)));
    return false;
  }
  return true;
}

QImage Blank(int w, int h, const QColor& c) {
  QImage image(w, h, QImage::Format_RGB32);
  image.fill(c);
  return image;
}
}  // namespace

int main(int argc, char** argv) {
  QGuiApplication app(argc, argv);
  if (argc < 2) return 2;
  QDir dir(QString::fromLocal8Bit(argv[1]));
  dir.mkpath(".");
  bool ok = true;
  QImage main = Blank(344, 116, QColor(214, 218, 224));
  {
    QPainter p(&main);
    p.fillRect(0, 0, 344, 20, QColor(36, 40, 48));
  }
  ok &= Save(main, dir, "main.bmp");
  for (const char* name : {"prev", "play", "pause", "stop", "next", "eject"}) {
    for (bool pressed : {false, true}) {
      QImage img = Blank(22, 18, kKey);
      QPainter p(&img);
      p.setRenderHint(QPainter::Antialiasing);
      p.setBrush(pressed ? QColor(70, 90, 130) : QColor(90, 110, 150));
      p.setPen(Qt::NoPen);
      p.drawRoundedRect(QRectF(1, 1, 20, 15), 3, 3);
      p.end();
      img.setPixelColor(0, 17, kKey);
      ok &= Save(img, dir, QString(pressed ? "a" : "") + name + ".bmp");
    }
  }
  QImage bar = Blank(8, 9, QColor(60, 130, 220));
  ok &= Save(bar, dir, "bar.bmp");
  for (const char* name : {"exit", "minimize"}) ok &= Save(Blank(10, 10, QColor(200, 80, 80)), dir, QString(name) + ".bmp");
  for (int i = 0; i < 3; ++i) ok &= Save(Blank(15, 15, QColor(80 + 40 * i, 120, 160)), dir, QString("repeat%1.bmp").arg(i));
  for (int i = 0; i < 2; ++i) ok &= Save(Blank(15, 15, QColor(80 + 80 * i, 120, 160)), dir, QString("shuffle%1.bmp").arg(i));
  for (int i = 0; i < 2; ++i) ok &= Save(Blank(55, 15, QColor(80 + 80 * i, 120, 160)), dir, QString("playlist%1.bmp").arg(i));
  ok &= Save(Blank(336, 86, QColor(200, 204, 210)), dir, "playlist.bmp");
  return ok ? 0 : 1;
}
