// Draws the default skin's 24 bitmaps into the folder given as the only argument.
//
// The look: a dark frame with a title strip on top, a light panel in the middle for the
// black labels, the time read-out and the two bars, and a dark deck at the bottom for the
// transport buttons. The same main.bmp is the playlist window's background, where the list
// covers the panel and the white "Add"/"Delete" captions sit on the dark deck.
//
// Transparency in the player works by the colour of each bitmap's bottom-left pixel, so a
// button image is made in three steps:
// 1. draw the button, antialiased, onto a transparent layer;
// 2. lay that layer over the piece of main.bmp the button covers, so soft edges blend into
//    the real background rather than into the key colour;
// 3. put the key colour wherever the layer left nothing, the bottom-left pixel included.
#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <cstdio>
#include <functional>

namespace {

const QColor kKey(255, 0, 255);

// Chrome.
const QColor kFrameEdge(12, 14, 17);
const QColor kTitleTop(52, 58, 67);
const QColor kTitleBottom(33, 37, 43);
const QColor kDeckTop(35, 39, 45);
const QColor kDeckBottom(24, 27, 31);
const QColor kTrayFill(19, 21, 25);
const QColor kBrand(96, 105, 117);
// Panel.
const QColor kPanelTop(242, 244, 247);
const QColor kPanelBottom(220, 225, 231);
const QColor kPanelEdge(128, 137, 148);
const QColor kWellShadow(150, 159, 170);
const QColor kWellLight(255, 255, 255);
const QColor kDisplayTop(226, 231, 237);
const QColor kDisplayBottom(246, 248, 250);
// Accent (the progress fill, switched-on buttons), chosen to sit well on the bars' sky blue.
const QColor kAccentLight(92, 160, 245);
const QColor kAccent(45, 116, 222);
const QColor kAccentDark(27, 84, 176);
// Transport buttons.
const QColor kButtonTop(80, 88, 99);
const QColor kButtonBottom(57, 63, 72);
const QColor kButtonEdge(13, 15, 18);
const QColor kGlyph(236, 240, 245);
const QColor kGlyphPressed(142, 190, 255);
// Small buttons on the panel.
const QColor kChipTop(252, 253, 254);
const QColor kChipBottom(226, 230, 236);
const QColor kChipEdge(150, 159, 170);
const QColor kChipGlyph(92, 102, 116);

// Positions the images are shown at, for the background under them.
constexpr QPoint kPrevAt(14, 88), kPlayAt(43, 88), kPauseAt(72, 88), kStopAt(101, 88),
    kNextAt(129, 88), kEjectAt(172, 88), kExitAt(330, 4), kMinimizeAt(317, 4), kRepeatAt(320, 38),
    kShuffleAt(300, 38), kPlaylistAt(235, 38);
constexpr QSize kTransportSize(22, 18), kChipSize(15, 15), kPlaylistSize(55, 15),
    kCaptionSize(10, 10);

constexpr int kTitleHeight = 22;  // the title strip: rows 0..21
constexpr QRect kPanel(4, 22, 336, 62);
constexpr QRect kDeckTray(4, 85, 196, 27);

QLinearGradient Vertical(qreal top, qreal bottom, const QColor& a, const QColor& b) {
  QLinearGradient g(0, top, 0, bottom);
  g.setColorAt(0, a);
  g.setColorAt(1, b);
  return g;
}

// A recessed rounded well: shadow on the upper left, light on the lower right.
void DrawWell(QPainter& p, const QRectF& r, qreal radius, const QBrush& fill) {
  p.setPen(Qt::NoPen);
  p.setBrush(kWellLight);
  p.drawRoundedRect(r.adjusted(0, 0, 0, 1), radius, radius);
  p.setBrush(kWellShadow);
  p.drawRoundedRect(r, radius, radius);
  p.setBrush(fill);
  p.drawRoundedRect(r.adjusted(1, 1, -1, 0), radius - 0.5, radius - 0.5);
}

QImage DrawMain() {
  QImage img(344, 116, QImage::Format_RGB32);
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing);
  // Frame: title strip on top, deck below, both dark; the panel goes between them.
  p.fillRect(0, 0, 344, kTitleHeight, Vertical(0, kTitleHeight, kTitleTop, kTitleBottom));
  p.fillRect(0, kTitleHeight, 344, 116 - kTitleHeight,
             Vertical(kTitleHeight, 116, kDeckTop, kDeckBottom));
  p.fillRect(1, 1, 342, 1, QColor(255, 255, 255, 28));

  // Panel behind the labels, the read-out and the bars.
  p.setPen(Qt::NoPen);
  p.setBrush(kPanelEdge);
  p.drawRoundedRect(QRectF(kPanel), 3, 3);
  p.setBrush(Vertical(kPanel.top(), kPanel.bottom(), kPanelTop, kPanelBottom));
  p.drawRoundedRect(QRectF(kPanel).adjusted(1, 1, -1, -1), 2.5, 2.5);
  p.fillRect(QRectF(kPanel.left() + 3, kPanel.top() + 1, kPanel.width() - 6, 1),
             QColor(255, 255, 255, 200));

  // Read-out display, then wells one pixel wider than each bar.
  DrawWell(p, QRectF(10, 25, 182, 31), 3, Vertical(25, 56, kDisplayTop, kDisplayBottom));
  DrawWell(p, QRectF(233, 54, 104, 12), 2, QColor(200, 207, 216));  // barVolume 235,56 100x9
  DrawWell(p, QRectF(13, 69, 324, 12), 2, QColor(200, 207, 216));   // barSongProgress 15,71 320x9

  // Deck: a recessed tray under the transport row, which in the playlist window also
  // holds the two captioned buttons.
  p.setBrush(QColor(255, 255, 255, 22));
  p.drawRoundedRect(QRectF(kDeckTray).adjusted(0, 0, 0, 1), 4, 4);
  p.setBrush(QColor(0, 0, 0, 150));
  p.drawRoundedRect(QRectF(kDeckTray), 4, 4);
  p.setBrush(kTrayFill);
  p.drawRoundedRect(QRectF(kDeckTray).adjusted(1, 1, -1, 0), 3.5, 3.5);

  // Name plate on the free right end of the deck, readable in both windows.
  QFont brand("DejaVu Sans");
  brand.setPixelSize(9);
  brand.setBold(true);
  brand.setLetterSpacing(QFont::AbsoluteSpacing, 2.2);
  p.setFont(brand);
  p.setPen(kBrand);
  p.drawText(QRect(200, 92, 137, 14), Qt::AlignRight | Qt::AlignVCenter, "BRIMTONE");

  // Hairline frame round the whole window, so it stands off any desktop.
  p.setRenderHint(QPainter::Antialiasing, false);
  p.setPen(kFrameEdge);
  p.setBrush(Qt::NoBrush);
  p.drawRect(0, 0, 343, 115);
  return img;
}

// Steps 1-3 of the header: draw on a transparent layer, lay it over the background the image
// is shown on, key out what the layer left empty.
QImage KeyedImage(const QImage& main, QPoint at, QSize size,
                  const std::function<void(QPainter&)>& draw) {
  QImage layer(size, QImage::Format_ARGB32_Premultiplied);
  layer.fill(Qt::transparent);
  {
    QPainter p(&layer);
    p.setRenderHint(QPainter::Antialiasing);
    draw(p);
  }
  QImage out = main.copy(QRect(at, size)).convertToFormat(QImage::Format_RGB32);
  {
    QPainter p(&out);
    p.drawImage(0, 0, layer);
  }
  // The bottom-left pixel names the transparent colour, so it must be the key whatever the
  // drawing did there; shapes are laid out to leave it empty anyway.
  layer.setPixel(0, size.height() - 1, 0);
  for (int y = 0; y < size.height(); ++y) {
    for (int x = 0; x < size.width(); ++x) {
      if (qAlpha(layer.pixel(x, y)) == 0)
        out.setPixelColor(x, y, kKey);
      else if (out.pixelColor(x, y) == kKey)
        out.setPixelColor(x, y, QColor(254, 0, 255));  // never turn drawn pixels transparent
    }
  }
  return out;
}

// --- Transport buttons ------------------------------------------------------------------

enum class Look { Normal, Pressed, Active };

void DrawTransportBody(QPainter& p, Look look) {
  const QRectF r(0.5, 0.5, 21, 17);
  p.setPen(QPen(kButtonEdge, 1));
  switch (look) {
    case Look::Normal:
      p.setBrush(Vertical(0, 18, kButtonTop, kButtonBottom));
      p.drawRoundedRect(r, 4, 4);
      p.setPen(QPen(QColor(255, 255, 255, 45), 1));
      p.drawLine(QPointF(4, 1.5), QPointF(18, 1.5));
      break;
    case Look::Pressed:
      // Sunk: darker, lit from below, shadow along the top.
      p.setBrush(Vertical(0, 18, QColor(30, 33, 38), QColor(44, 49, 56)));
      p.drawRoundedRect(r, 4, 4);
      p.setPen(QPen(QColor(0, 0, 0, 110), 1));
      p.drawLine(QPointF(4, 1.5), QPointF(18, 1.5));
      break;
    case Look::Active:
      p.setPen(QPen(kAccentDark.darker(140), 1));
      p.setBrush(Vertical(0, 18, kAccentLight, kAccent));
      p.drawRoundedRect(r, 4, 4);
      p.setPen(QPen(QColor(255, 255, 255, 70), 1));
      p.drawLine(QPointF(4, 1.5), QPointF(18, 1.5));
      break;
  }
}

void Triangle(QPainter& p, QPointF a, QPointF b, QPointF c) {
  const QPointF pts[3] = {a, b, c};
  p.drawPolygon(pts, 3);
}

// Glyphs are drawn in a 22x18 box whose centre is (11, 9).
using Glyph = std::function<void(QPainter&)>;

const Glyph kPrevGlyph = [](QPainter& p) {
  p.drawRect(QRectF(5.5, 5, 2, 8));
  Triangle(p, {12.5, 5}, {12.5, 13}, {7.5, 9});
  Triangle(p, {17, 5}, {17, 13}, {12, 9});
};
const Glyph kNextGlyph = [](QPainter& p) {
  p.drawRect(QRectF(14.5, 5, 2, 8));
  Triangle(p, {9.5, 5}, {9.5, 13}, {14.5, 9});
  Triangle(p, {5, 5}, {5, 13}, {10, 9});
};
const Glyph kPlayGlyph = [](QPainter& p) { Triangle(p, {8, 4.5}, {8, 13.5}, {15.5, 9}); };
const Glyph kPauseGlyph = [](QPainter& p) {
  p.drawRect(QRectF(7, 5, 3, 8));
  p.drawRect(QRectF(12, 5, 3, 8));
};
const Glyph kStopGlyph = [](QPainter& p) { p.drawRoundedRect(QRectF(7, 5, 8, 8), 1, 1); };
const Glyph kEjectGlyph = [](QPainter& p) {
  Triangle(p, {5.5, 10.5}, {16.5, 10.5}, {11, 4.5});
  p.drawRect(QRectF(5.5, 12, 11, 2));
};

QImage Transport(const QImage& main, QPoint at, const Glyph& glyph, Look look) {
  return KeyedImage(main, at, kTransportSize, [&](QPainter& p) {
    DrawTransportBody(p, look);
    p.setPen(Qt::NoPen);
    if (look == Look::Pressed) {
      p.setBrush(kGlyphPressed);
      p.translate(0, 1);  // the glyph sinks with the button
    } else {
      p.setBrush(QColor(0, 0, 0, look == Look::Active ? 60 : 90));
      p.translate(0, 1);
      glyph(p);  // drop shadow
      p.translate(0, -1);
      p.setBrush(look == Look::Active ? QColor(Qt::white) : kGlyph);
    }
    glyph(p);
  });
}

// --- Small buttons on the panel ---------------------------------------------------------

void DrawChipBody(QPainter& p, QSizeF size, bool on) {
  const QRectF r(0.5, 0.5, size.width() - 1, size.height() - 1);
  if (on) {
    p.setPen(QPen(kAccentDark, 1));
    p.setBrush(Vertical(0, size.height(), kAccent.lighter(118), kAccentDark.lighter(112)));
  } else {
    p.setPen(QPen(kChipEdge, 1));
    p.setBrush(Vertical(0, size.height(), kChipTop, kChipBottom));
  }
  p.drawRoundedRect(r, 3.5, 3.5);
}

QColor ChipGlyphColour(bool on) {
  return on ? QColor(Qt::white) : kChipGlyph;
}

// Repeat the playlist: a loop of two arrows chasing each other round a rounded rectangle;
// one-pixel lines on pixel centres keep it sharp at this size.
void DrawRepeatGlyph(QPainter& p, bool on) {
  const QColor c = ChipGlyphColour(on);
  p.setPen(QPen(c, 1, Qt::SolidLine, Qt::FlatCap, Qt::RoundJoin));
  p.setBrush(Qt::NoBrush);
  QPainterPath top;
  top.moveTo(2.5, 8);
  top.lineTo(2.5, 5.5);
  top.quadTo(2.5, 3.5, 4.5, 3.5);
  top.lineTo(10, 3.5);
  p.drawPath(top);
  QPainterPath bottom;
  bottom.moveTo(12.5, 7);
  bottom.lineTo(12.5, 9.5);
  bottom.quadTo(12.5, 11.5, 10.5, 11.5);
  bottom.lineTo(5, 11.5);
  p.drawPath(bottom);
  p.setPen(Qt::NoPen);
  p.setBrush(c);
  Triangle(p, {9.5, 1}, {9.5, 6}, {12.5, 3.5});
  Triangle(p, {5.5, 9}, {5.5, 14}, {2.5, 11.5});
}

// Repeat this file: one arrow round a "1", a different outline from the playlist loop.
void DrawRepeatOneGlyph(QPainter& p) {
  const QColor c = ChipGlyphColour(true);
  p.setPen(QPen(c, 1.3, Qt::SolidLine, Qt::FlatCap));
  p.setBrush(Qt::NoBrush);
  // Clockwise from the upper right round to the top, where the arrowhead points on.
  p.drawArc(QRectF(2.5, 3, 10, 10), 100 * 16, 300 * 16);
  p.setPen(Qt::NoPen);
  p.setBrush(c);
  Triangle(p, {6, 0.8}, {6, 5.2}, {9.6, 3});
  p.setRenderHint(QPainter::Antialiasing, false);
  p.fillRect(QRect(7, 6, 1, 5), c);
  p.fillRect(QRect(6, 7, 1, 1), c);
}

// Two crossing paths with arrowheads on the right.
void DrawShuffleGlyph(QPainter& p, bool on) {
  const QColor c = ChipGlyphColour(on);
  p.setPen(QPen(c, 1.1, Qt::SolidLine, Qt::FlatCap));
  p.setBrush(Qt::NoBrush);
  QPainterPath a;
  a.moveTo(2.5, 4.5);
  a.lineTo(4.5, 4.5);
  a.cubicTo(7.5, 4.5, 7, 10.5, 10, 10.5);
  a.lineTo(10.5, 10.5);
  p.drawPath(a);
  QPainterPath b;
  b.moveTo(2.5, 10.5);
  b.lineTo(4.5, 10.5);
  b.cubicTo(7.5, 10.5, 7, 4.5, 10, 4.5);
  b.lineTo(10.5, 4.5);
  p.drawPath(b);
  p.setPen(Qt::NoPen);
  p.setBrush(c);
  Triangle(p, {10, 2.2}, {10, 6.8}, {12.8, 4.5});
  Triangle(p, {10, 8.2}, {10, 12.8}, {12.8, 10.5});
}

void DrawPlaylistGlyph(QPainter& p, bool on) {
  const QColor c = ChipGlyphColour(on);
  // Three list rows with bullets.
  for (int i = 0; i < 3; ++i) {
    p.fillRect(QRectF(5, 4 + 3 * i, 2, 2), c);
    p.fillRect(QRectF(8, 4.5 + 3 * i, 6, 1), c);
  }
  QFont f("DejaVu Sans");
  f.setPixelSize(9);
  f.setBold(true);
  f.setStretch(QFont::SemiCondensed);
  p.setFont(f);
  p.setPen(c);
  p.drawText(QRectF(15, 0, 38, 14), Qt::AlignHCenter | Qt::AlignVCenter, "Playlist");
}

// --- Title strip buttons ----------------------------------------------------------------

// Small round buttons in the title strip: red to close, amber to minimise.
QImage CaptionButton(const QImage& main, QPoint at, const QColor& colour, bool close) {
  return KeyedImage(main, at, kCaptionSize, [&](QPainter& p) {
    p.setPen(QPen(colour.darker(150), 0.8));
    p.setBrush(Vertical(0, 10, colour.lighter(115), colour));
    p.drawEllipse(QRectF(0.6, 0.6, 8.8, 8.8));
    p.setPen(QPen(QColor(60, 20, 15, 200), 1.2, Qt::SolidLine, Qt::RoundCap));
    if (close) {
      p.drawLine(QPointF(3.3, 3.3), QPointF(6.7, 6.7));
      p.drawLine(QPointF(6.7, 3.3), QPointF(3.3, 6.7));
    } else {
      p.drawLine(QPointF(3, 5), QPointF(7, 5));
    }
  });
}

// --- Bar fill and list wallpaper --------------------------------------------------------

// A tile for the song progress fill: a glossy blue ramp, top to bottom.
QImage DrawBar() {
  QImage img(8, 9, QImage::Format_RGB32);
  QPainter p(&img);
  QLinearGradient g(0, 0, 0, 9);
  g.setColorAt(0.0, kAccentLight.lighter(115));
  g.setColorAt(0.45, kAccentLight);
  g.setColorAt(0.55, kAccent);
  g.setColorAt(1.0, kAccentDark);
  p.fillRect(img.rect(), g);
  return img;
}

// The list's wallpaper. Unselected rows are black regular text and the selected row bold
// white with no highlight of its own, so the tone sits midway: a slate grey whose contrast
// is about 5:1 against black and 4:1 against white. It varies only across, never down, so
// it looks the same at any item height and scroll position.
QImage DrawPlaylistWallpaper() {
  QImage img(336, 86, QImage::Format_RGB32);
  QPainter p(&img);
  QLinearGradient g(0, 0, 336, 0);
  g.setColorAt(0.0, QColor(124, 136, 151));
  g.setColorAt(1.0, QColor(110, 122, 137));
  p.fillRect(img.rect(), g);
  return img;
}

bool Save(const QImage& image, const QDir& dir, const QString& name) {
  if (!image.convertToFormat(QImage::Format_RGB888).save(dir.filePath(name), "BMP")) {
    std::fprintf(stderr, "skingen: cannot write %s\n", qPrintable(dir.filePath(name)));
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  QGuiApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: skingen <skin folder>\n");
    return 2;
  }
  QDir dir(QString::fromLocal8Bit(argv[1]));
  if (!dir.mkpath(".")) {
    std::fprintf(stderr, "skingen: cannot create %s\n", argv[1]);
    return 1;
  }

  const QImage main = DrawMain();
  bool ok = Save(main, dir, "main.bmp");

  struct TransportButton {
    const char* name;
    QPoint at;
    const Glyph& glyph;
  };
  const TransportButton transport[] = {
      {"prev", kPrevAt, kPrevGlyph},    {"play", kPlayAt, kPlayGlyph},
      {"pause", kPauseAt, kPauseGlyph}, {"stop", kStopAt, kStopGlyph},
      {"next", kNextAt, kNextGlyph},    {"eject", kEjectAt, kEjectGlyph}};
  for (const auto& b : transport) {
    ok &= Save(Transport(main, b.at, b.glyph, Look::Normal), dir, QString("%1.bmp").arg(b.name));
    // Pause has no pressed image; its "a" image shows the paused state instead.
    const Look second = QByteArray(b.name) == "pause" ? Look::Active : Look::Pressed;
    ok &= Save(Transport(main, b.at, b.glyph, second), dir, QString("a%1.bmp").arg(b.name));
  }

  ok &= Save(CaptionButton(main, kExitAt, QColor(232, 86, 76), true), dir, "exit.bmp");
  ok &= Save(CaptionButton(main, kMinimizeAt, QColor(236, 178, 60), false), dir, "minimize.bmp");

  // repeat0: no repeating, repeat1: this file, repeat2: the playlist.
  for (int mode = 0; mode < 3; ++mode) {
    const QImage img = KeyedImage(main, kRepeatAt, kChipSize, [&](QPainter& p) {
      DrawChipBody(p, kChipSize, mode != 0);
      if (mode == 1)
        DrawRepeatOneGlyph(p);
      else
        DrawRepeatGlyph(p, mode == 2);
    });
    ok &= Save(img, dir, QString("repeat%1.bmp").arg(mode));
  }
  for (int on = 0; on < 2; ++on) {
    const QImage img = KeyedImage(main, kShuffleAt, kChipSize, [&](QPainter& p) {
      DrawChipBody(p, kChipSize, on);
      DrawShuffleGlyph(p, on);
    });
    ok &= Save(img, dir, QString("shuffle%1.bmp").arg(on));
  }
  for (int on = 0; on < 2; ++on) {
    const QImage img = KeyedImage(main, kPlaylistAt, kPlaylistSize, [&](QPainter& p) {
      DrawChipBody(p, kPlaylistSize, on);
      DrawPlaylistGlyph(p, on);
    });
    ok &= Save(img, dir, QString("playlist%1.bmp").arg(on));
  }

  ok &= Save(DrawBar(), dir, "bar.bmp");
  ok &= Save(DrawPlaylistWallpaper(), dir, "playlist.bmp");
  return ok ? 0 : 1;
}
