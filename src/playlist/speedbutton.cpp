#include "playlist/speedbutton.h"

#include <QPainter>

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
  painter.drawText(rect().translated(down ? 1 : 0, down ? 1 : 0), Qt::AlignCenter, text());
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
