#pragma once
// What assistive technology sees of a TdtHintPanel: a tool tip holding the whole text of the
// row it lies over.

#include <QAccessibleWidget>

class TdtHintPanel;

class TdtHintPanelAccessible : public QAccessibleWidget {
 public:
  explicit TdtHintPanelAccessible(TdtHintPanel* panel);
  QString text(QAccessible::Text t) const override;
};
