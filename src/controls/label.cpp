#include "controls/label.h"

#include <QMouseEvent>

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
