#include "platform/apptitle.h"

#include <QPointer>
#include <QWidget>

// Kept apart from Qt's application display name, which Qt would append to every window's
// title (the playlist window's would read "Playlist - <song>").
namespace {
QPointer<QWidget>& TitleWindow() {
  static QPointer<QWidget> window;
  return window;
}

QString& Title() {
  static QString title = QStringLiteral("Brimtone");
  return title;
}
}  // namespace

void SetApplicationTitle(const QString& title) {
  Title() = title;
  if (TitleWindow()) TitleWindow()->setWindowTitle(title);
}

QString ApplicationTitle() {
  return Title();
}

void SetTitleWindow(QWidget* window) {
  TitleWindow() = window;
  if (window) window->setWindowTitle(ApplicationTitle());
}
