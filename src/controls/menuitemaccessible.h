#pragma once
// What assistive technology sees of an item of one of the program's popup menus: a menu item
// named by its caption, disabled, checkable and checked as the action is. Its press closes the
// menu and triggers the action, once assistive technology's call is answered: "Add File" and
// the like open modal dialogs.

#include <QAccessibleInterface>
#include <QPointer>

class QAction;
class QMenu;

class TMenuItemAccessible : public QAccessibleInterface, public QAccessibleActionInterface {
 public:
  TMenuItemAccessible(QMenu* menu, QAction* action);

  bool isValid() const override;
  QObject* object() const override;
  QWindow* window() const override;
  QAccessibleInterface* childAt(int, int) const override { return nullptr; }
  QAccessibleInterface* parent() const override;
  QAccessibleInterface* child(int) const override { return nullptr; }
  int childCount() const override { return 0; }
  int indexOfChild(const QAccessibleInterface*) const override { return -1; }
  QString text(QAccessible::Text t) const override;
  void setText(QAccessible::Text, const QString&) override {}
  QRect rect() const override;
  QAccessible::Role role() const override;
  QAccessible::State state() const override;
  void* interface_cast(QAccessible::InterfaceType type) override;

  // QAccessibleActionInterface
  QStringList actionNames() const override;
  void doAction(const QString& action) override;
  QStringList keyBindingsForAction(const QString&) const override { return {}; }

 private:
  QPointer<QMenu> menu_;
  QPointer<QAction> action_;
};
