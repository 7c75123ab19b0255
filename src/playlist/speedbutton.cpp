#include "playlist/speedbutton.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QImage>
#include <QPainter>

namespace {
// A bitmap font has no glyphs for the sizes of a scaled window: the caption is drawn at 1x
// and magnified as the skin's bitmaps are, every pixel an n x n block. Outline fonts draw
// sharp at any scale by themselves.
void DrawCaption(QPainter& painter, const QRect& rect, const QString& text) {
  const QFontInfo resolved(painter.font());
  if (painter.device()->devicePixelRatio() <= 1 ||
      QFontDatabase::isSmoothlyScalable(resolved.family(), resolved.styleName())) {
    painter.drawText(rect, Qt::AlignCenter, text);
    return;
  }
  QImage layer(rect.size(), QImage::Format_ARGB32_Premultiplied);
  layer.fill(Qt::transparent);
  QPainter layerPainter(&layer);
  layerPainter.setFont(painter.font());
  layerPainter.setPen(painter.pen());
  layerPainter.drawText(layer.rect(), Qt::AlignCenter, text);
  layerPainter.end();
  // Without smooth transformation each pixel becomes a block.
  painter.drawImage(rect, layer);
}
}  // namespace

TSpeedButton::TSpeedButton(const QString& caption, QWidget* parent) : QAbstractButton(parent) {
  setText(caption);
  setFocusPolicy(Qt::NoFocus);
  setAttribute(Qt::WA_Hover);
}

void TSpeedButton::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const QRect frame = rect().adjusted(0, 0, -1, -1);
  const bool down = isDown();
  if (down || hovered_) {
    const QColor light(255, 255, 255), dark(128, 128, 128);
    // One-pixel fills rather than pen lines, which would straddle the pixel blocks when the
    // window is scaled.
    const int l = frame.left(), t = frame.top(), r = frame.right(), b = frame.bottom();
    painter.fillRect(QRect(l, t, r - l + 1, 1), down ? dark : light);
    painter.fillRect(QRect(l, t, 1, b - t + 1), down ? dark : light);
    painter.fillRect(QRect(l, b, r - l + 1, 1), down ? light : dark);
    painter.fillRect(QRect(r, t, 1, b - t + 1), down ? light : dark);
  }
  painter.setFont(font());
  painter.setPen(
      palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText));
  // A pressed caption moves one pixel down and right, like the platform's speed buttons.
  DrawCaption(painter, rect().translated(down ? 1 : 0, down ? 1 : 0), text());
}

void TSpeedButton::enterEvent(QEnterEvent* event) {
  hovered_ = true;
  update();
  QAbstractButton::enterEvent(event);
}

void TSpeedButton::leaveEvent(QEvent* event) {
  hovered_ = false;
  update();
  QAbstractButton::leaveEvent(event);
}
