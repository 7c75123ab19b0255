#include "platform/firstpaint.h"

#include <QEvent>
#include <QTimer>
#include <QWidget>
#include <utility>

TFirstPaint::TFirstPaint(const QList<QWidget*>& widgets, std::function<void()> then,
                         QObject* parent)
    : QObject(parent), then_(std::move(then)) {
  for (QWidget* widget : widgets) {
    if (!widget || !widget->isVisible() || waiting_.contains(widget)) continue;
    widget->installEventFilter(this);
    waiting_ << widget;
  }
  QTimer::singleShot(waiting_.isEmpty() ? 0 : kDeadlineMs, this, &TFirstPaint::Fire);
}

void TFirstPaint::Fire() {
  for (const QPointer<QWidget>& widget : std::exchange(waiting_, {}))
    if (widget) widget->removeEventFilter(this);
  if (then_) std::exchange(then_, nullptr)();
}

bool TFirstPaint::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Paint && waiting_.removeOne(static_cast<QWidget*>(watched))) {
    watched->removeEventFilter(this);
    // The paint is being made now; what waits for it runs once it is on its way to the screen.
    if (waiting_.isEmpty()) QTimer::singleShot(0, this, &TFirstPaint::Fire);
  }
  return false;
}
