#include "controls/imageaccessible.h"

#include "controls/accessiblerequest.h"
#include "controls/image.h"

TImageAccessible::TImageAccessible(TImage* image) : QAccessibleWidget(image, QAccessible::Button) {}

TImage* TImageAccessible::Image() const {
  return static_cast<TImage*>(widget());
}

QAccessible::Role TImageAccessible::role() const {
  return Image()->IsButton() ? QAccessible::Button : QAccessible::Whitespace;
}

QAccessible::State TImageAccessible::state() const {
  QAccessible::State state = QAccessibleWidget::state();
  if (Image()->Checkable()) {
    state.checkable = true;
    state.checked = Image()->Checked();
  }
  return state;
}

QString TImageAccessible::text(QAccessible::Text t) const {
  if (t == QAccessible::Name) return Image()->AccessibleText();
  return QAccessibleWidget::text(t);
}

QStringList TImageAccessible::actionNames() const {
  QStringList names = QAccessibleWidget::actionNames();
  if (Image()->IsButton()) names.prepend(pressAction());
  return names;
}

void TImageAccessible::doAction(const QString& action) {
  if (action != pressAction() || !Image()->IsButton()) {
    QAccessibleWidget::doAction(action);
    return;
  }
  RunAfterRequest(Image(), [image = Image()] { image->Click(); });
}
