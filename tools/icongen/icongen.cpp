// Draws the program's icon into the folder given as the only argument: brimtone.svg (the
// scalable icon) and brimtone-<size>.png for 48, 128 and 256 pixels.
//
// The icon: a dark rounded tile like the player's frame, a sky-blue ring like its bars with
// a red arc of song progress on it, and a white play triangle. Every shape is defined once,
// on a 256-unit canvas, and
// 1. written out as SVG text, and
// 2. painted with QPainter at each PNG size, scaled from the same canvas.
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QTextStream>
#include <cmath>
#include <cstdio>

namespace {

constexpr double kCanvas = 256;
// The tile.
constexpr double kTile = 16, kTileSize = 224, kCorner = 48;
const QColor kTileTop(58, 65, 77), kTileBottom(20, 23, 28);
// The ring and its progress arc (degrees clockwise from twelve o'clock).
constexpr double kCentre = 128, kRadius = 76, kStroke = 14, kArcDegrees = 120;
const QColor kRing(135, 206, 235), kArc(232, 69, 60);
// The play triangle.
const QPolygonF kTriangle({QPointF(108, 92), QPointF(108, 164), QPointF(170, 128)});

QPointF ArcEnd() {
  const double radians = (kArcDegrees - 90) * M_PI / 180;
  return QPointF(kCentre + kRadius * std::cos(radians), kCentre + kRadius * std::sin(radians));
}

// 1.
QString Svg() {
  const QPointF end = ArcEnd();
  QString text;
  QTextStream out(&text);
  out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << kCanvas << "\" height=\""
      << kCanvas << "\" viewBox=\"0 0 " << kCanvas << ' ' << kCanvas << "\">\n"
      << "  <defs>\n    <linearGradient id=\"tile\" x1=\"0\" y1=\"0\" x2=\"0\" y2=\"1\">\n"
      << "      <stop offset=\"0\" stop-color=\"" << kTileTop.name() << "\"/>\n"
      << "      <stop offset=\"1\" stop-color=\"" << kTileBottom.name() << "\"/>\n"
      << "    </linearGradient>\n  </defs>\n"
      << "  <rect x=\"" << kTile << "\" y=\"" << kTile << "\" width=\"" << kTileSize
      << "\" height=\"" << kTileSize << "\" rx=\"" << kCorner << "\" fill=\"url(#tile)\"/>\n"
      << "  <circle cx=\"" << kCentre << "\" cy=\"" << kCentre << "\" r=\"" << kRadius
      << "\" fill=\"none\" stroke=\"" << kRing.name() << "\" stroke-width=\"" << kStroke << "\"/>\n"
      << "  <path d=\"M" << kCentre << ' ' << kCentre - kRadius << " A" << kRadius << ' ' << kRadius
      << " 0 0 1 " << QString::number(end.x(), 'f', 2) << ' ' << QString::number(end.y(), 'f', 2)
      << "\" fill=\"none\" stroke=\"" << kArc.name() << "\" stroke-width=\"" << kStroke
      << "\" stroke-linecap=\"round\"/>\n"
      << "  <polygon points=\"";
  for (const QPointF& p : kTriangle) out << p.x() << ',' << p.y() << ' ';
  out << "\" fill=\"#ffffff\"/>\n</svg>\n";
  return text;
}

// 2.
QImage Png(int size) {
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.scale(size / kCanvas, size / kCanvas);
  QLinearGradient gradient(0, kTile, 0, kTile + kTileSize);
  gradient.setColorAt(0, kTileTop);
  gradient.setColorAt(1, kTileBottom);
  painter.setPen(Qt::NoPen);
  painter.setBrush(gradient);
  painter.drawRoundedRect(QRectF(kTile, kTile, kTileSize, kTileSize), kCorner, kCorner);
  const QRectF ring(kCentre - kRadius, kCentre - kRadius, 2 * kRadius, 2 * kRadius);
  painter.setBrush(Qt::NoBrush);
  painter.setPen(QPen(kRing, kStroke));
  painter.drawEllipse(ring);
  painter.setPen(QPen(kArc, kStroke, Qt::SolidLine, Qt::RoundCap));
  // Qt counts sixteenths of a degree, anticlockwise from three o'clock.
  painter.drawArc(ring, 90 * 16, int(-kArcDegrees * 16));
  painter.setPen(Qt::NoPen);
  painter.setBrush(Qt::white);
  painter.drawPolygon(kTriangle);
  return image;
}

}  // namespace

int main(int argc, char** argv) {
  QGuiApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: icongen <folder>\n");
    return 2;
  }
  const QDir folder(QString::fromLocal8Bit(argv[1]));
  if (!QDir().mkpath(folder.path())) return 1;
  QFile svg(folder.filePath("brimtone.svg"));
  if (!svg.open(QIODevice::WriteOnly | QIODevice::Truncate) || svg.write(Svg().toUtf8()) < 0)
    return 1;
  for (int size : {48, 128, 256})
    if (!Png(size).save(folder.filePath(QStringLiteral("brimtone-%1.png").arg(size)), "PNG"))
      return 1;
  return 0;
}
