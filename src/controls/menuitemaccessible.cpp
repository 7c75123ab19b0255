#include "controls/menuitemaccessible.h"

#include <QAction>
#include <QMenu>
#include <QWindow>

#include "controls/accessiblerequest.h"

TMenuItemAccessible::TMenuItemAccessible(QMenu* menu, QAction* action)
    : menu_(menu), action_(action) {}

bool TMenuItemAccessible::isValid() const {
  return menu_ && action_;
}

QObject* TMenuItemAccessible::object() const {
  return action_;
}

QWindow* TMenuItemAccessible::window() const {
  return menu_ ? menu_->windowHandle() : nullptr;
}

QAccessibleInterface* TMenuItemAccessible::parent() const {
  return QAccessible::queryAccessibleInterface(menu_.data());
}

QString TMenuItemAccessible::text(QAccessible::Text t) const {
  if (!isValid() || t != QAccessible::Name) return {};
  // A mnemonic's '&' is no part of the caption ("&&" is one '&').
  QString caption = action_->text();
  for (qsizetype i = 0; i < caption.size(); ++i)
    if (caption[i] == '&') caption.remove(i, 1);
  return caption;
}

QRect TMenuItemAccessible::rect() const {
  if (!isValid() || !menu_->isVisible()) return {};
  const QRect inside = menu_->actionGeometry(action_);
  return QRect(menu_->mapToGlobal(inside.topLeft()), inside.size());
}

QAccessible::Role TMenuItemAccessible::role() const {
  return action_ && action_->isSeparator() ? QAccessible::Separator : QAccessible::MenuItem;
}

QAccessible::State TMenuItemAccessible::state() const {
  QAccessible::State state;
  if (!isValid()) {
    state.invalid = true;
    return state;
  }
  state.disabled = !action_->isEnabled();
  state.invisible = !action_->isVisible();
  state.checkable = action_->isCheckable();
  state.checked = action_->isChecked();
  state.focusable = true;
  state.focused = menu_->isVisible() && menu_->activeAction() == action_;
  state.offscreen = !menu_->isVisible();
  return state;
}

QStringList TMenuItemAccessible::actionNames() const {
  if (!isValid() || !action_->isEnabled() || action_->isSeparator()) return {};
  return {pressAction()};
}

void TMenuItemAccessible::doAction(const QString& action) {
  if (action != pressAction() || actionNames().isEmpty()) return;
  RunAfterRequest(action_, [menu = menu_, item = action_.data()] {
    if (menu) menu->hide();
    if (item->isEnabled()) item->trigger();
  });
}
