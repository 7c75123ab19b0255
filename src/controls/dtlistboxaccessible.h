#pragma once
// What assistive technology sees of a TdtListBox: a list whose children are its rows, list
// items named by their text, selected and focused as the list shows them; a row's press opens
// it (TdtListBox::ActivateItem). Rows are made only when asked for and live as long as the
// list; a row stands for a place in the list, whatever text the place holds now.

#include <QAccessibleWidget>
#include <QPointer>
#include <unordered_map>

class TdtListBox;

class TdtListBoxAccessible : public QAccessibleWidget {
 public:
  explicit TdtListBoxAccessible(TdtListBox* list);
  ~TdtListBoxAccessible() override;

  QAccessible::State state() const override;
  int childCount() const override;
  QAccessibleInterface* child(int index) const override;
  int indexOfChild(const QAccessibleInterface* child) const override;
  QAccessibleInterface* childAt(int x, int y) const override;
  QAccessibleInterface* focusChild() const override;

 private:
  TdtListBox* List() const;

  mutable std::unordered_map<int, QAccessible::Id> rows_;
};

class TdtListBoxItemAccessible : public QAccessibleInterface, public QAccessibleActionInterface {
 public:
  TdtListBoxItemAccessible(TdtListBox* list, int row);

  int Row() const { return row_; }

  bool isValid() const override;
  QObject* object() const override { return nullptr; }
  QWindow* window() const override;
  QAccessibleInterface* childAt(int, int) const override { return nullptr; }
  QAccessibleInterface* parent() const override;
  QAccessibleInterface* child(int) const override { return nullptr; }
  int childCount() const override { return 0; }
  int indexOfChild(const QAccessibleInterface*) const override { return -1; }
  QString text(QAccessible::Text t) const override;
  void setText(QAccessible::Text, const QString&) override {}
  QRect rect() const override;
  QAccessible::Role role() const override { return QAccessible::ListItem; }
  QAccessible::State state() const override;
  void* interface_cast(QAccessible::InterfaceType type) override;

  // QAccessibleActionInterface
  QStringList actionNames() const override;
  void doAction(const QString& action) override;
  QStringList keyBindingsForAction(const QString&) const override { return {}; }

 private:
  QPointer<TdtListBox> list_;
  int row_;
};
