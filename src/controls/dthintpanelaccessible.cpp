#include "controls/dthintpanelaccessible.h"

#include "controls/dthintpanel.h"
#include "controls/dtlistbox.h"

TdtHintPanelAccessible::TdtHintPanelAccessible(TdtHintPanel* panel)
    : QAccessibleWidget(panel, QAccessible::ToolTip) {}

QString TdtHintPanelAccessible::text(QAccessible::Text t) const {
  if (t == QAccessible::Name) return static_cast<TdtHintPanel*>(widget())->Caption();
  return QAccessibleWidget::text(t);
}
