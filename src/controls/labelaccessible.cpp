#include "controls/labelaccessible.h"

#include "controls/label.h"

TLabelAccessible::TLabelAccessible(TLabel* label)
    : QAccessibleWidget(label, QAccessible::StaticText) {}

QString TLabelAccessible::text(QAccessible::Text t) const {
  // The text shown, not accessibleName: a label that tells of changes at intervals keeps the
  // last text told there.
  if (t == QAccessible::Name) return static_cast<TLabel*>(widget())->text();
  return QAccessibleWidget::text(t);
}
