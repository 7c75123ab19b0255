#pragma once
// What assistive technology sees of an item of one of the program's popup menus: a menu item
// named by its caption, disabled, checkable and checked as the action is. Its press closes the
// menu and triggers the action, once assistive technology's call is answered: "Add File" and
// the like open modal dialogs.

#include <QAccessibleInterface>
#include <QPointer>

#include "controls/leafaccessible.h"

class QAction;
class QMenu;

class TMenuItemAccessible : public TLeafAccessible {
 public:
  TMenuItemAccessible(QMenu* menu, QAction* action);

  bool isValid() const override;
  QObject* object() const override;
  QWindow* window() const override;
  QAccessibleInterface* parent() const override;
  QString text(QAccessible::Text t) const override;
  QRect rect() const override;
  QAccessible::Role role() const override;
  QAccessible::State state() const override;

  // QAccessibleActionInterface
  QStringList actionNames() const override;
  void doAction(const QString& action) override;

 private:
  QPointer<QMenu> menu_;
  QPointer<QAction> action_;
};
