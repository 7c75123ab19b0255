#include "controls/label.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStyle>

#include "controls/visibletext.h"

TLabel::TLabel(const QString& text, QWidget* parent) : QLabel(text, parent) {
  setTextFormat(Qt::PlainText);
  setAttribute(Qt::WA_TranslucentBackground);
  setAutoFillBackground(false);
}

void TLabel::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) leftPressed_ = true;
  emit OnMouseDown(event->button(), event->position().toPoint());
}

void TLabel::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    const bool click = leftPressed_ && rect().contains(event->position().toPoint());
    leftPressed_ = false;
    if (click) emit OnClick();
  }
}

void TLabel::paintEvent(QPaintEvent* event) {
  // A very long text (a damaged playlist's title) is laid out only as far as it can be seen.
  constexpr qsizetype kLong = 4096;
  if (text().size() <= kLong) {
    QLabel::paintEvent(event);
    return;
  }
  QPainter painter(this);
  const QRect area = contentsRect();
  style()->drawItemText(&painter, area, QStyle::visualAlignment(layoutDirection(), alignment()),
                        palette(), isEnabled(), VisiblePrefix(text(), fontMetrics(), area.width()),
                        foregroundRole());
}
