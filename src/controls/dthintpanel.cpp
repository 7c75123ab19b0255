#include "controls/dthintpanel.h"

#include <QCursor>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

#include "controls/dtlistbox.h"
#include "controls/visibletext.h"

TdtHintPanel::TdtHintPanel(TdtListBox* owner) : QWidget(owner) {
  hide();
  setMouseTracking(true);
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void TdtHintPanel::SetCaption(const QString& value) {
  Caption_ = value;
  update();
}

void TdtHintPanel::SetColor(TColor value) {
  Color_ = value;
  update();
}

void TdtHintPanel::SetFontColor(TColor value) {
  FontColor_ = value;
  update();
}

void TdtHintPanel::SetBorderStyle(TBorderStyle value) {
  BorderStyle_ = value;
  update();
}

void TdtHintPanel::SetAlignment(TAlignment value) {
  Alignment_ = value;
  update();
}

void TdtHintPanel::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  const QPalette& pal = palette();
  QRect area = rect();
  auto fill = [&](int left, int top, int right, int bottom, TColor color) {
    // Inclusive corners.
    if (right >= left && bottom >= top)
      painter.fillRect(QRect(QPoint(left, top), QPoint(right, bottom)), ToQColor(color, pal));
  };
  if (BorderStyle_ == bsSingle) {
    const int l = area.left(), t = area.top(), r = area.right(), b = area.bottom();
    fill(l, t, r, t, clWindowFrame);
    fill(l, b, r, b, clWindowFrame);
    fill(l, t, l, b, clWindowFrame);
    fill(r, t, r, b, clWindowFrame);
    area.adjust(1, 1, -1, -1);
  }
  // Raised bevel: light on top and left, shadow on the right and bottom.
  {
    const int l = area.left(), t = area.top(), r = area.right(), b = area.bottom();
    fill(l, t, r - 1, t, clBtnHighlight);
    fill(l, t, l, b - 1, clBtnHighlight);
    fill(r, t, r, b, clBtnShadow);
    fill(l, b, r, b, clBtnShadow);
    area.adjust(1, 1, -1, -1);
  }
  if (area.isEmpty()) return;
  painter.fillRect(area, ToQColor(Color_, pal));

  const QFontMetrics metrics(font());
  const QString text = VisiblePrefix(Caption_, metrics, event->rect().right() - area.left() + 1);
  const int textWidth = text.size() == Caption_.size() ? metrics.horizontalAdvance(text) : 0;
  int x = area.left();
  if (Alignment_ == taRightJustify) x = area.right() + 1 - textWidth;
  if (Alignment_ == taCenter) x = area.left() + (area.width() - textWidth) / 2;
  const int y = area.top() + (area.height() - metrics.height()) / 2;
  painter.setClipRect(area);
  painter.setFont(font());
  painter.setPen(ToQColor(FontColor_, pal));
  painter.drawText(x, y + metrics.ascent(), text);
}

void TdtHintPanel::Forward(QMouseEvent* event) {
  // The panel's own handling is nothing; the event stays here rather than reaching the form.
  event->accept();
  TdtListBox* list = ListBox_.data();
  if (!list) return;
  const QPoint pos = list->viewport()->mapFromGlobal(mapToGlobal(event->position().toPoint()));
  switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
      if (event->button() != Qt::LeftButton && event->button() != Qt::RightButton) return;
      list->MousePress(pos, event->button(), event->modifiers(), true,
                       event->type() == QEvent::MouseButtonDblClick);
      break;
    case QEvent::MouseButtonRelease:
      if (event->button() != Qt::LeftButton && event->button() != Qt::RightButton) return;
      list->MouseRelease(pos, event->button(), event->buttons(), event->modifiers());
      break;
    case QEvent::MouseMove:
      list->MouseMove(pos, event->buttons(), event->modifiers());
      break;
    default:
      break;
  }
}

void TdtHintPanel::mousePressEvent(QMouseEvent* event) {
  Forward(event);
}

void TdtHintPanel::mouseReleaseEvent(QMouseEvent* event) {
  Forward(event);
}

void TdtHintPanel::mouseDoubleClickEvent(QMouseEvent* event) {
  Forward(event);
}

void TdtHintPanel::mouseMoveEvent(QMouseEvent* event) {
  Forward(event);
}

void TdtHintPanel::leaveEvent(QEvent* event) {
  QWidget::leaveEvent(event);
  TdtListBox* list = ListBox_.data();
  if (!list) return;
  // Back onto the list: nothing; out of the list's rectangle: the list's own leave.
  const QRect bounds(list->mapToGlobal(QPoint(0, 0)), list->size());
  if (!bounds.contains(QCursor::pos())) list->MouseLeave();
}
