#pragma once
// What assistive technology sees of a TdtListBox: a list whose children are its rows, list
// items named by their text, selected and focused as the list shows them; a row's press opens
// it (TdtListBox::ActivateItem). Rows are made only when asked for and live as long as the
// list; a row stands for a place in the list, whatever text the place holds now.

#include <QAccessibleWidget>
#include <QPointer>
#include <unordered_map>

#include "controls/leafaccessible.h"

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

class TdtListBoxItemAccessible : public TLeafAccessible {
 public:
  TdtListBoxItemAccessible(TdtListBox* list, int row);

  int Row() const { return row_; }

  bool isValid() const override;
  QObject* object() const override { return nullptr; }
  QWindow* window() const override;
  QAccessibleInterface* parent() const override;
  QString text(QAccessible::Text t) const override;
  QRect rect() const override;
  QAccessible::Role role() const override { return QAccessible::ListItem; }
  QAccessible::State state() const override;

  // QAccessibleActionInterface
  QStringList actionNames() const override;
  void doAction(const QString& action) override;

 private:
  QPointer<TdtListBox> list_;
  int row_;
};
