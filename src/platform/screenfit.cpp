#include "platform/screenfit.h"

#include <QDialog>
#include <QEvent>
#include <QGuiApplication>
#include <QMenu>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <algorithm>

QPoint FitIntoArea(QRect frame, QRect area) {
  // The far edge first, so that a frame larger than the area ends on the near edge.
  int x = std::min(frame.left(), area.right() + 1 - frame.width());
  int y = std::min(frame.top(), area.bottom() + 1 - frame.height());
  x = std::max(x, area.left());
  y = std::max(y, area.top());
  return {x, y};
}

QRect AvailableAreaAt(QPoint point) {
  QScreen* screen = QGuiApplication::screenAt(point);
  if (!screen) screen = QGuiApplication::primaryScreen();
  return screen ? screen->availableGeometry() : QRect();
}

void PopupOnScreen(QMenu* menu, QPoint point) {
  const QRect wanted(point, menu->sizeHint());
  menu->popup(FitIntoArea(wanted, AvailableAreaAt(point)));
}

void KeepOnScreen(QWidget* window) {
  const QRect frame = window->frameGeometry();
  const QRect area = AvailableAreaAt(frame.center());
  if (area.isEmpty()) return;
  const QPoint fitted = FitIntoArea(frame, area);
  if (fitted != frame.topLeft()) window->move(fitted);
}

bool TScreenFit::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Show && watched->isWidgetType()) {
    auto* widget = static_cast<QWidget*>(watched);
    if (widget->isWindow() && (qobject_cast<QDialog*>(widget) || qobject_cast<QMenu*>(widget))) {
      KeepOnScreen(widget);
      // Once more when the show is done: a message box takes its final size while it is
      // shown, and a window manager adds its frame.
      QTimer::singleShot(0, widget, [window = QPointer<QWidget>(widget)] {
        if (window && window->isVisible()) KeepOnScreen(window);
      });
    }
  }
  return QObject::eventFilter(watched, event);
}
