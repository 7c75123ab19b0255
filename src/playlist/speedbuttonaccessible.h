#pragma once
// What assistive technology sees of a TSpeedButton: a push button named by its caption whose
// press is a click; one that opens a menu is a menu button holding that menu and its items.

#include <QAccessibleWidget>

class TSpeedButton;

class TSpeedButtonAccessible : public QAccessibleWidget {
 public:
  explicit TSpeedButtonAccessible(TSpeedButton* button);

  QAccessible::Role role() const override;
  QAccessible::State state() const override;
  QString text(QAccessible::Text t) const override;
  int childCount() const override;
  QAccessibleInterface* child(int index) const override;
  int indexOfChild(const QAccessibleInterface* child) const override;
  QStringList actionNames() const override;
  void doAction(const QString& action) override;

 private:
  TSpeedButton* Button() const;
};
