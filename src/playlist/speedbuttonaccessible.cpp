#include "playlist/speedbuttonaccessible.h"

#include <QMenu>

#include "controls/accessiblerequest.h"
#include "playlist/speedbutton.h"

TSpeedButtonAccessible::TSpeedButtonAccessible(TSpeedButton* button)
    : QAccessibleWidget(button, QAccessible::Button) {}

TSpeedButton* TSpeedButtonAccessible::Button() const {
  return static_cast<TSpeedButton*>(widget());
}

QAccessible::Role TSpeedButtonAccessible::role() const {
  return Button()->Menu() ? QAccessible::ButtonMenu : QAccessible::Button;
}

QAccessible::State TSpeedButtonAccessible::state() const {
  QAccessible::State state = QAccessibleWidget::state();
  state.pressed = Button()->isDown();
  state.hasPopup = Button()->Menu() != nullptr;
  return state;
}

QString TSpeedButtonAccessible::text(QAccessible::Text t) const {
  if (t == QAccessible::Name && Button()->accessibleName().isEmpty()) return Button()->text();
  return QAccessibleWidget::text(t);
}

int TSpeedButtonAccessible::childCount() const {
  return Button()->Menu() ? 1 : 0;
}

QAccessibleInterface* TSpeedButtonAccessible::child(int index) const {
  return index == 0 ? QAccessible::queryAccessibleInterface(Button()->Menu()) : nullptr;
}

int TSpeedButtonAccessible::indexOfChild(const QAccessibleInterface* child) const {
  return child && Button()->Menu() && child->object() == Button()->Menu() ? 0 : -1;
}

QStringList TSpeedButtonAccessible::actionNames() const {
  return {pressAction()};
}

void TSpeedButtonAccessible::doAction(const QString& action) {
  if (action != pressAction()) return;
  RunAfterRequest(Button(), [button = Button()] {
    if (button->isEnabled()) button->click();
  });
}
