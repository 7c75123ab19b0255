#pragma once
// What the program's accessible items without a widget or children of their own share (a list
// row, a menu item): nothing beneath them, a text set only by the program, and a press through
// the action interface.

#include <QAccessibleInterface>

class TLeafAccessible : public QAccessibleInterface, public QAccessibleActionInterface {
 public:
  QAccessibleInterface* childAt(int, int) const override { return nullptr; }
  QAccessibleInterface* child(int) const override { return nullptr; }
  int childCount() const override { return 0; }
  int indexOfChild(const QAccessibleInterface*) const override { return -1; }
  void setText(QAccessible::Text, const QString&) override {}
  void* interface_cast(QAccessible::InterfaceType type) override {
    return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this)
                                                : nullptr;
  }
  QStringList keyBindingsForAction(const QString&) const override { return {}; }
};
