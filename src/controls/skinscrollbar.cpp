#include "controls/skinscrollbar.h"

#include <QPainter>
#include <QStyleOptionSlider>
#include <algorithm>
#include <vector>

namespace {

// Lightness differences below this read as one colour.
constexpr int kMinContrast = 64;
// Sampled pixels per side at most: the colours need the picture's palette, not every pixel.
constexpr int kSamples = 64;

int Gray(const QColor& color) {
  return qGray(color.rgb());
}

QColor Mix(const QColor& from, const QColor& to, double amount) {
  auto channel = [amount](int a, int b) { return int(a + (b - a) * amount + 0.5); };
  return QColor(channel(from.red(), to.red()), channel(from.green(), to.green()),
                channel(from.blue(), to.blue()));
}

QColor Mean(std::vector<QRgb>::const_iterator first, std::vector<QRgb>::const_iterator last) {
  qint64 r = 0, g = 0, b = 0;
  const qint64 n = std::max<qint64>(1, last - first);
  for (auto it = first; it != last; ++it) {
    r += qRed(*it);
    g += qGreen(*it);
    b += qBlue(*it);
  }
  return QColor(int((r + n / 2) / n), int((g + n / 2) / n), int((b + n / 2) / n));
}

// A triangle of whole pixel rows pointing up or down, centred in box.
void DrawArrow(QPainter& painter, const QRect& box, bool up, const QColor& color) {
  const int half = std::max(1, std::min(box.width(), box.height()) / 4);
  const int cx = box.left() + box.width() / 2;
  const int top = box.top() + (box.height() - half) / 2;
  for (int row = 0; row < half; ++row) {
    const int spread = up ? row : half - 1 - row;
    painter.fillRect(QRect(cx - spread - 1, top + row, 2 * spread + 2, 1), color);
  }
}

}  // namespace

TSkinScrollBar::TSkinScrollBar(QWidget* parent) : QScrollBar(Qt::Vertical, parent) {
  colors_ = ColorsFromWallpaper(QImage(), QColor(192, 192, 192));
}

void TSkinScrollBar::SetColors(const TScrollColors& colors) {
  colors_ = colors;
  update();
}

TScrollColors TSkinScrollBar::ColorsFromWallpaper(const QImage& wallpaper, const QColor& fallback) {
  std::vector<QRgb> pixels;
  if (!wallpaper.isNull() && wallpaper.width() > 0 && wallpaper.height() > 0) {
    const QImage image = wallpaper.convertToFormat(QImage::Format_RGB32);
    const int stepX = std::max(1, image.width() / kSamples);
    const int stepY = std::max(1, image.height() / kSamples);
    for (int y = 0; y < image.height(); y += stepY)
      for (int x = 0; x < image.width(); x += stepX) pixels.push_back(image.pixel(x, y));
  } else {
    pixels.push_back(fallback.rgb());
  }
  std::sort(pixels.begin(), pixels.end(), [](QRgb a, QRgb b) { return qGray(a) < qGray(b); });
  const auto quarter = std::max<std::ptrdiff_t>(1, std::ptrdiff_t(pixels.size()) / 4);
  TScrollColors colors{Mean(pixels.begin(), pixels.begin() + quarter),
                       Mean(pixels.end() - quarter, pixels.end())};
  // A nearly flat picture: the same hues, darkened for the track and lightened for the thumb.
  if (Gray(colors.thumb) - Gray(colors.track) < kMinContrast) {
    colors.track = Mix(colors.track, Qt::black, 0.4);
    colors.thumb = Mix(colors.thumb, Qt::white, 0.4);
  }
  return colors;
}

void TSkinScrollBar::paintEvent(QPaintEvent*) {
  QStyleOptionSlider option;
  initStyleOption(&option);
  const QStyle* s = style();
  const QRect slider =
      s->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider, this);
  const QRect subLine =
      s->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSubLine, this);
  const QRect addLine =
      s->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarAddLine, this);
  QPainter painter(this);
  painter.fillRect(rect(), colors_.track);
  if (!subLine.isEmpty()) DrawArrow(painter, subLine, true, colors_.thumb);
  if (!addLine.isEmpty()) DrawArrow(painter, addLine, false, colors_.thumb);
  // One track pixel each side keeps the thumb apart from the list and the window's edge.
  if (isEnabled() && !slider.isEmpty())
    painter.fillRect(slider.adjusted(1, 0, -1, 0), colors_.thumb);
}
