#include "controls/dtlistboxaccessible.h"

#include <QScrollBar>
#include <QWindow>

#include "controls/accessiblerequest.h"
#include "controls/dtlistbox.h"

TdtListBoxAccessible::TdtListBoxAccessible(TdtListBox* list)
    : QAccessibleWidget(list, QAccessible::List) {}

TdtListBoxAccessible::~TdtListBoxAccessible() {
  for (const auto& [row, id] : rows_) QAccessible::deleteAccessibleInterface(id);
}

TdtListBox* TdtListBoxAccessible::List() const {
  return static_cast<TdtListBox*>(widget());
}

QAccessible::State TdtListBoxAccessible::state() const {
  QAccessible::State state = QAccessibleWidget::state();
  state.multiSelectable = List()->MultiSelect();
  return state;
}

int TdtListBoxAccessible::childCount() const {
  return List()->Count();
}

QAccessibleInterface* TdtListBoxAccessible::child(int index) const {
  if (index < 0 || index >= List()->Count()) return nullptr;
  if (const auto found = rows_.find(index); found != rows_.end()) {
    if (QAccessibleInterface* row = QAccessible::accessibleInterface(found->second)) return row;
  }
  auto* row = new TdtListBoxItemAccessible(List(), index);
  rows_[index] = QAccessible::registerAccessibleInterface(row);
  return row;
}

int TdtListBoxAccessible::indexOfChild(const QAccessibleInterface* child) const {
  const auto* row = dynamic_cast<const TdtListBoxItemAccessible*>(child);
  return row && row->isValid() && child->parent() == this ? row->Row() : -1;
}

QAccessibleInterface* TdtListBoxAccessible::childAt(int x, int y) const {
  const QPoint at = List()->viewport()->mapFromGlobal(QPoint(x, y));
  return child(List()->ItemAtPos(at));
}

QAccessibleInterface* TdtListBoxAccessible::focusChild() const {
  return List()->hasFocus() ? child(List()->ItemIndex()) : nullptr;
}

TdtListBoxItemAccessible::TdtListBoxItemAccessible(TdtListBox* list, int row)
    : list_(list), row_(row) {}

bool TdtListBoxItemAccessible::isValid() const {
  return list_ && row_ < list_->Count();
}

QWindow* TdtListBoxItemAccessible::window() const {
  return list_ ? list_->window()->windowHandle() : nullptr;
}

QAccessibleInterface* TdtListBoxItemAccessible::parent() const {
  return QAccessible::queryAccessibleInterface(list_.data());
}

QString TdtListBoxItemAccessible::text(QAccessible::Text t) const {
  if (!isValid() || t != QAccessible::Name) return {};
  return list_->Items().at(row_);
}

QRect TdtListBoxItemAccessible::rect() const {
  if (!isValid()) return {};
  const QRect inside = list_->ItemRect(row_);
  return QRect(list_->viewport()->mapToGlobal(inside.topLeft()), inside.size());
}

QAccessible::State TdtListBoxItemAccessible::state() const {
  QAccessible::State state;
  if (!isValid()) {
    state.invalid = true;
    return state;
  }
  state.selectable = true;
  state.focusable = true;
  state.selected = list_->Selected(row_);
  state.focused = list_->hasFocus() && list_->ItemIndex() == row_;
  const int top = list_->TopIndex();
  const int shown = list_->ClientHeight() / std::max(1, list_->ItemHeight()) + 1;
  state.offscreen = row_ < top || row_ >= top + shown || !list_->isVisible();
  state.invisible = !list_->isVisible();
  return state;
}

QStringList TdtListBoxItemAccessible::actionNames() const {
  return isValid() ? QStringList{pressAction()} : QStringList();
}

void TdtListBoxItemAccessible::doAction(const QString& action) {
  if (action != pressAction() || !isValid()) return;
  RunAfterRequest(list_, [list = list_.data(), row = row_] { list->ActivateItem(row); });
}
