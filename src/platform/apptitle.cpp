#include "platform/apptitle.h"

#include <QGuiApplication>
#include <QPointer>
#include <QWidget>

namespace {
QPointer<QWidget>& TitleWindow() {
  static QPointer<QWidget> window;
  return window;
}
}  // namespace

void SetApplicationTitle(const QString& title) {
  QGuiApplication::setApplicationDisplayName(title);
  if (TitleWindow()) TitleWindow()->setWindowTitle(title);
}

QString ApplicationTitle() { return QGuiApplication::applicationDisplayName(); }

void SetTitleWindow(QWidget* window) {
  TitleWindow() = window;
  if (window) window->setWindowTitle(ApplicationTitle());
}
