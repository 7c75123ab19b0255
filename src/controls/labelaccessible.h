#pragma once
// What assistive technology sees of a TLabel: static text named by what it shows.

#include <QAccessibleWidget>

class TLabel;

class TLabelAccessible : public QAccessibleWidget {
 public:
  explicit TLabelAccessible(TLabel* label);
  QString text(QAccessible::Text t) const override;
};
