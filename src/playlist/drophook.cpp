#include "playlist/drophook.h"

#include <QApplication>
#include <QDropEvent>
#include <QMimeData>
#include <QWidget>

TDropHook::TDropHook(THandler handler, QObject* parent)
    : QObject(parent), handler_(std::move(handler)) {
  qApp->installEventFilter(this);
}

TDropHook::~TDropHook() {
  if (qApp) qApp->removeEventFilter(this);
}

void TDropHook::AddTarget(QWidget* window) {
  if (!window || IsTarget(window)) return;
  window->setAcceptDrops(true);
  targets_ << QPointer<QWidget>(window);
}

bool TDropHook::IsTarget(const QWidget* window) const {
  for (const QPointer<QWidget>& target : targets_) {
    if (target && target.data() == window) return true;
  }
  return false;
}

bool TDropHook::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop) return false;
  if (!watched->isWidgetType() || !IsTarget(static_cast<QWidget*>(watched)->window())) return false;
  auto* drop = static_cast<QDropEvent*>(event);
  if (!drop->mimeData() || !drop->mimeData()->hasUrls()) return false;
  drop->acceptProposedAction();
  if (type == QEvent::Drop) {
    QApplication::beep();
    // Copied: the handler may run a nested event loop (a message box) while the drag's
    // data goes away.
    const QList<QUrl> urls = drop->mimeData()->urls();
    handler_(urls);
  }
  return true;
}
