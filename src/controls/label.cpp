#include "controls/label.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <algorithm>

#include "controls/visibletext.h"

TLabel::TLabel(const QString& text, QWidget* parent) : QLabel(parent) {
  setTextFormat(Qt::PlainText);
  setAttribute(Qt::WA_TranslucentBackground);
  setAutoFillBackground(false);
  // Given here, not to QLabel: its change event, if assistive technology is listening, must
  // find a TLabel.
  QLabel::setText(text);
  nameChangeTimer_.setSingleShot(true);
  connect(&nameChangeTimer_, &QTimer::timeout, this, &TLabel::TellText);
}

void TLabel::setText(const QString& text) {
  // With a name of its own set, the label tells assistive technology nothing itself.
  QLabel::setText(text);
  FitWidth();
  if (nameChangeTimer_.interval() > 0 && !nameChangeTimer_.isActive()) TellText();
}

void TLabel::SetNameChangeInterval(int ms) {
  nameChangeTimer_.setInterval(std::max(0, ms));
  nameChangeTimer_.stop();
  setAccessibleName(ms > 0 ? text() : QString());
}

void TLabel::TellText() {
  if (accessibleName() == text()) return;
  setAccessibleName(text());  // the name-change event
  nameChangeTimer_.start();
}

void TLabel::SetFitWidth(int minWidth, int maxRight) {
  fitMinWidth_ = minWidth;
  fitMaxRight_ = maxRight;
  FitWidth();
}

void TLabel::FitWidth() {
  if (fitMinWidth_ < 0) return;
  const QFontMetrics metrics(font());
  // As far as the glyphs reach; the spacing after the last one needs no room.
  const int textWidth = metrics.boundingRect(text()).right() + 1 + margin() * 2;
  const int widest = std::max(0, fitMaxRight_ - x());
  const int width = std::min(std::max(fitMinWidth_, textWidth), widest);
  if (width != this->width()) resize(width, height());
}

void TLabel::changeEvent(QEvent* event) {
  QLabel::changeEvent(event);
  if (event->type() == QEvent::FontChange) FitWidth();
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
